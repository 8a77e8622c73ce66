// The preview window: pages shown, the Print action, and a completed job reported once.

#include "reports/reportdocument.h"
#include "testsupport.h"
#include "ui/messages.h"
#include "ui/preview.h"
#include "ui/previewwindow.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

ReportDocument treasures(int count) {
    QVector<ReportRow> rows;
    for (int i = 0; i < count; ++i)
        rows.append({i + 1, u"OV -%1- 08/12/2026\r\nTrésor %1\r\n"_s.arg(i)});
    return ReportDocument(reportDefinition(OutputKind::Tresor), rows,
                          QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
}

} // namespace

class TestPrintPreview : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_messages;

    // Answers the print dialog with a PDF file, or cancels it.
    ui::PrinterChooser toPdf(const QString& path, int* asked) {
        return [path, asked](QPrinter& printer, QWidget*) {
            ++*asked;
            if (path.isEmpty())
                return false;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            return true;
        };
    }

private Q_SLOTS:
    void initTestCase() {
        ovtest::isolateUserFolders();
        ui::setMessageRecorder([this](const QString& text) { m_messages.append(text); });
    }

    void pagesAndNavigation() {
        const ReportDocument document = treasures(30); // 13 bands a page
        int asked = 0;
        ui::PreviewWindow window(document, nullptr, toPdf(QString(), &asked));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.pageCount(), 3);
        QCOMPARE(window.windowTitle(), u"Aperçu avant impression - OV trésor"_s);
        auto* label = window.findChild<QLabel*>(u"pageLabel"_s);
        QCOMPARE(label->text(), u"Page 1 sur 3"_s);
        window.findChild<QAction*>(u"lastPage"_s)->trigger();
        QCOMPARE(window.currentPage(), 3);
        QCOMPARE(label->text(), u"Page 3 sur 3"_s);
        window.findChild<QAction*>(u"previousPage"_s)->trigger();
        QCOMPARE(window.currentPage(), 2);
        window.findChild<QAction*>(u"firstPage"_s)->trigger();
        QCOMPARE(window.currentPage(), 1);
        QVERIFY(window.printAction()->isEnabled());
        QCOMPARE(asked, 0);
    }

    void emptyReportHasNothingToPrint() {
        const ReportDocument document = treasures(0);
        int asked = 0;
        ui::PreviewWindow window(document, nullptr, toPdf(m_dir.filePath(u"x.pdf"_s), &asked));
        QSignalSpy completed(&window, &ui::PreviewWindow::jobCompleted);
        QCOMPARE(window.pageCount(), 0);
        QVERIFY(!window.printAction()->isEnabled());
        QCOMPARE(window.findChild<QLabel*>(u"pageLabel"_s)->text(), u"Rien à imprimer."_s);
        // The words stand where the page would be, not only in the toolbar.
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* nothing = window.findChild<QLabel*>(u"nothingToPrint"_s);
        QVERIFY(nothing && nothing->isVisible());
        QCOMPARE(nothing->text(), u"Rien à imprimer."_s);
        QVERIFY(nothing->height() > window.height() / 2);
        QVERIFY(!window.previewWidget()->isVisible());
        window.printReport();
        QCOMPARE(asked, 0);
        QCOMPARE(completed.size(), 0);
    }

    void printingCompletesOneJob() {
        const ReportDocument document = treasures(3);
        const QString path = m_dir.filePath(u"preview-job.pdf"_s);
        int asked = 0;
        ui::PreviewWindow window(document, nullptr, toPdf(path, &asked));
        QSignalSpy completed(&window, &ui::PreviewWindow::jobCompleted);
        window.printAction()->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(completed.size(), 1);
        QVERIFY(QFileInfo(path).size() > 0);
    }

    // A file chosen in the print dialog that is the store, one of its files or a link to it is
    // refused before anything is written, and no job completes (nothing is stamped).
    void storeFilesAreRefusedAsOutput_data() {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("the store") << u"test.db"_s;
        QTest::newRow("a link to the store") << u"lien.pdf"_s;
        QTest::newRow("its journal") << u"test.db-wal"_s;
    }
    void storeFilesAreRefusedAsOutput() {
        QFETCH(QString, chosen);
        ovtest::TempDatabase t;
        QVERIFY(QFile::link(t.path, t.dir.filePath(u"lien.pdf"_s)));
        QFile file(t.path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        const ReportDocument document = treasures(3);
        int asked = 0;
        ui::PreviewWindow window(document, nullptr, toPdf(t.dir.filePath(chosen), &asked));
        window.setOutputCheck([&t](const QString& path) { return t.db->ownFileRefusal(path); });
        QSignalSpy completed(&window, &ui::PreviewWindow::jobCompleted);
        m_messages.clear();
        window.printAction()->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(completed.size(), 0);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().contains(u"rien n'a été écrit"_s));
        file.seek(0);
        QCOMPARE(file.readAll(), before);
        t.db->requireAllTables();
    }

    void cancelledDialogPrintsNothing() {
        const ReportDocument document = treasures(3);
        int asked = 0;
        ui::PreviewWindow window(document, nullptr, toPdf(QString(), &asked));
        QSignalSpy completed(&window, &ui::PreviewWindow::jobCompleted);
        window.printAction()->trigger();
        QCOMPARE(asked, 1);
        QCOMPARE(completed.size(), 0);
    }

    void failedJobReportedNotCompleted() {
        const ReportDocument document = treasures(3);
        int asked = 0;
        ui::PreviewWindow window(document, nullptr,
                                 toPdf(m_dir.filePath(u"no/such/folder/job.pdf"_s), &asked));
        QSignalSpy completed(&window, &ui::PreviewWindow::jobCompleted);
        m_messages.clear();
        window.printAction()->trigger();
        QCOMPARE(completed.size(), 0);
        QCOMPARE(m_messages,
                 QStringList{u"L'impression n'a pas abouti : aucune date d'impression n'a été "
                             "enregistrée."_s});
    }

    // The modal window: the after-print step runs before present() returns.
    void modalPresenterReportsTheJobBeforeReturning() {
        const ReportDocument document = treasures(2);
        int asked = 0;
        ui::WindowPreviewPresenter presenter(toPdf(m_dir.filePath(u"modal.pdf"_s), &asked));
        int jobs = 0;
        bool closedAfterJob = false;
        QTimer::singleShot(0, this, [&] {
            auto* window = qobject_cast<ui::PreviewWindow*>(QApplication::activeModalWidget());
            QVERIFY(window);
            window->printAction()->trigger();
            closedAfterJob = jobs == 1;
            window->findChild<QAction*>(u"close"_s)->trigger();
        });
        presenter.present(document, nullptr, [&] { ++jobs; });
        QCOMPARE(jobs, 1);
        QVERIFY(closedAfterJob);
        QCOMPARE(asked, 1);
    }
};

QTEST_MAIN(TestPrintPreview)
#include "test_printpreview.moc"
