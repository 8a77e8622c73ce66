#pragma once
// The table store: one SQLite file behind the alias "OV", its schema, statements and transactions.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

namespace ov {

// The six tables of the store, in the order the main screen opens them.
inline const QStringList& storeTableNames() {
    static const QStringList names{QStringLiteral("OVmaster"),    QStringLiteral("OVslave"),
                                   QStringLiteral("OVperso"),     QStringLiteral("OVtresor"),
                                   QStringLiteral("OVrencontre"), QStringLiteral("OVvillage")};
    return names;
}

// Resolves a database alias (any case) to a file path. "OV" designates orvanthe.db in the user's
// data location unless the alias file (alias.ini in the user's configuration location, key OV)
// points elsewhere. Raises DatabaseError for an unknown alias.
QString resolveAlias(const QString& alias);

// The alias file that may point "OV" elsewhere.
QString aliasFilePath();

// Points the alias "OV" at the file in the alias file, for the window and the tool alike.
// Raises DatabaseError when the alias file cannot be written.
void setAliasTarget(const QString& path);

// The default database file when no alias file says otherwise.
QString defaultDatabasePath();

class Database {
public:
    // Opens the file, creating it with the schema and the starter tables when it does not exist.
    // An existing file is opened as it is: a missing table shows up when it is opened.
    explicit Database(const QString& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the database that the alias designates.
    static std::unique_ptr<Database> openAlias(const QString& alias = QStringLiteral("OV"));

    const QString& path() const { return m_path; }
    bool wasCreated() const { return m_created; }
    QSqlDatabase connection() const;

    bool hasTable(const QString& name) const;
    // Raises the engine-style message for a table missing from the file.
    void requireTable(const QString& name) const;
    // Raises for the first of the six tables that is missing.
    void requireAllTables() const;

    // Prepared statement with its values bound in order; raises DatabaseError on failure.
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) const;
    // The first column of the first row, or an invalid value when there is no row.
    QVariant scalar(const QString& sql, const QVariantList& values = {}) const;

    // Runs work in one transaction: committed when it returns, rolled back when it throws.
    void transaction(const std::function<void()>& work) const;

    // Grows whenever a random table or one of its elements changes, from any connection.
    qint64 randomTablesVersion() const;

private:
    void createSchema() const;
    void addRecordIndexes() const;

    QString m_path;
    QString m_connectionName;
    bool m_created = false;
    mutable int m_depth = 0;
};

} // namespace ov
