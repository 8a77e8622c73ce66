#include "databaselocation.h"

#include "errors.h"

#include <QUrl>

namespace ov {

namespace {

const QString schemes[] = {QStringLiteral("postgresql://"), QStringLiteral("postgres://")};

} // namespace

bool DatabaseLocation::looksLikeServer(const QString& text) {
    for (const QString& scheme : schemes)
        if (text.trimmed().startsWith(scheme, Qt::CaseInsensitive))
            return true;
    return false;
}

DatabaseLocation DatabaseLocation::parse(const QString& text) {
    DatabaseLocation location;
    if (!looksLikeServer(text)) {
        location.m_file = text;
        return location;
    }
    const QString address = text.trimmed();
    const auto refuse = [&](const QString& why) {
        return DatabaseError(
            QStringLiteral("L'adresse de base %1 n'est pas utilisable : %2.").arg(address, why));
    };
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid())
        throw refuse(QStringLiteral("elle est mal formée"));
    if (!url.password().isEmpty())
        throw DatabaseError(
            QStringLiteral("L'adresse de base ne doit pas contenir de mot de passe : il se met"
                           " dans la variable PGPASSWORD ou dans le fichier ~/.pgpass."));
    if (url.hasQuery() || url.hasFragment())
        throw refuse(QStringLiteral("elle ne prend ni « ? » ni « # »"));
    QString base = url.path(QUrl::FullyDecoded);
    if (base.startsWith(QLatin1Char('/')))
        base.remove(0, 1);
    if (base.isEmpty() || base.contains(QLatin1Char('/')))
        throw refuse(QStringLiteral("le nom de la base manque après le serveur"));
    location.m_server = true;
    location.m_host = url.host(QUrl::FullyDecoded);
    location.m_port = qMax(url.port(0), 0);
    location.m_base = base;
    location.m_user = url.userName(QUrl::FullyDecoded);
    return location;
}

DatabaseLocation DatabaseLocation::server(const QString& host, int port, const QString& base,
                                          const QString& user) {
    DatabaseLocation location;
    location.m_server = true;
    location.m_host = host.trimmed();
    location.m_port = qMax(port, 0);
    location.m_base = base.trimmed();
    location.m_user = user.trimmed();
    return location;
}

QString DatabaseLocation::text() const {
    if (!m_server)
        return m_file;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setHost(m_host);
    if (!m_user.isEmpty())
        url.setUserName(m_user);
    if (m_port > 0)
        url.setPort(m_port);
    url.setPath(QLatin1Char('/') + m_base);
    QString shown = url.toString();
    // An empty host is written with its three slashes: the local socket.
    if (m_host.isEmpty() && m_user.isEmpty() && m_port <= 0)
        shown = QStringLiteral("postgresql:///") + m_base;
    return shown;
}

} // namespace ov
