// Load on the web server over loopback: 20 clients running stored « perso » runs and history
// searches at once, against the tool's own `generate perso --count` in the same process.
// Prints runs per second both ways, the 99th-percentile latency, the errors and the records
// stored, which must equal the successful runs.

#include "cli/command.h"
#include "server/webserver.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>
#include <atomic>
#include <httplib.h>
#include <thread>

using namespace ov;

namespace {

constexpr int clients = 20;
constexpr int requestsPerClient = 60; // every third one a search
constexpr int toolRuns = 500;

int perso(const Database& base) {
    return base.scalar(QStringLiteral("SELECT COUNT(*) FROM OVperso")).toInt();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    ovtest::isolateUserFolders();
    ovtest::TempDatabase base;
    QTextStream out(stdout);

    // The tool's runs, in this process, on the same base.
    QString toolOut, toolErr;
    QTextStream toolOutStream(&toolOut), toolErrStream(&toolErr);
    cli::Streams io{toolOutStream, toolErrStream};
    QElapsedTimer toolClock;
    toolClock.start();
    cli::runTool({QStringLiteral("generate"), QStringLiteral("perso"), QStringLiteral("--count"),
                  QString::number(toolRuns), QStringLiteral("--database"), base.path},
                 io);
    const double toolRate = toolRuns * 1000.0 / qMax<qint64>(1, toolClock.elapsed());

    const server::AccessCodes codes = server::accessCodesFor(base.path);
    server::WebServer web(*base.db, codes);
    if (!web.start(QStringLiteral("127.0.0.1"), 0).isEmpty())
        return 1;
    const int before = perso(*base.db);
    const httplib::Headers bearer{{"Authorization", "Bearer " + codes.gameMaster.toStdString()}};
    std::atomic<int> runsOk{0}, searchesOk{0}, errors{0}, finished{0};
    std::vector<std::vector<double>> latencies(clients);
    std::vector<std::thread> threads;
    QElapsedTimer clock;
    clock.start();
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", web.port());
            client.set_read_timeout(30, 0);
            for (int i = 0; i < requestsPerClient; ++i) {
                const bool search = i % 3 == 2;
                const auto start = std::chrono::steady_clock::now();
                const auto result =
                    search ? client.Get("/api/history?q=homme&limit=20", bearer)
                           : client.Post("/api/generate/perso", bearer, "", "application/json");
                latencies[c].push_back(std::chrono::duration<double, std::milli>(
                                           std::chrono::steady_clock::now() - start)
                                           .count());
                if (!result || result->status != 200)
                    ++errors;
                else
                    ++(search ? searchesOk : runsOk);
            }
            ++finished;
        });
    // The store's work runs here, on the thread of its connection.
    while (finished < clients)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double seconds = clock.elapsed() / 1000.0;
    for (std::thread& thread : threads)
        thread.join();
    web.stop();

    std::vector<double> all;
    for (const auto& list : latencies)
        all.insert(all.end(), list.begin(), list.end());
    std::sort(all.begin(), all.end());
    const double p99 = all.at(std::min(all.size() - 1, std::size_t(all.size() * 0.99)));
    const int stored = perso(*base.db) - before;
    out << "clients: " << clients << ", requests: " << all.size() << " in " << seconds << " s\n"
        << "runs over HTTP: " << runsOk << " (" << runsOk / seconds << " runs/s, with "
        << searchesOk << " searches meanwhile)\n"
        << "generate perso --count " << toolRuns << ": " << toolRate << " runs/s\n"
        << "99th-percentile latency: " << p99 << " ms\n"
        << "errors: " << errors << "\n"
        << "records stored: " << stored << " (successful runs: " << runsOk << ")\n";
    return errors == 0 && stored == runsOk ? 0 : 1;
}
