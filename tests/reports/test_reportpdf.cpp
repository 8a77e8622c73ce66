// Reports written to PDF files, read back with pdftotext and pdffonts.

#include "reports/reportdocument.h"
#include "reports/reportfonts.h"
#include "testsupport.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

QString runTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString treasure(int n) {
    return u"OV -%1- 08/12/2026\r\nCoffre %1 : 40 pièces d'or\r\nUne dague ouvragée\r\n"_s.arg(n);
}

} // namespace

class TestReportPdf : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    const QDateTime m_at{QDate(2026, 12, 8), QTime(14, 30)};

    // Writes the report; returns the pages written.
    int write(OutputKind kind, const QStringList& texts, const QString& path) {
        QVector<ReportRow> rows;
        for (int i = 0; i < texts.size(); ++i)
            rows.append({i + 1, texts.at(i)});
        const ReportDocument document(reportDefinition(kind), rows, m_at);
        QPdfWriter writer(path);
        return document.print(writer);
    }

private Q_SLOTS:
    void initTestCase() {
        ovtest::isolateUserFolders();
        ensureReportFonts();
        QVERIFY(m_dir.isValid());
        for (const QString& tool : {u"pdftotext"_s, u"pdfinfo"_s, u"pdffonts"_s})
            QVERIFY2(!QStandardPaths::findExecutable(tool).isEmpty(),
                     "the PDF checks need poppler-utils");
    }

    void captionPagesAndRecordsInOrder() {
        QStringList texts;
        for (int i = 0; i < 25; ++i)
            texts.append(treasure(i));
        const QString path = m_dir.filePath(u"tresor.pdf"_s);
        const int pages = write(OutputKind::Tresor, texts, path);
        // 6.1 mm of header, then 13 bands of 20.3 mm on a body of 271.6 mm.
        QCOMPARE(pages, 2);
        QCOMPARE(runTool(u"pdfinfo"_s, {path}).contains(QRegularExpression(u"Pages:\\s+2"_s)),
                 true);

        for (int page = 1; page <= 2; ++page) {
            const QString text = runTool(u"pdftotext"_s, {u"-f"_s, QString::number(page), u"-l"_s,
                                                          QString::number(page), path, u"-"_s});
            QVERIFY(text.contains(u"OV trésor"_s));
            QVERIFY2(text.contains(QRegularExpression(u"page -\\s+%1\\b"_s.arg(page))),
                     qPrintable(text.left(300)));
            QVERIFY(text.contains(QLocale().toString(m_at, QLocale::ShortFormat)));
        }
        const QString all = runTool(u"pdftotext"_s, {path, u"-"_s});
        int at = -1;
        for (int i = 0; i < 25; ++i) {
            const int next = all.indexOf(u"Coffre %1 : 40 pièces d'or"_s.arg(i));
            QVERIFY2(next > at, qPrintable(u"record %1 out of order"_s.arg(i)));
            at = next;
        }
        QVERIFY(runTool(u"pdffonts"_s, {path}).contains(u"Tahoma"_s));
    }

    void villageMetiersLinePrintedWhole() {
        QString metiers;
        for (int i = 1; i <= 112; ++i)
            metiers += (i < 10 ? u" "_s : QString()) + QString::number(i) + u"-"_s +
                       u"artisan-%1-"_s.arg(i).leftJustified(60, QLatin1Char('a'));
        QVERIFY(metiers.size() > 7000);
        const QString village =
            u"OV -0- 08/12/2026\r\nNOM(Valbrune)__________\r\n> METIERS : \r\n"_s + metiers +
            u"\r\n"_s;
        const QString path = m_dir.filePath(u"village.pdf"_s);
        QVERIFY(write(OutputKind::Village, {village}, path) >= 1);
        // The layout mode keeps a hyphen that ends a line (the default mode joins such words).
        const QStringList pages =
            runTool(u"pdftotext"_s, {u"-layout"_s, path, u"-"_s}).split(QLatin1Char('\f'));
        QVERIFY(pages.size() >= 2);
        // The text without the page header that opens each page.
        QString text;
        for (const QString& page : pages) {
            const QString body = page.trimmed();
            if (body.isEmpty())
                continue;
            const int end = body.indexOf(QLatin1Char('\n'));
            QVERIFY(body.left(end).contains(u"OV village"_s));
            text += body.mid(end);
        }
        text.remove(QRegularExpression(u"\\s"_s));
        QString expected = metiers;
        expected.remove(QRegularExpression(u"\\s"_s));
        QVERIFY(text.contains(expected));
        QVERIFY(runTool(u"pdffonts"_s, {path}).contains(u"LiberationMono"_s));
    }

    void emptyReportWritesNoPage() {
        const ReportDocument document(reportDefinition(OutputKind::Perso), {}, m_at);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        QCOMPARE(document.print(writer), 0);
        QCOMPARE(buffer.size(), 0);
    }
};

QTEST_MAIN(TestReportPdf)
#include "test_reportpdf.moc"
