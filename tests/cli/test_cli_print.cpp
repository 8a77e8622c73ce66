// The verb print: a report written to a PDF file as a completed print job.

#include "clirunner.h"
#include "tables/clock.h"
#include "tables/database.h"
#include "tables/outputs.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;
using ovtest::inProcess;
using ovtest::ToolResult;

namespace {

QString pdfText(const QString& path) {
    QProcess process;
    process.start(u"pdftotext"_s, {path, u"-"_s});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

const QDateTime created(QDate(2026, 12, 1), QTime(10, 0));

} // namespace

class TestCliPrint : public QObject {
    Q_OBJECT

    std::unique_ptr<ovtest::TempDatabase> m_temp;
    QString m_pdf;

    const Database& db() { return *m_temp->db; }
    int unprinted(OutputKind kind) { return db().scalar(unprintedCountStatement(kind)).toInt(); }
    void fill(OutputKind kind, int count) {
        for (int i = 0; i < count; ++i)
            appendRecord(db(), kind, i,
                         u"OV -%1- 01/12/2026\r\nRencontre %1 : des loups\r\n"_s.arg(i), u" "_s,
                         created);
    }

private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }
    void init() {
        m_temp = std::make_unique<ovtest::TempDatabase>();
        m_pdf = m_temp->dir.filePath(u"rapport.pdf"_s);
    }
    void cleanup() { m_temp.reset(); }

    // A generator's report whose name is longer than the room before the date: shortened with
    // « … » in the header, whole in the PDF's title, and no word printed over another.
    void aLongCaptionIsShortenedAndNothingOverlaps() {
        for (int i = 0; i < 2; ++i)
            QCOMPARE(
                inProcess({u"generate"_s, u"marchand"_s, u"--database"_s, m_temp->path}).exitCode,
                0);
        QCOMPARE(
            inProcess({u"print"_s, u"marchand"_s, u"--pdf"_s, m_pdf, u"--database"_s, m_temp->path})
                .exitCode,
            0);
        QProcess info;
        info.start(u"pdfinfo"_s, {m_pdf});
        QVERIFY(info.waitForFinished(60000));
        const QString nom =
            db().scalar(u"SELECT Nom FROM OVgenerateur WHERE Id = 'marchand'"_s).toString();
        const QString title = QString::fromUtf8(info.readAllStandardOutput())
                                  .section(u"Title:"_s, 1)
                                  .section(u'\n', 0, 0);
        QVERIFY2(!nom.isEmpty() && title.contains(nom), qPrintable(title));
        QProcess boxes;
        boxes.start(u"pdftotext"_s, {u"-bbox"_s, m_pdf, u"-"_s});
        QVERIFY(boxes.waitForFinished(60000));
        const QString html = QString::fromUtf8(boxes.readAllStandardOutput());
        static const QRegularExpression word(
            uR"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*))re"_s);
        QList<QPair<QRectF, QString>> words;
        for (const auto& m : word.globalMatch(html))
            words.append({QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                 QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())),
                          m.captured(5)});
        QVERIFY(words.size() > 10);
        QVERIFY2(html.contains(u"…"_s), "the header's caption is shortened");
        for (int i = 0; i < words.size(); ++i)
            for (int j = i + 1; j < words.size(); ++j)
                QVERIFY2(!words[i]
                              .first.adjusted(0.2, 0.2, -0.2, -0.2)
                              .intersects(words[j].first.adjusted(0.2, 0.2, -0.2, -0.2)),
                         qPrintable(words[i].second + u" / "_s + words[j].second));
    }

    void printsAndStamps() {
        fill(OutputKind::Rencontre, 3);
        const ToolResult result = inProcess(
            {u"print"_s, u"rencontre"_s, u"--pdf"_s, m_pdf, u"--database"_s, m_temp->path});
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
        QVERIFY(result.out.contains(u"3 enregistrement(s) sur 1 page(s)"_s));
        const QString stamp = printDateStamp(QDate::currentDate());
        QVERIFY(result.out.contains(u"3 enregistrement(s) marqué(s) imprimé(s) le "_s + stamp));
        QCOMPARE(unprinted(OutputKind::Rencontre), 0);
        QCOMPARE(db().scalar(u"SELECT DateImprime FROM OVrencontre WHERE Id = 2"_s).toString(),
                 stamp);
        const QString text = pdfText(m_pdf);
        QVERIFY(text.contains(u"OV rencontres"_s));
        QVERIFY(text.indexOf(u"Rencontre 0"_s) < text.indexOf(u"Rencontre 2"_s));

        // Everything is printed now: nothing left, no file, nothing stamped, success.
        QFile::remove(m_pdf);
        const ToolResult again = inProcess(
            {u"print"_s, u"rencontre"_s, u"--pdf"_s, m_pdf, u"--database"_s, m_temp->path});
        QCOMPARE(again.exitCode, 0);
        QCOMPARE(again.err, u"Rien à imprimer.\n"_s);
        QVERIFY(!QFile::exists(m_pdf));
    }

    void noStampLeavesRecordsUnprinted() {
        fill(OutputKind::Tresor, 2);
        const ToolResult result = inProcess({u"print"_s, u"tresor"_s, u"--no-stamp"_s, u"--pdf"_s,
                                             m_pdf, u"--database"_s, m_temp->path});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(QFileInfo(m_pdf).size() > 0);
        QCOMPARE(unprinted(OutputKind::Tresor), 2);
        QVERIFY(result.out.contains(u"Aucune date d'impression enregistrée."_s));
    }

    // "-" writes the PDF on standard output and what was done on standard error; the kind is
    // read in any case, with its accent.
    void pdfOnStandardOutput() {
        fill(OutputKind::Tresor, 2);
        QProcess tool;
        tool.start(qEnvironmentVariable("OV_CLI"),
                   {u"print"_s, u"Trésor"_s, u"--pdf"_s, u"-"_s, u"--database"_s, m_temp->path});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        const QByteArray pdf = tool.readAllStandardOutput();
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY(pdf.trimmed().endsWith("%%EOF"));
        QVERIFY(QString::fromUtf8(tool.readAllStandardError())
                    .contains(u"2 enregistrement(s) marqué(s) imprimé(s)"_s));
        QCOMPARE(unprinted(OutputKind::Tresor), 0);
    }

    void refusedArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("problem");
        QTest::newRow("unknown kind") << QStringList{u"print"_s, u"dragon"_s, u"--pdf"_s, u"X"_s}
                                      << u"genre de rapport inconnu : dragon"_s;
        QTest::newRow("no kind") << QStringList{u"print"_s, u"--pdf"_s, u"X"_s}
                                 << u"donnez un seul genre de rapport"_s;
        QTest::newRow("two kinds")
            << QStringList{u"print"_s, u"perso"_s, u"tresor"_s, u"--pdf"_s, u"X"_s}
            << u"donnez un seul genre de rapport"_s;
        QTest::newRow("no pdf") << QStringList{u"print"_s, u"perso"_s}
                                << u"--pdf FICHIER est obligatoire"_s;
        QTest::newRow("pdf without value") << QStringList{u"print"_s, u"perso"_s, u"--pdf"_s}
                                           << u"l'option --pdf attend une valeur"_s;
        QTest::newRow("unknown option")
            << QStringList{u"print"_s, u"perso"_s, u"--pdf"_s, u"X"_s, u"--couleur"_s}
            << u"option inconnue : --couleur"_s;
    }
    void refusedArguments() {
        QFETCH(QStringList, args);
        QFETCH(QString, problem);
        fill(OutputKind::Perso, 1);
        const ToolResult result =
            inProcess(QStringList{args.first(), u"--database"_s, m_temp->path} + args.mid(1));
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.startsWith(u"Erreur : "_s + problem + u"\n"_s), qPrintable(result.err));
        QVERIFY(result.err.contains(u"Usage : orvanthe-cli print"_s));
        QVERIFY(!QFile::exists(u"X"_s));
        QCOMPARE(unprinted(OutputKind::Perso), 1);
    }

    void unwritableFileStampsNothing() {
        fill(OutputKind::Village, 2);
        const QString path = m_temp->dir.filePath(u"absent/rapport.pdf"_s);
        const ToolResult result =
            inProcess({u"print"_s, u"village"_s, u"--pdf"_s, path, u"--database"_s, m_temp->path});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith(u"Impossible d'écrire le fichier "_s + path),
                 qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
        QCOMPARE(unprinted(OutputKind::Village), 2);
    }

    void missingTableReported() {
        db().run(u"DROP TABLE OVvillage"_s);
        const ToolResult result =
            inProcess({u"print"_s, u"perso"_s, u"--pdf"_s, m_pdf, u"--database"_s, m_temp->path});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.err.contains(u"OVvillage"_s));
        QVERIFY(!QFile::exists(m_pdf));
    }

    // The tool itself paints off screen: it runs without a display, or with one it cannot reach.
    void runsWithoutDisplay_data() {
        QTest::addColumn<QString>("display");
        QTest::newRow("no display") << QString();
        QTest::newRow("unreachable display") << u":4242"_s;
    }
    void runsWithoutDisplay() {
        QFETCH(QString, display);
        fill(OutputKind::Perso, 1);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
        if (!display.isEmpty())
            env.insert(u"DISPLAY"_s, display);
        const ToolResult result = ovtest::tool(
            {u"print"_s, u"perso"_s, u"--pdf"_s, m_pdf, u"--database"_s, m_temp->path}, env);
        QCOMPARE(result.exitCode, 0);
        QVERIFY(pdfText(m_pdf).contains(u"OV personnage"_s));
        QCOMPARE(unprinted(OutputKind::Perso), 0);
    }
};

QTEST_MAIN(TestCliPrint)
#include "test_cli_print.moc"
