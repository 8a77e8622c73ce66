// Several writers on one store at once: tools and a window run, each record with its own number,
// its header line agreeing with its Id, nothing lost and no writer failing or held up.

#include "clirunner.h"
#include "generators/generators.h"
#include "tables/clock.h"
#include "tables/database.h"
#include "tables/outputs.h"
#include "tables/random.h"
#include "tables/tabledraw.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>
#include <memory>
#include <vector>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<QProcess> startTool(const QStringList& args) {
    auto process = std::make_unique<QProcess>();
    process->start(qEnvironmentVariable("OV_CLI"), args);
    return process;
}

// Every stored character: its Id, and the number its header line shows.
QList<QPair<int, int>> numbers(const Database& db) {
    static const QRegularExpression header(u"OV -(\\d+)- "_s);
    QList<QPair<int, int>> found;
    QSqlQuery query = db.run(u"SELECT Id, Perso FROM OVperso"_s);
    while (query.next()) {
        const auto match = header.match(query.value(1).toString());
        found.append({query.value(0).toInt(), match.hasMatch() ? match.captured(1).toInt() : -1});
    }
    return found;
}

} // namespace

class TestConcurrentWriters : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    // Tools side by side (generate, import, print), with a window run in this program that
    // keeps its message box open while they work.
    void everyRecordHasItsOwnNumber_data() {
        QTest::addColumn<QStringList>("others"); // the other tools: "generate", "import", "print"
        QTest::addColumn<bool>("windowRun");
        QTest::addColumn<bool>("deletes"); // the character with the smallest number deleted
        QTest::newRow("trois générations")
            << QStringList{u"generate"_s, u"generate"_s, u"generate"_s} << false << false;
        QTest::newRow("génération et import")
            << QStringList{u"generate"_s, u"import"_s} << false << false;
        QTest::newRow("impression et génération")
            << QStringList{u"print"_s, u"generate"_s} << false << false;
        QTest::newRow("fenêtre et outils")
            << QStringList{u"generate"_s, u"generate"_s} << true << false;
        QTest::newRow("trois générations et suppressions")
            << QStringList{u"generate"_s, u"generate"_s, u"generate"_s} << false << true;
    }
    void everyRecordHasItsOwnNumber() {
        QFETCH(QStringList, others);
        QFETCH(bool, windowRun);
        QFETCH(bool, deletes);
        constexpr int count = 150;
        ovtest::TempDatabase t;
        const QString tableFile = t.dir.filePath(u"tables.txt"_s);
        QCOMPARE(
            ovtest::tool({u"tables"_s, u"export"_s, tableFile, u"--database"_s, t.path}).exitCode,
            0);
        int expected = 0;
        std::vector<std::unique_ptr<QProcess>> tools;
        for (const QString& verb : others) {
            QStringList args;
            if (verb == u"generate"_s) {
                args = {u"generate"_s, u"perso"_s, u"--count"_s, QString::number(count)};
                expected += count;
            } else if (verb == u"import"_s) {
                args = {u"tables"_s, u"import"_s, tableFile, u"--replace"_s};
            } else {
                args = {u"print"_s, u"perso"_s, u"--pdf"_s, t.dir.filePath(u"p.pdf"_s)};
            }
            tools.push_back(startTool(args + QStringList{u"--database"_s, t.path}));
        }
        if (deletes) {
            const int deleted = ovtest::deleteWhileRunning(t.path, tools);
            QVERIFY(deleted > 0);
            expected -= deleted;
        }
        if (windowRun) {
            // A run whose message box stays open until the tools are done.
            RandomSource source(7);
            Dice dice(source);
            TableDraw draw(*t.db, dice);
            UnprintedCount unprinted(*t.db);
            const Clock clock;
            RecordingMessageSink messages;
            Generation generation(*t.db, unprinted, clock, draw, messages);
            RunHost host;
            const RunReport report = generation.run(
                OutputKind::Perso,
                [&](GenerationRun& run, Draws&) {
                    run.begin();
                    run.addHeader();
                    for (auto& process : tools)
                        QVERIFY(process->waitForFinished(60000));
                    run.finish(u" "_s);
                },
                host);
            QVERIFY(!report.error);
            ++expected;
        }
        for (auto& process : tools) {
            QVERIFY(process->state() == QProcess::NotRunning || process->waitForFinished(60000));
            QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
        }
        const auto stored = numbers(*t.db);
        QCOMPARE(stored.size(), expected);
        QSet<int> ids;
        for (const auto& [id, header] : stored) {
            QVERIFY2(header == id, qPrintable(u"%1: %2"_s.arg(id).arg(header)));
            ids.insert(id);
        }
        QCOMPARE(ids.size(), stored.size());
    }

    // This program opens a store more than once (the window's grids read on a connection of
    // their own): a tool that ends in the meantime leaves the journal the first opening works
    // with, and what each of them writes is read back by all.
    void aSecondOpeningKeepsTheJournal() {
        ovtest::TempDatabase t;
        const auto generate = [&] {
            return ovtest::tool({u"generate"_s, u"perso"_s, u"--database"_s, t.path}).exitCode;
        };
        QCOMPARE(generate(), 0);
        const Database second(t.path);
        QCOMPARE(generate(), 0);
        t.db->execute(u"DELETE FROM OVperso WHERE Id = (SELECT min(Id) FROM OVperso)"_s);
        QCOMPARE(generate(), 0);
        QCOMPARE(second.scalar(u"SELECT count(*) FROM OVperso"_s).toInt(), 2);
        QCOMPARE(t.db->scalar(u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    }
};

QTEST_GUILESS_MAIN(TestConcurrentWriters)
#include "test_concurrentwriters.moc"
