#include "database.h"

#include "errors.h"
#include "outputs.h"
#include "startertables.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSqlError>
#include <QStandardPaths>

namespace ov {

namespace {

QString engineMessage(const QSqlError& error) {
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("Erreur de la base de données") : text;
}

QString locationFor(QStandardPaths::StandardLocation location) {
    // The organisation and application names of the program, also when a tool or a test runs.
    const QString base = QStandardPaths::writableLocation(
        location == QStandardPaths::AppDataLocation ? QStandardPaths::GenericDataLocation
                                                    : QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Orvanthe/orvanthe");
}

const char* const schemaStatements[] = {
    // Random tables and their elements; elements are walked in insertion order (rowid).
    "CREATE TABLE OVmaster (Id TEXT NOT NULL PRIMARY KEY, Nom TEXT NOT NULL DEFAULT '',"
    " NbrElement REAL NOT NULL DEFAULT 0, TotProba REAL NOT NULL DEFAULT 0)",
    "CREATE TABLE OVslave (Proba REAL NOT NULL DEFAULT 0, Element TEXT NOT NULL DEFAULT '',"
    " ID TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX siSlave ON OVslave (ID, Element)",
    "CREATE INDEX ixSlaveTable ON OVslave (ID)",

    // Generated records, with a partial index that keeps the unprinted count fast.
    "CREATE TABLE OVperso (Id REAL, Perso TEXT, Sexe_Cel_Mel_Stat TEXT, DateCreation TEXT,"
    " DateImprime TEXT)",
    "CREATE TABLE OVtresor (Id REAL, Tresor TEXT, Type TEXT, DateCreation TEXT, DateImprime TEXT)",
    "CREATE TABLE OVrencontre (Id REAL, Rencontre TEXT, Type TEXT, DateCreation TEXT,"
    " DateImprime TEXT)",
    "CREATE TABLE OVvillage (Id REAL, Village TEXT, Type TEXT, DateCreation TEXT,"
    " DateImprime TEXT)",
    "CREATE INDEX ixPersoUnprinted ON OVperso (DateImprime) WHERE DateImprime IS NULL",
    "CREATE INDEX ixTresorUnprinted ON OVtresor (DateImprime) WHERE DateImprime IS NULL",
    "CREATE INDEX ixRencontreUnprinted ON OVrencontre (DateImprime) WHERE DateImprime IS NULL",
    "CREATE INDEX ixVillageUnprinted ON OVvillage (DateImprime) WHERE DateImprime IS NULL",

    // Field widths are counted in characters; a longer text is cut, whoever writes it.
    "CREATE TRIGGER OVmaster_width_ins AFTER INSERT ON OVmaster"
    " WHEN length(NEW.Id) > 4 OR length(NEW.Nom) > 40 BEGIN"
    " UPDATE OVmaster SET Id = substr(Id, 1, 4), Nom = substr(Nom, 1, 40) WHERE rowid = NEW.rowid;"
    " END",
    "CREATE TRIGGER OVmaster_width_upd AFTER UPDATE OF Id, Nom ON OVmaster"
    " WHEN length(NEW.Id) > 4 OR length(NEW.Nom) > 40 BEGIN"
    " UPDATE OVmaster SET Id = substr(Id, 1, 4), Nom = substr(Nom, 1, 40) WHERE rowid = NEW.rowid;"
    " END",
    "CREATE TRIGGER OVslave_width_ins AFTER INSERT ON OVslave"
    " WHEN length(NEW.ID) > 4 OR length(NEW.Element) > 60 BEGIN"
    " UPDATE OVslave SET ID = substr(ID, 1, 4), Element = substr(Element, 1, 60)"
    " WHERE rowid = NEW.rowid; END",
    "CREATE TRIGGER OVslave_width_upd AFTER UPDATE OF ID, Element ON OVslave"
    " WHEN length(NEW.ID) > 4 OR length(NEW.Element) > 60 BEGIN"
    " UPDATE OVslave SET ID = substr(ID, 1, 4), Element = substr(Element, 1, 60)"
    " WHERE rowid = NEW.rowid; END",

    // Elements follow their table when its Id is edited; the table keeps the totals of exactly
    // the elements it now has.
    "CREATE TRIGGER OVmaster_carry_elements AFTER UPDATE OF Id ON OVmaster"
    " WHEN NEW.Id IS NOT OLD.Id BEGIN UPDATE OVslave SET ID = NEW.Id WHERE ID = OLD.Id;"
    " UPDATE OVmaster SET NbrElement = (SELECT count(*) FROM OVslave WHERE ID = NEW.Id),"
    " TotProba = (SELECT coalesce(sum(Proba), 0) FROM OVslave WHERE ID = NEW.Id)"
    " WHERE Id = NEW.Id; END",

    // The totals of a table stay right whenever one of its elements is posted or deleted.
    // Each change adjusts them by its own weight, so loading or deleting many elements costs
    // one step per element.
    "CREATE TRIGGER OVslave_totals_ins AFTER INSERT ON OVslave BEGIN"
    " UPDATE OVmaster SET NbrElement = NbrElement + 1, TotProba = TotProba + NEW.Proba"
    " WHERE Id = NEW.ID; END",
    "CREATE TRIGGER OVslave_totals_del AFTER DELETE ON OVslave BEGIN"
    " UPDATE OVmaster SET NbrElement = NbrElement - 1, TotProba = TotProba - OLD.Proba"
    " WHERE Id = OLD.ID; END",
    "CREATE TRIGGER OVslave_totals_upd AFTER UPDATE OF Proba, ID ON OVslave BEGIN"
    " UPDATE OVmaster SET NbrElement = NbrElement - 1, TotProba = TotProba - OLD.Proba"
    " WHERE Id = OLD.ID;"
    " UPDATE OVmaster SET NbrElement = NbrElement + 1, TotProba = TotProba + NEW.Proba"
    " WHERE Id = NEW.ID; END",

    // A counter that tells cached draws that a random table changed.
    "CREATE TABLE ovTablesVersion (version INTEGER NOT NULL)",
    "INSERT INTO ovTablesVersion VALUES (0)",
    "CREATE TRIGGER OVmaster_version_ins AFTER INSERT ON OVmaster BEGIN"
    " UPDATE ovTablesVersion SET version = version + 1; END",
    "CREATE TRIGGER OVmaster_version_upd AFTER UPDATE ON OVmaster BEGIN"
    " UPDATE ovTablesVersion SET version = version + 1; END",
    "CREATE TRIGGER OVmaster_version_del AFTER DELETE ON OVmaster BEGIN"
    " UPDATE ovTablesVersion SET version = version + 1; END",
    "CREATE TRIGGER OVslave_version_ins AFTER INSERT ON OVslave BEGIN"
    " UPDATE ovTablesVersion SET version = version + 1; END",
    "CREATE TRIGGER OVslave_version_upd AFTER UPDATE ON OVslave BEGIN"
    " UPDATE ovTablesVersion SET version = version + 1; END",
    "CREATE TRIGGER OVslave_version_del AFTER DELETE ON OVslave BEGIN"
    " UPDATE ovTablesVersion SET version = version + 1; END",

    "PRAGMA user_version = 1",
};

} // namespace

QString aliasFilePath() {
    return locationFor(QStandardPaths::AppConfigLocation) + QStringLiteral("/alias.ini");
}

QString defaultDatabasePath() {
    return locationFor(QStandardPaths::AppDataLocation) + QStringLiteral("/orvanthe.db");
}

QString resolveAlias(const QString& alias) {
    if (alias.compare(QStringLiteral("OV"), Qt::CaseInsensitive) != 0)
        throw DatabaseError(QStringLiteral("Alias inconnu : ") + alias);
    QSettings settings(aliasFilePath(), QSettings::IniFormat);
    const QStringList keys = settings.allKeys();
    for (const QString& key : keys) {
        if (key.compare(QStringLiteral("OV"), Qt::CaseInsensitive) == 0 ||
            key.compare(QStringLiteral("alias/OV"), Qt::CaseInsensitive) == 0) {
            const QString target = settings.value(key).toString().trimmed();
            if (target.isEmpty())
                break;
            // A relative path is taken from the alias file's folder.
            return QFileInfo(QFileInfo(aliasFilePath()).dir(), target).absoluteFilePath();
        }
    }
    return defaultDatabasePath();
}

void setAliasTarget(const QString& path) {
    QSettings settings(aliasFilePath(), QSettings::IniFormat);
    QString key = QStringLiteral("OV");
    for (const QString& existing : settings.allKeys())
        if (existing.compare(QStringLiteral("OV"), Qt::CaseInsensitive) == 0 ||
            existing.compare(QStringLiteral("alias/OV"), Qt::CaseInsensitive) == 0)
            key = existing;
    settings.setValue(key, QFileInfo(path).absoluteFilePath());
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw DatabaseError(
            QStringLiteral("Impossible d'écrire le fichier %1.").arg(aliasFilePath()));
}

Database::Database(const QString& path) : m_path(path) {
    static QAtomicInt counter;
    m_connectionName = QStringLiteral("ov-%1").arg(counter.fetchAndAddRelaxed(1));

    const bool exists = QFileInfo::exists(path);
    if (!exists) {
        const QDir folder = QFileInfo(path).absoluteDir();
        if (!folder.exists() && !QDir().mkpath(folder.absolutePath()))
            throw DatabaseError(QStringLiteral("Impossible de créer le dossier ") +
                                folder.absolutePath());
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (!db.isValid()) {
        QSqlDatabase::removeDatabase(m_connectionName);
        throw DatabaseError(QStringLiteral("Le pilote SQLite de Qt est introuvable"));
    }
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        const QString message = engineMessage(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw DatabaseError(message);
    }
    m_connection = db;
    try {
        run(QStringLiteral("PRAGMA journal_mode=WAL"));
        run(QStringLiteral("PRAGMA synchronous=NORMAL"));
        if (!exists) {
            createSchema();
            m_created = true;
        } else {
            addRecordIndexes();
        }
    } catch (...) {
        m_statements.clear();
        db.close();
        db = QSqlDatabase();
        m_connection = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        if (!exists)
            QFile::remove(path);
        throw;
    }
}

Database::~Database() {
    // The kept statements go before their connection.
    m_statements.clear();
    if (m_connection.isOpen())
        m_connection.close();
    m_connection = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

std::unique_ptr<Database> Database::openAlias(const QString& alias) {
    return std::make_unique<Database>(resolveAlias(alias));
}

QSqlDatabase Database::connection() const {
    return m_connection;
}

void Database::createSchema() const {
    transaction([this] {
        for (const char* statement : schemaStatements)
            run(QString::fromLatin1(statement));
        addRecordIndexes();
        loadStarterTables(*this);
    });
}

void Database::addRecordIndexes() const {
    // The record count of an output table reads a small index instead of every text.
    for (OutputKind kind : allOutputKinds) {
        const QString table = outputTable(kind).table;
        if (hasTable(table))
            run(QStringLiteral("CREATE INDEX IF NOT EXISTS ix%1Id ON %1 (Id)").arg(table));
    }
}

bool Database::hasTable(const QString& name) const {
    return scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table'"
                                 " AND name = ? COLLATE NOCASE"),
                  {name})
               .toInt() > 0;
}

void Database::requireTable(const QString& name) const {
    if (!hasTable(name))
        throw DatabaseError(QStringLiteral("La table %1 est introuvable dans la base %2.")
                                .arg(name, QDir::toNativeSeparators(m_path)));
}

void Database::requireAllTables() const {
    for (const QString& name : storeTableNames())
        requireTable(name);
}

QSqlQuery Database::run(const QString& sql, const QVariantList& values) const {
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw DatabaseError(engineMessage(query.lastError()));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw DatabaseError(engineMessage(query.lastError()));
    return query;
}

// One use of a kept statement: prepared when its text is new on this connection (or when an
// outer call is still reading its rows), bound, run, and reset when the use ends.
class Database::StatementUse {
public:
    StatementUse(const Database& database, const QString& sql, const QVariantList& values)
        : m_database(database) {
        // A few statements are run over and over; any other text is kept until the count of
        // kept statements reaches this, and then the idle ones are dropped.
        constexpr qsizetype keptStatements = 64;
        const auto found = database.m_statements.constFind(sql);
        if (found != database.m_statements.constEnd() && !(*found)->busy &&
            (*found)->valueCount == values.size()) {
            m_statement = *found;
        } else {
            m_statement = std::make_shared<Statement>();
            m_statement->query = QSqlQuery(database.m_connection);
            m_statement->query.setForwardOnly(true);
            if (!m_statement->query.prepare(sql))
                throw DatabaseError(engineMessage(m_statement->query.lastError()));
            m_statement->valueCount = values.size();
            if (found == database.m_statements.constEnd()) {
                if (database.m_statements.size() >= keptStatements)
                    database.m_statements.removeIf(
                        [](const auto& kept) { return !kept.value()->busy; });
                database.m_statements.insert(sql, m_statement);
            }
        }
        m_sql = sql;
        m_statement->busy = true;
        QSqlQuery& query = m_statement->query;
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), values.at(i));
        if (!query.exec()) {
            const QString message = engineMessage(query.lastError());
            release(true);
            throw DatabaseError(message);
        }
    }
    ~StatementUse() { release(false); }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

    QSqlQuery& query() { return m_statement->query; }

private:
    void release(bool failed) {
        // Reset: a statement left on a row would keep a read transaction open, which hides
        // other connections' writes from this one and holds back the write-ahead log.
        m_statement->query.finish();
        m_statement->busy = false;
        // A statement that failed is prepared anew next time (its table may have gone).
        if (failed && m_database.m_statements.value(m_sql) == m_statement)
            m_database.m_statements.remove(m_sql);
    }

    const Database& m_database;
    QString m_sql;
    std::shared_ptr<Statement> m_statement;
};

void Database::execute(const QString& sql, const QVariantList& values) const {
    StatementUse use(*this, sql, values);
}

QVariant Database::scalar(const QString& sql, const QVariantList& values) const {
    StatementUse use(*this, sql, values);
    return use.query().next() ? use.query().value(0) : QVariant();
}

void Database::forEachRow(const QString& sql, const QVariantList& values,
                          const std::function<bool(const QSqlQuery& row)>& visit) const {
    StatementUse use(*this, sql, values);
    while (use.query().next())
        if (!visit(use.query()))
            break;
}

void Database::transaction(const std::function<void()>& work) const {
    // Nested calls become savepoints of the outer transaction.
    if (m_depth > 0) {
        const QString name = QStringLiteral("ov_sp%1").arg(m_depth);
        execute(QStringLiteral("SAVEPOINT ") + name);
        ++m_depth;
        try {
            work();
        } catch (...) {
            --m_depth;
            execute(QStringLiteral("ROLLBACK TO ") + name);
            execute(QStringLiteral("RELEASE ") + name);
            throw;
        }
        --m_depth;
        execute(QStringLiteral("RELEASE ") + name);
        return;
    }
    // A write never grows out of a read snapshot.
    endSnapshot();
    QSqlDatabase db = connection();
    if (!db.transaction())
        throw DatabaseError(engineMessage(db.lastError()));
    ++m_depth;
    try {
        work();
    } catch (...) {
        m_depth = 0;
        endSnapshot(); // a snapshot begun inside was this transaction
        db.rollback();
        throw;
    }
    m_depth = 0;
    endSnapshot();
    if (!db.commit()) {
        const QString message = engineMessage(db.lastError());
        db.rollback();
        throw DatabaseError(message);
    }
}

Database::ReadSnapshot::ReadSnapshot(const Database& database) : m_database(database) {
    if (database.m_snapshot != 0)
        return; // inside another snapshot: that one
    if (database.m_depth == 0) {
        database.execute(QStringLiteral("BEGIN"));
        database.m_snapshotBegan = true;
    }
    m_serial = ++database.m_snapshotsBegun;
    database.m_snapshot = m_serial;
}

Database::ReadSnapshot::~ReadSnapshot() {
    end();
}

void Database::ReadSnapshot::end() {
    if (m_serial != 0 && m_database.m_snapshot == m_serial)
        m_database.endSnapshot();
    m_serial = 0;
}

void Database::endSnapshot() const {
    const bool began = m_snapshotBegan;
    m_snapshot = 0;
    m_snapshotBegan = false;
    if (!began)
        return;
    // Nothing was written: ending it cannot lose anything, and it never raises.
    try {
        execute(QStringLiteral("COMMIT"));
    } catch (const DatabaseError&) {
        try {
            execute(QStringLiteral("ROLLBACK"));
        } catch (const DatabaseError&) {
        }
    }
}

qint64 Database::randomTablesVersion() const {
    return scalar(QStringLiteral("SELECT version FROM ovTablesVersion")).toLongLong();
}

} // namespace ov
