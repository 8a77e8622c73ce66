// The largest village (112 trades) drawn from tables of 1,000 elements and stored, without a
// window (target: median under 5 ms).

#include "benchsupport.h"
#include "generators/generationrun.h"
#include "generators/village.h"
#include "tables/database.h"
#include "tables/tabledraw.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>

namespace {

// The real tables, with every die forced to its highest face after consuming its number as the
// real one does: 160 houses, 1,600 inhabitants, 112 trades, 7 terrains, 3 interests, 3 resources.
class HighestDice : public ov::Draws {
public:
    explicit HighestDice(ov::TableDraws& real) : m_real(real) {}
    bool OV(const QString& id, QString& result) override { return m_real.OV(id, result); }
    int D(int n) override {
        m_real.D(n);
        return qMax(n, 1);
    }
    int D4() override {
        m_real.D4();
        return 4;
    }
    bool elements(const QString& id, std::vector<ov::WeightedElement>& result) override {
        return m_real.elements(id, result);
    }

private:
    ov::TableDraws& m_real;
};

struct VillageFixture {
    VillageFixture() {
        ovtest::clearRandomTables(*t.db);
        const char* const ids[] = {"vino", "vico", "vire", "viag", "vica", "vise", "virp",
                                   "vifa", "vifi", "viva", "viin", "viha", "vich", "viim",
                                   "vilo", "vihi", "vifo", "vipr", "viel", "vida", "viit",
                                   "viri", "vima", "virs", "vime"};
        t.db->transaction([&] {
            for (const char* id : ids) {
                const QString table = QString::fromLatin1(id);
                // Element texts of the full 60 characters: the trades line passes 7,000.
                ovtest::addLargeTable(*t.db, table, table, 1000,
                                      [&](int i) -> QPair<QString, double> {
                                          return {QStringLiteral("%1 élément %2 ")
                                                      .arg(table)
                                                      .arg(i, 4, 10, QLatin1Char('0'))
                                                      .leftJustified(60, QLatin1Char('x')),
                                                  1 + i % 7};
                                      });
            }
        });
    }
    ovtest::TempDatabase t;
};

VillageFixture& fixture() {
    static VillageFixture f;
    return f;
}

// One run of the largest village, stored, with the village table holding state.range(0) earlier
// villages: the record count and the unprinted count read the whole table, so its size counts.
void BM_LargestVillage(benchmark::State& state) {
    auto& f = fixture();
    const ov::Database& db = *f.t.db;
    ov::RandomSource source(1);
    ov::Dice dice(source);
    ov::TableDraw draw(db, dice);
    ov::RecordingMessageSink messages;
    ov::TableDraws real(draw, messages);
    HighestDice draws(real);
    ov::UnprintedCount count(db);
    const ov::Clock clock;
    ov::RunHost host; // no window

    db.run(QStringLiteral("DELETE FROM OVvillage"));
    const int earlier = int(state.range(0));
    if (earlier > 0) {
        ov::GenerationRun first(ov::OutputKind::Village, db, count, clock, host, false);
        ov::generateVillage(first, draws);
        db.transaction([&] {
            for (int id = 0; id < earlier; ++id)
                ov::appendRecord(db, ov::OutputKind::Village, id, first.text(), first.storedValue(),
                                 clock.now());
        });
    }

    qsizetype lines = 0;
    qsizetype tradesWidth = 0;
    for (auto _ : state) {
        ov::GenerationRun run(ov::OutputKind::Village, db, count, clock, host);
        ov::generateVillage(run, draws);
        state.PauseTiming();
        lines = run.lines().size();
        tradesWidth = run.lines().last().size();
        // The table keeps its size from one run to the next.
        db.run(QStringLiteral("DELETE FROM OVvillage WHERE Id = ?"), {run.n()});
        state.ResumeTiming();
    }
    // 112 entries of 60-character trades: 9 x 63 + 90 x 63 + 13 x 64 characters.
    if (lines != 21 || tradesWidth != 7069 || !messages.messages.isEmpty())
        state.SkipWithError("not the largest village");
    state.counters["trades_chars"] = double(tradesWidth);
}
BENCHMARK(BM_LargestVillage)
    ->ArgName("earlier")
    ->Arg(0)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    return ovbench::runBenchmarks(argc, argv, ovbench::Gui::No);
}
