// One character run, storing included and no window, on tables of 1,000 elements each.

#include "benchsupport.h"
#include "generators/generators.h"
#include "tables/database.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

const char* const characterTables[] = {
    "age",  "cel",  "mel",  "sexe", "rich", "orig", "pays", "lieu", "terr", "etci",
    "reli", "carr", "tail", "poid", "chco", "chlo", "chty", "yeux", "pilo", "pico",
    "stat", "arje", "arco", "tale", "brav", "disp", "econ", "ener", "honn", "mate",
    "mora", "perb", "perc", "pers", "natu", "piet", "tena", "tenb"};

constexpr int elementsPerTable = 1000;

// Every table the character draws from, with weights 1 to 10; the "age" and "cel" texts begin
// with the digits that give talents and weapons.
void fillTables(const ov::Database& db) {
    db.transaction([&] {
        ovtest::clearRandomTables(db);
        for (const char* name : characterTables) {
            const QString id = QString::fromLatin1(name);
            ovtest::addLargeTable(
                db, id, QStringLiteral("Table ") + id, elementsPerTable,
                [&](int i) -> QPair<QString, double> {
                    QString text;
                    if (id == QStringLiteral("age"))
                        text = QStringLiteral("%1 ans, élément %2").arg(1 + i % 7).arg(i);
                    else if (id == QStringLiteral("cel"))
                        text =
                            QStringLiteral("%1 niveau %2").arg(QLatin1Char("0137"[i % 4])).arg(i);
                    else
                        text = QStringLiteral("%1 élément numéro %2").arg(id).arg(i);
                    return {text, 1 + i % 10};
                });
        }
    });
}

// One store for every trial and repetition: the history's words are indexed in batches of 4,096
// texts, and a measure shorter than a batch, on a store of its own, would never pay for them.
struct PersoFixture {
    PersoFixture() {
        fillTables(*t.db);
        generation.run(ov::OutputKind::Perso, host); // the first run reads the tables
    }
    ovtest::TempDatabase t;
    ov::RandomSource source{12345};
    ov::Dice dice{source};
    ov::TableDraw draw{*t.db, dice};
    ov::UnprintedCount count{*t.db};
    const ov::Clock clock;
    ov::RecordingMessageSink sink;
    ov::RunHost host;
    ov::Generation generation{*t.db, count, clock, draw, sink};
};

PersoFixture& fixture() {
    static std::unique_ptr<PersoFixture> f;
    if (!f) {
        f = std::make_unique<PersoFixture>();
        ovbench::releaseBeforeExit([] { f.reset(); });
    }
    return *f;
}

void BM_PersoRun(benchmark::State& state) {
    PersoFixture& f = fixture();
    for (auto _ : state) {
        const ov::RunReport report = f.generation.run(ov::OutputKind::Perso, f.host);
        benchmark::DoNotOptimize(report.lines.size());
        if (report.error || !report.stored) {
            state.SkipWithError("the run did not store its record");
            break;
        }
    }
    if (!f.sink.messages.isEmpty())
        state.SkipWithError("a draw failed");
}
// Each repetition is long enough for several batches of words (about 13,000 runs).
BENCHMARK(BM_PersoRun)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(10);

} // namespace

int main(int argc, char** argv) {
    return ovbench::runBenchmarks(argc, argv, ovbench::Gui::No);
}
