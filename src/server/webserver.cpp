#include "webserver.h"

#include "tables/errors.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <QMetaObject>
#include <QUrl>
#include <QUrlQuery>
#include <condition_variable>
#include <httplib.h>
#include <sys/socket.h>

namespace ov::server {

namespace {

const std::string gameMasterCookie = "ov_meneur";
const std::string playersCookie = "ov_joueurs";
const QString eventsPath = QStringLiteral("/api/joueurs/events");

// The connection being answered is one too many: it gets a short refusal.
thread_local bool overflowConnection = false;

// At most maxConnections connections are served at once; the next ones are refused by a small
// pool of their own instead of waiting unseen.
class LimitedQueue : public httplib::TaskQueue {
public:
    LimitedQueue() : m_served(maxConnections), m_refused(2) {}
    void enqueue(std::function<void()> task) override {
        if (m_active.fetch_add(1) >= maxConnections) {
            m_active.fetch_sub(1);
            m_refused.enqueue([task = std::move(task)] {
                overflowConnection = true;
                task();
                overflowConnection = false;
            });
            return;
        }
        m_served.enqueue([this, task = std::move(task)] {
            task();
            m_active.fetch_sub(1);
        });
    }
    void shutdown() override {
        m_served.shutdown();
        m_refused.shutdown();
    }

private:
    std::atomic<int> m_active{0};
    httplib::ThreadPool m_served;
    httplib::ThreadPool m_refused;
};

bool isApi(const std::string& path) {
    return path.rfind("/api/", 0) == 0;
}

void answer(httplib::Response& response, const Reply& reply) {
    response.status = reply.status;
    response.set_content(reply.body.constData(), std::size_t(reply.body.size()),
                         reply.contentType.constData());
}

// A refusal in the form the address expects: JSON for the API, a short French page otherwise.
void refuse(const httplib::Request& request, httplib::Response& response, int status,
            const QString& message) {
    if (isApi(request.path)) {
        answer(response, Reply::error(status, message));
        return;
    }
    const QByteArray page =
        QByteArrayLiteral("<!DOCTYPE html><html lang=\"fr\"><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width\">"
                          "<title>Orvanthe</title></head><body><h1>Orvanthe</h1><p>") +
        message.toHtmlEscaped().toUtf8() + QByteArrayLiteral("</p></body></html>\n");
    answer(response, {status, "text/html; charset=utf-8", page});
}

QString noCodeMessage() {
    return QStringLiteral("Accès refusé : ouvrez l'adresse avec son code, telle qu'Orvanthe "
                          "l'affiche.");
}

// The value of a cookie of the request, without its attributes.
QByteArray cookieValue(const httplib::Request& request, const std::string& name) {
    const auto cookies = QByteArray::fromStdString(request.get_header_value("Cookie")).split(';');
    for (const QByteArray& cookie : cookies) {
        const QByteArray trimmed = cookie.trimmed();
        if (trimmed.startsWith(QByteArray(QByteArray::fromStdString(name) + "=")))
            return trimmed.mid(qsizetype(name.size()) + 1);
    }
    return {};
}

std::size_t headerBytes(const httplib::Request& request) {
    std::size_t bytes = request.target.size() + request.method.size();
    for (const auto& [name, value] : request.headers)
        bytes += name.size() + value.size() + 4;
    return bytes;
}

} // namespace

WebServer::WebServer(const Database& database, AccessCodes codes, QObject* parent)
    : QObject(parent), m_database(database), m_codes(std::move(codes)),
      m_shows(std::make_shared<ShowStream>()) {
    m_random.seedFromClock();
}

WebServer::~WebServer() {
    stop();
}

AccessCodes WebServer::codes() const {
    std::lock_guard lock(m_codesMutex);
    return m_codes;
}

void WebServer::setCodes(const AccessCodes& codes) {
    std::lock_guard lock(m_codesMutex);
    m_codes = codes;
}

QString WebServer::gameMasterUrl(const QString& host) const {
    return QStringLiteral("http://%1:%2/?code=%3").arg(host).arg(m_port).arg(codes().gameMaster);
}

QString WebServer::playersUrl(const QString& host) const {
    return QStringLiteral("http://%1:%2/joueurs?code=%3")
        .arg(host)
        .arg(m_port)
        .arg(codes().players);
}

void WebServer::showToPlayers(const QString& title, const QStringList& lines) {
    m_shows->show(QJsonObject{{QStringLiteral("title"), title},
                              {QStringLiteral("lines"), QJsonArray::fromStringList(lines)}});
}

QString WebServer::start(const QString& address, quint16 port) {
    stop();
    if (QHostAddress(address).isNull())
        return QStringLiteral("Adresse d'écoute invalide : %1").arg(address);
    m_stopping = false;
    m_shows = std::make_shared<ShowStream>();
    m_http = std::make_unique<httplib::Server>();
    httplib::Server& http = *m_http;
    http.new_task_queue = [] { return new LimitedQueue; };
    http.set_payload_max_length(maxBodyBytes);
    http.set_keep_alive_timeout(idleSeconds);
    http.set_keep_alive_max_count(1000);
    http.set_read_timeout(idleSeconds, 0);
    http.set_write_timeout(idleSeconds, 0);
    http.set_default_headers({
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
         "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Frame-Options", "DENY"},
        {"Cache-Control", "no-store"},
    });
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        handle(request, response);
    };
    for (auto method : {&httplib::Server::Get, &httplib::Server::Post})
        (http.*method)(".*", handler);
    http.Put(".*", handler);
    http.Delete(".*", handler);
    http.Patch(".*", handler);
    http.Options(".*", handler);
    // What the library refuses by itself (a body too large, a request it cannot read) gets a
    // body in French too.
    http.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
        if (!response.body.empty())
            return;
        if (response.status == 413)
            refuse(request, response, 413, QStringLiteral("La requête dépasse 64 Kio."));
        else if (response.status == 400)
            refuse(request, response, 400, QStringLiteral("Requête illisible."));
        else if (response.status == 404)
            refuse(request, response, 404, QStringLiteral("Cette adresse n'existe pas."));
    });
    // The library listens with a backlog of 5: twenty phones and screens connecting at once would
    // wait a second for the connections refused. The socket is kept to listen again with more.
    auto listening = std::make_shared<int>(-1);
    http.set_socket_options([listening](int socket) {
        httplib::default_socket_options(socket);
        *listening = socket;
    });
    const std::string host = address.toStdString();
    const int bound =
        port == 0 ? http.bind_to_any_port(host) : (http.bind_to_port(host, port) ? port : -1);
    if (bound <= 0) {
        m_http.reset();
        return QStringLiteral("Le serveur ne peut pas écouter sur %1:%2 (port déjà pris ?).")
            .arg(address)
            .arg(port);
    }
    if (*listening >= 0)
        ::listen(*listening, maxConnections);
    m_address = address;
    m_port = quint16(bound);
    m_thread = std::thread([this] { m_http->listen_after_bind(); });
    // The library only takes a stop once it listens: a stop that came before would be lost.
    for (int i = 0; i < 1000 && !m_http->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return {};
}

void WebServer::stop() {
    if (!m_thread.joinable())
        return;
    m_stopping = true;
    m_shows->stop();
    m_http->stop();
    m_thread.join();
    m_http.reset();
}

Reply WebServer::onStore(const std::function<Reply()>& work) {
    struct Exchange {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Reply> reply;
        bool abandoned = false;
    };
    auto exchange = std::make_shared<Exchange>();
    QMetaObject::invokeMethod(
        this,
        [exchange, work] {
            {
                std::lock_guard lock(exchange->mutex);
                if (exchange->abandoned)
                    return;
            }
            Reply reply;
            try {
                reply = work();
            } catch (const Error& error) {
                reply = Reply::error(500, error.message());
            }
            {
                std::lock_guard lock(exchange->mutex);
                exchange->reply = std::move(reply);
            }
            exchange->done.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(exchange->mutex);
    while (!exchange->reply) {
        exchange->done.wait_for(lock, std::chrono::milliseconds(50));
        if (!exchange->reply && m_stopping) {
            exchange->abandoned = true;
            return Reply::error(503, QStringLiteral("Le serveur s'arrête."));
        }
    }
    return *exchange->reply;
}

Role WebServer::roleOf(const httplib::Request& request) const {
    const AccessCodes current = codes();
    const auto roleOfCode = [&](const QByteArray& code) {
        if (sameCode(code, current.gameMaster))
            return Role::GameMaster;
        if (sameCode(code, current.players))
            return Role::Players;
        return Role::Nobody;
    };
    const std::string authorization = request.get_header_value("Authorization");
    if (authorization.rfind("Bearer ", 0) == 0)
        return roleOfCode(QByteArray::fromStdString(authorization.substr(7)).trimmed());
    return std::max(roleOfCode(cookieValue(request, gameMasterCookie)),
                    roleOfCode(cookieValue(request, playersCookie)));
}

// Opening /?code=CODE or /joueurs?code=CODE: the code becomes a cookie, and the address loses it.
bool WebServer::logIn(const httplib::Request& request, httplib::Response& response) {
    const bool players = request.path == "/joueurs";
    if (request.method != "GET" || !(players || request.path == "/") || !request.has_param("code"))
        return false;
    const AccessCodes current = codes();
    const QByteArray given = QByteArray::fromStdString(request.get_param_value("code"));
    const bool gameMaster = sameCode(given, current.gameMaster);
    if (!gameMaster && !(players && sameCode(given, current.players))) {
        refuse(request, response, sameCode(given, current.players) ? 403 : 401, noCodeMessage());
        return true;
    }
    response.set_header("Set-Cookie", (players ? playersCookie : gameMasterCookie) + "=" +
                                          given.toStdString() +
                                          "; Path=/; HttpOnly; SameSite=Strict; Max-Age=31536000");
    response.set_redirect(request.path, 303);
    return true;
}

void WebServer::handle(const httplib::Request& request, httplib::Response& response) {
    if (overflowConnection) {
        response.set_header("Connection", "close");
        refuse(request, response, 503, QStringLiteral("Trop de connexions ouvertes."));
        return;
    }
    if (headerBytes(request) > maxHeaderBytes) {
        refuse(request, response, 431, QStringLiteral("Les en-têtes dépassent 16 Kio."));
        return;
    }
    if (logIn(request, response))
        return;
    const Role role = roleOf(request);
    if (role == Role::Nobody) {
        refuse(request, response, 401, noCodeMessage());
        return;
    }
    const QString path = QString::fromUtf8(request.path);
    const QByteArray method = QByteArray::fromStdString(request.method);
    const bool changes = method != "GET" && method != "HEAD";
    // A state change carried by a cookie must come from a page of this server.
    if (changes && request.get_header_value("Authorization").empty()) {
        const std::string origin = request.get_header_value("Origin");
        if (origin.empty() || origin != "http://" + request.get_header_value("Host")) {
            refuse(request, response, 403, QStringLiteral("Origine de la requête refusée."));
            return;
        }
    }
    if (path == eventsPath) {
        if (method != "GET") {
            refuse(request, response, 405, QStringLiteral("Méthode non permise."));
            return;
        }
        streamShows(response);
        return;
    }
    const Route* found = nullptr;
    bool pathKnown = false;
    QRegularExpressionMatch match;
    for (const Route& route : routes()) {
        QRegularExpressionMatch candidate = route.path.match(path);
        if (!candidate.hasMatch())
            continue;
        pathKnown = true;
        if (route.method == method || (method == "HEAD" && route.method == "GET")) {
            found = &route;
            match = candidate;
            break;
        }
    }
    if (!found) {
        if (pathKnown)
            refuse(request, response, 405, QStringLiteral("Méthode non permise."));
        else
            refuse(request, response, 404, QStringLiteral("Cette adresse n'existe pas."));
        return;
    }
    if (found->audience == Audience::GameMaster && role != Role::GameMaster) {
        refuse(request, response, 403,
               QStringLiteral("Le code des joueurs n'ouvre que la page des joueurs."));
        return;
    }
    RouteRequest routeRequest;
    routeRequest.captures = match.capturedTexts().mid(1);
    routeRequest.query =
        QUrlQuery(QUrl::fromEncoded(QByteArray::fromStdString(request.target)).query());
    routeRequest.body = QByteArray::fromStdString(request.body);
    routeRequest.role = role;
    const auto work = [this, found, routeRequest] { return found->handle(*this, routeRequest); };
    answer(response, found->onStore ? onStore(work) : work());
}

DraftBook& WebServer::drafts() {
    m_drafts.useCode(codes().gameMaster);
    return m_drafts;
}

void WebServer::streamShows(httplib::Response& response) {
    auto shows = m_shows;
    auto last = std::make_shared<quint64>(0);
    auto greeted = std::make_shared<bool>(false);
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "text/event-stream", [shows, last, greeted](std::size_t, httplib::DataSink& sink) {
            if (!*greeted) {
                *greeted = true;
                static const char retry[] = "retry: 1000\n\n";
                return sink.write(retry, sizeof retry - 1);
            }
            const auto event = shows->next(*last, std::chrono::seconds(5));
            if (shows->stopped()) {
                sink.done();
                return true;
            }
            if (!event) { // a comment keeps the connection alive and finds dropped clients
                static const char ping[] = ": ping\n\n";
                return sink.write(ping, sizeof ping - 1);
            }
            *last = event->serial;
            const QByteArray frame =
                "id: " + QByteArray::number(event->serial) + "\ndata: " + event->data + "\n\n";
            return sink.write(frame.constData(), std::size_t(frame.size()));
        });
}

} // namespace ov::server
