// « Tables › Coller une table » as a person does it: the menu opened with the mouse, the table
// read from the clipboard shown with its weights, an Id typed, « Importer » clicked; a table with a
// gap shown with its problem and nothing to import.

#include "screenfixture.h"
#include "ui/mainscreen.h"
#include "ui/mainwindow.h"
#include "ui/tablecursor.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace ov;

namespace {

// Opens « Tables » with a click (Alt+T is the screen's « Trésor ») and chooses « Coller une
// table » by its letter; the dialog shown, or null.
QDialog* pasteFromTheMenu(QMainWindow& window) {
    QMenuBar* bar = window.menuBar();
    for (QAction* action : bar->actions())
        if (action->text() == QStringLiteral("Ta&bles"))
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(action).center());
    QMenu* menu = nullptr;
    if (!QTest::qWaitFor([&] {
            return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr;
        }))
        return nullptr;
    QTest::keyClick(menu, Qt::Key_C);
    QDialog* dialog = nullptr;
    (void)QTest::qWaitFor([&] {
        dialog = window.findChild<QDialog*>(QStringLiteral("dlgImporterTables"));
        return dialog && dialog->isVisible();
    });
    return dialog;
}

QStringList previewRows(QDialog* dialog) {
    const auto* grid = dialog->findChild<QTableWidget*>(QStringLiteral("grdApercu"));
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r)
        rows.append(grid->item(r, 0)->text() + QLatin1Char('|') + grid->item(r, 1)->text() +
                    QLatin1Char('|') + grid->item(r, 2)->text());
    return rows;
}

} // namespace

class TestTableImportWindow : public QObject, ovtest::MessageFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { recordMessages(); }
    void init() { clearMessages(); }

    void aPastedBookTableIsPreviewedThenImported() {
        ovtest::TempDatabase t;
        ui::MainWindow window(t.path);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QGuiApplication::clipboard()->setText(
            QStringLiteral("d6 Rumeurs\n1-2 Le meunier ment\n3–5 Un loup rôde\n6 Rien\n"));
        QDialog* dialog = pasteFromTheMenu(window);
        QVERIFY(dialog);
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("lblFormat"))->text(),
                 QStringLiteral("Format reconnu : table recopiée d'un livre"));
        QCOMPARE(previewRows(dialog),
                 (QStringList{QStringLiteral("rume : Rumeurs|Le meunier ment|2"),
                              QStringLiteral("rume : Rumeurs|Un loup rôde|3"),
                              QStringLiteral("rume : Rumeurs|Rien|1")}));

        auto* id = dialog->findChild<QLineEdit*>(QStringLiteral("edtId"));
        QTest::mouseClick(id, Qt::LeftButton);
        QTest::keyClicks(id, QStringLiteral("ru"));
        QCOMPARE(previewRows(dialog).first(), QStringLiteral("ru : Rumeurs|Le meunier ment|2"));
        QVERIFY(messages.isEmpty());
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnImporter")),
                          Qt::LeftButton);
        QCOMPARE(messages, QStringList{QStringLiteral("Importé : 1 table, 3 éléments")});
        QVERIFY(window.screen()->tblMaster_()->locate(QStringLiteral("ru")));
        QCOMPARE(
            t.db->scalar(QStringLiteral("SELECT TotProba FROM OVmaster WHERE Id = 'ru'")).toInt(),
            6);
    }

    void aTableWithAGapCannotBeImported() {
        ovtest::TempDatabase t;
        ui::MainWindow window(t.path);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QGuiApplication::clipboard()->setText(QStringLiteral("d6 Vents\n1-2 Nord\n4-6 Sud\n"));
        QDialog* dialog = pasteFromTheMenu(window);
        QVERIFY(dialog);
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("lblProblemes"))->text(),
                 QStringLiteral("presse-papiers, ligne 3 : aucun résultat pour 3, entre la plage "
                                "1-2 de « Nord » et la plage 4-6 de « Sud »"));
        QVERIFY(!dialog->findChild<QPushButton*>(QStringLiteral("btnImporter"))->isEnabled());
        QCOMPARE(previewRows(dialog), QStringList());
    }
};

QTEST_MAIN(TestTableImportWindow)
#include "test_tableimportwindow.moc"
