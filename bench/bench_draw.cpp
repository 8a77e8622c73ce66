// One weighted draw from a table of 10,000 elements (target: under 1 ms), cold and cached, and
// the first draw after a change from a table of 1,000,000, against a scan of that table by the
// engine's shell.

#include "benchsupport.h"
#include "tables/database.h"
#include "tables/tabledraw.h"
#include "testsupport.h"

#include <QProcess>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

struct DrawFixture {
    explicit DrawFixture(int elements) {
        ovtest::clearRandomTables(*t.db);
        ovtest::addLargeTable(*t.db, QStringLiteral("big"), QStringLiteral("Grande"), elements,
                              [](int i) -> QPair<QString, double> {
                                  return {QStringLiteral("élément %1").arg(i), 1 + i % 7};
                              });
    }
    ovtest::TempDatabase t;
};

// One store per table size, made once.
DrawFixture& fixture(int elements = 10000) {
    static std::map<int, std::unique_ptr<DrawFixture>> fixtures;
    if (fixtures.empty())
        ovbench::releaseBeforeExit([] { fixtures.clear(); });
    auto& f = fixtures[elements];
    if (!f)
        f = std::make_unique<DrawFixture>(elements);
    return *f;
}

// Every draw after a change of the tables: the table is read again, as far as the roll needs.
void BM_DrawAfterChange(benchmark::State& state) {
    auto& f = fixture(int(state.range(0)));
    ov::RandomSource source(1);
    ov::Dice dice(source);
    ov::TableDraw draw(*f.t.db, dice);
    for (auto _ : state) {
        state.PauseTiming();
        f.t.db->run(QStringLiteral("UPDATE OVmaster SET Nom = Nom WHERE Id = 'big'"));
        state.ResumeTiming();
        benchmark::DoNotOptimize(draw.draw(QStringLiteral("big")));
    }
}
BENCHMARK(BM_DrawAfterChange)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// What the draw after a change is measured against: one scan of the same table's elements by
// the engine's own shell, in this run (the shell's start included).
void BM_ShellScan(benchmark::State& state) {
    auto& f = fixture(int(state.range(0)));
    for (auto _ : state) {
        QProcess shell;
        shell.start(QStringLiteral("sqlite3"),
                    {f.t.path, QStringLiteral("SELECT count(*), sum(Proba), max(length(Element))"
                                              " FROM OVslave WHERE ID = 'big'")});
        if (!shell.waitForFinished(60000) || shell.exitCode() != 0) {
            state.SkipWithError("the sqlite3 shell did not scan the table");
            return;
        }
    }
}
BENCHMARK(BM_ShellScan)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Draws in a row from unchanged tables, as a generation run makes them.
void BM_Draw(benchmark::State& state) {
    auto& f = fixture();
    ov::RandomSource source(1);
    ov::Dice dice(source);
    ov::TableDraw draw(*f.t.db, dice);
    for (auto _ : state)
        benchmark::DoNotOptimize(draw.draw(QStringLiteral("big")));
}
BENCHMARK(BM_Draw)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return ovbench::runBenchmarks(argc, argv, ovbench::Gui::No);
}
