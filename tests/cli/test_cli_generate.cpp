// The verb generate: runs as presses of a generator button, their output, storing and errors.

#include "clirunner.h"
#include "tables/database.h"
#include "tables/outputs.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTest>

using namespace ov;
using ovtest::inProcess;
using ovtest::tool;
using ovtest::ToolResult;

namespace {

const QStringList characterTables{
    QStringLiteral("sexe"), QStringLiteral("mel"),  QStringLiteral("rich"), QStringLiteral("orig"),
    QStringLiteral("pays"), QStringLiteral("lieu"), QStringLiteral("terr"), QStringLiteral("etci"),
    QStringLiteral("reli"), QStringLiteral("carr"), QStringLiteral("tail"), QStringLiteral("poid"),
    QStringLiteral("chco"), QStringLiteral("chlo"), QStringLiteral("chty"), QStringLiteral("yeux"),
    QStringLiteral("pilo"), QStringLiteral("pico"), QStringLiteral("stat"), QStringLiteral("arje"),
    QStringLiteral("arco"), QStringLiteral("tale"), QStringLiteral("brav"), QStringLiteral("disp"),
    QStringLiteral("econ"), QStringLiteral("ener"), QStringLiteral("honn"), QStringLiteral("mate"),
    QStringLiteral("mora"), QStringLiteral("perb"), QStringLiteral("perc"), QStringLiteral("pers"),
    QStringLiteral("natu"), QStringLiteral("piet"), QStringLiteral("tena"), QStringLiteral("tenb")};

// Every table of the character, with three weighted elements each, except those left out.
void addCharacterTables(const Database& db, const QStringList& leaveOut = {}) {
    db.transaction([&] {
        ovtest::clearRandomTables(db);
        ovtest::addTable(db, QStringLiteral("age"),
                         {{QStringLiteral("1 enfant"), 1},
                          {QStringLiteral("3 adulte"), 2},
                          {QStringLiteral("7 vénérable"), 1}});
        ovtest::addTable(db, QStringLiteral("cel"),
                         {{QStringLiteral("0 faible"), 1},
                          {QStringLiteral("3 moyen"), 2},
                          {QStringLiteral("7 fort"), 1}});
        for (const QString& id : characterTables)
            if (!leaveOut.contains(id))
                ovtest::addTable(db, id,
                                 {{id + QStringLiteral(" un"), 1},
                                  {id + QStringLiteral(" deux"), 2},
                                  {id + QStringLiteral(" trois"), 3}});
    });
}

struct Row {
    double id;
    QString text;
    QString type;
};

QList<Row> characters(const Database& db) {
    QSqlQuery query =
        db.run(QStringLiteral("SELECT Id, Perso, Sexe_Cel_Mel_Stat FROM OVperso ORDER BY rowid"));
    QList<Row> rows;
    while (query.next())
        rows.append(
            {query.value(0).toDouble(), query.value(1).toString(), query.value(2).toString()});
    return rows;
}

QList<QJsonObject> jsonObjects(const QString& out) {
    QList<QJsonObject> objects;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return {};
        objects.append(document.object());
    }
    return objects;
}

QStringList strings(const QJsonValue& value) {
    QStringList list;
    for (const QJsonValue& item : value.toArray())
        list << item.toString();
    return list;
}

QStringList generateArgs(const QString& path, const QStringList& more) {
    return QStringList{QStringLiteral("generate"), QStringLiteral("perso"),
                       QStringLiteral("--database"), path} +
           more;
}

} // namespace

class TestCliGenerate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        ovtest::isolateUserFolders();
        QVERIFY2(!qEnvironmentVariable("OV_CLI").isEmpty(), "OV_CLI names the tool");
    }

    void jsonRunsAreStoredInTurn() {
        ovtest::TempDatabase t;
        addCharacterTables(*t.db);
        const ToolResult result = tool(generateArgs(
            t.path, {QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("--count"),
                     QStringLiteral("3"), QStringLiteral("--json")}));
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.out.count(QLatin1Char('\n')), 3);
        const QList<QJsonObject> objects = jsonObjects(result.out);
        QCOMPARE(objects.size(), 3);
        const QList<Row> rows = characters(*t.db);
        QCOMPARE(rows.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QJsonObject& object = objects[i];
            QCOMPARE(
                object.keys(),
                QStringList({QStringLiteral("id"), QStringLiteral("kind"), QStringLiteral("lines"),
                             QStringLiteral("messages"), QStringLiteral("type")}));
            QCOMPARE(object.value(QStringLiteral("kind")).toString(), QStringLiteral("perso"));
            QCOMPARE(object.value(QStringLiteral("id")).toInt(-1), i);
            const QStringList lines = strings(object.value(QStringLiteral("lines")));
            QCOMPARE(lines.size(), 9);
            QVERIFY(lines.first().startsWith(QString(42, QLatin1Char(' ')) +
                                             QStringLiteral("OV -%1- ").arg(i)));
            QVERIFY(lines.at(5).startsWith(QStringLiteral("s:stat ")));
            QVERIFY(strings(object.value(QStringLiteral("messages"))).isEmpty());
            QCOMPARE(rows[i].id, double(i));
            QCOMPARE(rows[i].text, lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
            QCOMPARE(object.value(QStringLiteral("type")).toString(), rows[i].type);
            QCOMPARE(rows[i].type.size(), 9);
        }
        // One random source for all runs: the sheets differ.
        QVERIFY(objects[0].value(QStringLiteral("lines")) !=
                    objects[1].value(QStringLiteral("lines")) ||
                objects[1].value(QStringLiteral("lines")) !=
                    objects[2].value(QStringLiteral("lines")));
    }

    void sameSeedWithoutStoringGivesTheSameText() {
        ovtest::TempDatabase t;
        addCharacterTables(*t.db);
        appendRecord(*t.db, OutputKind::Perso, 0, QStringLiteral("ancien\r\n"), QStringLiteral(" "),
                     QDateTime::currentDateTime());
        const QStringList args = generateArgs(
            t.path, {QStringLiteral("--seed"), QStringLiteral("123456"), QStringLiteral("--count"),
                     QStringLiteral("2"), QStringLiteral("--no-store")});
        const ToolResult first = tool(args);
        const ToolResult second = tool(args);
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(second.out, first.out);
        QCOMPARE(characters(*t.db).size(), 1);

        // Nine lines, each ended by a line feed, an empty line between the runs; n stays 1.
        const QStringList lines = first.out.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 20);
        QCOMPARE(lines.at(9), QString());
        QCOMPARE(lines.at(19), QString());
        QVERIFY(lines.at(0).contains(QStringLiteral("OV -1- ")));
        QVERIFY(lines.at(10).contains(QStringLiteral("OV -1- ")));
        QVERIFY(lines.at(2).startsWith(QStringLiteral(" SOCIAL:")));
        QVERIFY(lines.at(18).startsWith(QStringLiteral("TALENTS : ")));

        // The same seed with storing gives the same sheets.
        const ToolResult stored =
            tool(generateArgs(t.path, {QStringLiteral("--seed"), QStringLiteral("123456"),
                                       QStringLiteral("--count"), QStringLiteral("2")}));
        QCOMPARE(stored.exitCode, 0);
        QCOMPARE(stored.out.split(QLatin1Char('\n')).mid(1, 8), lines.mid(1, 8));
        QCOMPARE(stored.out.split(QLatin1Char('\n')).mid(11, 8), lines.mid(11, 8));
        QCOMPARE(characters(*t.db).size(), 3);
    }

    void messagesGoToStandardError() {
        ovtest::TempDatabase t;
        addCharacterTables(*t.db, {QStringLiteral("stat")});
        const ToolResult result =
            tool(generateArgs(t.path, {QStringLiteral("--seed"), QStringLiteral("1"),
                                       QStringLiteral("--count"), QStringLiteral("2")}));
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QStringLiteral("Pas de table \"stat\"\n").repeated(20));
        QVERIFY(result.out.contains(
            QStringLiteral("\ns: - st: - d: - a: - i: - w: - e: - em: - c: - ap:\n")));
        QCOMPARE(characters(*t.db).size(), 2);

        const ToolResult json = tool(generateArgs(t.path, {QStringLiteral("--json")}));
        const QList<QJsonObject> objects = jsonObjects(json.out);
        QCOMPARE(objects.size(), 1);
        QCOMPARE(strings(objects[0].value(QStringLiteral("messages"))),
                 QStringList(10, QStringLiteral("Pas de table \"stat\"")));
        QCOMPARE(objects[0].value(QStringLiteral("id")).toInt(), 2);
    }

    // The store refuses the second row: the first stays stored, no third run is made.
    void errorEndsTheRuns() {
        ovtest::TempDatabase t;
        addCharacterTables(*t.db);
        t.db->run(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON OVperso WHEN NEW.Id = 1"
                                 " BEGIN SELECT RAISE(ABORT, 'disque plein'); END"));
        const ToolResult result = tool(generateArgs(
            t.path, {QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--json")}));
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(QStringLiteral("disque plein")), qPrintable(result.err));
        const QList<QJsonObject> objects = jsonObjects(result.out);
        QCOMPARE(objects.size(), 2);
        QVERIFY(!objects[0].contains(QStringLiteral("error")));
        const QJsonObject& failed = objects[1];
        // Not stored: it has no number to show.
        QVERIFY(!failed.contains(QStringLiteral("id")));
        QVERIFY(failed.value(QStringLiteral("error"))
                    .toString()
                    .contains(QStringLiteral("disque plein")));
        QCOMPARE(strings(failed.value(QStringLiteral("lines"))).size(), 9);
        for (const char* key : {"kind", "lines", "type", "messages"})
            QVERIFY(failed.contains(QLatin1String(key)));
        QCOMPARE(characters(*t.db).size(), 1);

        // Plain text: the memo of the failed run is still written, and said not to be kept.
        const ToolResult text =
            tool(generateArgs(t.path, {QStringLiteral("--count"), QStringLiteral("2")}));
        QCOMPARE(text.exitCode, 1);
        QCOMPARE(text.out.count(QLatin1Char('\n')), 10);
        QVERIFY(text.out.endsWith(QStringLiteral("\n(texte non enregistré)\n")));
        QCOMPARE(characters(*t.db).size(), 1);
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no kind") << QStringList{} << QStringLiteral("un seul type");
        QTest::newRow("two kinds")
            << QStringList{QStringLiteral("perso"), QStringLiteral("village")}
            << QStringLiteral("un seul type");
        QTest::newRow("unknown kind")
            << QStringList{QStringLiteral("dragon")} << QStringLiteral("type inconnu : dragon");
        QTest::newRow("kind with a letter too many")
            << QStringList{QStringLiteral("Persos")} << QStringLiteral("type inconnu : Persos");
        for (const char* count : {"0", "-1", "abc", "+3", "1.5", "", "99999999999"})
            QTest::newRow(qPrintable(QStringLiteral("count '%1'").arg(QLatin1String(count))))
                << QStringList{QStringLiteral("perso"), QStringLiteral("--count"),
                               QLatin1String(count)}
                << QStringLiteral("--count attend un entier positif");
        QTest::newRow("count without value")
            << QStringList{QStringLiteral("perso"), QStringLiteral("--count")}
            << QStringLiteral("l'option --count attend une valeur");
        QTest::newRow("bad seed") << QStringList{QStringLiteral("perso"), QStringLiteral("--seed"),
                                                 QStringLiteral("-1")}
                                  << QStringLiteral("--seed attend");
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("perso"), QStringLiteral("--vite")}
            << QStringLiteral("option inconnue : --vite");
    }
    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, problem);
        ovtest::TempDatabase t;
        const ToolResult result = inProcess(
            QStringList{QStringLiteral("generate"), QStringLiteral("--database"), t.path} + args);
        QCOMPARE(result.exitCode, 2);
        QVERIFY2(result.err.startsWith(QStringLiteral("Erreur : ")), qPrintable(result.err));
        QVERIFY2(result.err.contains(problem), qPrintable(result.err));
        QVERIFY(result.err.contains(QStringLiteral(
            "Usage : orvanthe-cli generate perso|tresor|rencontre|village|ID [--database FICHIER]"
            " [--seed N] [--count K] [--no-store] [--json]\n")));
        QCOMPARE(result.out, QString());
        QCOMPARE(recordCount(*t.db, OutputKind::Perso), 0);
    }

    void missingTableFailsBeforeAnyRun() {
        ovtest::TempDatabase t;
        t.db->run(QStringLiteral("DROP TABLE OVvillage"));
        const ToolResult result = tool(generateArgs(t.path, {}));
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(QStringLiteral("OVvillage")), qPrintable(result.err));
        QCOMPARE(result.out, QString());
        QCOMPARE(recordCount(*t.db, OutputKind::Perso), 0);
    }

    void progressOnATerminalOnly_data() {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("shown");
        QTest::newRow("terminal, many runs") << true << 150 << true;
        QTest::newRow("terminal, exactly 100 runs") << true << 100 << true;
        QTest::newRow("terminal, few runs") << true << 99 << false;
        QTest::newRow("no terminal") << false << 150 << false;
    }
    void progressOnATerminalOnly() {
        QFETCH(bool, terminal);
        QFETCH(int, count);
        QFETCH(bool, shown);
        ovtest::TempDatabase t;
        addCharacterTables(*t.db, {QStringLiteral("tale")});
        const ToolResult result =
            inProcess(generateArgs(t.path, {QStringLiteral("--no-store"), QStringLiteral("--json"),
                                            QStringLiteral("--count"), QString::number(count)}),
                      terminal);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(jsonObjects(result.out).size(), count);
        QVERIFY(!result.out.contains(QStringLiteral("Génération")));
        QCOMPARE(result.err.contains(QStringLiteral("\rGénération %1/%1").arg(count)), shown);
        QCOMPARE(result.err.contains(QStringLiteral("Génération")), shown);
        // Every message still stands whole on its own line.
        const QStringList errLines = result.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        int messages = 0;
        for (const QString& line : errLines) {
            const QString visible = line.section(QLatin1Char('\r'), -1);
            if (visible.startsWith(QStringLiteral("Pas de table")))
                ++messages;
            QVERIFY2(visible == QStringLiteral("Pas de table \"tale\"") ||
                         visible.startsWith(QStringLiteral("Génération ")),
                     qPrintable(line));
        }
        QVERIFY(messages > 0);
        if (shown)
            QVERIFY(result.err.endsWith(QStringLiteral("/%1\n").arg(count)));
    }

    void everyKindRuns_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("leadIn");
        QTest::newRow("perso") << QStringLiteral("perso")
                               << QString(42, QLatin1Char(' ')) + QStringLiteral("OV -0- ");
        QTest::newRow("tresor") << QStringLiteral("tresor") << QStringLiteral("OV -0- ");
        QTest::newRow("rencontre") << QStringLiteral("rencontre") << QStringLiteral("OV -0- ");
        QTest::newRow("village") << QStringLiteral("village") << QStringLiteral("OV -0- ");
    }
    void everyKindRuns() {
        QFETCH(QString, kind);
        QFETCH(QString, leadIn);
        ovtest::TempDatabase t; // the starter tables of a new database
        const ToolResult result = inProcess(
            {QStringLiteral("generate"), kind, QStringLiteral("--json"), QStringLiteral("--seed"),
             QStringLiteral("99"), QStringLiteral("--database"), t.path});
        const QList<QJsonObject> objects = jsonObjects(result.out);
        QCOMPARE(objects.size(), 1);
        const QJsonObject& object = objects.first();
        QCOMPARE(object.value(QStringLiteral("kind")).toString(), kind);
        QCOMPARE(object.value(QStringLiteral("id")).toInt(-1), 0);
        const QStringList lines = strings(object.value(QStringLiteral("lines")));
        QVERIFY(!lines.isEmpty());
        QVERIFY2(lines.first().startsWith(leadIn), qPrintable(lines.first()));
        QCOMPARE(result.exitCode, object.contains(QStringLiteral("error")) ? 1 : 0);
        QCOMPARE(recordCount(*t.db, *outputKindFromName(kind)), result.exitCode == 0 ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestCliGenerate)
#include "test_cli_generate.moc"
