// The history over 100,000 records in each output table: the window's first page (target under
// 100 ms), a search's first page (under 50 ms), scrolling the whole list page by page, the
// memory of it all (under 150 MB), and the texts of one number.

#include "benchsupport.h"
#include "history/history.h"
#include "tables/database.h"
#include "tables/historyindex.h"
#include "tables/outputs.h"
#include "testsupport.h"
#include "ui/historymodel.h"
#include "ui/historywindow.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <benchmark/benchmark.h>

namespace {

constexpr int recordsPerTable = 100000;

struct HistoryFixture {
    HistoryFixture() {
        // The words of the starter tables, accents included, make the texts.
        QSqlQuery elements = t.db->run(QStringLiteral("SELECT Element FROM OVslave"));
        while (elements.next())
            words << elements.value(0).toString();
        QRandomGenerator random(1);
        const auto pick = [&] { return words.at(random.bounded(int(words.size()))); };
        const auto text = [&](int n, int lines, int perLine) {
            QString body = QStringLiteral("OV -%1- 08/12/2026\r\n").arg(n);
            for (int l = 0; l < lines; ++l) {
                for (int w = 0; w < perLine; ++w)
                    body += (w ? QStringLiteral(" / ") : QString()) + pick();
                body += QStringLiteral("\r\n");
            }
            return body;
        };
        QElapsedTimer timer;
        timer.start();
        t.db->transaction([&] {
            for (ov::OutputKind kind : ov::allOutputKinds) {
                const ov::OutputTable& table = ov::outputTable(kind);
                QSqlQuery insert(t.db->connection());
                insert.prepare(QStringLiteral("INSERT INTO %1 (Id, %2, %3, DateCreation)"
                                              " VALUES (?, ?, ?, ?)")
                                   .arg(table.table, table.textField, table.stringField));
                const int lines = kind == ov::OutputKind::Village ? 12 : 4;
                for (int n = 0; n < recordsPerTable; ++n) {
                    QString body = text(n, lines, 3);
                    if (kind == ov::OutputKind::Village)
                        body.insert(
                            body.indexOf(QStringLiteral("\r\n")) + 2,
                            QStringLiteral("NOM(") +
                                (n == recordsPerTable / 2 ? QStringLiteral("Brûlemont") : pick()) +
                                QStringLiteral(")__________ CONSTRUIT(") + pick() +
                                QStringLiteral(")__________\r\n"));
                    insert.addBindValue(n);
                    insert.addBindValue(body);
                    insert.addBindValue(QStringLiteral(" "));
                    insert.addBindValue(QDate(2020, 1, 1)
                                            .addDays(n * 2000 / recordsPerTable)
                                            .toString(Qt::ISODate));
                    insert.exec();
                }
            }
        });
        fillSeconds = timer.elapsed() / 1000.0;
        // A word with an accent from the starter tables, and the one village named Brûlemont.
        for (const QString& element : std::as_const(words))
            for (const QString& word : ov::searchWords(element))
                if (word.size() >= 5 && word.toLatin1() != word.toUtf8() && second.isEmpty() &&
                    word != common)
                    (common.isEmpty() ? common : second) = word;
        rare = QStringLiteral("Brûlemont");
    }
    ovtest::TempDatabase t;
    QStringList words;
    QString common;
    QString second;
    QString rare;
    double fillSeconds = 0;
};

HistoryFixture& fixture() {
    static HistoryFixture f;
    return f;
}

// The window opens: its controls, its model and the first page of the list.
void BM_WindowFirstPage(benchmark::State& state) {
    HistoryFixture& f = fixture();
    for (auto _ : state) {
        ov::ui::HistoryWindow window(*f.t.db);
        benchmark::DoNotOptimize(window.model()->rowCount());
    }
    state.counters["records"] = 4.0 * recordsPerTable;
    state.counters["fill_s"] = f.fillSeconds;
    state.counters["peak_rss_MB"] = ovbench::peakRssMegabytes();
}
BENCHMARK(BM_WindowFirstPage)->Unit(benchmark::kMillisecond);

// The first page of a search: 0 a word of the starter tables, 1 the same without accents or
// capitals, 2 two such words, 3 the name of one village alone,
// 4 the word among unprinted villages.
void BM_SearchFirstPage(benchmark::State& state) {
    HistoryFixture& f = fixture();
    ov::ui::HistoryModel model(*f.t.db);
    ov::HistoryFilter filter;
    switch (state.range(0)) {
    case 0:
        filter.words = f.common;
        break;
    case 1:
        filter.words = f.common.normalized(QString::NormalizationForm_D)
                           .remove(QRegularExpression(QStringLiteral("\\p{M}")))
                           .toLower();
        break;
    case 2:
        filter.words = f.common + QLatin1Char(' ') + f.second;
        break;
    case 3:
        filter.words = f.rare;
        break;
    default:
        filter.words = f.common;
        filter.kind = QStringLiteral("village");
        filter.printed = ov::PrintedFilter::Unprinted;
    }
    for (auto _ : state) {
        model.setFilter(filter);
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.SetLabel(filter.words.toStdString());
    state.counters["rows"] = model.rowCount();
}
BENCHMARK(BM_SearchFirstPage)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

// Scrolling from the first record to the last, one page at a time.
void BM_ScrollToEnd(benchmark::State& state) {
    HistoryFixture& f = fixture();
    int rows = 0;
    int pages = 0;
    for (auto _ : state) {
        ov::ui::HistoryModel model(*f.t.db);
        model.setFilter({});
        pages = 1;
        while (model.canFetchMore({})) {
            model.fetchMore({});
            ++pages;
        }
        rows = model.rowCount();
    }
    state.counters["rows"] = rows;
    state.counters["ms_per_page"] = benchmark::Counter(
        pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["peak_rss_MB"] = ovbench::peakRssMegabytes();
}
BENCHMARK(BM_ScrollToEnd)->Unit(benchmark::kMillisecond)->Iterations(1);

// The texts that a number names (what the tool and the phone page look up for each number they
// are given): a village from the middle of the table.
void BM_KeysWithNumber(benchmark::State& state) {
    HistoryFixture& f = fixture();
    ov::History history(*f.t.db);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            history.keysWithNumber(QStringLiteral("village"), recordsPerTable / 2));
}
BENCHMARK(BM_KeysWithNumber)->Unit(benchmark::kMicrosecond);

// The words of 4,096 new characters indexed at once, as runs do when that many wait: the time
// must follow the waiting texts, not the 400,000 of the history. Runs last: it adds records.
void BM_WordsCatchUp(benchmark::State& state) {
    HistoryFixture& f = fixture();
    ov::catchUpHistoryWords(*f.t.db);
    int next = recordsPerTable;
    for (auto _ : state) {
        state.PauseTiming();
        f.t.db->transaction([&] {
            const ov::OutputTable& table = ov::outputTable(ov::OutputKind::Perso);
            QSqlQuery insert(f.t.db->connection());
            insert.prepare(QStringLiteral("INSERT INTO %1 (Id, %2, %3, DateCreation)"
                                          " VALUES (?, ?, ' ', '2026-12-10')")
                               .arg(table.table, table.textField, table.stringField));
            for (int n = 0; n < 4096; ++n, ++next) {
                insert.addBindValue(next);
                insert.addBindValue(QStringLiteral("OV -%1- 10/12/2026\r\n%2 / %3\r\n")
                                        .arg(next)
                                        .arg(f.words.at(next % f.words.size()),
                                             f.words.at(next * 7 % f.words.size())));
                insert.exec();
            }
        });
        state.ResumeTiming();
        ov::catchUpHistoryWords(*f.t.db);
    }
}
BENCHMARK(BM_WordsCatchUp)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    return ovbench::runBenchmarks(argc, argv, ovbench::Gui::Offscreen);
}
