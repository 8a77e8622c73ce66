// The verb history: a village found by one word of its name, copied out and reprinted by the
// tool, while another connection keeps the history open; refusals that leave everything as it was.

#include "clirunner.h"
#include "history/history.h"
#include "tables/clock.h"
#include "tables/database.h"
#include "tables/outputs.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

using namespace ov;
using ovtest::inProcess;
using ovtest::tool;

class TestCliHistory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    // The window's connection stays open while separate processes of the tool write.
    void toolWritesWhileHistoryIsOpen() {
        ovtest::TempDatabase temp;
        const QStringList database{QStringLiteral("--database"), temp.path};
        const History history(*temp.db);
        QCOMPARE(history.page({}, 10).size(), 0);

        for (const char* kind : {"village", "perso", "village"})
            QCOMPARE(tool(QStringList{QStringLiteral("generate"), QString::fromLatin1(kind),
                                      QStringLiteral("--seed"), QStringLiteral("7")} +
                          database)
                         .exitCode,
                     0);
        const auto all = history.page({}, 10);
        QCOMPARE(all.size(), 3);
        const QString name = all.first().title; // the village written last
        QVERIFY(!name.isEmpty());

        // One word of the name, without its accents, found by the tool and by the open history.
        const QString word = name.normalized(QString::NormalizationForm_D)
                                 .remove(QRegularExpression(QStringLiteral("\\p{M}")));
        const auto found = tool(QStringList{QStringLiteral("history"), QStringLiteral("search"),
                                            word, QStringLiteral("--json")} +
                                database);
        QCOMPARE(found.exitCode, 0);
        const QJsonArray hits = QJsonDocument::fromJson(found.out.toUtf8()).array();
        QCOMPARE(hits.size(), 2);
        QCOMPARE(hits.at(0).toObject()[QStringLiteral("title")].toString(), name);
        HistoryFilter filter;
        filter.words = word;
        QCOMPARE(history.page(filter, 10).size(), 2);

        // Copied out, then reprinted: the stamp goes to the texts without a print date only.
        const auto text = tool(QStringList{QStringLiteral("history"), QStringLiteral("show"),
                                           QStringLiteral("village"), QStringLiteral("1")} +
                               database);
        QVERIFY(text.out.contains(QStringLiteral("NOM(") + name + QLatin1Char(')')));
        temp.db->run(QStringLiteral("UPDATE OVvillage SET DateImprime = '01/12/26' WHERE Id = 0"));
        QTemporaryDir dir;
        const auto reprint =
            tool(QStringList{QStringLiteral("history"), QStringLiteral("export"),
                             QStringLiteral("village"), QStringLiteral("0"), QStringLiteral("1"),
                             QStringLiteral("--format"), QStringLiteral("pdf"),
                             QStringLiteral("-o"), dir.filePath(QStringLiteral("v.pdf"))} +
                 database);
        QCOMPARE(reprint.exitCode, 0);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("v.pdf"))).size() > 0);
        QStringList printed;
        for (const HistoryEntry& entry : history.page(filter, 10))
            printed << entry.printed;
        QCOMPARE(printed.size(), 2);
        QVERIFY(printed.first() != QStringLiteral("01/12/26") && !printed.first().isEmpty());
        QCOMPARE(printed.last(), QStringLiteral("01/12/26"));

        // Deleted by the tool: gone from the open history and from its word index.
        QCOMPARE(tool(QStringList{QStringLiteral("history"), QStringLiteral("delete"),
                                  QStringLiteral("village"), QStringLiteral("0"),
                                  QStringLiteral("1"), QStringLiteral("--yes")} +
                      database)
                     .exitCode,
                 0);
        QCOMPARE(history.page(filter, 10).size(), 0);
        QCOMPARE(history.page({}, 10).size(), 1);
    }

    // A personal generator's results: found by a word without its accent under the generator's
    // Id in any case, named by its Nom, shown, reprinted with its report, unprinted and deleted;
    // the generator runs on after a deletion, and its removal takes its results out of the
    // history.
    void personalResults() {
        ovtest::TempDatabase temp;
        const QStringList database{QStringLiteral("--database"), temp.path};
        const auto run = [&](const QStringList& args) {
            const auto result = tool(args + database);
            if (result.exitCode != 0)
                qWarning().noquote() << args.join(QLatin1Char(' ')) << result.err;
            return result;
        };
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("relais.ovgen")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("Id: relais\nNom: Le relais du Chêne\n---\n# Un relais\n\n"
                                  "Enseigne : Au Chêne doré\nPrix : {1d6} pièces\n")
                       .toUtf8());
        file.close();
        QCOMPARE(
            run({QStringLiteral("generators"), QStringLiteral("import"), file.fileName()}).exitCode,
            0);
        QCOMPARE(run({QStringLiteral("generate"), QStringLiteral("RELAIS"),
                      QStringLiteral("--count"), QStringLiteral("3")})
                     .exitCode,
                 0);

        const auto found =
            run({QStringLiteral("history"), QStringLiteral("search"), QStringLiteral("chene"),
                 QStringLiteral("--kind"), QStringLiteral("Relais"), QStringLiteral("--json")});
        const QJsonArray hits = QJsonDocument::fromJson(found.out.toUtf8()).array();
        QCOMPARE(hits.size(), 3);
        const QJsonObject newest = hits.at(0).toObject();
        QCOMPARE(newest[QStringLiteral("kind")].toString(), QStringLiteral("relais"));
        QCOMPARE(newest[QStringLiteral("kindLabel")].toString(),
                 QStringLiteral("Le relais du Chêne"));
        QCOMPARE(newest[QStringLiteral("n")].toInt(), 2);
        QCOMPARE(newest[QStringLiteral("title")].toString(),
                 QStringLiteral("Enseigne : Au Chêne doré"));
        QVERIFY(run({QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("RELAIS"),
                     QStringLiteral("1")})
                    .out.startsWith(QStringLiteral("Le relais du Chêne - 1 - ")));

        // Reprinted: the report of `print relais`, stamps only where there was none.
        const auto printDates = [&] {
            QStringList dates;
            QSqlQuery query = temp.db->run(
                QStringLiteral("SELECT coalesce(DateImprime, '-') FROM OVresultat ORDER BY Id"));
            while (query.next())
                dates << query.value(0).toString();
            return dates.join(QLatin1Char(','));
        };
        temp.db->run(QStringLiteral("UPDATE OVresultat SET DateImprime = '01/12/26' WHERE Id = 0"));
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        QCOMPARE(run({QStringLiteral("history"), QStringLiteral("export"), QStringLiteral("relais"),
                      QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("--format"),
                      QStringLiteral("pdf"), QStringLiteral("-o"), pdf})
                     .exitCode,
                 0);
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        // The caption, shortened to the room before the date.
        QVERIFY(QString::fromUtf8(text.readAllStandardOutput())
                    .contains(QStringLiteral("OV Le relais du")));
        const QString today = printDateStamp(QDate::currentDate());
        QCOMPARE(printDates(), QStringLiteral("01/12/26,%1,-").arg(today));
        // « -o - » is standard output, in text as in PDF, and no file named « - ».
        for (const QString& format : {QStringLiteral("txt"), QStringLiteral("pdf")}) {
            const auto out =
                run({QStringLiteral("history"), QStringLiteral("export"), QStringLiteral("relais"),
                     QStringLiteral("0"), QStringLiteral("--format"), format, QStringLiteral("-o"),
                     QStringLiteral("-"), QStringLiteral("--no-stamp")});
            QCOMPARE(out.exitCode, 0);
            QVERIFY2(out.out.startsWith(format == QLatin1String("pdf")
                                            ? QStringLiteral("%PDF")
                                            : QStringLiteral("Le relais")),
                     qPrintable(out.out.left(80)));
        }
        QVERIFY(!QFileInfo::exists(QStringLiteral("-")));

        QCOMPARE(run({QStringLiteral("history"), QStringLiteral("unprint"),
                      QStringLiteral("relais"), QStringLiteral("0"), QStringLiteral("1")})
                     .exitCode,
                 0);
        QCOMPARE(printDates(), QStringLiteral("-,-,-"));
        QCOMPARE(run({QStringLiteral("history"), QStringLiteral("delete"), QStringLiteral("relais"),
                      QStringLiteral("1"), QStringLiteral("--yes")})
                     .exitCode,
                 0);
        QCOMPARE(run({QStringLiteral("generate"), QStringLiteral("relais")}).exitCode, 0);
        const History history(*temp.db);
        QStringList numbers;
        for (const HistoryEntry& entry :
             history.page({QStringLiteral("relais"), {}, {}, {}, {}}, 10))
            numbers << QString::number(entry.n);
        QCOMPARE(numbers.join(QLatin1Char(',')), QStringLiteral("3,2,0"));

        QCOMPARE(
            run({QStringLiteral("generators"), QStringLiteral("delete"), QStringLiteral("relais")})
                .exitCode,
            0);
        QCOMPARE(temp.db->scalar(QStringLiteral("SELECT count(*) FROM ovHistory")).toInt(), 0);
        QVERIFY(inProcess(QStringList{QStringLiteral("history"), QStringLiteral("list"),
                                      QStringLiteral("--kind"), QStringLiteral("relais")} +
                          database)
                    .err.contains(QStringLiteral("genre inconnu : relais")));
    }

    // Refused commands change nothing and say why.
    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("delete without --yes")
            << QStringList{QStringLiteral("delete"), QStringLiteral("tresor"), QStringLiteral("4")}
            << QStringLiteral("ajoutez --yes");
        QTest::newRow("a number two records share")
            << QStringList{QStringLiteral("unprint"), QStringLiteral("tresor"), QStringLiteral("2")}
            << QStringLiteral("#3, #4");
        QTest::newRow("a number nobody has")
            << QStringList{QStringLiteral("show"), QStringLiteral("tresor"), QStringLiteral("9")}
            << QStringLiteral("Aucun texte tresor numéro 9");
        QTest::newRow("unknown kind")
            << QStringList{QStringLiteral("list"), QStringLiteral("--kind"),
                           QStringLiteral("dragon")}
            << QStringLiteral("genre inconnu : dragon");
        QTest::newRow("bad date") << QStringList{QStringLiteral("list"), QStringLiteral("--since"),
                                                 QStringLiteral("hier")}
                                  << QStringLiteral("date invalide pour --since");
        QTest::newRow("an export over the store")
            << QStringList{QStringLiteral("export"), QStringLiteral("tresor"),
                           QStringLiteral("4"),      QStringLiteral("--format"),
                           QStringLiteral("txt"),    QStringLiteral("-o"),
                           QStringLiteral("@DB@")}
            << QStringLiteral("ne peut pas être la base elle-même");
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        ovtest::TempDatabase temp;
        args.replaceInStrings(QStringLiteral("@DB@"), temp.path);
        // n counts the records at the time of the run, so a deletion makes two records share one.
        for (int n : {0, 1, 2, 2, 4})
            appendRecord(*temp.db, OutputKind::Tresor, n, QStringLiteral("OV -%1-\r\nx\r\n").arg(n),
                         QStringLiteral(" "), QDateTime(QDate(2026, 12, 1), QTime()));
        temp.db->run(QStringLiteral("UPDATE OVtresor SET DateImprime = '02/12/26'"));
        const auto result = inProcess(QStringList{QStringLiteral("history")} + args +
                                      QStringList{QStringLiteral("--database"), temp.path});
        QVERIFY(result.exitCode != 0);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(temp.db
                     ->scalar(QStringLiteral("SELECT count(*) FROM OVtresor"
                                             " WHERE DateImprime = '02/12/26'"))
                     .toInt(),
                 5);
    }
};

QTEST_GUILESS_MAIN(TestCliHistory)
#include "test_cli_history.moc"
