// The main screen's controls, start-up on a new or incomplete store, and "FIN".
#include "screenfixture.h"
#include "tables/database.h"
#include "tables/outputs.h"
#include "testsupport.h"
#include "ui/application.h"
#include "ui/designscale.h"
#include "ui/mainscreen.h"
#include "ui/messages.h"
#include "ui/navigator.h"
#include "ui/tablecursor.h"

#include <QAbstractButton>
#include <QDir>
#include <QFontInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlRecord>
#include <QTableView>
#include <QTest>

using ov::ui::TableCursor;
using ov::ui::TovMainPerso;

static QStringList names(std::initializer_list<const char*> list) {
    QStringList result;
    for (const char* name : list)
        result << QString::fromLatin1(name);
    return result;
}

class TestMainScreen : public QObject, ovtest::MessageFixture {
    Q_OBJECT

    // A copy of a new store without one of its tables.
    QString storeWithout(const QTemporaryDir& dir, const QString& table) {
        const QString path = dir.filePath(QStringLiteral("incomplete.db"));
        ov::Database db(path);
        db.run(QStringLiteral("DROP TABLE ") + table);
        return path;
    }

    QList<TableCursor*> dataObjects(const TovMainPerso& screen) {
        return {screen.tblMaster_(),
                screen.tblSlave_(),
                screen.outputCursor(ov::OutputKind::Perso),
                screen.outputCursor(ov::OutputKind::Tresor),
                screen.outputCursor(ov::OutputKind::Rencontre),
                screen.outputCursor(ov::OutputKind::Village)};
    }

    QStringList openNames(const TovMainPerso& screen) {
        QStringList names;
        for (TableCursor* cursor : dataObjects(screen))
            if (cursor->isOpen())
                names << cursor->objectName();
        if (screen.queCount() && screen.queCount()->isOpen())
            names << QStringLiteral("queCount");
        return names;
    }

    // Presses every button of the screen; none may crash.
    void pressEverything(TovMainPerso& screen) {
        for (const char* name : {"btnNouvelleTable", "btnAjouter", "btnRafraichir", "btnPerso",
                                 "btnTresor", "btnRencontre", "btnVillage", "btnImprimePerso",
                                 "btnImprimeTresor", "btnPrintRencontre", "btnImprimeVillage"})
            screen.findChild<QPushButton*>(QString::fromLatin1(name))->click();
        for (const char* nav : {"dbnMaster", "dbnEsclave"})
            for (QAbstractButton* button : screen.findChild<QWidget*>(QString::fromLatin1(nav))
                                               ->findChildren<QAbstractButton*>())
                button->click();
        ov::ui::guarded([&] { screen.SlaveRefresh(); });
    }

private Q_SLOTS:
    void initTestCase() { recordMessages(); }
    void init() { clearMessages(); }

    // The window, every control and every label stand where the design puts them, scaled to
    // the screen; a label is placed by its corner only.
    void designPositions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("design");
        const auto row = [](const char* name, int x, int y, int width = 0, int height = 0) {
            QTest::newRow(name) << QString::fromLatin1(name) << QRect(x, y, width, height);
        };
        row("ovMainPerso", 0, 0, 1000, 700);
        row("dbgMaster", 15, 120, 370, 481);
        row("dbnMaster", 61, 610, 280, 31);
        row("edtID", 126, 15, 60, 24);
        row("edtNom", 126, 44, 163, 24);
        row("btnNouvelleTable", 124, 73, 104, 31);
        row("btnFin", 413, 12, 53, 38);
        row("dbgSlave", 650, 120, 267, 481);
        row("dbnEsclave", 651, 610, 270, 31);
        row("edtElem", 554, 15, 392, 24);
        row("edtProba", 554, 44, 53, 24);
        row("btnAjouter", 554, 72, 68, 31);
        row("btnPerso", 408, 328, 110, 40);
        row("memPerso", 422, 376, 195, 225);
        row("btnImprimePerso", 529, 328, 100, 40);
        row("dbePersoNonImprime", 524, 124, 31, 24);
        row("btnRafraichir", 232, 74, 89, 31);
        row("btnTresor", 408, 272, 110, 40);
        row("btnImprimeTresor", 529, 272, 100, 40);
        row("btnRencontre", 408, 216, 110, 40);
        row("btnPrintRencontre", 529, 216, 100, 40);
        row("btnVillage", 408, 168, 110, 40);
        row("btnImprimeVillage", 529, 168, 100, 40);
        row("lblID", 103, 22);
        row("lblNom", 89, 52);
        row("lblElement", 495, 22);
        row("lblProbabilite", 480, 51);
        row("lblAImprimer", 440, 128);
    }
    void designPositions() {
        QFETCH(QString, name);
        QFETCH(QRect, design);
        ovtest::TempDatabase temp;
        TovMainPerso screen(temp.path);
        QWidget* widget = name == screen.objectName() ? &screen : screen.findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        const double scale = ov::ui::designScale(&screen);
        const QRect expected =
            ov::ui::scaledRect(design.x(), design.y(), design.width(), design.height(), scale);
        QCOMPARE(widget->pos(), expected.topLeft());
        if (!design.isEmpty())
            QCOMPARE(widget->size(), expected.size());
    }

    void gridsAndNavigators() {
        ovtest::TempDatabase temp;
        TovMainPerso screen(temp.path);
        const auto visibleColumns = [&](const char* name) {
            auto* grid = screen.findChild<QTableView*>(QString::fromLatin1(name));
            QStringList columns;
            for (int c = 0; c < grid->model()->columnCount(); ++c)
                if (!grid->isColumnHidden(c))
                    columns << grid->model()->headerData(c, Qt::Horizontal).toString();
            return columns;
        };
        QCOMPARE(visibleColumns("dbgMaster"), names({"Id", "Nom", "NbrElement", "TotProba"}));
        QCOMPARE(visibleColumns("dbgSlave"), names({"Proba", "Element"}));

        using N = ov::ui::DbNavigator;
        auto* master = screen.findChild<N*>(QStringLiteral("dbnMaster"));
        auto* slave = screen.findChild<N*>(QStringLiteral("dbnEsclave"));
        QCOMPARE(master->buttons(), QList<N::Button>({N::First, N::Prior, N::Next, N::Last,
                                                      N::Delete, N::Post, N::Cancel, N::Refresh}));
        QCOMPARE(slave->buttons(),
                 QList<N::Button>({N::First, N::Prior, N::Next, N::Last, N::Delete, N::Edit,
                                   N::Post, N::Cancel, N::Refresh}));
    }

    void namedFontsMapToLookAlikes() {
        if (!QDir(QStringLiteral("/usr/share/wine/fonts")).exists(QStringLiteral("tahoma.ttf")))
            QSKIP("the look-alike fonts are not installed");
        QVERIFY(ov::ui::installFonts());
        QCOMPARE(QFontInfo(QFont(QStringLiteral("Tahoma"))).family(), QStringLiteral("Tahoma"));
        QCOMPARE(QFontInfo(QFont(QStringLiteral("MS Sans Serif"))).family(),
                 QStringLiteral("Tahoma"));
    }

    void startUpOnANewStore() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("new.db"));
        const quint32 before =
            ov::RandomSource::seedFromTime(QDateTime::currentDateTimeUtc().time());
        TovMainPerso screen(path);
        const quint32 after =
            ov::RandomSource::seedFromTime(QDateTime::currentDateTimeUtc().time());
        QCOMPARE(messages, QStringList());
        QVERIFY(QFile::exists(path));
        QCOMPARE(openNames(screen), names({"tblMaster_", "tblSlave_", "tblPerso_", "tblTresor_",
                                           "tblRencontre_", "tblVillage_", "queCount"}));
        if (before <= after) // not across midnight
            QVERIFY(screen.randomSource().state() >= before &&
                    screen.randomSource().state() <= after);

        // The element grid shows every table's elements, in insertion order, until the first
        // refresh point.
        TableCursor* slave = screen.tblSlave_();
        QCOMPARE(slave->filter(), QString());
        const QVariant firstElement = screen.database()->scalar(
            QStringLiteral("SELECT Element FROM OVslave ORDER BY rowid LIMIT 1"));
        QCOMPARE(slave->value(QStringLiteral("Element")), firstElement);
        QCOMPARE(screen.tblMaster_()->row(), 0);
        QCOMPARE(screen.findChild<QPlainTextEdit*>(QStringLiteral("memPerso"))->toPlainText(),
                 QStringLiteral("memPerso"));
    }

    void unprintedCountAtStart() {
        ovtest::TempDatabase temp;
        for (int i = 0; i < 3; ++i)
            ov::appendRecord(*temp.db, ov::OutputKind::Perso, i, QStringLiteral("p\r\n"),
                             QStringLiteral("M"), QDateTime::currentDateTime());
        temp.db->run(QStringLiteral("UPDATE OVperso SET DateImprime = '01/01/01' WHERE Id = 0"));
        ov::appendRecord(*temp.db, ov::OutputKind::Tresor, 0, QStringLiteral("t\r\n"),
                         QStringLiteral("T"), QDateTime::currentDateTime());
        TovMainPerso screen(temp.path);
        QCOMPARE(screen.findChild<QLineEdit*>(QStringLiteral("dbePersoNonImprime"))->text(),
                 QStringLiteral("2"));
    }

    // A large store opens without reading every element: the element grid holds what it shows
    // and a little more. Its half-read statement blocks nothing: another program writes, then a
    // run of the window stores its record.
    void startUpReadsOnlyWhatIsShown() {
        ovtest::TempDatabase temp;
        ovtest::addLargeTable(*temp.db, QStringLiteral("zzzz"), QStringLiteral("Grande"), 5000,
                              [](int i) { return QPair<QString, double>(QString::number(i), 1); });
        const int elements =
            temp.db->scalar(QStringLiteral("SELECT count(*) FROM OVslave")).toInt();
        TovMainPerso screen(temp.path);
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        QVERIFY(screen.tblSlave_()->model()->rowCount() < elements / 2);
        const ov::Database other(temp.path);
        ov::appendRecord(
            other, ov::OutputKind::Perso, [](int n) { return QString::number(n); },
            QStringLiteral("M"), QDateTime::currentDateTime());
        QTest::mouseClick(screen.findChild<QPushButton*>(QStringLiteral("btnPerso")),
                          Qt::LeftButton);
        QCOMPARE(messages, QStringList());
        QCOMPARE(temp.db->scalar(QStringLiteral("SELECT count(*) FROM OVperso")).toInt(), 2);
        QVERIFY(screen.findChild<QPlainTextEdit*>(QStringLiteral("memPerso"))
                    ->toPlainText()
                    .contains(QStringLiteral("OV -1- ")));
    }

    void startUpWithATableMissing_data() {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QStringList>("open");
        QTest::newRow("OVtresor") << QStringLiteral("OVtresor")
                                  << names({"tblMaster_", "tblSlave_", "tblPerso_"});
        QTest::newRow("OVslave") << QStringLiteral("OVslave") << names({"tblMaster_"});
        QTest::newRow("OVmaster") << QStringLiteral("OVmaster") << QStringList();
    }
    void startUpWithATableMissing() {
        QFETCH(QString, missing);
        QFETCH(QStringList, open);
        QTemporaryDir dir;
        const QString path = storeWithout(dir, missing);
        TovMainPerso screen(path);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(missing), qPrintable(messages.first()));
        QCOMPARE(openNames(screen), open);
        // The later steps were skipped: not placed, not seeded.
        QCOMPARE(screen.randomSource().state(), 0u);
        screen.show();
        QVERIFY(screen.isVisible());

        messages.clear();
        ov::ui::setNextConfirmation([](const QString&) { return true; });
        pressEverything(screen);
        QVERIFY(!messages.isEmpty());
        if (missing == QLatin1String("OVmaster"))
            QVERIFY(messages.contains(QStringLiteral("Table maître inactive... ")));
        QVERIFY(messages.contains(TableCursor::closedMessage(missing)));
    }

    void aStoreThatCannotBeOpened() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TovMainPerso screen(dir.filePath(QStringLiteral("file/sub/store.db")));
        QCOMPARE(messages.size(), 1);
        QCOMPARE(screen.database(), nullptr);
        QCOMPARE(openNames(screen), QStringList());
        messages.clear();
        pressEverything(screen);
        QVERIFY(messages.size() >= 10);
    }

    // The window program itself on a store that cannot be opened: the message, then the window.
    void theProgramComesUpOnAStoreThatCannotBeOpened() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("data")));
        QFile blocker(dir.filePath(QStringLiteral("data/Orvanthe"))); // the store's folder
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("cfg")));
        environment.insert(QStringLiteral("OV_ANSWER_MESSAGES"), QStringLiteral("1"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(qEnvironmentVariable("OV_WINDOW"));
        QString shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown += QString::fromUtf8(program.readAllStandardError()))
                                     .contains(QStringLiteral("Impossible de créer le dossier")),
                                 30000);
        program.waitForFinished(1000);
        QVERIFY2(program.state() == QProcess::Running, qPrintable(shown)); // still up
        program.kill();
        program.waitForFinished();
    }

    void finClosesTheTablesAndThePostedRowIsOnDisk() {
        ovtest::TempDatabase temp;
        ovtest::clearRandomTables(*temp.db);
        ovtest::addTable(*temp.db, QStringLiteral("aaa"), {{QStringLiteral("x"), 1}},
                         QStringLiteral("Ancien"));
        {
            TovMainPerso screen(temp.path);
            screen.show();
            auto* grid = screen.findChild<QTableView*>(QStringLiteral("dbgMaster"));
            QAbstractItemModel* model = grid->model();
            const int nom = screen.tblMaster_()->model()->fieldIndex(QStringLiteral("Nom"));
            // A change left pending in the grid, and a posted generated record.
            QVERIFY(model->setData(model->index(0, nom), QStringLiteral("Nouveau")));
            QVERIFY(screen.tblMaster_()->isDirty());
            screen.findChild<QPushButton*>(QStringLiteral("btnFin"))->click();
            QVERIFY(dataObjects(screen).size() == 6);
            QCOMPARE(openNames(screen).filter(QStringLiteral("tbl")), QStringList());
            QVERIFY(!screen.isVisible());
            // Read by another connection while the screen's is still there.
            QCOMPARE(temp.db->scalar(QStringLiteral("SELECT Nom FROM OVmaster WHERE Id = 'aaa'"))
                         .toString(),
                     QStringLiteral("Nouveau"));
        }
        temp.db.reset();
        ov::Database reopened(temp.path);
        QCOMPARE(
            reopened.scalar(QStringLiteral("SELECT Nom FROM OVmaster WHERE Id = 'aaa'")).toString(),
            QStringLiteral("Nouveau"));
        QCOMPARE(messages, QStringList());
    }
};

QTEST_MAIN(TestMainScreen)
#include "test_mainscreen.moc"
