#pragma once
// Schema versions of the store. PRAGMA user_version says which step a database file has reached;
// an older file is brought up to date step by step in one transaction, after a copy of the file;
// a newer one is refused. A new table or index arrives through a new step, never elsewhere.

#include <QDate>
#include <QString>
#include <functional>
#include <initializer_list>
#include <vector>

namespace ov {

class Database;

// One step of the schema: the version a database has once the step is done, and what it does.
struct SchemaStep {
    int version;
    QString what; // a few French words, for the messages
    std::function<void(const Database&)> apply;
};

// Every step of the store, oldest first. To bring something new into the store, append one entry
// whose version is the last one plus one; its work runs inside the migration's transaction.
const std::vector<SchemaStep>& schemaSteps();

// A step that runs its statements in order.
std::function<void(const Database&)> schemaStatements(std::initializer_list<const char*> sql);

// The version of the last step: what a new database gets and what this program understands.
int latestSchemaVersion();

// What a file is, read before anything is written to it.
struct DatabaseFileKind {
    enum class Kind {
        Missing,   // no file: a new database may be created there
        Ours,      // a database of this program, at version `version`
        Empty,     // a file of zero bytes
        NotSqlite, // anything else than a SQLite database
        Foreign,   // a SQLite database of another program
        Newer,     // a database of a newer version of this program
    };
    Kind kind = Kind::Missing;
    int version = 0;
    bool readOnly = false; // the file (or its folder, for the journal) cannot be written
    QString engineText;    // what the engine said when it could not read the file
};

// Looks at the file without changing it, byte for byte.
DatabaseFileKind inspectDatabaseFile(const QString& path);

// The French refusal of a file that cannot be opened as a store (empty for Missing and Ours).
QString refusalMessage(const QString& path, const DatabaseFileKind& kind);

// Where the copy before a migration goes: "<file name>.bak-<yyyy-MM-dd>" beside the file, with a
// number after the date when that name is taken.
QString backupPathFor(const QString& databasePath, const QDate& date);

// Brings an open database from its version to the latest one: copies the file, then runs the
// missing steps and sets the version in one transaction. Raises DatabaseError; on failure the
// file keeps its former version. Returns the path of the copy (empty when nothing was needed).
QString migrateSchema(const Database& database);

} // namespace ov
