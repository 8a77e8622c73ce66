#include "stamping.h"

namespace ov {

QString stampStatementHead(OutputKind kind) {
    return QStringLiteral("UPDATE ") + outputTable(kind).sqlName +
           QStringLiteral(" SET DateImprime = ");
}

} // namespace ov
