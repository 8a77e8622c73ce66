// Start-up of the main screen until it is shown, on a large store, against an empty main window
// shown in the same run.
#include "tables/database.h"
#include "tables/outputs.h"
#include "testsupport.h"
#include "ui/application.h"
#include "ui/mainscreen.h"
#include "ui/messages.h"
#include "ui/reportforms.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QWindow>
#include <benchmark/benchmark.h>

namespace {

constexpr int tableCount = 500;
constexpr int elementsPerTable = 200;
constexpr int rowsPerOutputTable = 100000;

QString storePath;
QString newStorePath;
QSize screenSize; // the main screen's default size

// A store of 500 tables of 200 elements and 100,000 generated records of each kind.
void buildStore(const QString& path) {
    ov::Database db(path);
    QSqlDatabase connection = db.connection();
    db.transaction([&] {
        db.run(QStringLiteral("DELETE FROM OVslave"));
        db.run(QStringLiteral("DELETE FROM OVmaster"));
        QSqlQuery table(connection);
        table.prepare(QStringLiteral("INSERT INTO OVmaster (Id, Nom) VALUES (?, ?)"));
        QSqlQuery element(connection);
        element.prepare(
            QStringLiteral("INSERT INTO OVslave (ID, Element, Proba) VALUES (?, ?, ?)"));
        for (int t = 0; t < tableCount; ++t) {
            const QString id = QStringLiteral("t%1").arg(t, 3, 10, QLatin1Char('0'));
            table.addBindValue(id);
            table.addBindValue(QStringLiteral("Table numéro %1").arg(t));
            table.exec();
            for (int e = 0; e < elementsPerTable; ++e) {
                element.addBindValue(id);
                element.addBindValue(QStringLiteral("élément %1 de la table %2").arg(e).arg(t));
                element.addBindValue(double(e % 7 + 1));
                element.exec();
            }
        }
        const QString text = QStringLiteral("OV -1- 01/01/25\r\nUne ligne du texte généré\r\n");
        for (ov::OutputKind kind : ov::allOutputKinds) {
            const ov::OutputTable& t = ov::outputTable(kind);
            QSqlQuery record(connection);
            record.prepare(QStringLiteral("INSERT INTO %1 (Id, %2, %3, DateCreation, DateImprime)"
                                          " VALUES (?, ?, 'M', '2025-01-01', ?)")
                               .arg(t.table, t.textField, t.stringField));
            for (int r = 0; r < rowsPerOutputTable; ++r) {
                record.addBindValue(double(r));
                record.addBindValue(text);
                // Most records were printed; the last thousand wait for printing.
                record.addBindValue(r < rowsPerOutputTable - 1000
                                        ? QVariant(QStringLiteral("01/01/25"))
                                        : QVariant());
                record.exec();
            }
        }
    });
}

void waitUntilShown(QWidget& window) {
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void BM_EmptyMainWindow(benchmark::State& state) {
    for (auto _ : state) {
        QMainWindow window;
        waitUntilShown(window);
    }
}
BENCHMARK(BM_EmptyMainWindow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_MainScreen(benchmark::State& state) {
    for (auto _ : state) {
        ov::ui::TovMainPerso screen(storePath);
        waitUntilShown(screen);
    }
}
BENCHMARK(BM_MainScreen)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same on a new store (starter tables, no record): what the large store adds.
void BM_MainScreenOnNewStore(benchmark::State& state) {
    for (auto _ : state) {
        ov::ui::TovMainPerso screen(newStorePath);
        waitUntilShown(screen);
    }
}
BENCHMARK(BM_MainScreenOnNewStore)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The whole start-up order: the main screen, then the report forms, then shown.
void BM_MainScreenWithReportForms(benchmark::State& state) {
    for (auto _ : state) {
        ov::ui::TovMainPerso screen(storePath);
        ov::ui::ReportForms forms(*screen.database());
        waitUntilShown(screen);
    }
}
BENCHMARK(BM_MainScreenWithReportForms)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A program's start-up, from its launch until its window is shown: this program started again
// as a child that shows either window and says so on its standard output.
void startProgram(benchmark::State& state, const char* window) {
    for (auto _ : state) {
        QProcess child;
        QElapsedTimer clock;
        clock.start();
        const bool sized = qstrcmp(window, "label-sized") == 0;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--child"), QString::fromLatin1(window),
                     sized
                         ? QStringLiteral("%1x%2").arg(screenSize.width()).arg(screenSize.height())
                         : storePath});
        if (!child.waitForReadyRead(30000)) {
            state.SkipWithError("the child program did not show its window");
            return;
        }
        state.SetIterationTime(clock.nsecsElapsed() / 1e9);
        child.waitForFinished(30000);
    }
}

void BM_ProgramWithEmptyMainWindow(benchmark::State& state) {
    startProgram(state, "empty");
}
BENCHMARK(BM_ProgramWithEmptyMainWindow)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(3.0);

// The same with one line of text: what the first text costs (the font configuration is read).
void BM_ProgramWithOneLabel(benchmark::State& state) {
    startProgram(state, "label");
}
BENCHMARK(BM_ProgramWithOneLabel)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);

// The same label in a window of the main screen's default size: what the size alone costs (the
// window's image to fill, the painting threads it calls for).
void BM_ProgramWithOneLabelAtScreenSize(benchmark::State& state) {
    startProgram(state, "label-sized");
}
BENCHMARK(BM_ProgramWithOneLabelAtScreenSize)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(3.0);

void BM_ProgramWithMainScreen(benchmark::State& state) {
    startProgram(state, "screen");
}
BENCHMARK(BM_ProgramWithMainScreen)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3.0);

// The child: the window program's start-up order, or an empty main window.
int runChild(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString window = QString::fromLocal8Bit(argv[2]);
    if (window == QLatin1String("label") || window == QLatin1String("label-sized")) {
        QMainWindow withText;
        withText.setCentralWidget(new QLabel(QStringLiteral("Orvanthe"), &withText));
        if (window == QLatin1String("label-sized"))
            withText.resize(
                QString::fromLocal8Bit(argv[3]).section(QLatin1Char('x'), 0, 0).toInt(),
                QString::fromLocal8Bit(argv[3]).section(QLatin1Char('x'), 1, 1).toInt());
        waitUntilShown(withText);
        fputs("shown\n", stdout);
        fflush(stdout);
        return 0;
    }
    if (window == QLatin1String("empty")) {
        QMainWindow empty;
        waitUntilShown(empty);
        fputs("shown\n", stdout);
        fflush(stdout);
        return 0;
    }
    ov::ui::installFrenchTranslation(application);
    ov::ui::installFonts();
    ov::ui::TovMainPerso screen(QString::fromLocal8Bit(argv[3]));
    ov::ui::ReportForms forms(*screen.database());
    waitUntilShown(screen);
    fputs("shown\n", stdout);
    fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0)
        return runChild(argc, argv);
    ovtest::isolateUserFolders();
    QApplication application(argc, argv);
    ov::ui::setMessageRecorder(
        [](const QString& text) { qFatal("unexpected message: %s", qPrintable(text)); });
    QTemporaryDir folder;
    storePath = folder.filePath(QStringLiteral("large.db"));
    buildStore(storePath);
    newStorePath = folder.filePath(QStringLiteral("new.db"));
    ov::Database{newStorePath};
    screenSize = ov::ui::TovMainPerso(newStorePath).size();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
