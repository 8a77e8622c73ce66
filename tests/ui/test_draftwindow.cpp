// Draft mode in the window, with the keys a game master presses: a tavern whose patrons are
// re-rolled with the sign and the price locked, then kept: one tavern stored, nothing else.

#include "screenfixture.h"
#include "tables/outputs.h"
#include "templates/personalgenerator.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTableView>

using namespace ov;

class TestDraftWindow : public QObject, ovtest::MessageFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { recordMessages(); }

    void aTavernReRolledThenKept() {
        ovtest::TempDatabase t;
        GeneratorStore generators(*t.db);
        for (const PersonalGenerator& generator : generators.list())
            if (generator.id != QStringLiteral("taverne"))
                generators.remove(generator.id);
        ui::MainWindow window(t.path);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* memo = window.findChild<QPlainTextEdit*>(QStringLiteral("memPerso"));
        const auto lines = [&] { return memo->toPlainText().split(u'\n'); };
        // Down or up, as a person would, until the cursor stands on the line (lines wrap).
        const auto goTo = [&](int line) {
            for (int i = 0; i < 50 && memo->textCursor().blockNumber() != line; ++i)
                QTest::keyClick(memo, memo->textCursor().blockNumber() < line ? Qt::Key_Down
                                                                              : Qt::Key_Up);
        };
        const auto stored = [&] {
            int count = GeneratorStore(*t.db).resultCount(QStringLiteral("taverne"));
            for (OutputKind kind : allOutputKinds)
                count += recordCount(*t.db, kind);
            return count;
        };

        QVERIFY(!window.findChild<QLabel*>(QStringLiteral("lblBrouillon"))->isVisible());
        QTest::keyClick(&window, Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(QSettings().value(QStringLiteral("generateurs/modeBrouillon")).toBool());
        QVERIFY(window.findChild<QLabel*>(QStringLiteral("lblBrouillon"))->isVisible());

        QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(lines().size(), 6);
        QVERIFY(lines()[0].startsWith(QStringLiteral("Taverne - 0 - ")));
        QCOMPARE(stored(), 0);

        // The memo's cursor stands on the sign: locked; on the price: locked.
        QTest::keyClick(memo, Qt::Key_L, Qt::ControlModifier);
        goTo(3);
        QTest::keyClick(memo, Qt::Key_L, Qt::ControlModifier);
        QCOMPARE(memo->extraSelections().size(), 2);
        goTo(4);
        const QStringList first = lines();
        QSet<QString> patrons{first[4]};
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(memo, Qt::Key_R, Qt::ControlModifier);
            patrons.insert(lines()[4]);
            QCOMPARE(lines().mid(0, 4), first.mid(0, 4));
            QCOMPARE(lines()[5], first[5]);
        }
        QVERIFY(patrons.size() > 1);
        const QStringList chosen = lines();
        QCOMPARE(stored(), 0);

        QTest::keyClick(memo, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(stored(), 1);
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT Texte FROM OVresultat")).toString(),
                 chosen.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        QCOMPARE(lines(), chosen);
        QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("dbePersoNonImprime"))->text(),
                 QStringLiteral("1"));

        // Another draft, re-rolled whole, then thrown away.
        QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);
        const QStringList second = lines();
        QTest::keyClick(memo, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(lines() != second);
        // Échap in a cell being typed takes back the typing and leaves the draft.
        const QStringList third = lines();
        auto* grid = window.findChild<QTableView*>(QStringLiteral("dbgMaster"));
        grid->setFocus();
        const QString cell = grid->currentIndex().data().toString();
        QTest::keyClick(grid, Qt::Key_F2);
        QTRY_VERIFY(grid->viewport()->isAncestorOf(QApplication::focusWidget()));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("zz"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QCOMPARE(QApplication::focusWidget(), grid);
        QCOMPARE(grid->currentIndex().data().toString(), cell);
        QCOMPARE(lines(), third);
        QTest::keyClick(memo, Qt::Key_Escape);
        QCOMPARE(memo->toPlainText(), QString());
        QCOMPARE(stored(), 1);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
    }
};

QTEST_MAIN(TestDraftWindow)
#include "test_draftwindow.moc"
