// The window under its menu bar: switching to another database and back, a new database, a
// database refused, and the menu's import of a table file.

#include "screenfixture.h"
#include "tables/database.h"
#include "ui/mainwindow.h"
#include "ui/tablecursor.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
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
        QCOMPARE(messages, QStringList{QStringLiteral("Importé : 1 table, 2 éléments")});
        QCOMPARE(tablesShown(window), QStringList{QStringLiteral("nv")});
        QCOMPARE(elementsShown(window),
                 (QStringList{QStringLiteral("un"), QStringLiteral("deux")}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
