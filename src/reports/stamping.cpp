#include "stamping.h"

#include "tables/database.h"

#include <QStringList>

namespace ov {

namespace {

// A temporary table of the connection: both engines look among the temporary tables first.
const QString printedRowsTable = QStringLiteral("ovPrintedRows");

constexpr int rowsPerInsert = 400; // well under the engine's limit of bound values

} // namespace

QString stampStatementHead(OutputKind kind) {
    return QStringLiteral("UPDATE ") + outputTable(kind).sqlName +
           QStringLiteral(" SET DateImprime = ");
}

QString stampStatement(OutputKind kind) {
    return stampStatement(reportDefinition(kind));
}

QString stampStatement(const ReportDefinition& definition) {
    const QString onlyUnprinted =
        definition.onlyUnprinted ? QStringLiteral("DateImprime IS NULL AND ") : QString();
    return QStringLiteral("UPDATE ") + definition.sqlName + QStringLiteral(" SET DateImprime = ") +
           QStringLiteral("? WHERE ") + onlyUnprinted +
           QStringLiteral("rowid IN (SELECT id FROM ") + printedRowsTable + QLatin1Char(')');
}

int ModificationQuery::execSql(const QVariantList& values) {
    QSqlQuery query = m_database.run(m_statement, values);
    m_open = true;
    return query.numRowsAffected();
}

int stampPrintedRows(const Database& database, const ReportDefinition& definition,
                     const QVector<qint64>& rowids, const QString& date,
                     ModificationQuery& queMod) {
    int changed = 0;
    queMod.close();
    queMod.setStatement(stampStatement(definition));
    database.transaction([&] {
        database.run(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS ovPrintedRows"
                                    " (id INTEGER PRIMARY KEY)"));
        database.run(QStringLiteral("DELETE FROM ") + printedRowsTable);
        for (int from = 0; from < rowids.size(); from += rowsPerInsert) {
            const int count = std::min(rowsPerInsert, int(rowids.size()) - from);
            QStringList marks;
            QVariantList values;
            for (int i = 0; i < count; ++i) {
                marks.append(QStringLiteral("(?)"));
                values.append(rowids.at(from + i));
            }
            database.run(QStringLiteral("INSERT INTO ") + printedRowsTable +
                             QStringLiteral(" (id) VALUES ") + marks.join(QLatin1Char(',')) +
                             QStringLiteral(" ON CONFLICT DO NOTHING"),
                         values);
        }
        changed = queMod.execSql({date});
        database.run(QStringLiteral("DELETE FROM ") + printedRowsTable);
    });
    return changed;
}

} // namespace ov
