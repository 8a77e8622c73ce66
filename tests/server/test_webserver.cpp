// The web server in this process over loopback: the door refuses what it must, the API gives the
// tool's texts, and the players' stream delivers what the game master shows, in order.

#include "clirunner.h"
#include "pgserver.h"
#include "server/webserver.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>
#include <future>
#include <httplib.h>

using namespace ov::server;

namespace {

struct Answer {
    int status = 0;
    QByteArray body;
    httplib::Headers headers;
    QByteArray header(const char* name) const {
        const auto found = headers.find(name);
        return found == headers.end() ? QByteArray() : QByteArray::fromStdString(found->second);
    }
    QJsonValue json() const {
        const QJsonDocument document = QJsonDocument::fromJson(body);
        return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
    }
};

// A request from another thread while this one keeps the store's event loop turning.
Answer ask(quint16 port, const QByteArray& method, const QByteArray& path,
           const httplib::Headers& headers = {}, const QByteArray& body = {}) {
    auto future = std::async(std::launch::async, [=] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(10, 0);
        httplib::Request request;
        request.method = method.toStdString();
        request.path = path.toStdString();
        request.headers = headers;
        request.body = body.toStdString();
        if (method == "POST")
            request.set_header("Content-Type", "application/json");
        const httplib::Result result = client.send(request);
        Answer answer;
        if (result) {
            answer.status = result->status;
            answer.body = QByteArray::fromStdString(result->body);
            answer.headers = result->headers;
        }
        return answer;
    });
    while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return future.get();
}

httplib::Headers bearer(const QString& code) {
    return {{"Authorization", "Bearer " + code.toStdString()}};
}

// Reads the players' stream on a thread of its own, item by item.
class StreamReader {
public:
    StreamReader(quint16 port, const QString& code) {
        m_done = std::async(std::launch::async, [this, port, code] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(20, 0);
            std::string pending;
            client.Get("/api/joueurs/events", bearer(code), [&](const char* data, size_t size) {
                pending.append(data, size);
                for (auto end = pending.find("\n\n"); end != std::string::npos;
                     end = pending.find("\n\n")) {
                    const QByteArray frame = QByteArray::fromStdString(pending.substr(0, end));
                    pending.erase(0, end + 2);
                    for (const QByteArray& line : frame.split('\n'))
                        if (line.startsWith("data: ")) {
                            std::lock_guard lock(m_mutex);
                            m_items << QJsonDocument::fromJson(line.mid(6)).object();
                        }
                }
                return true;
            });
        });
    }
    QList<QJsonObject> items() const {
        std::lock_guard lock(m_mutex);
        return m_items;
    }
    bool waitFor(int count) const {
        return QTest::qWaitFor([&] { return items().size() >= count; }, 5000);
    }
    bool ended() {
        return QTest::qWaitFor(
            [&] {
                return m_done.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
            },
            5000);
    }

private:
    mutable std::mutex m_mutex;
    QList<QJsonObject> m_items;
    std::future<void> m_done;
};

QStringList strings(const QJsonValue& value) {
    QStringList list;
    for (const QJsonValue& item : value.toArray())
        list << item.toString();
    return list;
}

} // namespace

class TestWebServer : public QObject {
    Q_OBJECT

    std::unique_ptr<ovtest::TempDatabase> m_base;
    std::unique_ptr<WebServer> m_server;
    AccessCodes m_codes;

    quint16 port() const { return m_server->port(); }

private Q_SLOTS:
    void initTestCase() {
        ovtest::isolateUserFolders();
        m_base = std::make_unique<ovtest::TempDatabase>();
        ovtest::addTable(*m_base->db, QStringLiteral("piég"),
                         {{QStringLiteral("<script>alert(1)</script>"), 1}});
        m_codes = accessCodesFor(baseIdentity(m_base->path));
        m_server = std::make_unique<WebServer>(*m_base->db, m_codes);
        QCOMPARE(m_server->start(QStringLiteral("127.0.0.1"), 0), QString());
    }

    void codesAreKeptPerBaseAndPrivate() {
        QCOMPARE(accessCodesFor(baseIdentity(m_base->path)).gameMaster, m_codes.gameMaster);
        QVERIFY(m_codes.gameMaster.size() >= 22 && m_codes.players != m_codes.gameMaster);
        const QFileInfo file(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                             QStringLiteral("/codes-web.ini"));
        QCOMPARE(file.permissions() & 0x0077, QFileDevice::Permissions());
    }

    void door_data() {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("who"); // gm, players, wrong, none, cookie, cookie+origin
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("extraHeader"); // repeated to make headers large
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("absent"); // must not be in the answer
        const QByteArray none;
        QTest::newRow("no code") << QByteArray("GET") << QByteArray("/api/generators") << "none"
                                 << none << none << 401 << QByteArray("Perso");
        QTest::newRow("no code, page") << QByteArray("GET") << QByteArray("/") << "none" << none
                                       << none << 401 << QByteArray("app.js");
        QTest::newRow("wrong code") << QByteArray("GET") << QByteArray("/api/history") << "wrong"
                                    << none << none << 401 << QByteArray("kind");
        QTest::newRow("wrong code in the address")
            << QByteArray("GET") << QByteArray("/?code=abc") << "none" << none << none << 401
            << QByteArray("ov_meneur");
        QTest::newRow("players' code on the API")
            << QByteArray("GET") << QByteArray("/api/history") << "players" << none << none << 403
            << QByteArray("kind");
        QTest::newRow("players' code runs nothing")
            << QByteArray("POST") << QByteArray("/api/generate/perso") << "players" << none << none
            << 403 << QByteArray("lines");
        QTest::newRow("players' code shows nothing")
            << QByteArray("POST") << QByteArray("/api/show") << "players"
            << QByteArray(R"({"text":"x"})") << none << 403 << QByteArray("title");
        QTest::newRow("players' code on the game master's page")
            << QByteArray("GET") << QByteArray("/") << "players" << none << none << 403
            << QByteArray("app.js");
        QTest::newRow("path with ..") << QByteArray("GET") << QByteArray("/../../etc/passwd")
                                      << "gm" << none << none << 404 << QByteArray("root:");
        QTest::newRow("resource path with ..")
            << QByteArray("GET") << QByteArray("/web/../web/index.html") << "gm" << none << none
            << 404 << QByteArray("<script");
        QTest::newRow("oversized body")
            << QByteArray("POST") << QByteArray("/api/show") << "gm"
            << QByteArray(R"({"text":")") + QByteArray(70000, 'a') + "\"}" << none << 413
            << QByteArray("title");
        QTest::newRow("big headers") << QByteArray("GET") << QByteArray("/api/generators") << "gm"
                                     << none << QByteArray(6000, 'h') << 431 << QByteArray("Perso");
        QTest::newRow("GET for a run") << QByteArray("GET") << QByteArray("/api/generate/perso")
                                       << "gm" << none << none << 405 << QByteArray("lines");
        QTest::newRow("cookie without origin")
            << QByteArray("POST") << QByteArray("/api/generate/perso") << "cookie" << none << none
            << 403 << QByteArray("lines");
        QTest::newRow("cookie from another site")
            << QByteArray("POST") << QByteArray("/api/generate/perso") << "cookie+evil" << none
            << none << 403 << QByteArray("lines");
        QTest::newRow("control character in a shown text")
            << QByteArray("POST") << QByteArray("/api/show") << "gm"
            << QByteArray(R"({"text":"a\u0000b"})") << none << 400 << QByteArray("title");
        QTest::newRow("unknown generator") << QByteArray("POST") << QByteArray("/api/generate/nope")
                                           << "gm" << none << none << 404 << QByteArray("lines");
        QTest::newRow("unknown table") << QByteArray("POST") << QByteArray("/api/draw/nope") << "gm"
                                       << none << none << 404 << QByteArray("text");
        // What the door lets through.
        QTest::newRow("cookie with the page's origin")
            << QByteArray("POST") << QByteArray("/api/generate/rencontre") << "cookie+origin"
            << none << none << 200 << QByteArray("erreur");
        QTest::newRow("script in an element stays JSON text")
            << QByteArray("POST") << QByteArray("/api/draw/pi%C3%A9g") << "gm" << none << none
            << 200 << QByteArray("text/html");
        QTest::newRow("players' code opens the players' page")
            << QByteArray("GET") << QByteArray("/joueurs") << "players" << none << none << 200
            << QByteArray("app.js");
    }

    void door() {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, path);
        QFETCH(QString, who);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, extraHeader);
        QFETCH(int, status);
        QFETCH(QByteArray, absent);
        httplib::Headers headers;
        const std::string host = "127.0.0.1:" + std::to_string(port());
        if (who == QLatin1String("gm"))
            headers = bearer(m_codes.gameMaster);
        else if (who == QLatin1String("players"))
            headers = {{"Authorization", "Bearer " + m_codes.players.toStdString()},
                       {"Cookie", "ov_joueurs=" + m_codes.players.toStdString()}};
        else if (who == QLatin1String("wrong"))
            headers = bearer(m_codes.gameMaster.left(21) + QLatin1Char('x'));
        else if (who.startsWith(QLatin1String("cookie")))
            headers = {{"Cookie", "ov_meneur=" + m_codes.gameMaster.toStdString()}};
        if (who == QLatin1String("cookie+origin"))
            headers.emplace("Origin", "http://" + host);
        if (who == QLatin1String("cookie+evil"))
            headers.emplace("Origin", "http://evil.example");
        if (!extraHeader.isEmpty())
            for (const char* name : {"X-Un", "X-Deux", "X-Trois"})
                headers.emplace(name, extraHeader.toStdString());
        const Answer answer = ask(port(), method, path, headers, body);
        QCOMPARE(answer.status, status);
        QVERIFY2(!answer.body.contains(absent) && !answer.header("Content-Type").contains(absent),
                 answer.body.left(200).constData());
        QVERIFY(answer.header("Content-Security-Policy").contains("script-src 'self'"));
        QVERIFY(!answer.header("Content-Security-Policy").contains("unsafe-inline"));
        if (status >= 400 && path.startsWith("/api/"))
            QVERIFY(!answer.json().toObject().value(QStringLiteral("erreur")).toString().isEmpty());
    }

    // A client that starts a request and never finishes it keeps nobody waiting, and is let go
    // once it has been idle for the server's limit.
    void unfinishedRequestIsDropped() {
        QTcpSocket slow;
        slow.connectToHost(QStringLiteral("127.0.0.1"), port());
        QVERIFY(slow.waitForConnected(5000));
        slow.write("POST /api/generate/perso HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100"
                   "\r\nAuthorization: Bearer " +
                   m_codes.gameMaster.toLatin1() + "\r\n\r\n{\"a\":");
        QVERIFY(slow.waitForBytesWritten(5000));
        QCOMPARE(ask(port(), "GET", "/api/generators", bearer(m_codes.gameMaster)).status, 200);
        QElapsedTimer idle;
        idle.start();
        // Given up: answered with a refusal, or closed, and never run.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return slow.bytesAvailable() > 0 ||
                       slow.state() == QAbstractSocket::UnconnectedState;
            },
            (idleSeconds + 10) * 1000));
        QVERIFY(idle.elapsed() >= (idleSeconds - 1) * 1000);
        const QByteArray answer = slow.readAll();
        QVERIFY2(answer.isEmpty() || answer.startsWith("HTTP/1.1 4"), answer.constData());
        QVERIFY(!answer.contains("\"lines\""));
    }

    void codeInTheAddressBecomesACookie() {
        const Answer answer = ask(port(), "GET", "/?code=" + m_codes.gameMaster.toLatin1(), {}, {});
        QCOMPARE(answer.status, 303);
        QCOMPARE(answer.header("Location"), QByteArray("/"));
        const QByteArray cookie = answer.header("Set-Cookie");
        QVERIFY(cookie.startsWith(QByteArray("ov_meneur=" + m_codes.gameMaster.toLatin1() + ";")));
        QVERIFY(cookie.contains("HttpOnly") && cookie.contains("SameSite=Strict"));
    }

    // A run through the server is the tool's run: the same object for the same seed and base,
    // and one stored record per successful answer.
    void runIsTheToolsRun() {
        const QString copy = m_base->dir.path() + QStringLiteral("/copie.db");
        QVERIFY(QFile::copy(m_base->path, copy));
        QFile::copy(m_base->path + QStringLiteral("-wal"), copy + QStringLiteral("-wal"));
        for (const char* id : {"village", "taverne"}) {
            const Answer answer = ask(port(), "POST", QByteArray("/api/generate/") + id + "?seed=7",
                                      bearer(m_codes.gameMaster));
            QCOMPARE(answer.status, 200);
            const ovtest::ToolResult tool =
                ovtest::tool({QStringLiteral("generate"), QLatin1String(id),
                              QStringLiteral("--seed"), QStringLiteral("7"),
                              QStringLiteral("--json"), QStringLiteral("--database"), copy});
            QCOMPARE(tool.exitCode, 0);
            QCOMPARE(answer.json().toObject(), QJsonDocument::fromJson(tool.out.toUtf8()).object());
        }
        const int before =
            m_base->db->scalar(QStringLiteral("SELECT COUNT(*) FROM OVperso")).toInt();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(ask(port(), "POST", "/api/generate/perso", bearer(m_codes.gameMaster)).status,
                     200);
        QCOMPARE(m_base->db->scalar(QStringLiteral("SELECT COUNT(*) FROM OVperso")).toInt(),
                 before + 3);
        // The history finds it without accents, as the tool's list does.
        const Answer found =
            ask(port(), "GET", "/api/history?kind=perso&limit=2", bearer(m_codes.gameMaster));
        QCOMPARE(found.json().toArray().size(), 2);
        const QJsonObject first = found.json().toArray().first().toObject();
        const Answer record =
            ask(port(), "GET",
                "/api/history/perso/" + QByteArray::number(first[QStringLiteral("n")].toInt()),
                bearer(m_codes.gameMaster));
        QCOMPARE(record.json().toObject().value(QStringLiteral("title")),
                 first[QStringLiteral("title")]);
        QVERIFY(!strings(record.json().toObject().value(QStringLiteral("lines"))).isEmpty());
    }

    // The players' stream: the late joiner gets the last item first, then every item in order,
    // with the chosen lines only; the server's stop ends the stream.
    void playersStream() {
        const auto show = [&](const QByteArray& body) {
            return ask(port(), "POST", "/api/show", bearer(m_codes.gameMaster), body).status;
        };
        QCOMPARE(show(R"({"text":"premier"})"), 200);
        QCOMPARE(show(R"({"text":"Taverne du Pendu\nrumeur secrète\nbière : 2 pièces"})"), 200);
        // However the test ends, the stream ends with the server.
        const auto stopped = qScopeGuard([&] { m_server->stop(); });
        StreamReader late(port(), m_codes.players);
        QVERIFY(late.waitFor(1));
        QCOMPARE(strings(late.items().at(0)[QStringLiteral("lines")]),
                 QStringList({QStringLiteral("Taverne du Pendu"), QStringLiteral("rumeur secrète"),
                              QStringLiteral("bière : 2 pièces")}));
        const Answer run = ask(port(), "POST", "/api/generate/village", bearer(m_codes.gameMaster));
        const QStringList lines = strings(run.json().toObject()[QStringLiteral("lines")]);
        QVERIFY(lines.size() > 3);
        QCOMPARE(show(R"({"kind":"village","n":)" +
                      QByteArray::number(run.json().toObject()[QStringLiteral("id")].toInt()) +
                      R"(,"lines":[1,3]})"),
                 200);
        QCOMPARE(show(R"({"text":"troisième","lines":[5]})"), 400);
        QCOMPARE(show(R"({"text":"dernier"})"), 200);
        QVERIFY(late.waitFor(3));
        const QList<QJsonObject> items = late.items();
        QCOMPARE(items.size(), 3);
        QCOMPARE(strings(items.at(1)[QStringLiteral("lines")]),
                 QStringList({lines.at(1), lines.at(3)}));
        QCOMPARE(items.at(1)[QStringLiteral("title")].toString(), QStringLiteral("Village"));
        QCOMPARE(strings(items.at(2)[QStringLiteral("lines")]),
                 QStringList{QStringLiteral("dernier")});
        // The game master's code also reads the stream; nobody else does.
        QCOMPARE(ask(port(), "GET", "/api/joueurs/events", bearer(QStringLiteral("faux"))).status,
                 401);
        m_server->stop();
        QVERIFY(late.ended());
    }

    void apiOnPostgreSQL() {
        const QString address = ovtest::testServerAddress();
        if (address.isEmpty())
            QSKIP("no test PostgreSQL server (run through ctest)");
        ovtest::TestServer pg(address);
        QVERIFY(pg.isOpen());
        ov::Database base(pg.newBase(QStringLiteral("ov_web_api")));
        WebServer web(base, m_codes);
        QCOMPARE(web.start(QStringLiteral("127.0.0.1"), 0), QString());
        const Answer run =
            ask(web.port(), "POST", "/api/generate/perso?seed=3", bearer(m_codes.gameMaster));
        QCOMPARE(run.status, 200);
        const Answer list = ask(web.port(), "GET", "/api/history", bearer(m_codes.gameMaster));
        QCOMPARE(list.json().toArray().size(), 1);
        QCOMPARE(list.json().toArray().first()[QStringLiteral("kind")].toString(),
                 QStringLiteral("perso"));
        web.stop();
    }

    void cleanupTestCase() { m_server.reset(); }
};

QTEST_GUILESS_MAIN(TestWebServer)
#include "test_webserver.moc"
