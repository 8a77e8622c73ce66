#pragma once
// The print stamp: after a completed print job the printed records receive today's date.

#include "reportdefinition.h"
#include "tables/outputs.h"

#include <QDate>
#include <QString>
#include <QVariantList>
#include <QVector>

namespace ov {

class Database;

// "UPDATE ovPerso SET DateImprime = " and the like.
QString stampStatementHead(OutputKind kind);

// The whole stamp statement: the head, the date as a bound value, and the condition that keeps
// the stamp to the rows the job printed (listed in the connection's temporary table of printed
// rows); for characters, treasures and encounters only those still unprinted, so that an earlier
// print date is never overwritten.
QString stampStatement(OutputKind kind);
// The same for any report: its table, and only unprinted rows when it prints only those.
QString stampStatement(const ReportDefinition& definition);

// A modification query of a report (queMod): a statement replaced as a whole, then executed.
class ModificationQuery {
public:
    explicit ModificationQuery(const Database& database) : m_database(database) {}

    void close() { m_open = false; }
    bool isOpen() const { return m_open; } // true after a statement ran
    const QString& statement() const { return m_statement; }
    void setStatement(const QString& statement) { m_statement = statement; }
    // Runs the statement with its values bound in order; returns the rows changed. Raises
    // DatabaseError.
    int execSql(const QVariantList& values);

private:
    const Database& m_database;
    QString m_statement;
    bool m_open = false;
};

// Stamps exactly the printed rows (their rowids) with the date, in one transaction, through the
// report's modification query. Returns the rows changed. Raises DatabaseError; nothing is stamped
// then.
int stampPrintedRows(const Database& database, const ReportDefinition& definition,
                     const QVector<qint64>& rowids, const QString& date, ModificationQuery& queMod);

} // namespace ov
