// The print run of an "Impression" button: preview, job, stamp, count reopened.

#include "reports/reportdocument.h"
#include "reports/reportform.h"
#include "tables/clock.h"
#include "tables/database.h"
#include "testsupport.h"
#include "ui/messages.h"
#include "ui/preview.h"
#include "ui/reportforms.h"

#include <QPdfWriter>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

const QDateTime created(QDate(2026, 12, 1), QTime(10, 0));
const QDateTime today(QDate(2026, 12, 8), QTime(16, 45));

// Stands for the preview window: prints to a PDF file, or only looks and closes.
class ScriptedPresenter : public ui::PreviewPresenter {
public:
    enum Answer { CloseWithoutPrinting, PrintToPdf };
    Answer answer = CloseWithoutPrinting;
    QString pdfPath;
    int shown = 0;
    int lastRows = -1;
    int pagesPrinted = 0;
    bool stampedBeforeReturn = false;
    std::function<bool()> stampedCheck;

    void present(const ReportDocument& document, QWidget*,
                 const std::function<void()>& jobCompleted) override {
        ++shown;
        lastRows = int(document.rows().size());
        if (answer == PrintToPdf) {
            QPdfWriter writer(pdfPath);
            pagesPrinted = document.print(writer);
            if (pagesPrinted > 0)
                jobCompleted();
        }
        if (stampedCheck)
            stampedBeforeReturn = stampedCheck();
    }
};

} // namespace

class TestPrintRun : public QObject {
    Q_OBJECT

    std::unique_ptr<ovtest::TempDatabase> m_temp;
    std::unique_ptr<ui::ReportForms> m_forms;
    ScriptedPresenter* m_presenter = nullptr;
    QStringList m_messages;

    const Database& db() { return *m_temp->db; }

    void fill(OutputKind kind, int count, int from = 0) {
        for (int i = from; i < from + count; ++i)
            appendRecord(db(), kind, i, u"OV -%1- 01/12/2026\r\nEnregistrement %1\r\n"_s.arg(i),
                         u" "_s, created);
    }
    int unprinted(OutputKind kind) { return db().scalar(unprintedCountStatement(kind)).toInt(); }

private Q_SLOTS:
    void initTestCase() {
        ovtest::isolateUserFolders();
        ui::setMessageRecorder([this](const QString& text) { m_messages.append(text); });
    }
    void init() {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        m_messages.clear();
        m_temp = std::make_unique<ovtest::TempDatabase>();
        m_forms = std::make_unique<ui::ReportForms>(db());
        auto presenter = std::make_unique<ScriptedPresenter>();
        m_presenter = presenter.get();
        m_presenter->pdfPath = m_temp->dir.filePath(u"job.pdf"_s);
        m_forms->setPreviewPresenter(std::move(presenter));
        m_forms->setClock(std::make_shared<FixedClock>(today));
    }
    void cleanup() {
        m_forms.reset();
        m_temp.reset();
        QLocale::setDefault(QLocale::system());
    }

    void threeTreasuresPrinted() {
        fill(OutputKind::Tresor, 3);
        UnprintedCount count(db());
        count.setStatement(unprintedCountStatement(OutputKind::Tresor));
        count.open();
        QCOMPARE(count.value(), 3);
        QSignalSpy refreshed(m_forms.get(), &ui::ReportForms::countRefreshed);
        m_presenter->answer = ScriptedPresenter::PrintToPdf;
        m_presenter->stampedCheck = [this] { return unprinted(OutputKind::Tresor) == 0; };

        m_forms->print(OutputKind::Tresor, count, nullptr);

        QCOMPARE(m_presenter->lastRows, 3);
        QVERIFY(m_presenter->stampedBeforeReturn); // after-print ran before the preview returned
        QCOMPARE(
            db().scalar(u"SELECT count(*) FROM OVtresor WHERE DateImprime = '08/12/26'"_s).toInt(),
            3);
        QVERIFY(count.isOpen());
        QCOMPARE(count.value(), 0);
        QCOMPARE(refreshed.size(), 1);
        QCOMPARE(refreshed.first().first().toLongLong(), 0);
        QVERIFY(m_messages.isEmpty());

        // The job's PDF holds the three treasures; a second run has nothing left to print.
        QProcess pdftotext;
        pdftotext.start(u"pdftotext"_s, {m_presenter->pdfPath, u"-"_s});
        QVERIFY(pdftotext.waitForFinished());
        const QString printed = QString::fromUtf8(pdftotext.readAllStandardOutput());
        for (int i = 0; i < 3; ++i)
            QVERIFY(printed.contains(u"Enregistrement %1"_s.arg(i)));
        m_forms->print(OutputKind::Tresor, count, nullptr);
        QCOMPARE(m_presenter->lastRows, 0);
    }

    void previewWithoutPrintStampsNothing() {
        fill(OutputKind::Perso, 2);
        UnprintedCount count(db());
        count.open();
        QSignalSpy refreshed(m_forms.get(), &ui::ReportForms::countRefreshed);
        m_presenter->answer = ScriptedPresenter::CloseWithoutPrinting;
        m_forms->print(OutputKind::Perso, count, nullptr);
        QCOMPARE(m_presenter->shown, 1);
        QCOMPARE(m_presenter->lastRows, 2);
        QCOMPARE(unprinted(OutputKind::Perso), 2);
        QCOMPARE(refreshed.size(), 1);
        QCOMPARE(count.value(), 2);
    }

    void countKeepsTheKindOfTheLastRun() {
        fill(OutputKind::Perso, 4);
        fill(OutputKind::Tresor, 2);
        UnprintedCount count(db());
        count.setStatement(unprintedCountStatement(OutputKind::Perso));
        count.open();
        m_presenter->answer = ScriptedPresenter::PrintToPdf;
        m_forms->print(OutputKind::Tresor, count, nullptr);
        QCOMPARE(unprinted(OutputKind::Tresor), 0);
        QCOMPARE(count.statement(), unprintedCountStatement(OutputKind::Perso));
        QCOMPARE(count.value(), 4);
    }

    void nothingUnprintedNoPage() {
        fill(OutputKind::Rencontre, 2);
        db().run(u"UPDATE OVrencontre SET DateImprime = '01/12/26'"_s);
        UnprintedCount count(db());
        count.setStatement(unprintedCountStatement(OutputKind::Rencontre));
        count.open();
        m_presenter->answer = ScriptedPresenter::PrintToPdf;
        m_forms->print(OutputKind::Rencontre, count, nullptr);
        QCOMPARE(m_presenter->lastRows, 0);
        QCOMPARE(m_presenter->pagesPrinted, 0);
        QVERIFY(!QFile::exists(m_presenter->pdfPath));
        QCOMPARE(db().scalar(u"SELECT count(*) FROM OVrencontre WHERE DateImprime = '01/12/26'"_s)
                     .toInt(),
                 2);
        QCOMPARE(count.value(), 0);
    }

    // A stamp that fails shows the engine's message; the rows stay unstamped and the count is
    // reopened all the same.
    void failedStampShownAndCountReopened() {
        fill(OutputKind::Tresor, 2);
        db().run(u"CREATE TRIGGER refuse BEFORE UPDATE ON OVtresor"
                 " BEGIN SELECT RAISE(ABORT, 'table verrouillée'); END"_s);
        UnprintedCount count(db());
        count.setStatement(unprintedCountStatement(OutputKind::Tresor));
        QSignalSpy refreshed(m_forms.get(), &ui::ReportForms::countRefreshed);
        m_presenter->answer = ScriptedPresenter::PrintToPdf;
        m_forms->print(OutputKind::Tresor, count, nullptr);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains(u"table verrouillée"_s));
        QCOMPARE(unprinted(OutputKind::Tresor), 2);
        QCOMPARE(refreshed.size(), 1);
        QCOMPARE(count.value(), 2);
    }

    // A table missing at start-up: the forms are still created; its report shows the message.
    void missingTableReportedWhenPrinting() {
        m_forms.reset();
        db().run(u"DROP TABLE OVperso"_s);
        m_forms = std::make_unique<ui::ReportForms>(db());
        m_forms->setPreviewPresenter(std::make_unique<ScriptedPresenter>());
        QVERIFY(!m_forms->form(OutputKind::Perso).cursor().isOpen());
        QVERIFY(m_forms->form(OutputKind::Tresor).cursor().isOpen());
        UnprintedCount count(db());
        count.setStatement(unprintedCountStatement(OutputKind::Tresor));
        m_forms->print(OutputKind::Perso, count, nullptr);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains(u"OVperso"_s));
        QVERIFY(count.isOpen());
    }
};

QTEST_MAIN(TestPrintRun)
#include "test_printrun.moc"
