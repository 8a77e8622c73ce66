// The tool explains itself: help for the tool and for every verb, the version, and the examples
// of each help that are valid command lines.

#include "clirunner.h"
#include "testsupport.h"

#include <QTest>

using ovtest::inProcess;
using ovtest::ToolResult;

class TestCliHelp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void toolHelpListsEveryVerb_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")};
        QTest::newRow("-h") << QStringList{QStringLiteral("-h")};
        QTest::newRow("help") << QStringList{QStringLiteral("help")};
    }
    void toolHelpListsEveryVerb() {
        QFETCH(QStringList, args);
        const ToolResult result = ovtest::tool(args);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QString());
        for (const auto& command : ov::cli::allCommands())
            QVERIFY2(result.out.contains(QStringLiteral("\n  ") + command->name() + u' '),
                     qPrintable(command->name()));
    }

    void verbHelp_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("verb");
        for (const auto& command : ov::cli::allCommands()) {
            const QString name = command->name();
            const QStringList words = name.split(u' ');
            QTest::addRow("help %s", qPrintable(name))
                << QStringList{QStringLiteral("help")} + words << name;
            QTest::addRow("%s --help", qPrintable(name))
                << words + QStringList{QStringLiteral("--help")} << name;
            QTest::addRow("%s -h", qPrintable(name))
                << words + QStringList{QStringLiteral("-h")} << name;
        }
        // A verb with actions explains all of them.
        QTest::newRow("help tables")
            << QStringList{QStringLiteral("help"), QStringLiteral("tables")}
            << QStringLiteral("tables show");
        QTest::newRow("tables --help")
            << QStringList{QStringLiteral("tables"), QStringLiteral("--help")}
            << QStringLiteral("tables import");
    }
    void verbHelp() {
        QFETCH(QStringList, args);
        QFETCH(QString, verb);
        const ToolResult result = inProcess(args);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QString());
        for (const auto& command : ov::cli::allCommands()) {
            if (command->name() != verb)
                continue;
            QVERIFY(result.out.contains(QStringLiteral("Usage : ") + command->usage() + u'\n'));
            for (const ov::cli::OptionDeclaration& option : command->declaration().options)
                QVERIFY2(result.out.contains(QStringLiteral("\n  --") + option.name),
                         qPrintable(option.name));
            QVERIFY(result.out.contains(QStringLiteral("\nExemples :\n")));
        }
    }

    // Every example of every help is a command line that the verb accepts.
    void examplesAreValidCommandLines() {
        for (const auto& command : ov::cli::allCommands()) {
            const ov::cli::VerbDeclaration declaration = command->declaration();
            QCOMPARE(declaration.examples.size(), 2);
            for (const QString& example : declaration.examples) {
                const QString prefix = QStringLiteral("orvanthe-cli ") + declaration.name;
                QVERIFY2(example.startsWith(prefix) &&
                             example.mid(prefix.size(), 1).trimmed().isEmpty(),
                         qPrintable(example));
                const QStringList args = example.mid(prefix.size())
                                             .section(QStringLiteral(" |"), 0, 0)
                                             .section(QStringLiteral(" >"), 0, 0)
                                             .split(u' ', Qt::SkipEmptyParts);
                ov::cli::Options options;
                bool help = false;
                const auto problem = ov::cli::parseArguments(declaration, args, options, help);
                QVERIFY2(!problem,
                         qPrintable(example + QStringLiteral(" : ") + problem.value_or(QString())));
            }
        }
    }

    void versionOnBothPrograms() {
        const ToolResult result = ovtest::tool({QStringLiteral("--version")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out, QStringLiteral("orvanthe-cli " OV_VERSION "\n"));
        QProcess window;
        window.start(qEnvironmentVariable("OV_WINDOW"), {QStringLiteral("--version")});
        QVERIFY(window.waitForFinished(60000));
        QCOMPARE(window.exitCode(), 0);
        QCOMPARE(window.readAllStandardOutput(), QByteArray("orvanthe " OV_VERSION "\n"));
    }

    void unknownVerbInHelp() {
        const ToolResult result = inProcess({QStringLiteral("help"), QStringLiteral("danser")});
        QCOMPARE(result.exitCode, 2);
        QVERIFY(result.err.contains(QStringLiteral("commande inconnue : danser")));
        QVERIFY(result.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliHelp)
#include "test_cli_help.moc"
