#include "database.h"

#include "errors.h"
#include "outputs.h"
#include "schema.h"
#include "startertables.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSqlDriver>
#include <QSqlError>
#include <QStandardPaths>
#include <QUrl>
#include <cstdio>
#include <dlfcn.h>
#include <sqlite3.h>

namespace ov {

QString engineMessage(const QSqlError& error) {
    // On one line, whatever the driver wrote: the server's text spans several lines, and the
    // server's driver adds "()" where it has no error code to show.
    const QString text =
        error.text().replace(QStringLiteral("\n()"), QStringLiteral("\n")).simplified();
    return text.isEmpty() ? QStringLiteral("Erreur de la base de données") : text;
}

namespace {

QtMessageHandler handlerBefore = nullptr;

// Once a server has closed a connection, Qt's driver still tries to free the statements
// prepared there as they go, and warns in English each time; the user is told in French, once,
// by the statement that fails.
void withoutFreeingWarnings(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Unable to free statement")))
        return;
    if (handlerBefore)
        handlerBefore(type, context, message);
    else
        fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

// The server's client library prints the server's notices on standard error itself, in English:
// a connection ended by the server shows up there as "FATAL: terminating connection...". The
// statement that fails next tells it in French; the notices go nowhere. The library is the one
// Qt's driver loaded: nothing is linked for it.
void silenceServerNotices(const QSqlDatabase& db) {
    using Processor = void (*)(void*, const char*);
    using SetProcessor = Processor (*)(void*, Processor, void*);
    const QVariant handle = db.driver()->handle();
    // The connection's type is named after the library's structure.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return;
    void* library = dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD);
    if (!library)
        return;
    if (const auto set = reinterpret_cast<SetProcessor>(dlsym(library, "PQsetNoticeProcessor")))
        set(
            *static_cast<void* const*>(handle.data()), [](void*, const char*) {}, nullptr);
    dlclose(library);
}

void quietDriver() {
    static const bool installed = [] {
        handlerBefore = qInstallMessageHandler(withoutFreeingWarnings);
        return true;
    }();
    Q_UNUSED(installed);
}

QString locationFor(QStandardPaths::StandardLocation location) {
    // The organisation and application names of the program, also when a tool or a test runs.
    const QString base = QStandardPaths::writableLocation(
        location == QStandardPaths::AppDataLocation ? QStandardPaths::GenericDataLocation
                                                    : QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Orvanthe/orvanthe");
}

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
            if (DatabaseLocation::looksLikeServer(target))
                return target;
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
    // A server address is written without password, whatever was given.
    settings.setValue(key, DatabaseLocation::looksLikeServer(path)
                               ? DatabaseLocation::parse(path).text()
                               : QFileInfo(path).absoluteFilePath());
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw DatabaseError(
            QStringLiteral("Impossible d'écrire le fichier %1.").arg(aliasFilePath()));
}

void removeDatabaseFiles(const QString& path) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
}

Database::Database(const QString& path) : Database(path, NewStore::WithStarterTables) {}

Database::Database(const QString& path, NewStore newStore)
    : m_path(path), m_location(DatabaseLocation::parse(path)), m_newStore(newStore) {
    static QAtomicInt counter;
    m_connectionName = QStringLiteral("ov-%1").arg(counter.fetchAndAddRelaxed(1));
    if (m_location.isServer()) {
        m_path = m_location.text();
        m_dialect = &Dialect::postgresql();
        openServer();
    } else {
        openFile();
    }
}

void Database::openFile() {
    const QString& path = m_path;
    // What the file is, before anything is written to it.
    const DatabaseFileKind kind = inspectDatabaseFile(path);
    if (const QString refusal = refusalMessage(path, kind); !refusal.isEmpty())
        throw DatabaseError(refusal);
    const bool exists = kind.kind == DatabaseFileKind::Kind::Ours;
    m_readOnly = exists && kind.readOnly;
    if (!exists && !QFileInfo(path).absoluteDir().exists())
        throw DatabaseError(QStringLiteral("Le dossier de la base %1 n'existe pas : aucune base n'a"
                                           " été créée.")
                                .arg(QDir::toNativeSeparators(path)));

    QSqlDatabase db = QSqlDatabase::addDatabase(m_dialect->driverName(), m_connectionName);
    if (!db.isValid()) {
        QSqlDatabase::removeDatabase(m_connectionName);
        throw DatabaseError(QStringLiteral("Le pilote SQLite de Qt est introuvable"));
    }
    if (m_readOnly) {
        // A file that cannot be written is read as it stands: no journal appears beside it.
        const bool journalExists = QFileInfo::exists(path + QStringLiteral("-wal"));
        db.setDatabaseName(
            QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString() +
            (journalExists ? QStringLiteral("?mode=ro") : QStringLiteral("?immutable=1")));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    } else {
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (!db.open()) {
        const QString message =
            QStringLiteral("Impossible d'ouvrir la base %1 (%2)")
                .arg(QDir::toNativeSeparators(path), engineMessage(db.lastError()));
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw DatabaseError(message);
    }
    m_connection = db;
    db = QSqlDatabase(); // the connection is m_connection's alone, so that it can be removed
    if (const QVariant handle = m_connection.driver()->handle();
        handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_sqlite = *static_cast<sqlite3* const*>(handle.constData());
    try {
        if (!m_readOnly)
            prepareSchema(exists);
    } catch (...) {
        closeConnection();
        if (!exists && !m_created && !m_awaitsSchema)
            removeDatabaseFiles(path);
        throw;
    }
}

void Database::openServer() {
    if (!QSqlDatabase::isDriverAvailable(m_dialect->driverName()))
        throw DatabaseError(
            QStringLiteral("Le pilote PostgreSQL de Qt est introuvable : la base %1 ne peut pas"
                           " être ouverte (paquet libqt6sql6-psql).")
                .arg(m_path));
    quietDriver();
    QSqlDatabase db = QSqlDatabase::addDatabase(m_dialect->driverName(), m_connectionName);
    db.setHostName(m_location.host());
    if (m_location.port() > 0)
        db.setPort(m_location.port());
    db.setDatabaseName(m_location.base());
    db.setUserName(m_location.user());
    db.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=orvanthe"));
    if (!db.open()) {
        const QString message =
            QStringLiteral("Impossible de joindre la base %1 sur son serveur (%2)")
                .arg(m_path, engineMessage(db.lastError()));
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw DatabaseError(message);
    }
    silenceServerNotices(db);
    m_connection = db;
    db = QSqlDatabase(); // the connection is m_connection's alone, so that it can be removed
    if (const QVariant handle = m_connection.driver()->handle();
        handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_sqlite = *static_cast<sqlite3* const*>(handle.constData());
    try {
        // What the base holds, before anything is written to it.
        const int version = m_dialect->schemaVersion(*this);
        if (version > latestSchemaVersion()) {
            DatabaseFileKind newer;
            newer.kind = DatabaseFileKind::Kind::Newer;
            newer.version = version;
            throw DatabaseError(refusalMessage(m_path, newer));
        }
        if (version == 0 && !m_dialect->isEmpty(*this))
            throw DatabaseError(
                QStringLiteral("La base %1 contient déjà les tables d'un autre programme : ce"
                               " n'est pas une base Orvanthe. Elle n'a pas été modifiée.")
                    .arg(m_path));
        prepareSchema(version > 0);
    } catch (...) {
        closeConnection();
        throw;
    }
}

void Database::prepareSchema(bool exists) {
    for (const QString& statement : m_dialect->connectionSetup())
        run(statement);
    if (!exists && m_newStore == NewStore::SchemaLater)
        m_awaitsSchema = true;
    else if (!exists)
        m_created = createSchema();
    else
        m_backupPath = migrateSchema(*this);
}

void Database::closeConnection() {
    m_statements.clear();
    dropKeptStatements();
    m_sqlite = nullptr;
    if (m_gridConnection.isValid()) {
        m_gridConnection.close();
        m_gridConnection = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName + QStringLiteral("-grids"));
    }
    if (m_connection.isOpen())
        m_connection.close();
    m_connection = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

Database::~Database() {
    // The kept statements go before their connection.
    closeConnection();
}

std::unique_ptr<Database> Database::openAlias(const QString& alias) {
    const QString path = resolveAlias(alias);
    if (DatabaseLocation::looksLikeServer(path))
        return std::make_unique<Database>(path);
    const QDir folder = QFileInfo(path).absoluteDir();
    if (!folder.exists()) {
        // Only the default place is made silently; a place the alias file names may be a disk
        // that is not there at the moment, and a new empty base there would hide the real one.
        if (path != defaultDatabasePath())
            throw MissingFolderError(
                QStringLiteral("Le dossier %1 de la base %2, désignée par le fichier d'alias %3,"
                               " n'existe pas : aucune base n'a été ouverte ni créée.")
                    .arg(QDir::toNativeSeparators(folder.absolutePath()),
                         QDir::toNativeSeparators(path), QDir::toNativeSeparators(aliasFilePath())),
                path);
        if (!QDir().mkpath(folder.absolutePath()))
            throw DatabaseError(QStringLiteral("Impossible de créer le dossier %1.")
                                    .arg(QDir::toNativeSeparators(folder.absolutePath())));
    }
    return std::make_unique<Database>(path);
}

QSqlDatabase Database::connection() const {
    return m_connection;
}

QSqlDatabase Database::gridConnection() const {
    if (m_location.isServer())
        return m_connection;
    if (!m_gridConnection.isValid()) {
        const QString name = m_connectionName + QStringLiteral("-grids");
        QSqlDatabase grids = QSqlDatabase::cloneDatabase(m_connection, name);
        if (!grids.open()) {
            grids = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            return m_connection;
        }
        m_gridConnection = grids;
    }
    return m_gridConnection;
}

bool Database::createSchema() const {
    // A new file gets the latest version directly, with the starter tables. Another program that
    // created the same file a moment earlier has already done it.
    bool created = false;
    transaction([&] {
        if (!m_dialect->isEmpty(*this))
            return;
        for (const SchemaStep& step : schemaSteps())
            step.apply(*this);
        m_dialect->setSchemaVersion(*this, latestSchemaVersion());
        loadStarterTables(*this);
        loadStarterGenerators(*this);
        created = true;
    });
    return created;
}

void Database::createEmptySchema() const {
    if (!m_awaitsSchema)
        return;
    // Another program may have given the store its schema since it was opened.
    if (!m_dialect->isEmpty(*this))
        throw DatabaseError(
            QStringLiteral("La base %1 a reçu des tables d'un autre programme entre-temps : rien"
                           " n'y a été écrit.")
                .arg(QDir::toNativeSeparators(m_path)));
    for (const SchemaStep& step : schemaSteps())
        step.apply(*this);
    m_dialect->setSchemaVersion(*this, latestSchemaVersion());
    m_awaitsSchema = false;
}

namespace {

// The file a path leads to, following links, also when that file does not exist yet.
QString resolvedPath(const QString& path) {
    QFileInfo info(path);
    for (int hops = 0; info.isSymLink() && hops < 40; ++hops)
        info = QFileInfo(info.symLinkTarget());
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') + info.fileName();
}

} // namespace

bool Database::isOwnFile(const QString& path) const {
    if (path.isEmpty())
        return false;
    const QString target = resolvedPath(path);
    if (m_location.isServer())
        return target == resolvedPath(aliasFilePath());
    const QString base = resolvedPath(m_path);
    const QStringList own{base, base + QStringLiteral("-wal"), base + QStringLiteral("-shm"),
                          base + QStringLiteral("-journal"), resolvedPath(aliasFilePath())};
    return own.contains(target);
}

QString Database::ownFileRefusal(const QString& path) const {
    if (!isOwnFile(path))
        return {};
    return QStringLiteral("Le fichier %1 ne peut pas être la base elle-même (%2), un de ses"
                          " fichiers -wal ou -shm, ni le fichier d'alias : rien n'a été écrit.")
        .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(m_path));
}

QString Database::insertionOrder() const {
    return QStringLiteral("rowid");
}

bool Database::hasTable(const QString& name) const {
    return m_dialect->hasTable(*this, name);
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
    if (!m_lostConnection.isEmpty())
        throw DatabaseError(m_lostConnection);
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (values.isEmpty() && !m_dialect->prepares(sql)) {
        if (!query.exec(sql))
            throw DatabaseError(failureMessage(sql, query.lastError()));
        return query;
    }
    if (!query.prepare(sql))
        throw DatabaseError(failureMessage(sql, query.lastError()));
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        throw DatabaseError(failureMessage(sql, query.lastError()));
    return query;
}

QString Database::failureMessage(const QString& sql, const QSqlError& error) const {
    const QString file = QDir::toNativeSeparators(m_path);
    const QString verb = sql.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    const bool reading = verb == QStringLiteral("SELECT") || verb == QStringLiteral("PRAGMA") ||
                         verb == QStringLiteral("WITH");
    const QString nothingWritten = reading ? QString() : QStringLiteral(" : rien n'y a été écrit");
    QString what;
    switch (m_dialect->failureOf(error, m_connection.isOpen())) {
    case Dialect::Failure::Busy:
        what = QStringLiteral("La base %1 est occupée par un autre programme").arg(file) +
               nothingWritten;
        break;
    case Dialect::Failure::ReadOnly:
        what = QStringLiteral("La base %1 est en lecture seule : rien n'y a été écrit").arg(file);
        break;
    case Dialect::Failure::Disk:
        what =
            QStringLiteral("Erreur d'accès au disque pour la base %1").arg(file) + nothingWritten;
        break;
    case Dialect::Failure::Corrupt:
        what = QStringLiteral("La base %1 est endommagée").arg(file) + nothingWritten;
        break;
    case Dialect::Failure::Full:
        what = QStringLiteral("Le disque de la base %1 est plein : rien n'y a été écrit").arg(file);
        break;
    case Dialect::Failure::NotDatabase:
        what = QStringLiteral("Le fichier %1 n'est pas une base de données").arg(file);
        break;
    case Dialect::Failure::ConnectionLost:
        what = QStringLiteral("La connexion au serveur de la base %1 est perdue : ce qui était en"
                              " cours n'a pas été enregistré")
                   .arg(file);
        // Nothing more can reach the server on this connection.
        quietDriver();
        if (m_lostConnection.isEmpty())
            m_lostConnection =
                what + QStringLiteral(" (") + engineMessage(error) + QLatin1Char(')');
        break;
    case Dialect::Failure::Other:
        what = (reading ? QStringLiteral("Lecture impossible dans la base %1")
                        : QStringLiteral("Écriture impossible dans la base %1"))
                   .arg(file);
        break;
    }
    return what + QStringLiteral(" (") + engineMessage(error) + QLatin1Char(')');
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
        if (!database.m_lostConnection.isEmpty())
            throw DatabaseError(database.m_lostConnection);
        m_sql = sql;
        if (values.isEmpty() && !database.m_dialect->prepares(sql)) {
            // Run as it is, and not kept: the engine does not prepare such a statement.
            m_statement = std::make_shared<Statement>();
            m_statement->query = QSqlQuery(database.m_connection);
            m_statement->query.setForwardOnly(true);
            m_statement->busy = true;
            if (!m_statement->query.exec(sql)) {
                const QString message =
                    database.failureMessage(sql, m_statement->query.lastError());
                release(true);
                throw DatabaseError(message);
            }
            return;
        }
        const auto found = database.m_statements.constFind(sql);
        if (found != database.m_statements.constEnd() && !(*found)->busy &&
            (*found)->valueCount == values.size()) {
            m_statement = *found;
        } else {
            m_statement = std::make_shared<Statement>();
            m_statement->query = QSqlQuery(database.m_connection);
            m_statement->query.setForwardOnly(true);
            if (!m_statement->query.prepare(sql))
                throw DatabaseError(database.failureMessage(sql, m_statement->query.lastError()));
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
            const QString message = database.failureMessage(sql, query.lastError());
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
    if (m_sqlite) {
        runKept(sql, values);
        return;
    }
    StatementUse use(*this, sql, values);
}

QVariant Database::scalar(const QString& sql, const QVariantList& values) const {
    if (m_sqlite)
        return runKept(sql, values);
    StatementUse use(*this, sql, values);
    return use.query().next() ? use.query().value(0) : QVariant();
}

void Database::dropKeptStatements() const {
    for (sqlite3_stmt* statement : std::as_const(m_keptStatements))
        sqlite3_finalize(statement);
    m_keptStatements.clear();
}

QVariant Database::runKept(const QString& sql, const QVariantList& values) const {
    // As many texts are kept as by the statements through Qt.
    constexpr qsizetype keptStatements = 64;
    const auto fail = [&](sqlite3_stmt* statement) {
        const QSqlError error(
            QStringLiteral("Unable to execute statement"),
            QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(m_sqlite))),
            QSqlError::StatementError, QString::number(sqlite3_extended_errcode(m_sqlite)));
        const QString message = failureMessage(sql, error);
        if (statement) {
            // Prepared anew next time (its table may have gone).
            m_keptStatements.remove(sql);
            sqlite3_finalize(statement);
        }
        throw DatabaseError(message);
    };
    sqlite3_stmt* statement = m_keptStatements.value(sql);
    if (!statement) {
        if (sqlite3_prepare16_v3(m_sqlite, sql.utf16(), int(sql.size() * sizeof(char16_t)),
                                 SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement);
            fail(nullptr);
        }
        if (m_keptStatements.size() >= keptStatements)
            dropKeptStatements();
        m_keptStatements.insert(sql, statement);
    }
    for (qsizetype i = 0; i < values.size(); ++i) {
        const QVariant& value = values.at(i);
        const int at = int(i) + 1;
        if (value.isNull()) {
            sqlite3_bind_null(statement, at);
            continue;
        }
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Bool:
            sqlite3_bind_int64(statement, at, value.toLongLong());
            break;
        case QMetaType::Double:
            sqlite3_bind_double(statement, at, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            sqlite3_bind_blob(statement, at, bytes.constData(), int(bytes.size()),
                              SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDateTime: // as Qt's driver writes them
            sqlite3_bind_text16(statement, at,
                                value.toDateTime().toString(Qt::ISODateWithMs).utf16(), -1,
                                SQLITE_TRANSIENT);
            break;
        case QMetaType::QTime:
            sqlite3_bind_text16(statement, at,
                                value.toTime().toString(QStringLiteral("hh:mm:ss.zzz")).utf16(), -1,
                                SQLITE_TRANSIENT);
            break;
        default: {
            // The store keeps UTF-8: converted here, faster than by the engine.
            const QByteArray text = value.toString().toUtf8();
            sqlite3_bind_text(statement, at, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        }
    }
    QVariant result;
    const int step = sqlite3_step(statement);
    if (step == SQLITE_ROW && sqlite3_column_count(statement) > 0) {
        switch (sqlite3_column_type(statement, 0)) {
        case SQLITE_INTEGER:
            result = qint64(sqlite3_column_int64(statement, 0));
            break;
        case SQLITE_FLOAT:
            result = sqlite3_column_double(statement, 0);
            break;
        case SQLITE_NULL:
            result = QVariant(QMetaType::fromType<QString>());
            break;
        case SQLITE_BLOB:
            result = QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, 0)),
                                sqlite3_column_bytes(statement, 0));
            break;
        default:
            result = QString::fromUtf16(
                static_cast<const char16_t*>(sqlite3_column_text16(statement, 0)),
                sqlite3_column_bytes16(statement, 0) / qsizetype(sizeof(char16_t)));
        }
    } else if (step != SQLITE_ROW && step != SQLITE_DONE) {
        sqlite3_reset(statement);
        fail(statement);
    }
    // Reset: a statement left on a row would keep a read transaction open.
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return result;
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
    // A write never grows out of a read snapshot; the write lock is taken at the start, waiting
    // within the busy timeout, so that a commit of another program between a read and a write
    // cannot make the transaction fail.
    endSnapshot();
    try {
        for (const QString& statement : m_dialect->beginWrite())
            execute(statement);
    } catch (...) {
        try {
            run(QStringLiteral("ROLLBACK"));
        } catch (const DatabaseError&) {
        }
        throw;
    }
    ++m_depth;
    try {
        work();
    } catch (...) {
        m_depth = 0;
        endSnapshot(); // a snapshot begun inside was this transaction
        try {
            run(QStringLiteral("ROLLBACK"));
        } catch (const DatabaseError&) {
            // The engine already rolled back.
        }
        throw;
    }
    m_depth = 0;
    endSnapshot();
    try {
        execute(QStringLiteral("COMMIT"));
    } catch (const DatabaseError&) {
        try {
            run(QStringLiteral("ROLLBACK"));
        } catch (const DatabaseError&) {
        }
        throw;
    }
}

Database::ReadSnapshot::ReadSnapshot(const Database& database) : m_database(database) {
    if (database.m_snapshot != 0)
        return; // inside another snapshot: that one
    if (database.m_depth == 0) {
        database.execute(database.m_dialect->beginRead());
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

bool Database::keepsRecordCounts() const {
    if (!m_recordCounts)
        m_recordCounts = hasTable(QStringLiteral("ovCounts"));
    return *m_recordCounts;
}

qint64 Database::randomTablesVersion() const {
    return scalar(QStringLiteral("SELECT version FROM ovTablesVersion")).toLongLong();
}

} // namespace ov
