#pragma once
// The table store behind the alias "OV": a SQLite file or a base on a PostgreSQL server, its
// schema, statements and transactions. What differs between the two engines is in its dialect.

#include "databaselocation.h"
#include "dialect.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace ov {

// The six tables of the store, in the order the main screen opens them.
inline const QStringList& storeTableNames() {
    static const QStringList names{QStringLiteral("OVmaster"),    QStringLiteral("OVslave"),
                                   QStringLiteral("OVperso"),     QStringLiteral("OVtresor"),
                                   QStringLiteral("OVrencontre"), QStringLiteral("OVvillage")};
    return names;
}

// The engine's message of a failed statement or connection, never empty.
QString engineMessage(const QSqlError& error);

// Resolves a database alias (any case) to a file path or a server address. "OV" designates
// orvanthe.db in the user's data location unless the alias file (alias.ini in the user's
// configuration location, key OV) points elsewhere. Raises DatabaseError for an unknown alias.
QString resolveAlias(const QString& alias);

// The alias file that may point "OV" elsewhere.
QString aliasFilePath();

// Points the alias "OV" at the file (or server address) in the alias file, for the window and the
// tool alike.
// Raises DatabaseError when the alias file cannot be written.
void setAliasTarget(const QString& path);

// The default database file when no alias file says otherwise.
QString defaultDatabasePath();

// Removes a database file and its journal files (a base that was just created and must not stay).
void removeDatabaseFiles(const QString& path);

class Database {
public:
    // Opens the file, creating it with the schema and the starter tables when it does not exist.
    // An existing file is first looked at without writing: a file that is not a database of this
    // program, or of a newer version, is refused and left unchanged; one that cannot be written
    // is opened read-only; an older one is brought to the latest version after a copy. A missing
    // table shows up when it is opened. A server address ("postgresql://...") opens that base
    // instead: an empty base gets the schema and the starter tables, a base of another program
    // or of a newer version is refused, an older one is brought to the latest version.
    explicit Database(const QString& path);
    // What a new store (a missing file, an empty base on a server) gets when it is opened: the
    // schema and the starter tables at once, or nothing until a write transaction of the caller
    // calls createEmptySchema(), so that the schema and what follows it are one transaction.
    enum class NewStore { WithStarterTables, SchemaLater };
    Database(const QString& path, NewStore newStore);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the database that the alias designates. The default place is created when missing;
    // a folder named by the alias file that does not exist raises MissingFolderError.
    static std::unique_ptr<Database> openAlias(const QString& alias = QStringLiteral("OV"));

    // The file, or the server address (without password): what messages name.
    const QString& path() const { return m_path; }
    const DatabaseLocation& location() const { return m_location; }
    const Dialect& dialect() const { return *m_dialect; }
    bool wasCreated() const { return m_created; }
    // A new store opened with NewStore::SchemaLater that has no schema yet.
    bool awaitsSchema() const { return m_awaitsSchema; }
    // Inside a write transaction: gives such a store the latest schema, without starter tables.
    void createEmptySchema() const;
    // The file cannot be written: reading and drawing work, every write is refused.
    bool isReadOnly() const { return m_readOnly; }
    // The copy made before the file was brought to the latest schema version, if it was.
    const QString& backupPath() const { return m_backupPath; }
    QSqlDatabase connection() const;
    // The connection the window's grids read through. A file gets a second connection of its
    // own: a grid that has read only the rows it shows keeps its statement open there, which
    // holds no read transaction on the connection that writes. A server base is read whole by
    // its driver, so its grids share the one connection.
    QSqlDatabase gridConnection() const;

    // Whether writing to the path would write over this database, its journal files or the alias
    // file, through symbolic links too.
    bool isOwnFile(const QString& path) const;
    // The French refusal of such an output path, or an empty text when the path is free.
    QString ownFileRefusal(const QString& path) const;

    // The expression that orders a table's rows as they were inserted: the order in which the
    // draws walk the elements and the records were generated.
    QString insertionOrder() const;

    bool hasTable(const QString& name) const;
    // Whether the store keeps the counts of the output tables' records (ovCounts); asked once.
    bool keepsRecordCounts() const;
    // Raises the engine-style message for a table missing from the file.
    void requireTable(const QString& name) const;
    // Raises for the first of the six tables that is missing.
    void requireAllTables() const;

    // Prepared statement with its values bound in order; raises DatabaseError on failure. The
    // caller owns the query and its rows: it is prepared anew at each call.
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const;

    // The calls below reuse the statement prepared for the same text on this connection, and
    // reset it before they return, so that no read stays open.

    // A statement whose rows, if any, are not wanted.
    void execute(const QString& sql, const QVariantList& values = {}) const;
    // The first column of the first row, or an invalid value when there is no row.
    QVariant scalar(const QString& sql, const QVariantList& values = {}) const;
    // Hands the rows to visit, in order, until it returns false or the rows end.
    void forEachRow(const QString& sql, const QVariantList& values,
                    const std::function<bool(const QSqlQuery& row)>& visit) const;

    // What failed, in French, on which file, with the engine's text in parentheses; the
    // statement tells reading from writing.
    QString failureMessage(const QString& sql, const QSqlError& error) const;
    // Whether the server closed the connection: every statement fails from then on with the
    // message already given, and a read that no one asked for is better not tried.
    bool connectionLost() const { return !m_lostConnection.isEmpty(); }

    // Runs work in one transaction: committed when it returns, rolled back when it throws.
    void transaction(const std::function<void()>& work) const;

    // A read transaction: what the connection reads until it ends is the store as it was when
    // it began, whatever other connections write meanwhile. Inside a transaction it is that
    // transaction; inside another snapshot it is that snapshot. A write transaction of this
    // connection ends it first (a read transaction turned into a write fails when another
    // connection wrote since it began), so writes belong after end().
    class ReadSnapshot {
    public:
        explicit ReadSnapshot(const Database& database);
        ~ReadSnapshot();
        ReadSnapshot(const ReadSnapshot&) = delete;
        ReadSnapshot& operator=(const ReadSnapshot&) = delete;
        void end();

    private:
        const Database& m_database;
        quint64 m_serial = 0; // 0 when it began inside another snapshot or has ended
    };

    // The number of the read snapshot open now, 0 when none: a reader can tell whether it
    // already checked something in this one.
    quint64 readSnapshot() const { return m_snapshot; }

    // Grows whenever a random table or one of its elements changes, from any connection.
    qint64 randomTablesVersion() const;

private:
    struct Statement {
        QSqlQuery query;
        qsizetype valueCount = 0; // the values it was prepared for
        bool busy = false;
    };
    class StatementUse;
    // execute() and scalar() on a file: the engine's own prepared statement, kept per text, run
    // without Qt's layer (which costs more than the statement itself for the small statements
    // of a run).
    QVariant runKept(const QString& sql, const QVariantList& values) const;
    void dropKeptStatements() const;
    bool createSchema() const;
    void openFile();
    void openServer();
    void prepareSchema(bool exists);
    void closeConnection();
    void endSnapshot() const;

    QString m_path;
    DatabaseLocation m_location;
    const Dialect* m_dialect = &Dialect::sqlite();
    QString m_connectionName;
    QSqlDatabase m_connection;
    mutable QSqlDatabase m_gridConnection;
    bool m_created = false;
    NewStore m_newStore = NewStore::WithStarterTables;
    mutable bool m_awaitsSchema = false;
    bool m_readOnly = false;
    QString m_backupPath;
    mutable int m_depth = 0;
    mutable QHash<QString, std::shared_ptr<Statement>> m_statements;
    sqlite3* m_sqlite = nullptr; // the file's engine handle; none on a server
    mutable QHash<QString, sqlite3_stmt*> m_keptStatements;
    mutable quint64 m_snapshot = 0;
    mutable quint64 m_snapshotsBegun = 0;
    mutable bool m_snapshotBegan = false; // the snapshot ran BEGIN of its own
    mutable QString m_lostConnection;     // the message once the server's connection is lost
    mutable std::optional<bool> m_recordCounts;
};

} // namespace ov
