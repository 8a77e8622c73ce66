// The tool explains itself: help for the tool and for every verb, the version, the examples of
// each help that are valid command lines, and the shell's completion of its command lines.

#include "clirunner.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
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

    // The installed manual page names every verb.
    void manualPageNamesEveryVerb() {
        QFile page(QDir(qEnvironmentVariable("OV_SOURCE_DIR"))
                       .filePath(QStringLiteral("dist/orvanthe-cli.6")));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        for (const auto& command : ov::cli::allCommands()) {
            const QString verb = command->name()
                                     .section(u' ', 0, 0)
                                     .replace(QStringLiteral("-"), QStringLiteral("\\-"));
            QVERIFY2(text.contains(QStringLiteral("\n.B ") + verb + u' '), qPrintable(verb));
        }
    }

    // The installed completion script, in bash, on the real tool: the words typed so far, the
    // word being typed, and what it may become.
    void shellCompletion_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("a verb") << QStringList{QStringLiteral("hist")}
                                << QStringList{QStringLiteral("history")};
        QTest::newRow("an action")
            << QStringList{QStringLiteral("generators"), QStringLiteral("ex")}
            << QStringList{QStringLiteral("export")};
        QTest::newRow("an option")
            << QStringList{QStringLiteral("generate"), QStringLiteral("--no")}
            << QStringList{QStringLiteral("--no-store")};
        QTest::newRow("a kind") << QStringList{QStringLiteral("print"), QStringLiteral("vil")}
                                << QStringList{QStringLiteral("village")};
        QTest::newRow("a file after --pdf")
            << QStringList{QStringLiteral("print"), QStringLiteral("perso"),
                           QStringLiteral("--pdf"), QStringLiteral("@DIR@/ra")}
            << QStringList{QStringLiteral("@DIR@/rapport.pdf")};
        QTest::newRow("no file after --seed")
            << QStringList{QStringLiteral("draw"), QStringLiteral("yeux"), QStringLiteral("--seed"),
                           QStringLiteral("@DIR@/ra")}
            << QStringList{};
    }
    void shellCompletion() {
        QFETCH(QStringList, words);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("rapport.pdf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        words.replaceInStrings(QStringLiteral("@DIR@"), dir.path());
        expected.replaceInStrings(QStringLiteral("@DIR@"), dir.path());
        const QStringList args =
            QStringList{QStringLiteral("-c"),
                        QStringLiteral("source \"$1\"; shift; COMP_WORDS=(\"$@\");"
                                       " COMP_CWORD=$(($# - 1)); _orvanthe_cli;"
                                       " printf '%s\\n' \"${COMPREPLY[@]}\""),
                        QStringLiteral("bash"),
                        QDir(qEnvironmentVariable("OV_SOURCE_DIR"))
                            .filePath(QStringLiteral("dist/orvanthe-cli.bash")),
                        qEnvironmentVariable("OV_CLI")} +
            words;
        QProcess bash;
        bash.start(QStringLiteral("bash"), args);
        QVERIFY(bash.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(bash.readAllStandardError()), QString());
        QCOMPARE(QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts),
                 expected);
    }
};

QTEST_GUILESS_MAIN(TestCliHelp)
#include "test_cli_help.moc"
