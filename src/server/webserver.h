#pragma once
// The web server of a base: the game master's page and API, the players' page and its stream.
// It is a guest of the event loop: connections are read and written on the library's threads,
// and every route that works on the store runs on the thread that owns the store's connection.

#include "accesscodes.h"
#include "draftroutes.h"
#include "routes.h"
#include "showstream.h"
#include "tables/random.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace ov::server {

// The limits of the door.
inline constexpr std::size_t maxBodyBytes = 64 * 1024;
inline constexpr std::size_t maxHeaderBytes = 16 * 1024;
inline constexpr int idleSeconds = 10;
inline constexpr int maxConnections = 64;
inline constexpr quint16 defaultPort = 8642;

class WebServer : public QObject, private RouteContext {
    Q_OBJECT
public:
    WebServer(const Database& database, AccessCodes codes, QObject* parent = nullptr);
    ~WebServer() override;

    // Listens on the address (127.0.0.1, 0.0.0.0...) and port (0: any free one). Returns an
    // empty text, or the French reason it cannot.
    QString start(const QString& address, quint16 port);
    // Ends every connection and every players' stream; waits for the library's threads.
    void stop();
    bool isRunning() const { return m_thread.joinable(); }
    quint16 port() const { return m_port; }
    QString address() const { return m_address; }

    AccessCodes codes() const;
    void setCodes(const AccessCodes& codes);
    // The addresses to open, with their codes, for the host a device reaches this one by.
    QString gameMasterUrl(const QString& host) const;
    QString playersUrl(const QString& host) const;

    // Shows an item on the players' screens: {"title", "lines"}.
    void showToPlayers(const QString& title, const QStringList& lines);

    ShowStream& shows() override { return *m_shows; }

Q_SIGNALS:
    // A run from a client stored a record (emitted on the store's thread).
    void recordAdded();

private:
    const Database& database() override { return m_database; }
    RandomSource& random() override { return m_random; }
    void recordStored() override { Q_EMIT recordAdded(); }
    DraftBook& drafts() override;

    void handle(const httplib::Request& request, httplib::Response& response);
    Role roleOf(const httplib::Request& request) const;
    bool logIn(const httplib::Request& request, httplib::Response& response);
    void streamShows(httplib::Response& response);
    // Runs the work on the store's thread and waits for its reply; a server that stops meanwhile
    // answers 503 instead.
    Reply onStore(const std::function<Reply()>& work);

    const Database& m_database;
    RandomSource m_random;
    mutable std::mutex m_codesMutex;
    AccessCodes m_codes;
    std::shared_ptr<ShowStream> m_shows;
    DraftBook m_drafts; // on the store's thread only
    std::unique_ptr<httplib::Server> m_http;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    QString m_address;
    quint16 m_port = 0;
};

} // namespace ov::server
