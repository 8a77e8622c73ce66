// The village report of 1,000 of the largest villages (METIERS lines of about 7,400 characters)
// read from the store, laid out and written to a PDF file (targets: under 3 s, under 300 MB;
// 10,000 villages within 1.3 times the peak memory of 1,000, 200,000 within 300 MB);
// the same report laid out only, and shown in the preview window.

#include "benchsupport.h"
#include "reports/reportfonts.h"
#include "reports/reportform.h"
#include "tables/database.h"
#include "tables/outputs.h"
#include "testsupport.h"
#include "ui/previewwindow.h"

#include <QPdfWriter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

QString filler(const QString& lead, int i) {
    return QString(lead + QStringLiteral(" %1 ").arg(i)).leftJustified(60, QLatin1Char('x'));
}

// A village as the generator writes it, every drawn text 60 characters long.
QString largestVillage(int n) {
    QStringList lines;
    lines << QStringLiteral("OV -%1- 08/12/2026").arg(n);
    lines << QStringLiteral("NOM(") + filler(QStringLiteral("nom"), n) +
                 QStringLiteral(")__________ CONSTRUIT(") + filler(QStringLiteral("site"), n) +
                 QLatin1Char(')');
    for (int i = 0; i < 12; ++i)
        lines << QStringLiteral("RUBRIQUE %1 : ").arg(i) + filler(QStringLiteral("texte"), i) +
                     QStringLiteral("    ") + filler(QStringLiteral("suite"), i);
    QString terrain = QStringLiteral("TERRAIN : ");
    for (int i = 0; i < 7; ++i)
        terrain += filler(QStringLiteral("terrain"), i) + QStringLiteral(" / ");
    lines << terrain + QStringLiteral("__________    ");
    for (int i = 0; i < 3; ++i)
        lines << QStringLiteral("RESSOURCE : ") + filler(QStringLiteral("ressource"), i) +
                     QStringLiteral("____________________________");
    lines << QStringLiteral("> METIERS : ");
    QString metiers;
    for (int i = 1; i <= 112; ++i)
        metiers += (i < 10 ? QStringLiteral(" ") : QString()) + QString::number(i) +
                   QLatin1Char('-') + filler(QStringLiteral("métier"), i);
    lines << metiers;
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

struct ReportFixture {
    explicit ReportFixture(int villages = 1000) : villages(villages) {
        ov::ensureReportFonts();
        const QDateTime created(QDate(2026, 12, 8), QTime(10, 0));
        t.db->transaction([&] {
            for (int i = 0; i < villages; ++i)
                ov::appendRecord(*t.db, ov::OutputKind::Village, i, largestVillage(i),
                                 QStringLiteral("Avill160"), created);
        });
    }
    int villages;
    ovtest::TempDatabase t;
    QTemporaryDir out;
};

// One store of villages, shared by the benchmarks that ask for as many; a benchmark that asks
// for another number gets a store of its own, made in place of the last.
ReportFixture& fixture(int villages = 1000) {
    static std::unique_ptr<ReportFixture> f;
    if (!f)
        ovbench::releaseBeforeExit([] { f.reset(); });
    if (!f || f->villages != villages) {
        f.reset();
        f = std::make_unique<ReportFixture>(villages);
    }
    return *f;
}

// The report of state.range(0) villages written to a PDF file: the peak memory of the process
// must not grow with the number of villages (run each size in a process of its own, with
// --benchmark_filter=BM_VillageReportToPdf/1000 then /10000).
void BM_VillageReportToPdf(benchmark::State& state) {
    ReportFixture& f = fixture(int(state.range(0)));
    ov::ReportForm form(*f.t.db, ov::OutputKind::Village);
    const QString path = f.out.filePath(QStringLiteral("villages.pdf"));
    int pages = 0;
    qint64 bytes = 0;
    for (auto _ : state) {
        const ov::ReportDocument document = form.build(QDateTime::currentDateTime());
        QPdfWriter writer(path);
        pages = document.print(writer);
        benchmark::DoNotOptimize(pages);
    }
    bytes = QFileInfo(path).size();
    if (pages == 0)
        state.SkipWithError("no page written");
    state.counters["pages"] = pages;
    state.counters["pdf_MB"] = bytes / 1048576.0;
    state.counters["peak_rss_MB"] = ovbench::peakRssMegabytes();
}
BENCHMARK(BM_VillageReportToPdf)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(200000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The same report laid out only: where the text wraps and the bands fall, nothing painted.
void BM_VillageReportLayoutOnly(benchmark::State& state) {
    ReportFixture& f = fixture();
    ov::ReportForm form(*f.t.db, ov::OutputKind::Village);
    QPdfWriter writer(f.out.filePath(QStringLiteral("unused.pdf")));
    for (auto _ : state) {
        const ov::ReportDocument document = form.build(QDateTime::currentDateTime());
        const ov::ReportLayout layout = document.layOut(&writer);
        benchmark::DoNotOptimize(layout.pages.size());
    }
}
BENCHMARK(BM_VillageReportLayoutOnly)->Unit(benchmark::kMillisecond);

// The preview window holding every page of the report.
void BM_VillageReportPreview(benchmark::State& state) {
    ReportFixture& f = fixture();
    ov::ReportForm form(*f.t.db, ov::OutputKind::Village);
    int pages = 0;
    for (auto _ : state) {
        const ov::ReportDocument document = form.build(QDateTime::currentDateTime());
        const ov::ui::PreviewWindow window(document);
        pages = window.pageCount();
    }
    state.counters["pages"] = pages;
    state.counters["peak_rss_MB"] = ovbench::peakRssMegabytes();
}
BENCHMARK(BM_VillageReportPreview)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    return ovbench::runBenchmarks(argc, argv, ovbench::Gui::Offscreen);
}
