#pragma once
// A report form: its cursor on an output table with the report's filter, its modification query,
// and the after-print step that stamps what a completed job printed.

#include "reportdefinition.h"
#include "reportdocument.h"
#include "stamping.h"

#include <QDate>
#include <QDateTime>
#include <QVector>
#include <memory>

namespace ov {

class Database;

// The report's own cursor: the rows of its output table that pass its filter, in the table's order.
class ReportCursor {
public:
    ReportCursor(const Database& database, const ReportDefinition& definition);

    // Opens the cursor on its table; raises DatabaseError when the table is missing.
    void open();
    void close() { m_open = false; }
    bool isOpen() const { return m_open; }
    // "DateImprime = null" for characters, treasures and encounters; empty for villages.
    QString filter() const;
    // The rows that pass the filter now (opens the cursor first when it is closed).
    QVector<ReportRow> rows();
    // Only their keys, in the same order.
    QVector<qint64> rowids();

private:
    QString whereClause(QVariantList& values) const;

    const Database& m_database;
    const ReportDefinition& m_definition;
    bool m_open = false;
};

// Reads the texts of the rows with these keys (ascending), a few at a time, whenever a report
// reads its rows; a row deleted meanwhile is left out.
ReportDocument::RowReader rowsByKey(const Database& database, const QString& table,
                                    const QString& textField,
                                    std::shared_ptr<const QVector<qint64>> rowids);

class ReportForm {
public:
    ReportForm(const Database& database, OutputKind kind);
    // The form of any other report, a personal generator's for one.
    ReportForm(const Database& database, ReportDefinition definition);

    const ReportDefinition& definition() const { return m_definition; }
    ReportCursor& cursor() { return m_cursor; }
    const ModificationQuery& queMod() const { return m_queMod; }

    // The report built from the rows that pass the filter at this moment. The form remembers those
    // rows as the ones a print job of this report prints.
    ReportDocument build(const QDateTime& at);

    // The after-print step: stamps the rows of the last report built with the date as the
    // 8-character print date. Returns the rows stamped. Raises DatabaseError (nothing stamped).
    int afterPrint(const QDate& today);

private:
    const Database& m_database;
    const ReportDefinition m_definition;
    ReportCursor m_cursor;
    ModificationQuery m_queMod;
    QVector<qint64> m_builtRows;
};

} // namespace ov
