#pragma once
// The throwaway PostgreSQL server of the test run (tests/pgcluster.sh): its address, and bases
// made and dropped on it for a test program.

#include "tables/databaselocation.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>

namespace ovtest {

// From $OV_TEST_PG: an address, or the folder where the test run wrote it (in "url").
inline QString testServerAddress() {
    const QString given = qEnvironmentVariable("OV_TEST_PG");
    if (given.isEmpty() || ov::DatabaseLocation::looksLikeServer(given))
        return given;
    QFile file(given + QStringLiteral("/url"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

// A connection to the server's own base, to make the test bases and drop them at the end.
class TestServer {
public:
    explicit TestServer(const QString& address) : m_location(ov::DatabaseLocation::parse(address)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName());
        db.setHostName(m_location.host());
        db.setPort(m_location.port());
        db.setUserName(m_location.user());
        db.setDatabaseName(m_location.base());
        m_open = db.open();
    }
    ~TestServer() {
        for (const QString& name : std::as_const(m_bases))
            exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    }
    bool isOpen() const { return m_open; }
    // A new empty base; its address.
    QString newBase(const QString& name) {
        exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
        exec(QStringLiteral("CREATE DATABASE ") + name);
        m_bases.append(name);
        return ov::DatabaseLocation::server(m_location.host(), m_location.port(), name,
                                            m_location.user())
            .text();
    }
    // Ends the programs' connections to the base from the server's side, as a server stopping.
    int cutConnections(const QString& name) {
        QSqlQuery query(QSqlDatabase::database(connectionName()));
        query.exec(QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity"
                                  " WHERE datname = '%1' AND application_name = 'orvanthe'")
                       .arg(name));
        return query.next() ? query.value(0).toInt() : 0;
    }

private:
    static QString connectionName() { return QStringLiteral("ovtest-server"); }
    bool exec(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(connectionName()));
        const bool done = query.exec(sql);
        if (!done)
            qWarning("%s", qPrintable(query.lastError().text()));
        return done;
    }
    ov::DatabaseLocation m_location;
    bool m_open = false;
    QStringList m_bases;
};

} // namespace ovtest
