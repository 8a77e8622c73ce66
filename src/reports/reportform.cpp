#include "reportform.h"

#include "tables/clock.h"
#include "tables/database.h"

namespace ov {

ReportCursor::ReportCursor(const Database& database, const ReportDefinition& definition)
    : m_database(database), m_definition(definition) {}

void ReportCursor::open() {
    m_database.requireTable(m_definition.table);
    m_open = true;
}

QString ReportCursor::filter() const {
    return m_definition.onlyUnprinted ? QStringLiteral("DateImprime = null") : QString();
}

QVector<ReportRow> ReportCursor::rows() {
    if (!m_open)
        open();
    QStringList conditions;
    QVariantList values;
    if (m_definition.onlyUnprinted)
        conditions.append(QStringLiteral("DateImprime IS NULL"));
    if (!m_definition.rowCondition.isEmpty()) {
        conditions.append(m_definition.rowCondition);
        values.append(m_definition.rowConditionValue);
    }
    const QString where =
        conditions.isEmpty() ? QString()
                             : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    QSqlQuery query = m_database.run(QStringLiteral("SELECT rowid, %1 FROM %2%3 ORDER BY rowid")
                                         .arg(m_definition.textField, m_definition.table, where),
                                     values);
    QVector<ReportRow> rows;
    while (query.next())
        rows.append({query.value(0).toLongLong(), query.value(1).toString()});
    return rows;
}

ReportForm::ReportForm(const Database& database, OutputKind kind)
    : ReportForm(database, reportDefinition(kind)) {}

ReportForm::ReportForm(const Database& database, ReportDefinition definition)
    : m_database(database), m_definition(std::move(definition)), m_cursor(database, m_definition),
      m_queMod(database) {}

ReportDocument ReportForm::build(const QDateTime& at) {
    m_builtRows.clear();
    QVector<ReportRow> rows = m_cursor.rows();
    m_builtRows.reserve(rows.size());
    for (const ReportRow& row : rows)
        m_builtRows.append(row.rowid);
    return ReportDocument(m_definition, std::move(rows), at);
}

int ReportForm::afterPrint(const QDate& today) {
    return stampPrintedRows(m_database, m_definition, m_builtRows, printDateStamp(today), m_queMod);
}

} // namespace ov
