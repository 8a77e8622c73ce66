// The tool's first verbs, run as a real process: init, draw, and usage errors.

#include "clirunner.h"
#include "testsupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using ovtest::tool;
using ovtest::ToolResult;

class TestCliBasic : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void initCreatesADatabaseOnce() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("neuve.db"));
        QCOMPARE(tool({QStringLiteral("init"), QStringLiteral("--database"), path}).exitCode, 0);
        ov::Database db(path);
        db.requireAllTables();
        const ToolResult again = tool({QStringLiteral("init"), QStringLiteral("--database"), path});
        QCOMPARE(again.exitCode, 1);
        QVERIFY(again.err.contains(QStringLiteral("existe déjà")));
    }

    void drawIsRepeatableWithASeed() {
        ovtest::TempDatabase t;
        ovtest::addTable(*t.db, QStringLiteral("dés"),
                         {{QStringLiteral("un"), 1},
                          {QStringLiteral("deux"), 1},
                          {QStringLiteral("trois"), 1},
                          {QStringLiteral("quatre"), 1}});
        QSet<QString> seen;
        for (quint32 seed : {0u, 1u, 7u, 99u, 4294967295u}) {
            const QStringList args{QStringLiteral("draw"),       QStringLiteral("dés"),
                                   QStringLiteral("--database"), t.path,
                                   QStringLiteral("--seed"),     QString::number(seed)};
            const ToolResult first = tool(args);
            QCOMPARE(first.exitCode, 0);
            QCOMPARE(tool(args).out, first.out);
            seen.insert(first.out.trimmed());
        }
        QVERIFY(seen.size() > 1);
    }

    // --count draws one after the other from the same dice; --json writes one object a line.
    void drawSeveralAsJson() {
        ovtest::TempDatabase t;
        ovtest::addTable(*t.db, QStringLiteral("dés"),
                         {{QStringLiteral("un"), 1}, {QStringLiteral("deux"), 3}});
        const QStringList base{QStringLiteral("draw"), QStringLiteral("dés"),
                               QStringLiteral("--database"), t.path, QStringLiteral("--seed=7")};
        const ToolResult single = tool(base);
        const ToolResult several =
            tool(base + QStringList{QStringLiteral("--count"), QStringLiteral("20"),
                                    QStringLiteral("--json")});
        QCOMPARE(several.exitCode, 0);
        const QStringList lines = several.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 20);
        QSet<QString> seen;
        for (const QString& line : lines) {
            const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
            QCOMPARE(object.value(QStringLiteral("id")).toString(), QStringLiteral("dés"));
            seen.insert(object.value(QStringLiteral("element")).toString());
        }
        QCOMPARE(seen, (QSet<QString>{QStringLiteral("un"), QStringLiteral("deux")}));
        QCOMPARE(QJsonDocument::fromJson(lines.first().toUtf8())
                         .object()
                         .value(QStringLiteral("element"))
                         .toString() +
                     u'\n',
                 single.out);
    }

    void drawFailures_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing table") << QStringList{QStringLiteral("draw"), QStringLiteral("zzz")}
                                       << 1 << QStringLiteral("Pas de table \"zzz\"");
        QTest::newRow("empty table") << QStringList{QStringLiteral("draw"), QStringLiteral("vide")}
                                     << 1 << QStringLiteral("Aucun élément dans la table \"vide\"");
        QTest::newRow("seed too large")
            << QStringList{QStringLiteral("draw"), QStringLiteral("vide"), QStringLiteral("--seed"),
                           QStringLiteral("4294967296")}
            << 2 << QStringLiteral("Usage");
        QTest::newRow("no id") << QStringList{QStringLiteral("draw")} << 2
                               << QStringLiteral("Usage");
        QTest::newRow("unknown option")
            << QStringList{QStringLiteral("draw"), QStringLiteral("x"), QStringLiteral("--vite")}
            << 2 << QStringLiteral("option inconnue");
        QTest::newRow("init without --database")
            << QStringList{QStringLiteral("init")} << 2
            << QStringLiteral("--database FICHIER est obligatoire");
        QTest::newRow("unknown verb")
            << QStringList{QStringLiteral("danser")} << 2 << QStringLiteral("commande inconnue");
    }
    void drawFailures() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        ovtest::TempDatabase t;
        ovtest::addTable(*t.db, QStringLiteral("vide"), {});
        if (args.size() > 1 && args.first() == QStringLiteral("draw"))
            args << QStringLiteral("--database") << t.path;
        const ToolResult result = tool(args);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QVERIFY(result.out.isEmpty());
    }

    void drawUsesTheAliasByDefault() {
        // The alias "OV" designates a new database in the isolated data folder.
        const ToolResult result = tool({QStringLiteral("draw"), QStringLiteral("inconnue")});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(QFile::exists(ov::defaultDatabasePath()));
    }

    // french writes a phrase as a French generator's line: words joined, each line apart.
    void frenchWritesThePhrase() {
        const ToolResult result = tool({QStringLiteral("french"), QStringLiteral("À le Ivre"),
                                        QStringLiteral("Sanglier\nde le or")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QStringLiteral("À l'Ivre Sanglier\nde l'or\n"));
        QCOMPARE(tool({QStringLiteral("french")}).exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(TestCliBasic)
#include "test_cli_basic.moc"
