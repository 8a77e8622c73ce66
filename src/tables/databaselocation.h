#pragma once
// Where a store lies: a SQLite file, or a base on a PostgreSQL server named by an address
// "postgresql://user@host:port/base" ("postgresql:///base" for the local socket). The password
// never stands in the address: the server's client library reads it from PGPASSWORD or the
// user's password file.

#include <QString>

namespace ov {

class DatabaseLocation {
public:
    // Reads a path or an address; an address that cannot be used raises DatabaseError (French).
    static DatabaseLocation parse(const QString& text);
    // Whether the text is meant as a server address (whatever its faults).
    static bool looksLikeServer(const QString& text);
    static DatabaseLocation server(const QString& host, int port, const QString& base,
                                   const QString& user);

    bool isServer() const { return m_server; }
    const QString& filePath() const { return m_file; }
    const QString& host() const { return m_host; } // empty: the local socket
    int port() const { return m_port; }            // 0: the default port
    const QString& base() const { return m_base; }
    const QString& user() const { return m_user; } // empty: the system user's name
    // The path, or the address without any password: what messages and the alias file show.
    QString text() const;

private:
    bool m_server = false;
    QString m_file;
    QString m_host;
    int m_port = 0;
    QString m_base;
    QString m_user;
};

} // namespace ov
