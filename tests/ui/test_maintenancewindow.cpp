// The table maintenance driven through the main screen: new tables, new elements, deletions,
// the recount, and edits in the two grids.
#include "screenfixture.h"
#include "tables/database.h"
#include "tables/maintenance.h"
#include "tables/tablefile.h"
#include "testsupport.h"
#include "ui/mainscreen.h"
#include "ui/messages.h"
#include "ui/navigator.h"
#include "ui/tablecursor.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

using ov::ui::DbNavigator;
using ov::ui::TovMainPerso;
namespace msg = ov::maintenance;
using namespace Qt::StringLiterals;

class TestMaintenanceWindow : public QObject, ovtest::ScreenFixture {
    Q_OBJECT

    QLineEdit* edit(const char* name) const {
        return screen->findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    void press(const char* name) const {
        screen->findChild<QPushButton*>(QString::fromLatin1(name))->click();
    }
    void navigate(const char* navigator, DbNavigator::Button button) const {
        screen->findChild<DbNavigator*>(QString::fromLatin1(navigator))->button(button)->click();
    }
    QVariantList storedTotals(const QString& id) const {
        QSqlQuery q = temp->db->run(
            QStringLiteral("SELECT NbrElement, TotProba FROM OVmaster WHERE Id = ?"), {id});
        return q.next() ? QVariantList{q.value(0).toInt(), q.value(1).toInt()} : QVariantList{};
    }
    QVariantList shownTotals() const {
        ov::ui::TableCursor* master = screen->tblMaster_();
        return {master->value(QStringLiteral("NbrElement")).toInt(),
                master->value(QStringLiteral("TotProba")).toInt()};
    }
    static QVariantList pair(int count, int total) { return {count, total}; }
    QString elementsOf(const QString& id) const {
        return temp->db
            ->scalar(QStringLiteral("SELECT group_concat(Element, ',') FROM"
                                    " (SELECT Element FROM OVslave WHERE ID = ? ORDER BY rowid)"),
                     {id})
            .toString();
    }
    QString masterId() const {
        return screen->tblMaster_()->value(QStringLiteral("Id")).toString();
    }
    void selectTable(const QString& id) const {
        QVERIFY(screen->tblMaster_()->locate(id));
        screen->SlaveRefresh();
    }
    // Edits a cell of a grid as the grid's editor does.
    bool editCell(const char* grid, const QString& field, const QVariant& value) const {
        ov::ui::TableCursor* cursor =
            QByteArray(grid) == "dbgMaster" ? screen->tblMaster_() : screen->tblSlave_();
        QAbstractItemModel* model =
            screen->findChild<QTableView*>(QString::fromLatin1(grid))->model();
        return model->setData(model->index(cursor->row(), cursor->model()->fieldIndex(field)),
                              value);
    }

private Q_SLOTS:
    void initTestCase() { recordMessages(); }
    void init() {
        clearMessages();
        emptyStore();
        ovtest::addTable(*temp->db, QStringLiteral("aaa"), {{QStringLiteral("a1"), 1}});
        ovtest::addTable(*temp->db, QStringLiteral("t"),
                         {{QStringLiteral("a"), 2}, {QStringLiteral("b"), 3}});
        ovtest::addTable(*temp->db, QStringLiteral("u"), {});
        showScreen();
    }
    void cleanup() { closeScreen(); }

    void newTable() {
        edit("edtNom")->setText(QStringLiteral("Armement"));
        press("btnNouvelleTable");
        QCOMPARE(messages, QStringList{msg::enterValues()});

        edit("edtID")->setText(QStringLiteral("t"));
        edit("edtNom")->setText(QStringLiteral("Doublon"));
        press("btnNouvelleTable");
        QCOMPARE(messages.last(), msg::tableExists());
        QCOMPARE(masterId(), QStringLiteral("t"));
        QCOMPARE(edit("edtID")->text(), QStringLiteral("t"));

        messages.clear();
        edit("edtID")->setText(QStringLiteral("armement"));
        edit("edtNom")->setText(QStringLiteral("Armement"));
        press("btnNouvelleTable");
        QCOMPARE(messages, QStringList());
        QCOMPARE(storedTotals(QStringLiteral("arme")), pair(0, 0));
        QCOMPARE(masterId(), QStringLiteral("arme"));
        QCOMPARE(edit("edtID")->text(), QString());
        QCOMPARE(edit("edtNom")->text(), QString());
        QCOMPARE(QApplication::focusWidget(), edit("edtElem"));

        // The next element goes to the new table.
        edit("edtElem")->setText(QStringLiteral("épée"));
        edit("edtProba")->setText(QStringLiteral("4"));
        press("btnAjouter");
        QCOMPARE(elementsOf(QStringLiteral("arme")), QStringLiteral("épée"));
        QCOMPARE(storedTotals(QStringLiteral("arme")), pair(1, 4));
    }

    void addAnElement() {
        selectTable(QStringLiteral("t"));
        ovtest::setTotals(*temp->db, QStringLiteral("t"), 2, 5);
        edit("edtElem")->setText(QStringLiteral("x"));
        edit("edtProba")->setText(QStringLiteral("3"));
        press("btnAjouter");
        QCOMPARE(messages, QStringList());
        QCOMPARE(storedTotals(QStringLiteral("t")), pair(3, 8));
        QCOMPARE(shownTotals(), pair(3, 8));
        QCOMPARE(edit("edtElem")->text(), QString());
        QCOMPARE(edit("edtProba")->text(), QString());
        QCOMPARE(screen->tblSlave_()->filter(), QStringLiteral("ID = 't'"));
        QCOMPARE(screen->tblSlave_()->value(QStringLiteral("Element")).toString(),
                 QStringLiteral("x"));
        QCOMPARE(QApplication::focusWidget(), edit("edtElem"));
    }

    void theSameElementTwice() {
        selectTable(QStringLiteral("t"));
        edit("edtElem")->setText(QStringLiteral("a"));
        edit("edtProba")->setText(QStringLiteral("1"));
        press("btnAjouter");
        QCOMPARE(messages, QStringList{msg::elementExists()});
        QCOMPARE(elementsOf(QStringLiteral("t")), QStringLiteral("a,b"));
        QCOMPARE(edit("edtElem")->text(), QStringLiteral("a"));

        selectTable(QStringLiteral("u"));
        press("btnAjouter");
        QCOMPARE(messages.size(), 1);
        QCOMPARE(elementsOf(QStringLiteral("u")), QStringLiteral("a"));
    }

    void weights_data() {
        QTest::addColumn<QString>("weight");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("elements");
        QTest::newRow("abc") << QStringLiteral("abc") << msg::badWeight() << QStringLiteral("a,b");
        QTest::newRow("12 ") << QStringLiteral("12 ") << msg::badWeight() << QStringLiteral("a,b");
        QTest::newRow("empty") << QString() << msg::enterElementValues() << QStringLiteral("a,b");
        QTest::newRow("$1F") << QStringLiteral("$1F") << QString() << QStringLiteral("a,b,x");
    }
    void weights() {
        QFETCH(QString, weight);
        QFETCH(QString, message);
        QFETCH(QString, elements);
        selectTable(QStringLiteral("t"));
        edit("edtElem")->setText(QStringLiteral("x"));
        edit("edtProba")->setText(weight);
        press("btnAjouter");
        QCOMPARE(elementsOf(QStringLiteral("t")), elements);
        if (message.isEmpty()) {
            QCOMPARE(messages, QStringList());
            QCOMPARE(storedTotals(QStringLiteral("t")), pair(3, 36));
            return;
        }
        QCOMPARE(messages, QStringList{message});
        QCOMPARE(storedTotals(QStringLiteral("t")), pair(2, 5));
        QCOMPARE(edit("edtElem")->text(), QStringLiteral("x"));
        QCOMPARE(edit("edtProba")->text(), weight);
    }

    // One rule for a weight wherever it is entered: "Ajouter", the element grid and the import.
    // A refused weight writes nothing anywhere.
    void weightRule_data() {
        QTest::addColumn<QString>("weight");
        QTest::addColumn<bool>("accepted");
        for (const char* refused : {"-1", "1.5", "1e300", "123456789012345678901234567890.5",
                                    "1000000001", "texte", "$FFFFFFFF"})
            QTest::newRow(refused) << QString::fromLatin1(refused) << false;
        for (const char* accepted : {"0", "7", "1000000000"})
            QTest::newRow(accepted) << QString::fromLatin1(accepted) << true;
    }
    void weightRule() {
        QFETCH(QString, weight);
        QFETCH(bool, accepted);
        selectTable(QStringLiteral("t"));
        edit("edtElem")->setText(QStringLiteral("x"));
        edit("edtProba")->setText(weight);
        press("btnAjouter");
        QCOMPARE(elementsOf(QStringLiteral("t")),
                 accepted ? QStringLiteral("a,b,x") : QStringLiteral("a,b"));
        QCOMPARE(messages, accepted ? QStringList() : QStringList{msg::badWeight()});

        messages.clear();
        selectTable(QStringLiteral("aaa"));
        QCOMPARE(editCell("dbgSlave", QStringLiteral("Proba"), weight), accepted);
        navigate("dbnEsclave", DbNavigator::Post);
        QCOMPARE(messages.isEmpty(), accepted);
        QCOMPARE(storedTotals(QStringLiteral("aaa")), pair(1, accepted ? weight.toInt() : 1));

        const QByteArray file = "Id,Nom,Element,Proba\nimp,Importée,y," + weight.toUtf8() + "\n";
        if (accepted) {
            ov::importTables(*temp->db, ov::parseTableFile(file), ov::ImportMode::AddOnly);
            QCOMPARE(storedTotals(QStringLiteral("imp")), pair(1, weight.toInt()));
        } else {
            QVERIFY_THROWS_EXCEPTION(ov::TableFileError, ov::parseTableFile(file));
        }
    }

    // One rule for the characters of a text wherever it is entered: "Ajouter", "Nouvelle table",
    // the grids and the import. A refused text writes nothing anywhere.
    void textRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem"); // empty when the text is accepted
        QTest::newRow("NUL") << u"x\u0000y"_s << u"U+0000 interdit (caractère 2)"_s;
        QTest::newRow("bell") << u"\u00e9\u0007"_s << u"U+0007 interdit (caractère 2)"_s;
        QTest::newRow("line feed") << u"x\ny"_s << u"U+000A interdit (caractère 2)"_s;
        QTest::newRow("escape") << u"\u001b"_s << u"U+001B interdit (caractère 1)"_s;
        QTest::newRow("tab") << u"x\ty"_s << QString();
    }
    void textRule() {
        QFETCH(QString, text);
        QFETCH(QString, problem);
        const auto check = [&](const QString& field) {
            if (problem.isEmpty())
                QCOMPARE(messages, QStringList());
            else
                QCOMPARE(messages, QStringList{field + u" : caractère de contrôle "_s + problem});
            messages.clear();
        };
        selectTable(u"t"_s);
        edit("edtElem")->setText(text);
        edit("edtProba")->setText(u"1"_s);
        press("btnAjouter");
        check(u"Element"_s);
        edit("edtID")->setText(u"n"_s);
        edit("edtNom")->setText(text);
        press("btnNouvelleTable");
        check(u"Nom"_s);
        selectTable(u"aaa"_s);
        QCOMPARE(editCell("dbgSlave", u"Element"_s, text), problem.isEmpty());
        navigate("dbnEsclave", DbNavigator::Post);
        check(u"Element"_s);
        const bool accepted = problem.isEmpty();
        QCOMPARE(elementsOf(u"t"_s), accepted ? u"a,b,"_s + text : u"a,b"_s);
        QCOMPARE(elementsOf(u"aaa"_s), accepted ? text : u"a1"_s);
        QCOMPARE(temp->db->scalar(u"SELECT count(*) FROM OVmaster WHERE Id = 'n'"_s).toInt(),
                 accepted ? 1 : 0);
        const QByteArray file = "Id,Nom,Element,Proba\nimp,\"" + text.toUtf8() + "\",y,1\n";
        if (accepted)
            ov::parseTableFile(file);
        else
            QVERIFY_THROWS_EXCEPTION(ov::TableFileError, ov::parseTableFile(file));
    }

    // What is being typed in a cell is kept however the window goes.
    void openEditorIsKeptOnClosing_data() {
        QTest::addColumn<QByteArray>("grid");
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("closed"); // closed as by the title bar, or destroyed unclosed
        QTest::newRow("element, title bar") << QByteArray("dbgSlave") << u"Element"_s << true;
        QTest::newRow("weight, title bar") << QByteArray("dbgSlave") << u"Proba"_s << true;
        QTest::newRow("name, title bar") << QByteArray("dbgMaster") << u"Nom"_s << true;
        QTest::newRow("element, end of program") << QByteArray("dbgSlave") << u"Element"_s << false;
    }
    void openEditorIsKeptOnClosing() {
        QFETCH(QByteArray, grid);
        QFETCH(QString, field);
        QFETCH(bool, closed);
        selectTable(QStringLiteral("t"));
        auto* view = screen->findChild<QTableView*>(QString::fromLatin1(grid));
        ov::ui::TableCursor* cursor =
            grid == "dbgMaster" ? screen->tblMaster_() : screen->tblSlave_();
        const QModelIndex cell =
            view->model()->index(cursor->row(), cursor->model()->fieldIndex(field));
        view->setFocus();
        view->setCurrentIndex(cell);
        view->edit(cell);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, u"42"_s);
        if (closed)
            screen->close();
        screen.reset();
        const QString table = grid == "dbgMaster" ? u"OVmaster"_s : u"OVslave"_s;
        QCOMPARE(
            temp->db
                ->scalar(u"SELECT count(*) FROM %1 WHERE %2 = '42' OR %2 = 42"_s.arg(table, field))
                .toInt(),
            1);
    }

    void noCurrentTable() {
        ovtest::clearRandomTables(*temp->db);
        screen->tblMaster_()->refresh();
        edit("edtElem")->setText(QStringLiteral("x"));
        edit("edtProba")->setText(QStringLiteral("1"));
        press("btnAjouter");
        QCOMPARE(messages, QStringList{msg::noTableSelected()});

        screen->tblMaster_()->close();
        press("btnAjouter");
        QCOMPARE(messages.last(), msg::masterInactive());
        QCOMPARE(temp->db->scalar(QStringLiteral("SELECT count(*) FROM OVslave")).toInt(), 0);
    }

    void deleteATableWithTheNavigator() {
        selectTable(QStringLiteral("t"));
        ov::ui::setNextConfirmation([](const QString&) { return false; });
        navigate("dbnMaster", DbNavigator::Delete);
        QCOMPARE(elementsOf(QStringLiteral("t")), QStringLiteral("a,b"));

        ov::ui::setNextConfirmation([](const QString&) { return true; });
        navigate("dbnMaster", DbNavigator::Delete);
        QCOMPARE(messages, QStringList());
        QCOMPARE(elementsOf(QStringLiteral("t")), QString());
        QVERIFY(storedTotals(QStringLiteral("t")).isEmpty());
        QCOMPARE(masterId(), QStringLiteral("u"));
        // The navigator's click refreshed the element grid to the new current table.
        QCOMPARE(screen->tblSlave_()->filter(), QStringLiteral("ID = 'u'"));
    }

    void aFailedDeletionDeletesNothing() {
        selectTable(QStringLiteral("t"));
        screen->database()->run(QStringLiteral("CREATE TEMP TRIGGER keep BEFORE DELETE ON OVmaster"
                                               " BEGIN SELECT RAISE(ABORT, 'table gardée'); END"));
        ov::ui::setNextConfirmation([](const QString&) { return true; });
        navigate("dbnMaster", DbNavigator::Delete);
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(QStringLiteral("table gardée")),
                 qPrintable(messages.first()));
        QCOMPARE(elementsOf(QStringLiteral("t")), QStringLiteral("a,b"));
        QCOMPARE(storedTotals(QStringLiteral("t")), pair(2, 5));
        QCOMPARE(screen->tblSlave_()->model()->rowCount(), 2);
    }

    void refreshStaysOnTheSameTable() {
        selectTable(QStringLiteral("t"));
        ovtest::addTable(*temp->db, QStringLiteral("b"), {}); // another connection, before "t"
        navigate("dbnMaster", DbNavigator::Refresh);
        QCOMPARE(masterId(), QStringLiteral("t"));
    }

    void recount() {
        ovtest::setTotals(*temp->db, QStringLiteral("t"), 7, 70);
        ovtest::setTotals(*temp->db, QStringLiteral("u"), 2, 5);
        press("btnRafraichir");
        QCOMPARE(messages, QStringList());
        QCOMPARE(storedTotals(QStringLiteral("t")), pair(2, 5));
        QCOMPARE(storedTotals(QStringLiteral("u")), pair(0, 0));
        QCOMPARE(masterId(), QStringLiteral("u"));
        QCOMPARE(shownTotals(), pair(0, 0));
        QCOMPARE(screen->tblSlave_()->filter(), QStringLiteral("ID = 'u'"));
    }

    void editingAWeightKeepsTheTotalsRight() {
        selectTable(QStringLiteral("t"));
        QVERIFY(!editCell("dbgSlave", QStringLiteral("Proba"), QStringLiteral("1,5")));
        QCOMPARE(messages, QStringList{msg::badWeight()});
        QVERIFY(!screen->tblSlave_()->isDirty());

        QVERIFY(editCell("dbgSlave", QStringLiteral("Proba"), QStringLiteral("$A")));
        navigate("dbnEsclave", DbNavigator::Post);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(storedTotals(QStringLiteral("t")), pair(2, 13));
        QCOMPARE(shownTotals(), pair(2, 13));
        QCOMPARE(screen->tblSlave_()->value(QStringLiteral("Proba")).toInt(), 10);

        // Cancel drops a change that was not posted.
        QVERIFY(editCell("dbgSlave", QStringLiteral("Proba"), QStringLiteral("4")));
        navigate("dbnEsclave", DbNavigator::Cancel);
        QCOMPARE(storedTotals(QStringLiteral("t")), pair(2, 13));
        QCOMPARE(screen->tblSlave_()->value(QStringLiteral("Proba")).toInt(), 10);
    }

    void deletingAnElementKeepsTheTotalsRight() {
        selectTable(QStringLiteral("t"));
        ov::ui::setNextConfirmation([](const QString&) { return true; });
        navigate("dbnEsclave", DbNavigator::Delete);
        QCOMPARE(elementsOf(QStringLiteral("t")), QStringLiteral("b"));
        QCOMPARE(storedTotals(QStringLiteral("t")), pair(1, 3));
        QCOMPARE(shownTotals(), pair(1, 3));
        // The draw uses the new totals: every roll now gives "b".
        QString drawn;
        for (int i = 0; i < 5; ++i) {
            QVERIFY(screen->OV(QStringLiteral("t"), drawn));
            QCOMPARE(drawn, QStringLiteral("b"));
        }
    }

    void leavingARowPostsItsChange() {
        selectTable(QStringLiteral("aaa"));
        QVERIFY(editCell("dbgMaster", QStringLiteral("Nom"), QStringLiteral("Renommée")));
        QCOMPARE(temp->db->scalar(QStringLiteral("SELECT Nom FROM OVmaster WHERE Id = 'aaa'"))
                     .toString(),
                 QStringLiteral("aaa"));
        QTest::keyClick(screen->findChild<QTableView*>(QStringLiteral("dbgMaster")), Qt::Key_Down);
        QCOMPARE(masterId(), QStringLiteral("t"));
        QCOMPARE(temp->db->scalar(QStringLiteral("SELECT Nom FROM OVmaster WHERE Id = 'aaa'"))
                     .toString(),
                 QStringLiteral("Renommée"));
        QVERIFY(!screen->tblMaster_()->isDirty());
        QCOMPARE(messages, QStringList());
    }

    void editingATableIdCarriesItsElements() {
        selectTable(QStringLiteral("t"));
        QVERIFY(!editCell("dbgMaster", QStringLiteral("Id"), QStringLiteral("aaa")));
        QCOMPARE(messages, QStringList{msg::tableIdTaken(QStringLiteral("aaa"))});
        QVERIFY(!screen->tblMaster_()->isDirty());
        QCOMPARE(elementsOf(QStringLiteral("t")), QStringLiteral("a,b"));

        QVERIFY(editCell("dbgMaster", QStringLiteral("Id"), QStringLiteral("tnew-cut")));
        navigate("dbnMaster", DbNavigator::Post);
        QCOMPARE(messages.size(), 1);
        QVERIFY(storedTotals(QStringLiteral("t")).isEmpty());
        QCOMPARE(elementsOf(QStringLiteral("tnew")), QStringLiteral("a,b"));
        QCOMPARE(storedTotals(QStringLiteral("tnew")), pair(2, 5));
        QCOMPARE(masterId(), QStringLiteral("tnew"));
        QCOMPARE(screen->tblSlave_()->filter(), QStringLiteral("ID = 'tnew'"));
        QCOMPARE(screen->tblSlave_()->model()->rowCount(), 2);
    }
};

QTEST_MAIN(TestMaintenanceWindow)
#include "test_maintenancewindow.moc"
