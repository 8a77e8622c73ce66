// The element grid follows the master grid at its refresh points; draws and generator runs leave
// both grids on the table drawn from.
#include "screenfixture.h"
#include "tables/database.h"
#include "testsupport.h"
#include "ui/mainscreen.h"
#include "ui/messages.h"
#include "ui/navigator.h"
#include "ui/tablecursor.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using ov::ui::ElementModel;
using ov::ui::TovMainPerso;

class TestRefreshPoints : public QObject, ovtest::ScreenFixture {
    Q_OBJECT

    QTableView* master = nullptr;
    QTableView* slave = nullptr;

    QString shownTable() const { return screen->tblSlave_()->filter(); }
    static QString filterOf(const char* id) {
        return ElementModel::tableFilter(QString::fromLatin1(id));
    }
    QString masterId() const {
        return screen->tblMaster_()->value(QStringLiteral("Id")).toString();
    }
    void click(QTableView* grid, int row, int column) {
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // The main screen shown and active, with its two grids at hand.
    void showScreen() {
        ScreenFixture::showScreen();
        master = screen->findChild<QTableView*>(QStringLiteral("dbgMaster"));
        slave = screen->findChild<QTableView*>(QStringLiteral("dbgSlave"));
    }

private Q_SLOTS:
    void initTestCase() { recordMessages(); }
    void init() {
        clearMessages();
        emptyStore();
        ovtest::addTable(*temp->db, QStringLiteral("aaa"),
                         {{QStringLiteral("a1"), 1}, {QStringLiteral("a2"), 2}});
        ovtest::addTable(*temp->db, QStringLiteral("bbb"), {{QStringLiteral("b1"), 1}});
        ovtest::addTable(*temp->db, QStringLiteral("ccc"), {{QStringLiteral("c1"), 5}});
        ovtest::addTable(*temp->db, QStringLiteral("o'k"), {{QStringLiteral("l'arc"), 3}});
        ovtest::addTable(*temp->db, QStringLiteral("vide"), {});
    }
    void cleanup() { closeScreen(); }

    void theFirstFocusShowsTheFirstTable() {
        screen = std::make_unique<TovMainPerso>(temp->path);
        QCOMPARE(screen->tblSlave_()->filter(), QString());
        QCOMPARE(screen->tblSlave_()->model()->rowCount(), 5);
        showScreen();
        QCOMPARE(shownTable(), filterOf("aaa"));
        QCOMPARE(screen->tblSlave_()->model()->rowCount(), 2);
    }

    void aCellClick() {
        showScreen();
        click(master, 3, 1);
        QCOMPARE(masterId(), QStringLiteral("o'k"));
        QCOMPARE(shownTable(), QStringLiteral("ID = 'o''k'"));
        QCOMPARE(screen->tblSlave_()->value(QStringLiteral("Element")).toString(),
                 QStringLiteral("l'arc"));
        QCOMPARE(messages, QStringList());
    }

    void aKeyDownKeepsThePreviousTable() {
        showScreen();
        click(master, 0, 0);
        QTest::keyClick(master, Qt::Key_Down);
        QCOMPARE(masterId(), QStringLiteral("bbb"));
        QCOMPARE(shownTable(), filterOf("aaa"));
        QTest::keyClick(master, Qt::Key_Down);
        QCOMPARE(masterId(), QStringLiteral("ccc"));
        QCOMPARE(shownTable(), filterOf("bbb"));
        click(master, 2, 0);
        QCOMPARE(shownTable(), filterOf("ccc"));
    }

    void aColumnEnteredOrMoved() {
        showScreen();
        master->setCurrentIndex(master->model()->index(1, 1));
        QCOMPARE(shownTable(), filterOf("bbb"));
        // The same column on another row is no refresh point.
        master->setCurrentIndex(master->model()->index(2, 1));
        QCOMPARE(shownTable(), filterOf("bbb"));
        master->horizontalHeader()->moveSection(0, 2);
        QCOMPARE(shownTable(), filterOf("ccc"));
    }

    void theGridEntered() {
        showScreen();
        screen->findChild<QLineEdit*>(QStringLiteral("edtID"))->setFocus(Qt::TabFocusReason);
        master->setCurrentIndex(master->model()->index(1, 0));
        QCOMPARE(shownTable(), filterOf("aaa"));
        master->setFocus(Qt::TabFocusReason);
        QCOMPARE(shownTable(), filterOf("bbb"));
    }

    void theMasterNavigator() {
        showScreen();
        auto* navigator = screen->findChild<ov::ui::DbNavigator*>(QStringLiteral("dbnMaster"));
        navigator->button(ov::ui::DbNavigator::Next)->click();
        QCOMPARE(masterId(), QStringLiteral("bbb"));
        QCOMPARE(shownTable(), filterOf("bbb"));
        navigator->button(ov::ui::DbNavigator::Last)->click();
        QCOMPARE(masterId(), QStringLiteral("vide"));
        QCOMPARE(shownTable(), filterOf("vide"));
        QCOMPARE(screen->tblSlave_()->row(), -1);
    }

    void ctrlDeleteAsksFirst() {
        showScreen();
        click(master, 1, 0);
        QString asked;
        ov::ui::setNextConfirmation([&](const QString& question) {
            asked = question;
            return false;
        });
        QTest::keyClick(master, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(asked, QStringLiteral("Delete record?"));
        QVERIFY(
            temp->db->scalar(QStringLiteral("SELECT 1 FROM OVmaster WHERE Id = 'bbb'")).isValid());

        ov::ui::setNextConfirmation([](const QString&) { return true; });
        QTest::keyClick(master, Qt::Key_Delete, Qt::ControlModifier);
        QVERIFY(
            !temp->db->scalar(QStringLiteral("SELECT 1 FROM OVmaster WHERE Id = 'bbb'")).isValid());
        QCOMPARE(temp->db->scalar(QStringLiteral("SELECT count(*) FROM OVslave WHERE ID = 'bbb'"))
                     .toInt(),
                 0);
        QCOMPARE(masterId(), QStringLiteral("ccc"));
        QCOMPARE(messages, QStringList());
    }

    void ctrlDeleteInTheElementGrid() {
        showScreen();
        click(slave, 1, 1);
        ov::ui::setNextConfirmation([](const QString&) { return false; });
        QTest::keyClick(slave, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(temp->db->scalar(QStringLiteral("SELECT count(*) FROM OVslave WHERE ID = 'aaa'"))
                     .toInt(),
                 2);
        ov::ui::setNextConfirmation([](const QString&) { return true; });
        QTest::keyClick(slave, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(temp->db
                     ->scalar(QStringLiteral("SELECT group_concat(Element) FROM OVslave"
                                             " WHERE ID = 'aaa'"))
                     .toString(),
                 QStringLiteral("a1"));
        // The master grid shows the totals that the store keeps.
        QCOMPARE(screen->tblMaster_()->value(QStringLiteral("TotProba")).toDouble(), 1.0);
        QCOMPARE(screen->tblMaster_()->value(QStringLiteral("NbrElement")).toDouble(), 1.0);
    }

    void aDrawLeavesTheGridsOnItsTable() {
        showScreen();
        screen->randomSource().setState(12345);
        ov::RandomSource reference(12345);
        ov::Dice dice(reference);
        QString result = QStringLiteral("avant");
        QVERIFY(screen->OV(QStringLiteral("aaa"), result));
        // One roll of D(TotProba): a1 for 1, a2 for 2 and 3.
        QCOMPARE(result, dice.D(3) == 1 ? QStringLiteral("a1") : QStringLiteral("a2"));
        QCOMPARE(masterId(), QStringLiteral("aaa"));
        QCOMPARE(shownTable(), filterOf("aaa"));
        QCOMPARE(screen->tblSlave_()->value(QStringLiteral("Element")).toString(), result);
        QCOMPARE(screen->D(6), dice.D(6));
        QCOMPARE(screen->D4(), dice.D4());

        result = QStringLiteral("avant");
        QVERIFY(!screen->OV(QStringLiteral("zzz"), result));
        QVERIFY(!screen->OV(QStringLiteral("vide"), result));
        QCOMPARE(result, QStringLiteral("avant"));
        QCOMPARE(messages, QStringList({QStringLiteral("Pas de table \"zzz\""),
                                        QStringLiteral("Aucun élément dans la table \"vide\"")}));
        QCOMPARE(masterId(), QStringLiteral("aaa"));
        // Failed draws consumed no number.
        QCOMPARE(screen->randomSource().state(), reference.state());
    }

    void aRunHidesTheGridsAndShowsThemAgain() {
        // Every draw of the run fails: each message is shown while the grids are hidden.
        ovtest::clearRandomTables(*temp->db);
        showScreen();
        QList<bool> hiddenDuringRun;
        auto* count = screen->findChild<QLineEdit*>(QStringLiteral("dbePersoNonImprime"));
        ov::ui::setMessageRecorder([&](const QString& text) {
            messages << text;
            hiddenDuringRun << (!master->isVisible() && !master->isEnabled() &&
                                !slave->isVisible() && !slave->isEnabled() &&
                                count->text().isEmpty());
        });
        screen->findChild<QPushButton*>(QStringLiteral("btnPerso"))->click();
        ov::ui::setMessageRecorder([this](const QString& text) { messages << text; });
        QVERIFY(!messages.isEmpty());
        QCOMPARE(hiddenDuringRun, QList<bool>(messages.size(), true));
        QVERIFY(master->isVisible() && master->isEnabled());
        QVERIFY(slave->isVisible() && slave->isEnabled());
        QVERIFY(screen->lastRun().stored);
        QCOMPARE(count->text(), QStringLiteral("1"));
    }

    void aRunLeavesTheGridsOnTheLastTableDrawn_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("kind");
        QTest::newRow("Perso") << QStringLiteral("btnPerso") << int(ov::OutputKind::Perso);
        QTest::newRow("Trésor") << QStringLiteral("btnTresor") << int(ov::OutputKind::Tresor);
        QTest::newRow("Rencontre")
            << QStringLiteral("btnRencontre") << int(ov::OutputKind::Rencontre);
        QTest::newRow("Village") << QStringLiteral("btnVillage") << int(ov::OutputKind::Village);
    }
    void aRunLeavesTheGridsOnTheLastTableDrawn() {
        QFETCH(QString, button);
        QFETCH(int, kind);
        // The starter tables of a new store.
        temp = std::make_unique<ovtest::TempDatabase>();
        showScreen();
        screen->randomSource().setState(2024);
        auto* count = screen->findChild<QLineEdit*>(QStringLiteral("dbePersoNonImprime"));
        screen->findChild<QPushButton*>(button)->click();
        const ov::RunReport& run = screen->lastRun();
        QVERIFY(run.stored);
        QCOMPARE(int(run.kind), kind);
        QCOMPARE(ov::recordCount(*temp->db, ov::OutputKind(kind)), 1);
        QCOMPARE(count->text(), QStringLiteral("1"));
        const QString memo =
            screen->findChild<QPlainTextEdit*>(QStringLiteral("memPerso"))->toPlainText();
        QCOMPARE(memo, run.lines.join(QLatin1Char('\n')));
        QVERIFY(!run.lastTable.isEmpty());
        QCOMPARE(masterId(), run.lastTable);
        QCOMPARE(shownTable(), ElementModel::tableFilter(run.lastTable));
        QCOMPARE(screen->tblSlave_()->value(QStringLiteral("Element")).toString(), run.lastElement);
        QVERIFY(master->isVisible() && master->isEnabled());
        QVERIFY(slave->isVisible() && slave->isEnabled());
    }
};

QTEST_MAIN(TestRefreshPoints)
#include "test_refreshpoints.moc"
