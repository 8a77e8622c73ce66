// Personal generators in the window: written in the editor, run from the menu, printed.
#include "reports/reportdocument.h"
#include "screenfixture.h"
#include "tables/clock.h"
#include "tables/random.h"
#include "ui/generatoreditor.h"
#include "ui/generatorsmenu.h"
#include "ui/preview.h"
#include "ui/reportforms.h"
#include "ui/tablecursor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCompleter>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSpinBox>
#include <QTest>
#include <QTextBrowser>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

const QDateTime today(QDate(2026, 12, 8), QTime(16, 45));

// Stands for the preview window: prints the report to a PDF file, a completed job.
class PdfPresenter : public ui::PreviewPresenter {
public:
    QString path;
    int rows = -1;
    void present(const ReportDocument& document, QWidget*,
                 const std::function<void()>& jobCompleted) override {
        rows = int(document.rows().size());
        QPdfWriter writer(path);
        if (document.print(writer) > 0)
            jobCompleted();
    }
};

} // namespace

class TestGeneratorEditor : public QObject, ovtest::ScreenFixture {
    Q_OBJECT

    FixedClock m_clock{today};
    std::unique_ptr<ui::ReportForms> m_forms;
    PdfPresenter* m_presenter = nullptr;
    std::unique_ptr<QMenu> m_menu;
    ui::GeneratorsMenu* m_generators = nullptr;
    ui::GeneratorEditor* m_editor = nullptr;

    template <typename T> T* in(QObject* parent, const char* name) {
        T* found = parent->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("no %s", name);
        return found;
    }
    const Database& db() { return *temp->db; }
    int results(const QString& where = u"1"_s) {
        return db().scalar(u"SELECT count(*) FROM OVresultat WHERE "_s + where).toInt();
    }
    QAction* menuItem(const QString& text) {
        for (QAction* action : m_menu->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }
    void activate(QWidget* window) {
        // The offscreen platform does not move the activation between windows by itself.
        QApplication::setActiveWindow(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    void storeGenerator(const QString& id, const QString& modele) {
        GeneratorStore(db()).save({{id, id.toUpper(), modele, {}}}, false);
    }
    QString preview() { return in<QPlainTextEdit>(m_editor, "memApercu")->toPlainText(); }

private Q_SLOTS:
    void initTestCase() { recordMessages(); }
    void init() {
        clearMessages();
        ui::setNextChoice(nullptr);
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        emptyStore();
        db().run(u"DELETE FROM OVgenerateur"_s);
        ovtest::addTable(db(), u"tani"_s, {{u"Cochon"_s, 1}, {u"Dragon"_s, 1}});
        showScreen();
        screen->setClock(&m_clock);
        m_forms = std::make_unique<ui::ReportForms>(db());
        auto presenter = std::make_unique<PdfPresenter>();
        m_presenter = presenter.get();
        m_presenter->path = temp->dir.filePath(u"job.pdf"_s);
        m_forms->setPreviewPresenter(std::move(presenter));
        m_forms->setClock(std::make_shared<FixedClock>(today));
        screen->setReportForms(m_forms.get());
        m_menu = std::make_unique<QMenu>();
        m_generators = new ui::GeneratorsMenu(
            m_menu.get(), [this] { return screen.get(); }, screen.get());
    }
    void cleanup() {
        m_menu.reset();
        m_editor = nullptr;
        screen.reset();
        m_forms.reset();
        closeScreen();
        QLocale::setDefault(QLocale::system());
    }

    // The way of a new user: a generator created, a mistake shown where it is, corrected, saved,
    // run twice from the menu's keys, its results stored, counted, printed and stamped.
    void writtenRunAndPrinted() {
        m_generators->openEditor();
        m_editor = m_generators->editor();
        activate(m_editor);
        QTest::keyClick(m_editor, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(m_editor->currentId(), u"nouveau"_s);
        QVERIFY(menuItem(u"Nouveau générateur"_s));

        auto* id = in<QLineEdit>(m_editor, "edtId");
        auto* nom = in<QLineEdit>(m_editor, "edtNomGenerateur");
        auto* modele = in<QPlainTextEdit>(m_editor, "edtModele");
        auto* errors = in<QListWidget>(m_editor, "lstErreurs");
        id->setText(u"taverne"_s);
        nom->setText(u"Taverne"_s);
        modele->setPlainText(u"# L'enseigne\nEnseigne : Au [tani\nChope : {1d6} pièces"_s);
        QCOMPARE(errors->count(), 1);
        QCOMPARE(errors->item(0)->text(), u"Ligne 2, colonne 15 : crochet fermant manquant"_s);
        modele->moveCursor(QTextCursor::End);
        QTest::mouseClick(errors->viewport(), Qt::LeftButton, {},
                          errors->visualItemRect(errors->item(0)).center());
        QCOMPARE(modele->textCursor().blockNumber(), 1);
        QCOMPARE(modele->textCursor().positionInBlock(), 14);

        QTest::keyClick(m_editor, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(messages, QStringList{u"Le modèle n'est pas enregistré : Ligne 2, colonne 15 :"
                                       " crochet fermant manquant"_s});
        QVERIFY(GeneratorStore(db()).find(u"nouveau"_s));
        QVERIFY(m_editor->isDirty());

        QTest::keyClick(modele, Qt::Key_End);
        QTest::keyClick(modele, Qt::Key_BracketRight);
        QCOMPARE(errors->count(), 0);
        QTest::keyClick(m_editor, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!m_editor->isDirty());
        QVERIFY(!GeneratorStore(db()).find(u"nouveau"_s));
        QCOMPARE(GeneratorStore(db()).find(u"taverne"_s)->modele,
                 u"# L'enseigne\nEnseigne : Au [tani]\nChope : {1d6} pièces"_s);
        QAction* item = menuItem(u"Taverne"_s);
        QVERIFY(item);
        QCOMPARE(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_1));

        activate(screen.get());
        auto* memo = in<QPlainTextEdit>(screen.get(), "memPerso");
        auto* count = in<QLineEdit>(screen.get(), "dbePersoNonImprime");
        for (int run = 0; run < 2; ++run) {
            QTest::keyClick(screen.get(), Qt::Key_1, Qt::ControlModifier);
            const QStringList lines = memo->toPlainText().split(u'\n');
            QCOMPARE(lines.size(), 3);
            QCOMPARE(lines.at(0), u"Taverne - %1 - 08/12/2026"_s.arg(run));
            QVERIFY(lines.at(1) == u"Enseigne : Au Cochon"_s ||
                    lines.at(1) == u"Enseigne : Au Dragon"_s);
            QVERIFY(lines.at(2).endsWith(u" pièces"_s));
            QCOMPARE(count->text(), QString::number(run + 1));
        }
        QCOMPARE(results(u"Generateur = 'taverne' AND DateImprime IS NULL"_s), 2);
        QCOMPARE(db().scalar(u"SELECT Texte FROM OVresultat WHERE Id = 1"_s).toString(),
                 memo->toPlainText().replace(u'\n', u"\r\n"_s) + u"\r\n"_s);

        in<QAction>(m_menu.get(), "actImprimer_taverne")->trigger();
        QCOMPARE(m_presenter->rows, 2);
        QCOMPARE(results(u"DateImprime = '08/12/26'"_s), 2);
        QCOMPARE(count->text(), u"0"_s);
        QProcess pdftotext;
        pdftotext.start(u"pdftotext"_s, {m_presenter->path, u"-"_s});
        QVERIFY(pdftotext.waitForFinished());
        const QString printed = QString::fromUtf8(pdftotext.readAllStandardOutput());
        QVERIFY(printed.contains(u"OV Taverne"_s));
        QVERIFY(printed.contains(u"Taverne - 1 - 08/12/2026"_s));
        QCOMPARE(messages.size(), 1);

        // F1 in the editor opens the language's page, from the program itself.
        activate(m_editor);
        QTest::keyClick(m_editor, Qt::Key_F1);
        auto* help = m_editor->findChild<QTextBrowser*>(u"txtAide"_s);
        QVERIFY(help && help->isVisible());
        QVERIFY(help->toPlainText().contains(u"Pas à pas : une taverne"_s));
    }

    // The preview is the text of its seed, follows the typing after a pause, and stores nothing.
    void previewFollowsTypingAndSeed() {
        storeGenerator(u"jet"_s, u"Jet : {1d1000000}"_s);
        m_generators->openEditor();
        m_editor = m_generators->editor();
        m_editor->setClock(&m_clock);
        QVERIFY(m_editor->select(u"jet"_s));
        const auto expected = [](quint32 seed) {
            RandomSource source(seed);
            Dice dice(source);
            return u"JET - 0 - 08/12/2026\nJet : %1"_s.arg(dice.D(1000000));
        };
        m_editor->setSeed(42);
        QCOMPARE(preview(), expected(42));
        m_editor->setSeed(7);
        QCOMPARE(preview(), expected(7));
        in<QSpinBox>(m_editor, "edtGraine")->selectAll();
        QTest::keyClicks(in<QSpinBox>(m_editor, "edtGraine"), u"42"_s);
        QCOMPARE(preview(), expected(42));

        auto* modele = in<QPlainTextEdit>(m_editor, "edtModele");
        modele->moveCursor(QTextCursor::End);
        QTest::keyClicks(modele, u" !"_s);
        QCOMPARE(preview(), expected(42)); // not yet: the preview waits for a pause
        QTRY_COMPARE(preview(), expected(42) + u" !"_s);

        in<QAbstractButton>(m_editor, "btnRelancer")->click();
        QVERIFY(m_editor->seed() != 42);
        QCOMPARE(preview(), expected(m_editor->seed()) + u" !"_s);
        QCOMPARE(results(), 0);

        // Table Ids are completed after "[".
        activate(m_editor);
        modele->setFocus();
        QTest::keyClicks(modele, u" [ta"_s);
        QTRY_VERIFY(modele->findChild<QCompleter*>()->popup()->isVisible());
        QTest::keyClick(modele->findChild<QCompleter*>()->popup(), Qt::Key_Return);
        QVERIFY(modele->toPlainText().endsWith(u" ! [tani"_s));
    }

    // « Français » (Alt+C) puts the post-pass into the preview; remembered names are completed
    // after an article and after ':'.
    void frenchPreviewAndNames() {
        storeGenerator(u"fr"_s, u"à le arbre"_s);
        m_generators->openEditor();
        m_editor = m_generators->editor();
        m_editor->setClock(&m_clock);
        QVERIFY(m_editor->select(u"fr"_s));
        activate(m_editor);
        QCOMPARE(preview().section(u'\n', 1), u"à le arbre"_s);
        QTest::keyClick(m_editor, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(in<QAbstractButton>(m_editor, "chkFrancais")->isChecked());
        QTRY_COMPARE(preview().section(u'\n', 1), u"à l'arbre"_s);
        QVERIFY(m_editor->isDirty());
        // The shortcut's field and the seed's have letters of their own.
        QTest::keyClick(m_editor, Qt::Key_U, Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), in<QWidget>(m_editor, "edtRaccourci"));
        QTest::keyClick(m_editor, Qt::Key_R, Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), in<QWidget>(m_editor, "edtGraine"));

        auto* modele = in<QPlainTextEdit>(m_editor, "edtModele");
        auto* popup = modele->findChild<QCompleter*>()->popup();
        modele->setFocus();
        modele->moveCursor(QTextCursor::End);
        QTest::keyClick(modele, Qt::Key_Return);
        for (const QString& typed : {u"[bete = tani]{le b"_s, u"} [tani : b"_s}) {
            QTest::keyClicks(modele, typed);
            QTRY_VERIFY(popup->isVisible());
            QTest::keyClick(popup, Qt::Key_Return);
        }
        QTest::keyClick(modele, Qt::Key_BracketRight);
        QVERIFY(modele->toPlainText().endsWith(u"{le bete} [tani : bete]"_s));
        QTRY_VERIFY(preview().section(u'\n', 2).startsWith(u"le "_s));
    }

    void unsavedChangesQuestion_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("cancel") << 2 << u"Deux"_s << false << u"Un"_s;
        QTest::newRow("discard") << 1 << u"Deux"_s << true << u"Un"_s;
        QTest::newRow("save") << 0 << u"Deux"_s << true << u"Deux"_s;
        QTest::newRow("save refused") << 0 << u"{"_s << false << u"Un"_s;
    }
    void unsavedChangesQuestion() {
        QFETCH(int, answer);
        QFETCH(QString, typed);
        QFETCH(bool, closed);
        QFETCH(QString, stored);
        storeGenerator(u"g"_s, u"Un"_s);
        m_generators->openEditor();
        m_editor = m_generators->editor();
        QVERIFY(m_editor->select(u"g"_s));
        in<QPlainTextEdit>(m_editor, "edtModele")->setPlainText(typed);
        QString asked;
        ui::setNextChoice([&](const QString& question, const QStringList&) {
            asked = question;
            return answer;
        });
        m_editor->close();
        QCOMPARE(asked, u"Le générateur « g » a été modifié. Enregistrer les modifications ?"_s);
        QCOMPARE(m_editor->isVisible(), !closed);
        QCOMPARE(GeneratorStore(db()).find(u"g"_s)->modele, stored);
    }

    // Shared from the menu with its tables, then brought back into a store whose table of that Id
    // now differs: given up first (nothing changes), then renamed.
    void sharedWithItsTablesAndImported() {
        storeGenerator(u"zoo"_s, u"Un [tani]"_s);
        const QString bundle = temp->dir.filePath(u"zoo.ovpack"_s);
        ui::setNextFileChoice([&](const QString&) { return bundle; });
        m_generators->rebuild();
        m_menu->findChild<QAction*>(u"actPartager_zoo"_s)->trigger();
        QVERIFY(QFileInfo::exists(bundle));
        clearMessages();

        GeneratorStore(db()).remove(u"zoo"_s);
        db().run(u"UPDATE OVslave SET Element = 'Chat' WHERE ID = 'tani'"_s);
        m_generators->openEditor();
        m_editor = m_generators->editor();
        m_editor->setFileChooser([&](bool, const QString&) { return QStringList{bundle}; });
        activate(m_editor);
        const int tables = db().scalar(u"SELECT count(*) FROM OVmaster"_s).toInt();
        for (const int answer : {2, 0}) {
            QString asked;
            ui::setNextChoice([&](const QString& question, const QStringList&) {
                asked = question;
                return answer;
            });
            QTest::keyClick(m_editor, Qt::Key_O, Qt::ControlModifier);
            QVERIFY(asked.contains(u"« tani » existe déjà"_s));
        }
        QCOMPARE(db().scalar(u"SELECT count(*) FROM OVmaster"_s).toInt(), tables + 1);
        const QString renamed = GeneratorStore(db()).find(u"zoo"_s)->modele.mid(4).chopped(1);
        QVERIFY(renamed != u"tani"_s);
        QCOMPARE(
            db().scalar(u"SELECT group_concat(Element, ' ') FROM OVslave WHERE ID = ?"_s, {renamed})
                .toString(),
            u"Cochon Dragon"_s);
        QCOMPARE(m_editor->currentId(), u"zoo"_s);
        QVERIFY(screen->tblMaster_()->locate(renamed)); // the screen's grid shows it
        QVERIFY2(messages.size() == 1 && messages.first().contains(renamed),
                 qPrintable(messages.join(u'\n')));
    }
};

QTEST_MAIN(TestGeneratorEditor)
#include "test_generatoreditor.moc"
