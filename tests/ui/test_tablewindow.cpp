// The window at the table: keys that work from the first moment, a form that grows and zooms,
// the dark theme, and Enter in the edit boxes. With OV_SCREENSHOTS set to a folder, the window is
// saved there as it is seen (default, enlarged, zoomed, dark).

#include "menuclicks.h"
#include "screenfixture.h"
#include "tables/database.h"
#include "templates/personalgenerator.h"
#include "ui/generatoreditor.h"
#include "ui/generatorsmenu.h"
#include "ui/mainscreen.h"
#include "ui/mainwindow.h"
#include "ui/tablecursor.h"
#include "ui/viewsettings.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

using namespace ov;
using ov::ui::MainWindow;
using ov::ui::ViewSettings;

namespace {

// The store's generators are these only.
void saveGenerators(const Database& db, const QStringList& noms) {
    for (const PersonalGenerator& starter : GeneratorStore(db).list())
        GeneratorStore(db).remove(starter.id);
    QList<PersonalGenerator> generators;
    for (const QString& nom : noms) {
        PersonalGenerator generator;
        generator.id = nom.normalized(QString::NormalizationForm_D)
                           .remove(QRegularExpression(QStringLiteral("[^a-zA-Z]")))
                           .toLower();
        generator.nom = nom;
        generator.modele = nom;
        generators << generator;
    }
    GeneratorStore(db).save(generators, false);
}

void screenshot(QWidget& window, const char* name) {
    const QString folder = qEnvironmentVariable("OV_SCREENSHOTS");
    if (!folder.isEmpty())
        QVERIFY(window.grab().save(folder + QLatin1Char('/') + QLatin1String(name), "PNG", 0));
}

QRect geometryOf(const QWidget& window, const char* name) {
    return window.findChild<QWidget*>(QLatin1String(name))->geometry();
}

} // namespace

class TestTableWindow : public QObject, ovtest::MessageFixture {
    Q_OBJECT

    // Ctrl+N sent to the shown window stores one result of that generator and no other.
    void pressAndCheck(MainWindow& window, const Database& db, int number, const QString& id) {
        const int before = GeneratorStore(db).resultCount(id);
        QTest::keyClick(&window, Qt::Key(Qt::Key_0 + number), Qt::ControlModifier);
        QCOMPARE(GeneratorStore(db).resultCount(id), before + 1);
    }

private Q_SLOTS:
    void initTestCase() { recordMessages(); }
    void init() {
        clearMessages();
        ViewSettings::instance().setZoom(1.0);
        ViewSettings::instance().setTheme(ui::Theme::Clair);
    }

    // The generators' keys work before any menu was opened, in French order, and again on
    // another base.
    void ctrlNumberOnAFreshWindowAndAfterASwitch() {
        ovtest::TempDatabase t;
        saveGenerators(*t.db,
                       {QStringLiteral("Météo"), QStringLiteral("Étal"), QStringLiteral("Butin")});
        MainWindow window(t.path);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList order;
        for (QAction* action : window.generatorsMenu()->menu()->actions())
            if (!action->text().isEmpty() && !action->menu())
                order << action->text();
        QCOMPARE(order.mid(0, 3), (QStringList{QStringLiteral("Butin"), QStringLiteral("Étal"),
                                               QStringLiteral("Météo")}));
        pressAndCheck(window, *t.db, 1, QStringLiteral("butin"));
        pressAndCheck(window, *t.db, 3, QStringLiteral("meteo"));

        ovtest::TempDatabase other;
        saveGenerators(*other.db, {QStringLiteral("Zèbre")});
        QVERIFY(window.switchTo(other.path));
        pressAndCheck(window, *other.db, 1, QStringLiteral("zebre"));
        QCOMPARE(GeneratorStore(*t.db).resultCount(QStringLiteral("butin")), 1);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    }

    // A generator pinned to a number keeps it when a generator is added before it in the menu;
    // the editor refuses a second generator on that number.
    void aPinnedNumberStays() {
        ovtest::TempDatabase t;
        saveGenerators(*t.db, {QStringLiteral("Butin"), QStringLiteral("Météo")});
        const GeneratorStore store(*t.db);
        PersonalGenerator meteo = *store.find(QStringLiteral("meteo"));
        meteo.raccourci = 1;
        store.save({meteo}, true);
        MainWindow window(t.path);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        pressAndCheck(window, *t.db, 1, QStringLiteral("meteo"));
        pressAndCheck(window, *t.db, 2, QStringLiteral("butin"));

        QTest::keyClick(&window, Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
        ui::GeneratorEditor* editor = window.generatorsMenu()->editor();
        QVERIFY(editor);
        editor->newGenerator();
        auto* nom = editor->findChild<QLineEdit*>(QStringLiteral("edtNomGenerateur"));
        nom->setText(QStringLiteral("Antre"));
        QVERIFY(editor->saveGenerator());
        const QString added = editor->currentId();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        pressAndCheck(window, *t.db, 1, QStringLiteral("meteo"));
        pressAndCheck(window, *t.db, 2, added);
        pressAndCheck(window, *t.db, 3, QStringLiteral("butin"));

        editor->findChild<QSpinBox*>(QStringLiteral("edtRaccourci"))->setValue(1);
        QVERIFY(!editor->saveGenerator());
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(QStringLiteral("Ctrl+1")), qPrintable(messages.first()));
        QCOMPARE(store.find(added)->raccourci, 0);
    }

    // At its default size the form is the design; enlarged, the memo takes most of the room and
    // the grids grow; back to the default size, the design again. Zoom keys scale it all.
    void growsZoomsAndComesBack() {
        ovtest::TempDatabase t;
        MainWindow window(t.path);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QSize start = window.size();
        QList<QRect> design;
        const QList<QWidget*> controls =
            window.screen()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* control : controls)
            design << control->geometry();
        const QRect memo = geometryOf(window, "memPerso");
        QCOMPARE(memo, window.screen()->designRect(QRect(422, 376, 195, 225)));
        screenshot(window, "fenetre-defaut.png");

        window.resize(start + QSize(800, 300));
        const QRect memoLarge = geometryOf(window, "memPerso");
        const QRect master = geometryOf(window, "dbgMaster");
        const QRect slave = geometryOf(window, "dbgSlave");
        QVERIFY(memoLarge.width() - memo.width() > 400);
        QCOMPARE(memoLarge.height() - memo.height(), 300);
        QVERIFY(master.width() >
                design.at(controls.indexOf(window.findChild<QWidget*>(QStringLiteral("dbgMaster"))))
                    .width());
        QVERIFY(master.right() < memoLarge.left() && memoLarge.right() < slave.left());
        QVERIFY(slave.right() < window.screen()->width());
        // The button column keeps its order, above the memo.
        QVERIFY(geometryOf(window, "btnVillage").bottom() <
                geometryOf(window, "btnRencontre").top());
        QVERIFY(geometryOf(window, "btnPerso").bottom() < memoLarge.top());
        screenshot(window, "fenetre-agrandie.png");

        window.resize(start);
        for (int i = 0; i < controls.size(); ++i)
            QCOMPARE(controls.at(i)->geometry(), design.at(i));

        const int fontBefore =
            window.findChild<QPushButton*>(QStringLiteral("btnPerso"))->fontInfo().pixelSize();
        const int menusBefore = window.menuBar()->fontInfo().pixelSize();
        QTest::keyClick(&window, Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(&window, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(window.screen()->zoom(), 1.2);
        QCOMPARE(geometryOf(window, "memPerso"),
                 window.screen()->designRect(QRect(422, 376, 195, 225)));
        QVERIFY(window.findChild<QPushButton*>(QStringLiteral("btnPerso"))->fontInfo().pixelSize() >
                fontBefore);
        // The menus grow with the window.
        QVERIFY(window.menuBar()->fontInfo().pixelSize() > menusBefore);
        QVERIFY(window.findChild<QMenu*>(QStringLiteral("mnuAffichage"))->fontInfo().pixelSize() >
                menusBefore);
        window.generatorsMenu()->menu()->aboutToShow(); // its submenus are made again
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window.findChild<QMenu*>(QStringLiteral("mnuPartager"))->fontInfo().pixelSize() >
                menusBefore);
        screenshot(window, "fenetre-zoom.png");
        // Each caption fits its button at this zoom.
        for (QPushButton* button :
             window.screen()->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly))
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text().remove(u'&')) <
                         button->width(),
                     qPrintable(button->objectName()));
        QTest::keyClick(&window, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(window.screen()->zoom(), 1.0);
        QTest::keyClick(&window, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(ViewSettings::instance().zoom(), 0.9);
    }

    // Dark: the window, the grids and the memo light on dark.
    void darkTheme() {
        ovtest::TempDatabase t;
        MainWindow window(t.path);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(ovtest::chooseFromMenus(
            window, QStringLiteral("Affi&chage"),
            {QStringLiteral("mnuTheme"), QStringLiteral("actTheme_Sombre")}));
        QVERIFY(ViewSettings::instance().dark());
        for (const char* name : {"memPerso", "dbgMaster", "edtElem"}) {
            const QPalette palette = window.findChild<QWidget*>(QLatin1String(name))->palette();
            QVERIFY(palette.color(QPalette::Base).lightness() < 80);
            QVERIFY(palette.color(QPalette::Text).lightness() > 180);
        }
        window.screen()->showText({QStringLiteral("Ciel très bleu")});
        screenshot(window, "fenetre-sombre.png");
    }

    // Enter in « Nom » makes the table, which the element grid follows; Enter in « Probabilité »
    // adds the element.
    void enterInTheEditBoxes() {
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        ovtest::addTable(*t.db, QStringLiteral("aaa"), {{QStringLiteral("a1"), 1}});
        MainWindow window(t.path);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const auto type = [&](const char* name, const QString& text) {
            auto* box = window.findChild<QLineEdit*>(QLatin1String(name));
            box->setFocus();
            QTest::keyClicks(box, text);
            return box;
        };
        type("edtID", QStringLiteral("bbb"));
        QTest::keyClick(type("edtNom", QStringLiteral("Bottes")), Qt::Key_Return);
        QCOMPARE(window.screen()->tblMaster_()->value(QStringLiteral("Id")).toString(),
                 QStringLiteral("bbb"));
        QCOMPARE(window.screen()->tblSlave_()->model()->rowCount(), 0);
        type("edtElem", QStringLiteral("bottes de cuir"));
        QTest::keyClick(type("edtProba", QStringLiteral("3")), Qt::Key_Enter);
        auto* elements = window.screen()->tblSlave_()->model();
        QCOMPARE(elements->rowCount(), 1);
        QCOMPARE(elements->index(0, elements->fieldIndex(QStringLiteral("Element"))).data(),
                 QVariant(QStringLiteral("bottes de cuir")));
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    }
};

QTEST_MAIN(TestTableWindow)
#include "test_tablewindow.moc"
