// Personal generators: parsing a long template, one run of a starter generator on the starter
// tables (nothing stored), and one stored run after 100,000 results of that generator.

#include "benchsupport.h"
#include "tables/random.h"
#include "tables/tabledraw.h"
#include "templates/personalgenerator.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

struct StarterFixture {
    ovtest::TempDatabase t; // a new database: the starter tables and generators
};

StarterFixture& fixture() {
    static StarterFixture f;
    return f;
}

// A template of 1,000 lines, each with draws, a choice, dice and a remembered value.
void BM_ParseLongTemplate(benchmark::State& state) {
    QString source;
    for (int i = 0; i < 1000; ++i)
        source +=
            QStringLiteral("{or = 3d6*10}[a = gtad] [gtcl*{1d4+1}!] [oui|non|{or}] \\[x\\]\n");
    for (auto _ : state) {
        ov::Template parsed;
        benchmark::DoNotOptimize(ov::Template::parse(source, parsed));
    }
}
BENCHMARK(BM_ParseLongTemplate)->Unit(benchmark::kMillisecond);

// One run of a starter generator, as generate --no-store makes it.
void BM_RunStarterGenerator(benchmark::State& state, const char* id) {
    auto& f = fixture();
    const auto generator = ov::GeneratorStore(*f.t.db).find(QString::fromLatin1(id));
    ov::RandomSource source(1);
    ov::Dice dice(source);
    ov::TableDraw draw(*f.t.db, dice);
    const ov::Clock clock;
    ov::RecordingMessageSink messages;
    ov::PersonalRun run(*f.t.db, clock, draw, messages);
    for (auto _ : state)
        benchmark::DoNotOptimize(run.run(*generator, false));
}
BENCHMARK_CAPTURE(BM_RunStarterGenerator, taverne, "taverne")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RunStarterGenerator, nom, "nom")->Unit(benchmark::kMicrosecond);

// A stored run of a generator that already has 100,000 results: its number must not cost a count
// of them (the same run on a new store is about 0.3 ms).
void BM_StoredRunAfterManyResults(benchmark::State& state) {
    static std::unique_ptr<ovtest::TempDatabase> t;
    if (!t) {
        t = std::make_unique<ovtest::TempDatabase>();
        ovbench::releaseBeforeExit([] { t.reset(); });
        t->db->run(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 99999)"
            " INSERT INTO OVresultat (Generateur, Id, Texte, DateCreation)"
            " SELECT 'nom', i, 'Noms - ' || i || ' - 10/12/26', '2026-12-10' FROM n"));
    }
    const auto generator = ov::GeneratorStore(*t->db).find(QStringLiteral("nom"));
    ov::RandomSource source(1);
    ov::Dice dice(source);
    ov::TableDraw draw(*t->db, dice);
    const ov::Clock clock;
    ov::RecordingMessageSink messages;
    ov::PersonalRun run(*t->db, clock, draw, messages);
    for (auto _ : state)
        benchmark::DoNotOptimize(run.run(*generator, true));
}
BENCHMARK(BM_StoredRunAfterManyResults)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return ovbench::runBenchmarks(argc, argv, ovbench::Gui::No);
}
