#pragma once
// What differs between the two engines a store may live on: a SQLite file, or a base on a
// PostgreSQL server. Every statement or rule that is not the same on both is here; the rest of
// the code asks the dialect of its Database and never looks at the engine itself.
//
// Insertion order: SQLite keeps each row's rowid; on PostgreSQL every table of the campaign gets
// an identity column named rowid as well, so that "ORDER BY rowid", "WHERE rowid = ?" and
// "SELECT rowid" read the same on both (Database::insertionOrder()).
// Partial indexes ("CREATE INDEX ... WHERE") and "INSERT ... ON CONFLICT DO NOTHING" are written
// the same on both engines and need nothing here.

#include <QSqlError>
#include <QString>
#include <QStringList>

namespace ov {

class Database;

class Dialect {
public:
    virtual ~Dialect() = default;
    static const Dialect& sqlite();
    static const Dialect& postgresql();

    // The Qt driver.
    virtual QString driverName() const = 0;
    // Statements run once on a new connection that may write.
    virtual QStringList connectionSetup() const = 0;
    // Begins a write transaction that holds the store's write lock until it ends: one writer at a
    // time, waiting for the others within the connection's timeout.
    virtual QStringList beginWrite() const = 0;
    // Begins a read transaction that sees the store as it was when it began.
    virtual QString beginRead() const = 0;
    // Whether the statement goes through a prepared statement (the others are run as they are).
    virtual bool prepares(const QString& sql) const = 0;

    // The catalogue. A store table's name as the catalogue spells it (for Qt's table models,
    // which quote it).
    virtual QString catalogName(const QString& table) const = 0;
    virtual bool hasTable(const Database& database, const QString& name) const = 0;
    // Whether the store holds any table at all.
    virtual bool isEmpty(const Database& database) const = 0;
    // The schema version reached (0: none recorded).
    virtual int schemaVersion(const Database& database) const = 0;
    virtual void setSchemaVersion(const Database& database, int version) const = 0;
    // A statement copying the whole store into the file bound to it; empty when the store is
    // not a file (the server keeps its own backups, and a migration is one transaction).
    virtual QString copyIntoFile() const = 0;

    // A table definition written with SQLite's words (TEXT, REAL, INTEGER, COLLATE NOCASE) and
    // "{rowid}" where the insertion-order column belongs, in this engine's words.
    virtual QString tableDefinition(const QString& sql) const = 0;
    // Makes a text column unique whatever the case of its ASCII letters (after tableDefinition
    // dropped the engine-specific collation).
    virtual QStringList caseInsensitiveUnique(const QString& table,
                                              const QString& column) const = 0;
    // The triggers of the random tables: widths cut, totals kept, Id changes carried to the
    // elements, the tables' version counter grown on every change.
    virtual QStringList randomTableTriggers() const = 0;

    // A personal generator's results follow it when its Id changes, its case included.
    virtual QStringList resultsFollowTheirGenerator() const = 0;

    // The history's word index: its tables, the triggers of one source ({t}: table, {x}: text
    // field, {kn}/{ko}: the kind of the new/old row, {dn}: the new row's day, {tn}: its time when
    // written, {tu}: its time after a change), the time now when the day given is today, and the
    // column and expression that index one text.
    virtual QStringList historyIndexTables() const = 0;
    virtual QStringList historySourceTriggers() const = 0;
    // The rows whose words are not indexed yet (ovHistoryPending), and the statements that take
    // out the triggers of one source before they are written anew; none where the triggers
    // index the words at once.
    virtual QString historyPendingTable() const = 0;
    // The count of records and of unprinted records of each output table (ovCounts), kept by
    // the triggers of each table ({t}), and the statements that take those triggers out.
    virtual QString recordCountsTable() const = 0;
    virtual QStringList recordCountTriggers() const = 0;
    virtual QStringList droppedRecordCountTriggers() const = 0;
    // The same for the personal generators' results: the row of OVresultat counts them all, and
    // a row "OVresultat:<generator Id>" each generator's; a result that changes generator moves.
    virtual QStringList resultCountTriggers() const = 0;
    virtual QStringList droppedResultCountTriggers() const = 0;
    virtual QStringList droppedHistorySourceTriggers() const = 0;
    virtual QString timeIfToday(const QString& dayExpression) const = 0;
    virtual QString historyWordsColumn() const = 0;
    virtual QString historyWords(const QString& textExpression) const = 0;
    // How the word index merges the batches of words written into it, set before each batch;
    // nothing where the engine's own index needs no setting.
    virtual QString historyWordsMerging() const { return {}; }
    // The search: a condition on ovHistoryText with one bound value, and that value for words
    // that must all stand in the text as the start of a word, accents and case ignored.
    virtual QString historyMatchCondition() const = 0;
    virtual QString historyMatchValue(const QStringList& words) const = 0;

    // What a failed statement means for the user; stillOpen: whether the driver still holds its
    // connection (the server's driver refuses every statement without a word once it lost it).
    enum class Failure { Busy, ReadOnly, Disk, Corrupt, Full, NotDatabase, ConnectionLost, Other };
    virtual Failure failureOf(const QSqlError& error, bool stillOpen) const = 0;
};

// A text without its accents, lower case: what the server's word index keeps and searches.
QString plainWord(const QString& word);

} // namespace ov
