#pragma once
// The print stamp: after a completed print job the printed records receive today's date.

#include "tables/outputs.h"

#include <QDate>
#include <QString>

namespace ov {

class Database;

// "UPDATE ovPerso SET DateImprime = " and the like.
QString stampStatementHead(OutputKind kind);

} // namespace ov
