// « Importer une base Paradox… » in the window: the replacement asked for, the report shown, the
// grids and the count read again; a refusal leaves the store as it was.

#include "screenfixture.h"
#include "tables/outputs.h"
#include "ui/paradoximportaction.h"
#include "ui/tablecursor.h"

#include <QTest>

using namespace ov;

class TestParadoxImportWindow : public QObject, private ovtest::ScreenFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { recordMessages(); }
    void init() {
        clearMessages();
        temp = std::make_unique<ovtest::TempDatabase>();
        showScreen();
    }
    void cleanup() { closeScreen(); }

    void importAfterAgreeingToReplace_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QString>("lastLine");
        QTest::addColumn<int>("unprinted");
        const QString data = qEnvironmentVariable("OV_TEST_DATA") + QStringLiteral("/paradox/");
        QTest::newRow("replaced") << data + QStringLiteral("base") << true
                                  << "Import terminé (3 tables remplacées)." << 1;
        QTest::newRow("declined") << data + QStringLiteral("base") << false << QString() << 0;
        QTest::newRow("damaged") << data + QStringLiteral("damaged") << true
                                 << "Rien n'a été importé." << 0;
    }

    void importAfterAgreeingToReplace() {
        QFETCH(QString, folder);
        QFETCH(bool, replace);
        QFETCH(QString, lastLine);
        QFETCH(int, unprinted);
        ui::setParadoxFolderChooser([folder](QWidget*) { return folder; });
        ui::setNextConfirmation([replace](const QString&) { return replace; });
        const int tablesBefore = screen->tblMaster_()->loadedRows();
        screen->importParadoxBase();
        ui::setParadoxFolderChooser(nullptr);

        QCOMPARE(messages.isEmpty(), lastLine.isEmpty());
        if (!lastLine.isEmpty())
            QCOMPARE(messages.last().trimmed().section(QLatin1Char('\n'), -1), lastLine);
        // The characters table is the count's table at start: one of the two waits for printing.
        QCOMPARE(screen->queCount()->value(), qint64(unprinted));
        QCOMPARE(screen->tblMaster_()->loadedRows(), tablesBefore + (unprinted ? 1 : 0));
    }
};

QTEST_MAIN(TestParadoxImportWindow)
#include "test_paradoximportwindow.moc"
