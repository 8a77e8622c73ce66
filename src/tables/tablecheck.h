#pragma once
// The check of the random tables: what the four generators need, coded elements, stored totals.

#include <QString>
#include <QStringList>
#include <QVector>

namespace ov {

class Database;

// A fixed table Id that the generators draw from, with the generators (French names, plural:
// "personnages", "trésors", "rencontres", "villages") that draw from it.
struct GeneratorTable {
    QString id;
    QStringList generators;
};

// Every fixed table Id of the four generators, in the order they are listed by the check.
const QVector<GeneratorTable>& generatorTables();

// The eight encounter categories that the "renc" codes may name.
const QStringList& encounterCategories();

struct CheckFinding {
    QString tableId;
    QString message; // French, one line
};

// Lists every table a generator draws from that is missing or empty, every coded element that
// breaks its rule ("age", "cel", "tytr", "trmo", "renc"), and every table whose stored totals
// differ from its elements. Empty when the tables are sound.
QVector<CheckFinding> checkTables(const Database& database);

// The findings one a line, then how many there are; or the line that says all is sound.
QString checkReportText(const QVector<CheckFinding>& findings);

} // namespace ov
