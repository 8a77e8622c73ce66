#include "schema.h"

#include "database.h"
#include "errors.h"
#include "generatortables.h"
#include "historyindex.h"
#include "outputs.h"
#include "savefile.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <vector>

namespace ov {

namespace {

// The first bytes of a file, read through the engine's own file layer. Closing a file that this
// program opened by other means would drop every lock the program holds on it: its other
// connections to the store would lose their share of it, and the next tool to close the store
// would take the journal from under them. The path is the file's own, links resolved.
QByteArray leadingBytes(const QString& path, int count, QString& error) {
    sqlite3_vfs* const vfs = sqlite3_vfs_find(nullptr);
    if (!vfs)
        return {};
    std::vector<char> storage(static_cast<size_t>(vfs->szOsFile));
    auto* const file = reinterpret_cast<sqlite3_file*>(storage.data());
    const QByteArray name = QFile::encodeName(path);
    int flags = 0;
    errno = 0;
    if (vfs->xOpen(vfs, name.constData(), file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB,
                   &flags) != SQLITE_OK) {
        if (errno != 0)
            error = QString::fromLocal8Bit(strerror(errno));
        if (file->pMethods)
            file->pMethods->xClose(file);
        return {};
    }
    QByteArray bytes(count, '\0');
    // A file shorter than asked reads as zeros past its end.
    const int read = file->pMethods->xRead(file, bytes.data(), count, 0);
    file->pMethods->xClose(file);
    return read == SQLITE_OK || read == SQLITE_IOERR_SHORT_READ ? bytes : QByteArray();
}

// The random tables, the four output tables and the triggers that keep them right.
void createBaseTables(const Database& database) {
    static const char* const tables[] = {
        // Random tables and their elements; elements are walked in insertion order (rowid).
        "CREATE TABLE OVmaster (Id TEXT NOT NULL PRIMARY KEY, Nom TEXT NOT NULL DEFAULT '',"
        " NbrElement REAL NOT NULL DEFAULT 0, TotProba REAL NOT NULL DEFAULT 0{rowid})",
        "CREATE TABLE OVslave (Proba REAL NOT NULL DEFAULT 0, Element TEXT NOT NULL DEFAULT '',"
        " ID TEXT NOT NULL DEFAULT ''{rowid})",
        "CREATE INDEX siSlave ON OVslave (ID, Element)",
        "CREATE INDEX ixSlaveTable ON OVslave (ID)",

        // Generated records, with a partial index that keeps the unprinted count fast.
        "CREATE TABLE OVperso (Id REAL, Perso TEXT, Sexe_Cel_Mel_Stat TEXT, DateCreation TEXT,"
        " DateImprime TEXT{rowid})",
        "CREATE TABLE OVtresor (Id REAL, Tresor TEXT, Type TEXT, DateCreation TEXT,"
        " DateImprime TEXT{rowid})",
        "CREATE TABLE OVrencontre (Id REAL, Rencontre TEXT, Type TEXT, DateCreation TEXT,"
        " DateImprime TEXT{rowid})",
        "CREATE TABLE OVvillage (Id REAL, Village TEXT, Type TEXT, DateCreation TEXT,"
        " DateImprime TEXT{rowid})",
        "CREATE INDEX ixPersoUnprinted ON OVperso (DateImprime) WHERE DateImprime IS NULL",
        "CREATE INDEX ixTresorUnprinted ON OVtresor (DateImprime) WHERE DateImprime IS NULL",
        "CREATE INDEX ixRencontreUnprinted ON OVrencontre (DateImprime) WHERE DateImprime IS NULL",
        "CREATE INDEX ixVillageUnprinted ON OVvillage (DateImprime) WHERE DateImprime IS NULL",

        // A counter that tells cached draws that a random table changed.
        "CREATE TABLE ovTablesVersion (version INTEGER NOT NULL)",
        "INSERT INTO ovTablesVersion VALUES (0)",
    };
    for (const char* statement : tables)
        database.run(database.dialect().tableDefinition(QString::fromLatin1(statement)));
    for (const QString& statement : database.dialect().randomTableTriggers())
        database.run(statement);
}

// The record count of an output table reads a small index instead of every text; the numbers
// taken by runs that have not stored their record yet are kept apart.
void addRecordNumbers(const Database& database) {
    for (OutputKind kind : allOutputKinds) {
        const QString table = outputTable(kind).table;
        if (database.hasTable(table))
            database.run(QStringLiteral("CREATE INDEX IF NOT EXISTS ix%1Id ON %1 (Id)").arg(table));
    }
    database.run(database.dialect().tableDefinition(
        QStringLiteral("CREATE TABLE ovRecordNumbers (OutputTable TEXT NOT NULL,"
                       " Number INTEGER NOT NULL, PRIMARY KEY (OutputTable, Number))")));
}

// Record numbers are taken where the records are stored: no reservation is kept apart.
void dropRecordReservations(const Database& database) {
    if (database.hasTable(QStringLiteral("ovRecordNumbers")))
        database.run(QStringLiteral("DROP TABLE ovRecordNumbers"));
}

bool hasStoreTables(const QSqlDatabase& connection) {
    QSqlQuery query(connection);
    return query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND"
                                     " name IN ('OVmaster', 'OVslave', 'OVperso', 'OVtresor',"
                                     " 'OVrencontre', 'OVvillage') COLLATE NOCASE")) &&
           query.next() && query.value(0).toInt() > 0;
}

// A file written before the store had versions: its tables are those of the first step.
int effectiveVersion(const Database& database) {
    const int version = database.dialect().schemaVersion(database);
    if (version > 0)
        return version;
    for (const QString& table : storeTableNames())
        if (database.hasTable(table))
            return 1;
    return 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The steps. Append new ones at the end, with the next version.
const std::vector<SchemaStep>& schemaSteps() {
    static const std::vector<SchemaStep> steps{
        {1, QStringLiteral("tables aléatoires et textes générés"), &createBaseTables},
        {2, QStringLiteral("numéros des textes générés"), &addRecordNumbers},
        {3, QStringLiteral("générateurs personnels et leurs résultats"), &addGeneratorTables},
        {4, QStringLiteral("historique des textes générés"), &createHistoryIndex},
        {5, QStringLiteral("résultats des générateurs personnels dans l'historique"),
         &addResultsToHistory},
        {6, QStringLiteral("langue française et raccourcis des générateurs personnels"),
         &addGeneratorOptions},
        {7, QStringLiteral("numéros pris à l'enregistrement"), &dropRecordReservations},
        {8, QStringLiteral("mots de l'historique indexés par lots"), &deferHistoryWords},
        {9, QStringLiteral("nombres de textes générés et non imprimés"), &keepRecordCounts},
        {10, QStringLiteral("nombres des résultats de chaque générateur personnel"),
         &keepResultCounts},
    };
    return steps;
}
// ---------------------------------------------------------------------------------------------

std::function<void(const Database&)> schemaStatements(std::initializer_list<const char*> sql) {
    std::vector<QString> statements;
    for (const char* statement : sql)
        statements.push_back(QString::fromUtf8(statement));
    return [statements](const Database& database) {
        for (const QString& statement : statements)
            database.run(statement);
    };
}

int latestSchemaVersion() {
    return schemaSteps().back().version;
}

DatabaseFileKind inspectDatabaseFile(const QString& path) {
    DatabaseFileKind result;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return result;
    const bool journalExists = QFileInfo::exists(path + QStringLiteral("-wal"));
    // A file whose permissions forbid writing is read-only even for a user who could override
    // them: its owner marked it so.
    const auto writeBits = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    result.readOnly = !info.isWritable() || !(info.permissions() & writeBits) ||
                      (!QFileInfo(info.absolutePath()).isWritable() && !journalExists);
    if (!info.isFile()) {
        result.kind = DatabaseFileKind::Kind::NotSqlite;
        return result;
    }
    if (info.size() == 0) {
        result.kind = DatabaseFileKind::Kind::Empty;
        return result;
    }
    static const QByteArray magic("SQLite format 3\0", 16);
    QString readError;
    if (leadingBytes(info.canonicalFilePath(), magic.size(), readError) != magic) {
        result.kind = DatabaseFileKind::Kind::NotSqlite;
        result.engineText = readError;
        return result;
    }

    // Read through the engine without writing anything: with no journal beside it the file is
    // read as it stands, so that not even a journal or a lock file appears.
    static QAtomicInt counter;
    const QString name = QStringLiteral("ov-inspect-%1").arg(counter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(
            QUrl::fromLocalFile(info.absoluteFilePath()).toString() +
            (journalExists ? QStringLiteral("?mode=ro") : QStringLiteral("?immutable=1")));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            result.kind = DatabaseFileKind::Kind::NotSqlite;
            result.engineText = db.lastError().text().trimmed();
        } else {
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
                result.kind = DatabaseFileKind::Kind::NotSqlite;
                result.engineText = query.lastError().text().trimmed();
            } else {
                result.version = query.value(0).toInt();
                query.finish();
                if (result.version > latestSchemaVersion()) {
                    result.kind = DatabaseFileKind::Kind::Newer;
                } else if (result.version > 0 || hasStoreTables(db)) {
                    result.kind = DatabaseFileKind::Kind::Ours;
                    result.version = qMax(result.version, 1);
                } else {
                    result.kind = DatabaseFileKind::Kind::Foreign;
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QString refusalMessage(const QString& path, const DatabaseFileKind& kind) {
    const QString file = QDir::toNativeSeparators(path);
    const QString unchanged = QStringLiteral(" Il n'a pas été modifié.");
    switch (kind.kind) {
    case DatabaseFileKind::Kind::Missing:
    case DatabaseFileKind::Kind::Ours:
        return {};
    case DatabaseFileKind::Kind::Empty:
        return QStringLiteral("Le fichier %1 est vide : ce n'est pas une base Orvanthe.")
                   .arg(file) +
               unchanged;
    case DatabaseFileKind::Kind::NotSqlite:
        return QStringLiteral("Le fichier %1 n'est pas une base Orvanthe.").arg(file) + unchanged +
               (kind.engineText.isEmpty() ? QString()
                                          : QStringLiteral(" (%1)").arg(kind.engineText));
    case DatabaseFileKind::Kind::Foreign:
        return QStringLiteral("Le fichier %1 est une base SQLite d'un autre programme, pas une "
                              "base Orvanthe.")
                   .arg(file) +
               unchanged;
    case DatabaseFileKind::Kind::Newer:
        return QStringLiteral("La base %1 vient d'une version plus récente d'Orvanthe (schéma %2 ;"
                              " ce programme connaît jusqu'au schéma %3) : elle n'est pas ouverte"
                              " et n'a pas été modifiée.")
            .arg(file)
            .arg(kind.version)
            .arg(latestSchemaVersion());
    }
    return {};
}

QString backupPathFor(const QString& databasePath, const QDate& date) {
    const QString base = databasePath + QStringLiteral(".bak-") + date.toString(Qt::ISODate);
    QString candidate = base;
    for (int i = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++i)
        candidate = base + QStringLiteral("-%1").arg(i);
    return candidate;
}

QString migrateSchema(const Database& database) {
    if (effectiveVersion(database) >= latestSchemaVersion())
        return {};
    // A consistent copy of the whole file, what the journal holds included. It is written under a
    // name of its own and gets the backup's name only once complete: a program killed meanwhile
    // never leaves that name empty or half-written, and the next run takes it.
    const QString copy = database.dialect().copyIntoFile();
    QString backup;
    if (!copy.isEmpty()) {
        const QString partial =
            backupPathFor(database.path(), QDate::currentDate()) +
            QStringLiteral(".partiel-%1").arg(QCoreApplication::applicationPid());
        try {
            QFile::remove(partial);
            database.run(copy, {partial});
            if (!flushToDisk(partial))
                throw DatabaseError(QStringLiteral("Écriture impossible de la copie %1")
                                        .arg(QDir::toNativeSeparators(partial)));
            // Another program may have taken the name meanwhile: the next free one, then.
            for (int attempt = 0; attempt < 3 && backup.isEmpty(); ++attempt) {
                const QString name = backupPathFor(database.path(), QDate::currentDate());
                if (QFile::rename(partial, name))
                    backup = name;
            }
            if (backup.isEmpty())
                throw DatabaseError(QStringLiteral("La copie %1 n'a pas pu être renommée")
                                        .arg(QDir::toNativeSeparators(partial)));
        } catch (const DatabaseError& error) {
            QFile::remove(partial);
            throw DatabaseError(
                QStringLiteral("La copie de la base %1 avant sa mise à jour a"
                               " échoué : elle n'a pas été modifiée. %2")
                    .arg(QDir::toNativeSeparators(database.path()), error.message()));
        }
    }
    database.transaction([&] {
        // Another program may have brought the file up to date meanwhile.
        const int from = effectiveVersion(database);
        for (const SchemaStep& step : schemaSteps())
            if (step.version > from)
                step.apply(database);
        database.dialect().setSchemaVersion(database, latestSchemaVersion());
    });
    return backup;
}

} // namespace ov
