#include "benchsupport.h"

#include "tables/clock.h"
#include "tables/database.h"
#include "tables/historyindex.h"
#include "tables/outputs.h"
#include "testsupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSqlQuery>
#include <benchmark/benchmark.h>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace ovbench {

namespace {

std::vector<std::function<void()>>& releases() {
    static std::vector<std::function<void()>> list;
    return list;
}

} // namespace

void releaseBeforeExit(std::function<void()> release) {
    releases().push_back(std::move(release));
}

int runBenchmarks(int argc, char** argv, Gui gui) {
    std::unique_ptr<QCoreApplication> app;
    if (gui == Gui::Offscreen) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
            qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    ovtest::isolateUserFolders();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (auto release = releases().rbegin(); release != releases().rend(); ++release)
        (*release)();
    return 0;
}

double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

StoredRecord storedRecord(const ov::RunReport& report) {
    QString text;
    for (const QString& line : report.lines)
        text += line + QStringLiteral("\r\n");
    return {report.id, text, report.type};
}

void insertRecords(benchmark::State& state, const ov::Database& database, ov::OutputKind kind,
                   const QList<StoredRecord>& records) {
    const ov::OutputTable& table = ov::outputTable(kind);
    const QString date = ov::Clock().now().date().toString(Qt::ISODate);
    QSqlQuery insert(database.connection());
    insert.prepare(QStringLiteral("INSERT INTO %1 (Id, %2, %3, DateCreation, DateImprime)"
                                  " VALUES (?, ?, ?, ?, NULL)")
                       .arg(table.table, table.textField, table.stringField));
    for (auto _ : state) {
        for (const StoredRecord& record : records) {
            insert.bindValue(0, double(record.id));
            insert.bindValue(1, record.text);
            insert.bindValue(2, record.type);
            insert.bindValue(3, date);
            if (!insert.exec()) {
                state.SkipWithError("an insert failed");
                return;
            }
        }
        // The words of the history, which storing puts in the index by batches.
        ov::catchUpHistoryWords(database);
    }
}

} // namespace ovbench
