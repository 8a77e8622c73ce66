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
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
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

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("design");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<bool>("bold");
        const QString window = QStringLiteral("MS Sans Serif");
        const auto row = [](const char* name, const char* caption, QRect design, QString family,
                            int pixels, bool bold) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(caption) << design
                                << family << pixels << bold;
        };
        row("dbgMaster", "", QRect(15, 120, 370, 481), window, 14, false);
        row("dbnMaster", "", QRect(61, 610, 280, 31), window, 14, false);
        row("edtID", "", QRect(126, 15, 60, 24), window, 14, false);
        row("edtNom", "", QRect(126, 44, 163, 24), window, 14, false);
        row("btnNouvelleTable", "&Nouvelle Table", QRect(124, 73, 104, 31), window, 14, false);
        row("btnFin", "FIN", QRect(413, 12, 53, 38), window, 15, true);
        row("dbgSlave", "", QRect(650, 120, 267, 481), window, 14, false);
        row("dbnEsclave", "", QRect(651, 610, 270, 31), window, 14, false);
        row("edtElem", "", QRect(554, 15, 392, 24), window, 14, false);
        row("edtProba", "", QRect(554, 44, 53, 24), window, 14, false);
        row("btnAjouter", "&Ajouter", QRect(554, 72, 68, 31), window, 14, false);
        row("btnPerso", "&Perso", QRect(408, 328, 110, 40), QStringLiteral("Tahoma"), 23, true);
        row("memPerso", "memPerso", QRect(422, 376, 195, 225), window, 14, false);
        row("btnImprimePerso", "Impression", QRect(529, 328, 100, 40), window, 17, true);
        row("dbePersoNonImprime", "0", QRect(524, 124, 31, 24), window, 14, false);
        row("btnRafraichir", "Rafraîchir", QRect(232, 74, 89, 31), window, 14, false);
        row("btnTresor", "&Trésor", QRect(408, 272, 110, 40), QStringLiteral("Tahoma"), 23, true);
        row("btnImprimeTresor", "Impression", QRect(529, 272, 100, 40), window, 17, true);
        row("btnRencontre", "&Rencontre", QRect(408, 216, 110, 40), QStringLiteral("Tahoma"), 20,
            true);
        row("btnPrintRencontre", "Impression", QRect(529, 216, 100, 40), window, 17, true);
        row("btnVillage", "&Village", QRect(408, 168, 110, 40), QStringLiteral("Tahoma"), 20, true);
        row("btnImprimeVillage", "Impression", QRect(529, 168, 100, 40), window, 17, true);
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, design);
        QFETCH(QString, family);
        QFETCH(int, pixels);
        QFETCH(bool, bold);
        ovtest::TempDatabase temp;
        TovMainPerso screen(temp.path);
        auto* control = screen.findChild<QWidget*>(name);
        QVERIFY2(control, qPrintable(name));
        const double scale = ov::ui::designScale(&screen);
        QCOMPARE(control->geometry(), ov::ui::scaledRect(design.x(), design.y(), design.width(),
                                                         design.height(), scale));
        QCOMPARE(control->font().family(), family);
        QCOMPARE(control->font().pixelSize(), ov::ui::scaled(pixels, scale));
        QCOMPARE(control->font().bold(), bold);
        if (auto* button = qobject_cast<QPushButton*>(control))
            QCOMPARE(button->text(), caption);
        else if (auto* edit = qobject_cast<QLineEdit*>(control))
            QCOMPARE(edit->text(), caption);
        else if (auto* memo = qobject_cast<QPlainTextEdit*>(control))
            QCOMPARE(memo->toPlainText(), caption);
    }

    void windowAndLabels() {
        ovtest::TempDatabase temp;
        TovMainPerso screen(temp.path);
        const double scale = ov::ui::designScale(&screen);
        QCOMPARE(scale, screen.logicalDpiY() / 120.0);
        QCOMPARE(screen.objectName(), QStringLiteral("ovMainPerso"));
        QCOMPARE(screen.windowTitle(), QStringLiteral("Orvanthe Main Screen"));
        QCOMPARE(screen.font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(screen.font().pixelSize(), ov::ui::scaled(14, scale));
        QCOMPARE(screen.pos(), QPoint(0, 0));
        QCOMPARE(screen.size(), QSize(ov::ui::scaled(1000, scale), ov::ui::scaled(700, scale)));

        QMap<QString, QPoint> labels;
        for (QLabel* label : screen.findChildren<QLabel*>())
            labels.insert(label->text(), label->pos());
        const auto at = [&](int x, int y) {
            return QPoint(ov::ui::scaled(x, scale), ov::ui::scaled(y, scale));
        };
        QCOMPARE(labels.value(QStringLiteral("ID")), at(103, 22));
        QCOMPARE(labels.value(QStringLiteral("Nom")), at(89, 52));
        QCOMPARE(labels.value(QStringLiteral("Element")), at(495, 22));
        QCOMPARE(labels.value(QStringLiteral("Probabilité")), at(480, 51));
        QCOMPARE(labels.value(QStringLiteral("A imprimer")), at(440, 128));

        auto* count = screen.findChild<QLineEdit*>(QStringLiteral("dbePersoNonImprime"));
        QVERIFY(count->isReadOnly());
        QVERIFY(!(count->focusPolicy() & Qt::TabFocus));
        auto* memo = screen.findChild<QPlainTextEdit*>(QStringLiteral("memPerso"));
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(memo->wordWrapMode(), QTextOption::WordWrap);
    }

    void tabOrder() {
        ovtest::TempDatabase temp;
        TovMainPerso screen(temp.path);
        const QStringList expected = names({"dbgMaster",
                                            "dbnMaster",
                                            "edtID",
                                            "edtNom",
                                            "btnNouvelleTable",
                                            "btnFin",
                                            "dbgSlave",
                                            "dbnEsclave",
                                            "edtElem",
                                            "edtProba",
                                            "btnAjouter",
                                            "btnPerso",
                                            "memPerso",
                                            "btnImprimePerso",
                                            "btnRafraichir",
                                            "btnTresor",
                                            "btnImprimeTresor",
                                            "btnRencontre",
                                            "btnPrintRencontre",
                                            "btnVillage",
                                            "btnImprimeVillage"});
        QStringList chain;
        QWidget* widget = screen.findChild<QWidget*>(QStringLiteral("dbgMaster"));
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().isEmpty() &&
                widget->parentWidget() == &screen)
                chain << widget->objectName();
            widget = widget->nextInFocusChain();
        } while (chain.size() < expected.size() + 1 && widget != &screen);
        QCOMPARE(chain, expected);
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
