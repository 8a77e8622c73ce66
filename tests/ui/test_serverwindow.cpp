// The window on a base of the test run's PostgreSQL server, as on a file: opened from the menu's
// form, the grids showing the tables in their order, a bad weight refused and a good one posted
// with its table's total, a character generated and stored; the history searched, reprinted,
// unmarked and pruned; a personal generator written, run and printed; a print run stamped.

#include "pgserver.h"
#include "reports/reportdocument.h"
#include "screenfixture.h"
#include "tables/clock.h"
#include "tables/database.h"
#include "tables/outputs.h"
#include "ui/generatoreditor.h"
#include "ui/generatorsmenu.h"
#include "ui/historymodel.h"
#include "ui/historywindow.h"
#include "ui/mainwindow.h"
#include "ui/preview.h"
#include "ui/reportforms.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <memory>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

int columnOf(const QAbstractItemModel* model, const QString& header) {
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == header)
            return c;
    return -1;
}

QStringList firstValues(const QTableView* grid, const QString& header, int count) {
    QStringList values;
    const int c = columnOf(grid->model(), header);
    for (int row = 0; row < count && c >= 0 && row < grid->model()->rowCount(); ++row)
        values << grid->model()->index(row, c).data().toString();
    return values;
}

const QDateTime today(QDate(2026, 12, 8), QTime(16, 45));

// Stands for the print preview: every report shown is printed.
class PrintingPresenter : public ui::PreviewPresenter {
public:
    void present(const ReportDocument& document, QWidget*,
                 const std::function<void()>& jobCompleted) override {
        rows += int(document.rows().size());
        jobCompleted();
    }
    int rows = 0;
};

} // namespace

class TestServerWindow : public QObject, ovtest::MessageFixture {
    Q_OBJECT
    std::unique_ptr<ovtest::TestServer> m_server;
    QString m_base;

private Q_SLOTS:
    void initTestCase() {
        recordMessages();
        const QString address = ovtest::testServerAddress();
        if (address.isEmpty())
            QFAIL("Pas de serveur PostgreSQL de test : OV_TEST_PG est vide ou son fichier url"
                  " manque (tests/pgcluster.sh start).");
        m_server = std::make_unique<ovtest::TestServer>(address);
        QVERIFY(m_server->isOpen());
        m_base = m_server->newBase(u"ov_window"_s);
    }
    void cleanupTestCase() { m_server.reset(); }
    void init() { clearMessages(); }

    // The window on a new base of the server, its print runs and history printed by presenters.
    std::unique_ptr<ui::MainWindow> windowOnNewBase(const QString& name,
                                                    PrintingPresenter** printing) {
        ovtest::TempDatabase start;
        auto window = std::make_unique<ui::MainWindow>(start.path);
        window->show();
        const QString base = m_server->newBase(name);
        ui::setNextServerBase([&](const QString&) { return base; });
        window->findChild<QAction*>(u"actOuvrirServeur"_s)->trigger();
        auto presenter = std::make_unique<PrintingPresenter>();
        *printing = presenter.get();
        window->reportForms()->setPreviewPresenter(std::move(presenter));
        window->reportForms()->setClock(std::make_shared<FixedClock>(today));
        return window;
    }
    int count(const ui::MainWindow& window, const QString& sql) {
        return window.screen()->database()->scalar(sql).toInt();
    }

    void theWindowWorksTheSameOnBothEngines_data() {
        QTest::addColumn<bool>("onServer");
        QTest::newRow("fichier") << false;
        QTest::newRow("serveur") << true;
    }
    void theWindowWorksTheSameOnBothEngines() {
        QFETCH(bool, onServer);
        ovtest::TempDatabase start;
        ovtest::TempDatabase other;
        const QString target = onServer ? m_base : other.path;
        ui::MainWindow window(start.path);
        window.show();
        if (onServer) {
            ui::setNextServerBase([&](const QString&) { return target; });
            window.findChild<QAction*>(u"actOuvrirServeur"_s)->trigger();
        } else {
            ui::setNextFileChoice([&](const QString&) { return target; });
            window.findChild<QAction*>(u"actOuvrirBase"_s)->trigger();
        }
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
        QVERIFY(window.windowTitle().endsWith(u" - "_s + target));
        QCOMPARE(resolveAlias(u"OV"_s), target);

        const auto* tables = window.findChild<QTableView*>(u"dbgMaster"_s);
        auto* elements = window.findChild<QTableView*>(u"dbgSlave"_s);
        QCOMPARE(firstValues(tables, u"Id"_s, 2), (QStringList{u"age"_s, u"arco"_s}));
        QCOMPARE(firstValues(elements, u"Element"_s, 2), (QStringList{u"14"_s, u"16"_s}));

        const Database store(target);
        const auto total = [&] {
            return store.scalar(u"SELECT TotProba FROM OVmaster WHERE Id = 'age'"_s).toInt();
        };
        const int before = total();
        QAbstractItemModel* model = elements->model();
        const QModelIndex weight = model->index(0, columnOf(model, u"Proba"_s));
        const int old = weight.data().toInt();
        QVERIFY(!model->setData(weight, u"-3"_s));
        QCOMPARE(messages, QStringList{u"Probabilité incorrecte !"_s});
        QVERIFY(model->setData(weight, u"%1"_s.arg(old + 5)));
        QVERIFY(model->submit());
        QCOMPARE(total(), before + 5);

        window.findChild<QPushButton*>(u"btnPerso"_s)->click();
        QCOMPARE(recordCount(store, OutputKind::Perso), 1);
        QCOMPARE(messages.size(), 1);
    }

    // The server closes the window's connection: the grids and a generation say so in French,
    // nothing is stored, and the window stays up; the history and the editor do not say it again
    // each time they come to the front.
    void aLostConnectionIsToldAndTheWindowStays() {
        ovtest::TempDatabase start;
        ui::MainWindow window(start.path);
        window.show();
        ui::setNextServerBase([&](const QString&) { return m_base; });
        window.findChild<QAction*>(u"actOuvrirServeur"_s)->trigger();
        window.findChild<QAction*>(u"actHistorique"_s)->trigger();
        window.generatorsMenu()->openEditor();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
        const int before = recordCount(Database(m_base), OutputKind::Perso);
        QVERIFY(m_server->cutConnections(u"ov_window"_s) > 0);
        QTest::qWait(300); // the driver may notice before the next statement
        // The grids read first, through their models, then a generation: each says what failed.
        window.findChild<QPushButton*>(u"btnRafraichir"_s)->click();
        window.findChild<QPushButton*>(u"btnPerso"_s)->click();
        QVERIFY(!messages.isEmpty());
        for (const QString& message : std::as_const(messages))
            QVERIFY2(message.contains(u"La connexion au serveur de la base"_s),
                     qPrintable(message));
        QVERIFY(window.isVisible());
        QCOMPARE(recordCount(Database(m_base), OutputKind::Perso), before);
        // Coming back to the other windows, as after closing the message, tells it no more.
        const int told = int(messages.size());
        for (QWidget* other :
             {static_cast<QWidget*>(window.generatorsMenu()->editor()),
              static_cast<QWidget*>(window.screen()->findChild<ui::HistoryWindow*>())}) {
            QApplication::setActiveWindow(other);
            QVERIFY(QTest::qWaitForWindowActive(other));
        }
        QCOMPARE(messages.size(), told);
    }

    // The history found without accents, reprinted, unmarked and pruned; then a treasure
    // generated and printed from its « Impression » button, stamped.
    void historyAndPrintRun() {
        PrintingPresenter* printing = nullptr;
        const auto window = windowOnNewBase(u"ov_window_history"_s, &printing);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
        const Database& db = *window->screen()->database();
        const QDateTime created(QDate(2026, 12, 1), QTime(9, 0));
        appendRecord(db, OutputKind::Village, 0, u"OV -0-\r\nNOM(Épée-Lourde)__\r\n"_s, u"A"_s,
                     created);
        appendRecord(db, OutputKind::Tresor, 0, u"OV -0-\r\nArme - épée courte\r\n"_s, u" "_s,
                     created);
        appendRecord(db, OutputKind::Perso, 0, u"OV -0-\r\nAGE:30\r\n"_s, u"H"_s, created);

        window->findChild<QAction*>(u"actHistorique"_s)->trigger();
        auto* history = window->screen()->findChild<ui::HistoryWindow*>();
        QVERIFY(history);
        auto presenter = std::make_unique<PrintingPresenter>();
        PrintingPresenter* reprinting = presenter.get();
        history->setPreviewPresenter(std::move(presenter));
        history->setClock(std::make_shared<FixedClock>(today));
        QCOMPARE(history->model()->rowCount(), 3);
        QTest::keyClicks(history->searchBox(), u"epee"_s);
        QTRY_COMPARE(history->model()->rowCount(), 2);
        history->selectRows({0, 1});
        history->findChild<QPushButton*>(u"print"_s)->click();
        QCOMPARE(reprinting->rows, 2);
        const QString stamped = u"SELECT count(*) FROM %1 WHERE DateImprime = '"_s +
                                printDateStamp(today.date()) + u"'"_s;
        QCOMPARE(count(*window, stamped.arg(u"OVtresor"_s)) +
                     count(*window, stamped.arg(u"OVvillage"_s)),
                 2);
        history->findChild<QPushButton*>(u"unprint"_s)->click();
        QCOMPARE(count(*window, stamped.arg(u"OVtresor"_s)), 0);
        history->selectRows({1});
        ui::setNextConfirmation([](const QString&) { return true; });
        history->findChild<QPushButton*>(u"delete"_s)->click();
        QCOMPARE(history->model()->rowCount(), 1);
        QCOMPARE(recordCount(db, OutputKind::Tresor) + recordCount(db, OutputKind::Village), 1);

        window->findChild<QPushButton*>(u"btnTresor"_s)->click();
        const int treasures = recordCount(db, OutputKind::Tresor);
        window->findChild<QPushButton*>(u"btnImprimeTresor"_s)->click();
        QCOMPARE(printing->rows, treasures);
        QCOMPARE(count(*window, stamped.arg(u"OVtresor"_s)), treasures);
        QCOMPARE(window->findChild<QLineEdit*>(u"dbePersoNonImprime"_s)->text(), u"0"_s);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    }

    // A generator written in the editor, saved, run from the menu, its result counted, then
    // printed and stamped.
    void personalGeneratorWrittenRunAndPrinted() {
        PrintingPresenter* printing = nullptr;
        const auto window = windowOnNewBase(u"ov_window_generator"_s, &printing);
        window->generatorsMenu()->openEditor();
        ui::GeneratorEditor* editor = window->generatorsMenu()->editor();
        editor->newGenerator();
        editor->findChild<QLineEdit*>(u"edtId"_s)->setText(u"relais"_s);
        editor->findChild<QLineEdit*>(u"edtNomGenerateur"_s)->setText(u"Le relais"_s);
        editor->findChild<QPlainTextEdit*>(u"edtModele"_s)
            ->setPlainText(u"Âge du patron : [age]\nChope : {1d6} pièces"_s);
        QVERIFY2(editor->saveGenerator(), qPrintable(messages.join(u'\n')));
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));

        for (int run = 0; run < 2; ++run)
            window->findChild<QAction*>(u"actGenerateur_relais"_s)->trigger();
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
        const QString results = u"SELECT count(*) FROM OVresultat WHERE Generateur = 'relais'"_s;
        QCOMPARE(count(*window, results + u" AND DateImprime IS NULL"_s), 2);
        auto* unprinted = window->findChild<QLineEdit*>(u"dbePersoNonImprime"_s);
        QCOMPARE(unprinted->text(), u"2"_s);
        QVERIFY(window->findChild<QPlainTextEdit*>(u"memPerso"_s)
                    ->toPlainText()
                    .startsWith(u"Le relais - 1 - "_s));

        window->findChild<QAction*>(u"actImprimer_relais"_s)->trigger();
        QCOMPARE(printing->rows, 2);
        QCOMPARE(count(*window,
                       results + u" AND DateImprime = '"_s + printDateStamp(today.date()) + u"'"_s),
                 2);
        QCOMPARE(unprinted->text(), u"0"_s);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    }
};

QTEST_MAIN(TestServerWindow)
#include "test_serverwindow.moc"
