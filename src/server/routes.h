#pragma once
// The routes of the web server, in one table: what each address answers, to whom, and whether it
// works on the store. The access layer (webserver.cpp) stands in front of every one of them.

#include "tables/random.h"

#include <QByteArray>
#include <QJsonValue>
#include <QRegularExpression>
#include <QStringList>
#include <QUrlQuery>
#include <functional>
#include <vector>

namespace ov {
class Database;
}

namespace ov::server {

class DraftBook;
class ShowStream;

// Who a request comes from, as its code says.
enum class Role { Nobody, Players, GameMaster };

// Who may call a route: the players' code opens only the players' page and its stream.
enum class Audience { Players, GameMaster };

// What a route works with. Routes marked onStore run on the thread that owns the store's
// connection; the others must not touch the store.
class RouteContext {
public:
    virtual ~RouteContext() = default;
    virtual const Database& database() = 0;
    virtual RandomSource& random() = 0;
    virtual ShowStream& shows() = 0;
    // The drafts of the game master's code (routes on the store only).
    virtual DraftBook& drafts() = 0;
    // A run stored a record: the window refreshes its count and its history.
    virtual void recordStored() = 0;
};

struct RouteRequest {
    QStringList captures; // the route pattern's groups, decoded
    QUrlQuery query;
    QByteArray body;
    Role role = Role::Nobody;
};

struct Reply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;

    static Reply json(const QJsonValue& value, int status = 200);
    static Reply error(int status, const QString& message); // {"erreur": message}
    static Reply resource(const QString& path, const QByteArray& contentType);
};

struct Route {
    QByteArray method; // GET or POST
    QRegularExpression path;
    Audience audience;
    bool onStore;
    std::function<Reply(RouteContext&, const RouteRequest&)> handle;
};

// Every route, pages and API alike.
const std::vector<Route>& routes();

// The problem of a text that comes from a client, or an empty text: a NUL or a control
// character other than tab is refused.
QString clientTextProblem(const QString& text);

} // namespace ov::server
