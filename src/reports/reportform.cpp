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

QString ReportCursor::whereClause(QVariantList& values) const {
    QStringList conditions;
    if (m_definition.onlyUnprinted)
        conditions.append(QStringLiteral("DateImprime IS NULL"));
    if (!m_definition.rowCondition.isEmpty()) {
        conditions.append(m_definition.rowCondition);
        values.append(m_definition.rowConditionValue);
    }
    return conditions.isEmpty()
               ? QString()
               : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
}

QVector<ReportRow> ReportCursor::rows() {
    if (!m_open)
        open();
    QVariantList values;
    const QString where = whereClause(values);
    QSqlQuery query = m_database.run(QStringLiteral("SELECT rowid, %1 FROM %2%3 ORDER BY rowid")
                                         .arg(m_definition.textField, m_definition.table, where),
                                     values);
    QVector<ReportRow> rows;
    while (query.next())
        rows.append({query.value(0).toLongLong(), query.value(1).toString()});
    return rows;
}

QVector<qint64> ReportCursor::rowids() {
    if (!m_open)
        open();
    QVariantList values;
    const QString where = whereClause(values);
    QVector<qint64> rowids;
    m_database.forEachRow(
        QStringLiteral("SELECT rowid FROM %1%2 ORDER BY rowid").arg(m_definition.table, where),
        values, [&](const QSqlQuery& row) {
            rowids.append(row.value(0).toLongLong());
            return true;
        });
    return rowids;
}

ReportDocument::RowReader rowsByKey(const Database& database, const QString& table,
                                    const QString& textField,
                                    std::shared_ptr<const QVector<qint64>> rowids) {
    return [&database, table, textField, rowids](const std::function<void(ReportRow)>& take) {
        constexpr qsizetype chunk = 256;
        const QString sql =
            QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid BETWEEN ? AND ? ORDER BY rowid")
                .arg(textField, table);
        for (qsizetype from = 0; from < rowids->size(); from += chunk) {
            const qsizetype to = std::min(rowids->size(), from + chunk);
            QVector<ReportRow> found;
            qsizetype next = from;
            database.forEachRow(sql, {rowids->at(from), rowids->at(to - 1)},
                                [&](const QSqlQuery& row) {
                                    const qint64 rowid = row.value(0).toLongLong();
                                    while (next < to && rowids->at(next) < rowid)
                                        ++next;
                                    if (next < to && rowids->at(next) == rowid)
                                        found.append({rowid, row.value(1).toString()});
                                    return next < to;
                                });
            // Handed once the statement is reset: the reader may print meanwhile.
            for (ReportRow& row : found)
                take(std::move(row));
        }
    };
}

ReportForm::ReportForm(const Database& database, OutputKind kind)
    : ReportForm(database, reportDefinition(kind)) {}

ReportForm::ReportForm(const Database& database, ReportDefinition definition)
    : m_database(database), m_definition(std::move(definition)), m_cursor(database, m_definition),
      m_queMod(database) {}

ReportDocument ReportForm::build(const QDateTime& at) {
    m_builtRows = m_cursor.rowids();
    auto rowids = std::make_shared<const QVector<qint64>>(m_builtRows);
    return ReportDocument(m_definition, rowids->size(),
                          rowsByKey(m_database, m_definition.table, m_definition.textField, rowids),
                          at);
}

int ReportForm::afterPrint(const QDate& today) {
    return stampPrintedRows(m_database, m_definition, m_builtRows, printDateStamp(today), m_queMod);
}

} // namespace ov
