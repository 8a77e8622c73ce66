// Batch generation on a throwaway PostgreSQL server (tests/pgcluster.sh, or the server that
// $OV_TEST_PG names), side by side with what the server costs: characters generated and stored
// as the command-line tool stores them, against plain inserts of the same records on that
// server, one transaction each.

#include "benchsupport.h"
#include "generators/generators.h"
#include "pgserver.h"
#include "tables/database.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int runs = 2000;

QList<ovbench::StoredRecord> stored;

// The server of this run and its administration connection.
struct Server {
    QTemporaryDir state;
    QString address;
    std::unique_ptr<ovtest::TestServer> admin;
    bool started = false;

    bool start() {
        address = ovtest::testServerAddress();
        if (address.isEmpty()) {
            const int code =
                QProcess::execute(QStringLiteral("bash"), {QStringLiteral(OV_PGCLUSTER),
                                                           QStringLiteral("start"), state.path()});
            started = code == 0;
            if (!started)
                return false;
            qputenv("OV_TEST_PG", state.path().toLocal8Bit());
            address = ovtest::testServerAddress();
        }
        admin = std::make_unique<ovtest::TestServer>(address);
        return admin->isOpen();
    }
    ~Server() {
        admin.reset();
        if (started)
            QProcess::execute(QStringLiteral("bash"),
                              {QStringLiteral(OV_PGCLUSTER), QStringLiteral("stop"), state.path()});
    }
};

// Started by the first benchmark, stopped by the last.
std::unique_ptr<Server> server;

void BM_PersoGeneratedAndStoredOnServer(benchmark::State& state) {
    server = std::make_unique<Server>();
    if (!server->start()) {
        state.SkipWithError("no PostgreSQL server (tests/pgcluster.sh start failed)");
        return;
    }
    const ov::Database db(server->admin->newBase(QStringLiteral("ov_bench_runs")));
    ov::RandomSource source(12345);
    ov::Dice dice(source);
    ov::TableDraw draw(db, dice);
    ov::UnprintedCount count(db);
    const ov::Clock clock;
    ov::RecordingMessageSink sink;
    ov::NoWatcher host; // as the command-line tool
    ov::Generation generation(db, count, clock, draw, sink);
    for (auto _ : state) {
        for (int i = 0; i < runs; ++i) {
            const ov::RunReport report = generation.run(ov::OutputKind::Perso, host, true);
            if (report.error || !report.stored) {
                state.SkipWithError("a run failed");
                return;
            }
            stored.append(ovbench::storedRecord(report));
        }
    }
}

void BM_PersoInsertsOnlyOnServer(benchmark::State& state) {
    if (stored.size() != runs || !server) {
        state.SkipWithError("run the generation first");
        return;
    }
    struct Stop {
        ~Stop() { server.reset(); }
    } stop;
    const ov::Database db(server->admin->newBase(QStringLiteral("ov_bench_inserts")));
    ovbench::insertRecords(state, db, ov::OutputKind::Perso, stored);
}

BENCHMARK(BM_PersoGeneratedAndStoredOnServer)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PersoInsertsOnlyOnServer)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return ovbench::runBenchmarks(argc, argv, ovbench::Gui::No);
}
