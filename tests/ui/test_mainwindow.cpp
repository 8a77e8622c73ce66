// The window under its menu bar: switching to another database and back, a new database, a
// database refused, the menu's import of a table file, and the menus that reach the draw of one
// table, the history and the personal generators.

#include "screenfixture.h"
#include "tables/database.h"
#include "templates/personalgenerator.h"
#include "ui/generatorsmenu.h"
#include "ui/historywindow.h"
#include "ui/mainscreen.h"
#include "ui/mainwindow.h"
#include "ui/tablecursor.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQueryModel>
#include <QTableView>

using namespace ov;
using ov::ui::MainWindow;

namespace {

// The values of the grid's column with that header, from the first row.
QStringList column(const QTableView* grid, const QString& header) {
    QStringList values;
    const QAbstractItemModel* model = grid->model();
    for (int c = 0; c < model->columnCount(); ++c) {
        if (model->headerData(c, Qt::Horizontal).toString() != header)
            continue;
        for (int row = 0; row < model->rowCount(); ++row)
            values << model->index(row, c).data().toString();
    }
    return values;
}

QStringList tablesShown(const QWidget& window) {
    return column(window.findChild<QTableView*>(QStringLiteral("dbgMaster")), QStringLiteral("Id"));
}

QStringList elementsShown(const QWidget& window) {
    return column(window.findChild<QTableView*>(QStringLiteral("dbgSlave")),
                  QStringLiteral("Element"));
}

} // namespace

class TestMainWindow : public QObject, ovtest::MessageFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { recordMessages(); }
    void init() { clearMessages(); }

    void switchesToAnotherDatabaseAndBack() {
        ovtest::TempDatabase first;
        ovtest::clearRandomTables(*first.db);
        ovtest::addTable(*first.db, QStringLiteral("yx"),
                         {{QStringLiteral("bleus"), 2}, {QStringLiteral("verts"), 1}});
        ovtest::TempDatabase second; // the starter tables
        appendRecord(*second.db, OutputKind::Perso, 1, QStringLiteral("un perso"),
                     QStringLiteral("H"), QDateTime::currentDateTime());
        appendRecord(*second.db, OutputKind::Perso, 2, QStringLiteral("un autre"),
                     QStringLiteral("F"), QDateTime::currentDateTime());

        MainWindow window(first.path);
        window.show();
        const auto check = [&](const QStringList& tables, const QStringList& elements,
                               const QString& count, const QString& path) {
            QCOMPARE(tablesShown(window).mid(0, tables.size()), tables);
            QCOMPARE(elementsShown(window).mid(0, elements.size()), elements);
            QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("dbePersoNonImprime"))->text(),
                     count);
            QVERIFY(window.windowTitle().endsWith(QStringLiteral(" - ") + path));
            QCOMPARE(window.recentDatabases().first(), path);
        };
        check({QStringLiteral("yx")}, {QStringLiteral("bleus"), QStringLiteral("verts")},
              QStringLiteral("0"), first.path);

        ov::ui::setNextFileChoice([&](const QString&) { return second.path; });
        window.findChild<QAction*>(QStringLiteral("actOuvrirBase"))->trigger();
        check({QStringLiteral("age"), QStringLiteral("arco")},
              {QStringLiteral("14"), QStringLiteral("16")}, QStringLiteral("2"), second.path);
        QCOMPARE(tablesShown(window).size(),
                 second.db->scalar(QStringLiteral("SELECT count(*) FROM OVmaster")).toInt());
        QCOMPARE(resolveAlias(QStringLiteral("OV")), second.path);

        // A generator run stores its text in the database the window is on.
        window.findChild<QPushButton*>(QStringLiteral("btnPerso"))->click();
        QCOMPARE(recordCount(*second.db, OutputKind::Perso), 3);

        QVERIFY(window.switchTo(first.path));
        check({QStringLiteral("yx")}, {QStringLiteral("bleus"), QStringLiteral("verts")},
              QStringLiteral("0"), first.path);
        QCOMPARE(recordCount(*first.db, OutputKind::Perso), 0);
        QCOMPARE(window.recentDatabases(), (QStringList{first.path, second.path}));
        QCOMPARE(resolveAlias(QStringLiteral("OV")), first.path);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    }

    void refusedDatabaseKeepsTheWindowWhereItWas() {
        ovtest::TempDatabase good;
        ovtest::TempDatabase broken;
        broken.db->run(QStringLiteral("DROP TABLE OVvillage"));
        MainWindow window(good.path);
        const QString title = window.windowTitle();
        QVERIFY(!window.switchTo(broken.path));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(QStringLiteral("OVvillage")),
                 qPrintable(messages.first()));
        QCOMPARE(window.windowTitle(), title);
        QCOMPARE(window.screen()->database()->path(), good.path);

        // Opening a file that does not exist creates nothing; a new base does.
        const QString absent = good.dir.filePath(QStringLiteral("absente.db"));
        ov::ui::setNextFileChoice([&](const QString&) { return absent; });
        window.findChild<QAction*>(QStringLiteral("actOuvrirBase"))->trigger();
        QVERIFY(!QFile::exists(absent));
        QCOMPARE(window.screen()->database()->path(), good.path);
        ov::ui::setNextFileChoice(
            [&](const QString&) { return good.dir.filePath(QStringLiteral("neuve")); });
        window.findChild<QAction*>(QStringLiteral("actNouvelleBase"))->trigger();
        QCOMPARE(window.screen()->database()->path(),
                 good.dir.filePath(QStringLiteral("neuve.db")));
        QVERIFY(window.screen()->tblMaster_()->isOpen());
    }

    void importFromTheMenuShowsTheNewTable() {
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        const QString file = t.dir.filePath(QStringLiteral("tables.csv"));
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("Id;Nom;Element;Proba\nnv;Neuve;un;1\nnv;Neuve;deux;1\n");
        csv.close();
        MainWindow window(t.path);
        ov::ui::setNextFileChoice([&](const QString&) { return file; });
        window.findChild<QAction*>(QStringLiteral("actImporterTables"))->trigger();
        // The tables read are shown first; nothing is written before « Importer ».
        auto* import = window.findChild<QPushButton*>(QStringLiteral("btnImporter"));
        QVERIFY(import && messages.isEmpty());
        import->click();
        QCOMPARE(messages, QStringList{QStringLiteral("Importé : 1 table, 2 éléments")});
        QCOMPARE(tablesShown(window), QStringList{QStringLiteral("nv")});
        QCOMPARE(elementsShown(window),
                 (QStringList{QStringLiteral("un"), QStringLiteral("deux")}));
    }

    void menusDrawOneTableShowHistoryAndRunGenerators() {
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        ovtest::addTable(*t.db, QStringLiteral("yx"), {{QStringLiteral("[zz] bleus"), 1}},
                         QStringLiteral("Couleurs"));
        ovtest::addTable(*t.db, QStringLiteral("zz"), {{QStringLiteral("très"), 1}});
        GeneratorStore(*t.db).save(
            {{QStringLiteral("ciel"), QStringLiteral("Le ciel"), QStringLiteral("Ciel [yx]"), {}}},
            false);
        MainWindow window(t.path);
        const auto memo = [&] {
            return window.findChild<QPlainTextEdit*>(QStringLiteral("memPerso"))->toPlainText();
        };
        const auto trigger = [&](const char* name) {
            QAction* action = window.findChild<QAction*>(QLatin1String(name));
            QVERIFY2(action, name);
            action->trigger();
        };

        // The table the grid stands on, drawn and expanded; nothing stored.
        QVERIFY(window.screen()->tblMaster_()->locate(QStringLiteral("yx")));
        trigger("actTirerTable");
        QCOMPARE(memo(), QStringLiteral("Tirage sur la table yx (Couleurs) :\ntrès bleus"));
        for (OutputKind kind : allOutputKinds)
            QCOMPARE(recordCount(*t.db, kind), 0);

        // The generators' menu runs one: stored, and counted in the box.
        window.generatorsMenu()->menu()->aboutToShow();
        trigger("actGenerateur_ciel");
        QCOMPARE(GeneratorStore(*t.db).resultCount(QStringLiteral("ciel")), 1);
        QVERIFY2(memo().endsWith(QStringLiteral("\nCiel très bleus")), qPrintable(memo()));
        QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("dbePersoNonImprime"))->text(),
                 QStringLiteral("1"));

        // The last text generated comes back into the memo on demand. (This base has none of the
        // tables a character draws from: the run says so, and stores its text all the same.)
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
        window.findChild<QPushButton*>(QStringLiteral("btnPerso"))->click();
        clearMessages();
        const QString perso = memo();
        window.screen()->showText({});
        trigger("actDernierTexte");
        QCOMPARE(memo(), perso);
        trigger("actHistorique");
        auto* history = window.screen()->findChild<ov::ui::HistoryWindow*>();
        QVERIFY(history && history->isVisible());

        // Another database: its own generators only.
        ovtest::TempDatabase other;
        QVERIFY(window.switchTo(other.path));
        window.generatorsMenu()->menu()->aboutToShow();
        QVERIFY(!window.findChild<QAction*>(QStringLiteral("actGenerateur_ciel")));
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    }

    // Each underlined letter of the screen's buttons presses its button from anywhere in the
    // window, under the menu bar as well.
    void altLettersPressTheScreensButtons_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QString>("button");
        QTest::newRow("Alt+N") << Qt::Key_N << QStringLiteral("btnNouvelleTable");
        QTest::newRow("Alt+A") << Qt::Key_A << QStringLiteral("btnAjouter");
        QTest::newRow("Alt+V") << Qt::Key_V << QStringLiteral("btnVillage");
        QTest::newRow("Alt+R") << Qt::Key_R << QStringLiteral("btnRencontre");
        QTest::newRow("Alt+T") << Qt::Key_T << QStringLiteral("btnTresor");
        QTest::newRow("Alt+P") << Qt::Key_P << QStringLiteral("btnPerso");
    }
    void altLettersPressTheScreensButtons() {
        QFETCH(Qt::Key, key);
        QFETCH(QString, button);
        ovtest::TempDatabase t;
        MainWindow window(t.path);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSignalSpy pressed(window.findChild<QPushButton*>(button), &QPushButton::clicked);
        QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
        QTRY_COMPARE(pressed.count(), 1); // a pressed button shows itself down for a moment
        clearMessages();
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
