// Batch generation on the starter tables of a new database, side by side with what the disk
// costs: 10,000 characters (villages) generated and stored against 10,000 inserts of the same
// records, one transaction each, on a database with the same settings (target: within 2 times);
// 10,000 characters generated without storing (target: under 0.2 s).

#include "benchsupport.h"
#include "generators/generators.h"
#include "tables/database.h"
#include "testsupport.h"

#include <QSqlQuery>
#include <benchmark/benchmark.h>

namespace {

constexpr int runs = 10000;

// The records of the last stored batch of each kind, for the inserts that follow it.
QList<ovbench::StoredRecord>& recordsOf(ov::OutputKind kind) {
    static QList<ovbench::StoredRecord> records[4];
    return records[int(kind)];
}

// Runs of one kind on a new database, as the command-line tool makes them. One iteration: the
// database is made before it and removed after it, outside the measured time.
void generate(benchmark::State& state, ov::OutputKind kind, bool store) {
    ovtest::TempDatabase t;
    ov::RandomSource source(12345);
    ov::Dice dice(source);
    ov::TableDraw draw(*t.db, dice);
    ov::UnprintedCount count(*t.db);
    const ov::Clock clock;
    ov::RecordingMessageSink sink;
    ov::NoWatcher host; // as the command-line tool
    ov::Generation generation(*t.db, count, clock, draw, sink);
    QList<ovbench::StoredRecord> records;
    records.reserve(runs);
    for (auto _ : state) {
        for (int i = 0; i < runs; ++i) {
            const ov::RunReport report = generation.run(kind, host, store);
            if (report.error || report.stored != store) {
                state.SkipWithError("a run failed");
                return;
            }
            if (store)
                records.append(ovbench::storedRecord(report));
        }
    }
    if (store)
        recordsOf(kind) = std::move(records);
}

// The same records inserted by one prepared statement, each insert its own transaction.
void insertOnly(benchmark::State& state, ov::OutputKind kind) {
    const QList<ovbench::StoredRecord>& records = recordsOf(kind);
    if (records.size() != runs) {
        state.SkipWithError("run the generation of this kind first");
        return;
    }
    ovtest::TempDatabase t;
    ovbench::insertRecords(state, *t.db, kind, records);
}

void BM_PersoGeneratedAndStored(benchmark::State& state) {
    generate(state, ov::OutputKind::Perso, true);
}
void BM_PersoInsertsOnly(benchmark::State& state) {
    insertOnly(state, ov::OutputKind::Perso);
}
void BM_VillageGeneratedAndStored(benchmark::State& state) {
    generate(state, ov::OutputKind::Village, true);
}
void BM_VillageInsertsOnly(benchmark::State& state) {
    insertOnly(state, ov::OutputKind::Village);
}
void BM_PersoGeneratedNotStored(benchmark::State& state) {
    generate(state, ov::OutputKind::Perso, false);
}

BENCHMARK(BM_PersoGeneratedAndStored)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PersoInsertsOnly)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_VillageGeneratedAndStored)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_VillageInsertsOnly)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PersoGeneratedNotStored)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return ovbench::runBenchmarks(argc, argv, ovbench::Gui::No);
}
