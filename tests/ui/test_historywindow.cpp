// The history window: a lazy list, the search as one types with its words highlighted, the
// actions on the chosen records, and the main screen following them.

#include "history/history.h"
#include "screenfixture.h"
#include "tables/clock.h"
#include "tables/outputs.h"
#include "ui/historymodel.h"
#include "ui/historywindow.h"
#include "ui/preview.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace ov;

namespace {

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

class TestHistoryWindow : public QObject, private ovtest::ScreenFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        recordMessages();
        QCoreApplication::setOrganizationName(QStringLiteral("Orvanthe"));
        QCoreApplication::setApplicationName(QStringLiteral("orvanthe"));
    }
    void init() {
        clearMessages();
        emptyStore();
        // Twelve characters, then a village and a treasure that both hold a sword.
        for (int n = 0; n < 12; ++n)
            appendRecord(*temp->db, OutputKind::Perso, n,
                         QStringLiteral("OV -%1-\r\nAGE:%1 SEXE:homme CEL:1\r\n").arg(n),
                         QStringLiteral("H"), QDateTime(QDate(2026, 12, 1), QTime()));
        appendRecord(*temp->db, OutputKind::Village, 0,
                     QStringLiteral("OV -0-\r\nNOM(Épée-Lourde)__ CONSTRUIT(bois)__\r\n"
                                    "MARCHE : épées, ÉPÉES et dagues\r\n"),
                     QStringLiteral("A"), QDateTime(QDate(2026, 12, 2), QTime()));
        appendRecord(*temp->db, OutputKind::Tresor, 0,
                     QStringLiteral("OV -0-\r\nArme - épée courte\r\n"), QStringLiteral(" "),
                     QDateTime(QDate(2026, 12, 3), QTime()));
        temp->db->run(QStringLiteral("UPDATE OVtresor SET DateImprime = '03/12/26'"));
        showScreen();
        window = ui::openHistoryWindow(*screen);
        QVERIFY(window);
    }
    void cleanup() { closeScreen(); }

    void modelReadsPageByPage() {
        ui::HistoryModel model(*temp->db, nullptr, 5);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setFilter({});
        QCOMPARE(model.rowCount(), 5);
        QVERIFY(model.canFetchMore({}));
        while (model.canFetchMore({}))
            model.fetchMore({});
        QCOMPARE(model.rowCount(), 14);
        QCOMPARE(model.entry(13).title, QStringLiteral("AGE:0 SEXE:homme"));
        model.setFilter(
            {QStringLiteral("perso"), PrintedFilter::All, {}, {}, QStringLiteral("11")});
        QCOMPARE(model.rowCount(), 1);
    }

    void searchAsOneTypesAndHighlights() {
        QCOMPARE(window->model()->rowCount(), 14);
        QTest::keyClicks(window->searchBox(), QStringLiteral("epee"));
        QCOMPARE(window->model()->rowCount(), 14); // the list waits for a pause in the typing
        QTRY_COMPARE(window->model()->rowCount(), 2);
        window->selectRows({1});
        QCOMPARE(window->textPane()->toPlainText(),
                 QStringLiteral("OV -0-\nNOM(Épée-Lourde)__ CONSTRUIT(bois)__\n"
                                "MARCHE : épées, ÉPÉES et dagues"));
        QStringList highlighted;
        for (const auto& selection : window->textPane()->extraSelections())
            highlighted << selection.cursor.selectedText();
        QCOMPARE(highlighted, QStringList({QStringLiteral("Épée"), QStringLiteral("épée"),
                                           QStringLiteral("ÉPÉE")}));
    }

    // A search with one hit shows it; « Copier » says so; Échap and Ctrl+W close the window.
    void oneHitCopiedAndClosedByKeys() {
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClicks(window->searchBox(), QStringLiteral("courte"));
        QTRY_COMPARE(window->selectedEntries().size(), 1);
        QVERIFY(window->textPane()->toPlainText().contains(QStringLiteral("épée courte")));
        window->findChild<QPushButton*>(QStringLiteral("copy"))->click();
        QCOMPARE(window->statusLine()->text(), QStringLiteral("Copié"));
        for (const QKeyCombination keys :
             {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
            window->show();
            QVERIFY(QTest::qWaitForWindowActive(window));
            QTest::keyClick(window->searchBox(), keys.key(), keys.keyboardModifiers());
            QVERIFY(!window->isVisible());
        }
    }

    void copyReprintUnprintAndDelete() {
        auto presenter = std::make_unique<PrintingPresenter>();
        PrintingPresenter* printing = presenter.get();
        window->setPreviewPresenter(std::move(presenter));
        window->setClock(std::make_shared<FixedClock>(QDateTime(QDate(2026, 12, 8), QTime(10, 0))));
        QSignalSpy changed(window, &ui::HistoryWindow::recordsChanged);
        const auto count = [this] {
            return screen->findChild<QLineEdit*>(QStringLiteral("dbePersoNonImprime"))->text();
        };
        QCOMPARE(count(), QStringLiteral("12"));

        // The treasure (printed already), the village and the newest character.
        window->selectRows({0, 1, 2});
        window->findChild<QPushButton*>(QStringLiteral("copy"))->click();
        QVERIFY(
            QGuiApplication::clipboard()->text().contains(QStringLiteral("Arme - épée courte")));
        window->findChild<QPushButton*>(QStringLiteral("print"))->click();
        QCOMPARE(printing->rows, 3);
        QStringList printed;
        for (const HistoryEntry& entry : window->selectedEntries())
            printed << entry.printed;
        const QString today = printDateStamp(QDate(2026, 12, 8));
        QCOMPARE(printed, QStringList({QStringLiteral("03/12/26"), today, today}));
        QCOMPARE(count(), QStringLiteral("11"));

        window->findChild<QPushButton*>(QStringLiteral("unprint"))->click();
        QCOMPARE(count(), QStringLiteral("12"));

        ui::setNextConfirmation([](const QString&) { return false; });
        window->findChild<QPushButton*>(QStringLiteral("delete"))->click();
        QCOMPARE(window->model()->rowCount(), 14);
        ui::setNextConfirmation([](const QString&) { return true; });
        window->findChild<QPushButton*>(QStringLiteral("delete"))->click();
        QCOMPARE(window->model()->rowCount(), 11);
        QCOMPARE(count(), QStringLiteral("11"));
        QCOMPARE(changed.size(), 3);
        QCOMPARE(messages, QStringList());
    }

    // A generator written meanwhile is offered by the kind filter under its Nom once the window
    // comes back; its result is reprinted with its own stamp.
    void personalResultsByTheirGenerator() {
        auto presenter = std::make_unique<PrintingPresenter>();
        window->setPreviewPresenter(std::move(presenter));
        window->setClock(std::make_shared<FixedClock>(QDateTime(QDate(2026, 12, 8), QTime(10, 0))));
        temp->db->run(QStringLiteral("INSERT INTO OVgenerateur (Id, Nom, Modele) VALUES"
                                     " ('Relais', 'Le relais', 'x')"));
        temp->db->run(QStringLiteral(
            "INSERT INTO OVresultat VALUES ('Relais', 0, 'Le relais - 0 - 05/12/26\r\n"
            "Enseigne : Au Chêne\r\n', '2026-12-05T10:30:00', NULL)"));
        auto* kinds = window->findChild<QComboBox*>(QStringLiteral("kindFilter"));
        QCOMPARE(kinds->findData(QStringLiteral("Relais")), -1);
        window->reload();
        const int relais = kinds->findData(QStringLiteral("Relais"));
        QVERIFY(relais > 0);
        QCOMPARE(kinds->itemText(relais), QStringLiteral("Le relais"));
        kinds->setCurrentIndex(relais);
        QCOMPARE(window->model()->rowCount(), 1);
        QCOMPARE(window->model()->index(0, ui::HistoryModel::KindColumn).data().toString(),
                 QStringLiteral("Le relais"));
        QCOMPARE(window->model()->index(0, ui::HistoryModel::CreatedColumn).data().toString(),
                 QLocale().toString(QDate(2026, 12, 5), QLocale::ShortFormat) +
                     QStringLiteral(" 10:30"));
        window->selectRows({0});
        window->findChild<QPushButton*>(QStringLiteral("print"))->click();
        QCOMPARE(window->selectedEntries().value(0).printed, printDateStamp(QDate(2026, 12, 8)));
        QCOMPARE(messages, QStringList());
    }

    void exportAndLastText() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("textes.md"));
        window->setExportPathChooser([&](QWidget*) { return path; });
        window->selectRows({0});
        window->findChild<QPushButton*>(QStringLiteral("export"))->click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(
            QString::fromUtf8(file.readAll()).contains(QStringLiteral("```text\nOV -0-\nArme")));

        ui::showLastText(*screen);
        QCOMPARE(screen->findChild<QPlainTextEdit*>(QStringLiteral("memPerso"))->toPlainText(),
                 QStringLiteral("OV -0-\nArme - épée courte"));
    }

    void remembersItsSize() {
        window->resize(640, 380);
        window->close();
        ui::HistoryWindow again(*temp->db);
        QCOMPARE(again.size(), QSize(640, 380));
    }

private:
    ui::HistoryWindow* window = nullptr;
};

QTEST_MAIN(TestHistoryWindow)
#include "test_historywindow.moc"
