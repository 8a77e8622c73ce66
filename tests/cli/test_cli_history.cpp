// The verb history: a village found by one word of its name, copied out and reprinted by the
// tool, while another connection keeps the history open; refusals that leave everything as it was.

#include "clirunner.h"
#include "history/history.h"
#include "tables/database.h"
#include "tables/outputs.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        ovtest::TempDatabase temp;
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
