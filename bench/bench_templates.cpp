// Personal generators: parsing a long template, and one run of a starter generator on the
// starter tables (nothing stored).

#include "benchsupport.h"
#include "tables/random.h"
#include "tables/tabledraw.h"
#include "templates/personalgenerator.h"
#include "testsupport.h"

#include <benchmark/benchmark.h>

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

} // namespace

int main(int argc, char** argv) {
    return ovbench::runBenchmarks(argc, argv, ovbench::Gui::No);
}
