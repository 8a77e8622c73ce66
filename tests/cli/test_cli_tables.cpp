// The verb tables: check of a new and of a damaged database, export and import, usage errors.

#include "clirunner.h"
#include "tables/tablefile.h"
#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QTest>
#include <sys/stat.h>

using namespace ov;
using namespace Qt::StringLiterals;
using ovtest::ToolResult;

namespace {

// Runs the verb in this process.
ToolResult tables(const QStringList& args) {
    return ovtest::inProcess(QStringList{QStringLiteral("tables")} + args);
}

QByteArray contents(const Database& db) {
    return formatTableFile(loadRandomTables(db)) +
           db.scalar(QStringLiteral("SELECT group_concat(t) FROM (SELECT Id || ':' || NbrElement"
                                    " || '/' || TotProba AS t FROM OVmaster ORDER BY Id)"))
               .toString()
               .toUtf8();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestCliTables : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void aDatabaseMadeByInitChecksClean() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("neuve.db"));
        QCOMPARE(
            ovtest::tool({QStringLiteral("init"), QStringLiteral("--database"), path}).exitCode, 0);
        const ToolResult check = ovtest::tool({QStringLiteral("tables"), QStringLiteral("check"),
                                               QStringLiteral("--database"), path});
        QCOMPARE(check.out,
                 QStringLiteral("Aucun problème : les tables des quatre générateurs sont "
                                "complètes.\n"));
        QCOMPARE(check.exitCode, 0);
    }

    void checkListsEveryProblem() {
        ovtest::TempDatabase t;
        const Database& db = *t.db;
        for (const char* id : {"stat", "tret"}) {
            db.run(QStringLiteral("DELETE FROM OVslave WHERE ID = ?"), {QString::fromLatin1(id)});
            db.run(QStringLiteral("DELETE FROM OVmaster WHERE Id = ?"), {QString::fromLatin1(id)});
        }
        db.run(QStringLiteral("DELETE FROM OVslave WHERE ID = 'tale'"));
        const auto add = [&db](const char* id, const QString& text) {
            db.run(QStringLiteral("INSERT INTO OVslave (ID, Element, Proba) VALUES (?, ?, 1)"),
                   {QString::fromLatin1(id), text});
        };
        add("age", QStringLiteral("adulte"));
        add("cel", QStringLiteral("5"));
        add("tytr", QStringLiteral("trzz Truc"));
        add("tytr", QStringLiteral("trjoJoyau"));
        add("renc", QStringLiteral("RCRE Dragon"));
        add("trmo", QStringLiteral("5 p pièces"));
        add("trmo", QStringLiteral("-12 dettes"));
        add("trmo", QStringLiteral("000 rien")); // zero is no problem
        ovtest::setTotals(db, QStringLiteral("sexe"), 5, 99);

        const ToolResult result =
            tables({QStringLiteral("check"), QStringLiteral("--database"), t.path});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.out.split(QLatin1Char('\n')),
                 (QStringList{
                     QStringLiteral("Table « stat » absente (tirée par le générateur de "
                                    "personnages)"),
                     QStringLiteral("Table « tale » vide (tirée par le générateur de personnages)"),
                     QStringLiteral("Table « tret » absente (tirée par les générateurs de trésors "
                                    "et de rencontres)"),
                     QStringLiteral("Table « age », élément « adulte » : le texte doit commencer "
                                    "par un chiffre de 1 à 7 (nombre de talents)"),
                     QStringLiteral("Table « cel », élément « 5 » : le texte doit commencer par "
                                    "0, 1, 3 ou 7 (nombre d'armes)"),
                     QStringLiteral("Table « tytr », élément « trzz Truc » : le code « trzz » ne "
                                    "désigne aucune table"),
                     QStringLiteral("Table « tytr », élément « trjoJoyau » : le code doit être "
                                    "suivi d'un séparateur (un blanc) avant le texte"),
                     QStringLiteral("Table « renc », élément « RCRE Dragon » : le code « RCRE » "
                                    "n'est pas une catégorie (rcre, rhum, rani, rcon, rmet, rter, "
                                    "reve, robj)"),
                     QStringLiteral("Table « trmo », élément « 5 p pièces » : les trois premiers "
                                    "caractères « 5 p » ne forment pas un nombre entier "
                                    "(quantité)"),
                     QStringLiteral("Table « trmo », élément « -12 dettes » : la quantité « -12 » "
                                    "est négative"),
                     QStringLiteral("Table « sexe » : totaux enregistrés (5 éléments, total 99) "
                                    "différents des éléments (6 éléments, total 99)"),
                     QStringLiteral("11 problèmes trouvés."), QString()}));
        QVERIFY(result.err.isEmpty());
    }

    void exportThenImportGivesIdenticalTables() {
        ovtest::TempDatabase source;
        ovtest::addTable(*source.db, QStringLiteral("mien"),
                         {{QStringLiteral("un, deux"), 2}, {QStringLiteral(" « trois »"), 5}},
                         QStringLiteral("Ma table"));
        const QString file = source.dir.filePath(QStringLiteral("export.csv"));
        const ToolResult exported =
            tables({QStringLiteral("export"), file, QStringLiteral("--database"), source.path});
        QCOMPARE(exported.exitCode, 0);
        const int tableCount =
            source.db->scalar(QStringLiteral("SELECT count(*) FROM OVmaster")).toInt();
        QVERIFY2(exported.out.startsWith(QStringLiteral("Exporté : %1 tables, ").arg(tableCount)),
                 qPrintable(exported.out));

        ovtest::TempDatabase target;
        const QByteArray before = contents(*target.db);
        const QStringList importArgs{QStringLiteral("import"), file, QStringLiteral("--database"),
                                     target.path};
        const ToolResult refused = tables(importArgs);
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.startsWith(QStringLiteral("ligne 2 : la table « age » existe déjà "
                                                       "dans la base\n")),
                 qPrintable(refused.err));
        // One problem a starter table already there, the first twenty of them shown.
        QVERIFY(refused.err.contains(
            QStringLiteral("… et %1 autre(s) problème(s)\n").arg(tableCount - 1 - 20)));
        QVERIFY(refused.err.endsWith(QStringLiteral("Rien n'a été importé ; --replace remplace "
                                                    "les tables qui existent déjà.\n")));
        QCOMPARE(contents(*target.db), before);

        const ToolResult replaced = tables(importArgs + QStringList{QStringLiteral("--replace")});
        QCOMPARE(replaced.exitCode, 0);
        QVERIFY2(replaced.out.startsWith(QStringLiteral("Importé : %1 tables, ").arg(tableCount)) &&
                     replaced.out.endsWith(
                         QStringLiteral(" éléments (%1 tables remplacées)\n").arg(tableCount - 1)),
                 qPrintable(replaced.out));
        QCOMPARE(contents(*target.db), contents(*source.db));
    }

    void summariesInFrench_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("summary");
        QTest::newRow("one of each")
            << QByteArray("abcd,A,x,1\n") << QStringLiteral("Importé : 1 table, 1 élément\n");
        QTest::newRow("two of each") << QByteArray("abcd,A,x,1\nabcd,A,y,1\nefgh,E,z,1\n")
                                     << QStringLiteral("Importé : 2 tables, 3 éléments\n");
    }
    void summariesInFrench() {
        QFETCH(QByteArray, body);
        QFETCH(QString, summary);
        ovtest::TempDatabase t;
        const QString path = t.dir.filePath(QStringLiteral("tables.csv"));
        writeFile(path, "Id,Nom,Element,Proba\n" + body);
        const ToolResult result =
            tables({QStringLiteral("import"), path, QStringLiteral("--database"), t.path});
        QCOMPARE(result.out, summary);
    }

    void malformedFileIsRefusedWithItsLine() {
        ovtest::TempDatabase t;
        const QString file = t.dir.filePath(QStringLiteral("abime.csv"));
        writeFile(file, "Id,Nom,Element,Proba\nneuf,Neuf,a,1\nage,\xC3\x82ge,20,vingt\n");
        const QByteArray before = contents(*t.db);
        const ToolResult result =
            tables({QStringLiteral("import"), file, QStringLiteral("--replace"),
                    QStringLiteral("--database"), t.path});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err,
                 QStringLiteral("ligne 3 : poids « vingt » incorrect (un nombre entier "
                                "de 0 à 1 000 000 000 est attendu)\nRien n'a été importé.\n"));
        QCOMPARE(contents(*t.db), before);
    }

    // A file separated by semicolons, as French spreadsheets write it, gives the same tables as
    // one separated by commas.
    void semicolonsReadLikeCommas_data() {
        QTest::addColumn<QByteArray>("commas");
        QTest::addColumn<QByteArray>("semicolons");
        QTest::newRow("plain")
            << QByteArray("Id,Nom,Element,Proba\nyx,Yeux,bleus,2\nyx,Yeux,verts,1\n")
            << QByteArray("Id;Nom;Element;Proba\nyx;Yeux;bleus;2\nyx;Yeux;verts;1\n");
        QTest::newRow("quoted, empty table, CRLF")
            << QByteArray("Proba,Element,Id,Nom\r\n3,\"a, b\",q,\"x;y\"\r\n,,v,Vide\r\n")
            << QByteArray("\xEF\xBB\xBFProba;Element;Id;Nom\r\n3;a, b;q;\"x;y\"\r\n;;v;Vide\r\n");
    }
    void semicolonsReadLikeCommas() {
        QFETCH(QByteArray, commas);
        QFETCH(QByteArray, semicolons);
        QByteArray exported[2];
        for (int i = 0; i < 2; ++i) {
            ovtest::TempDatabase t;
            ovtest::clearRandomTables(*t.db);
            const QString file = t.dir.filePath(QStringLiteral("tables.csv"));
            writeFile(file, i == 0 ? commas : semicolons);
            const ToolResult imported =
                tables({QStringLiteral("import"), file, QStringLiteral("--database"), t.path});
            QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
            exported[i] = contents(*t.db);
        }
        QCOMPARE(exported[1], exported[0]);
        QVERIFY(exported[0].contains("Yeux") || exported[0].contains("\"a, b\""));
    }

    void latin1FileRefused() {
        ovtest::TempDatabase t;
        const QByteArray before = contents(*t.db);
        const QString file = t.dir.filePath(QStringLiteral("latin1.csv"));
        writeFile(file,
                  QByteArray("Id;Nom;Element;Proba\nyx;Yeux;bleus;2\nyx;Yeux;\xE9meraude;1\n"));
        const ToolResult result =
            tables({QStringLiteral("import"), file, QStringLiteral("--database"), t.path});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, QStringLiteral("ligne 3 : texte qui n'est pas en UTF-8\nRien n'a été "
                                            "importé.\n"));
        QCOMPARE(contents(*t.db), before);
    }

    void skipExistingKeepsWhatIsThere() {
        ovtest::TempDatabase t;
        ovtest::addTable(*t.db, QStringLiteral("yx"), {{QStringLiteral("gris"), 5}},
                         QStringLiteral("Yeux"));
        const QString file = t.dir.filePath(QStringLiteral("tables.csv"));
        writeFile(file, "Id,Nom,Element,Proba\nyx,Yeux,bleus,2\nnv,Neuve,un,1\n");
        const ToolResult result =
            tables({QStringLiteral("import"), file, QStringLiteral("--skip-existing"),
                    QStringLiteral("--database"), t.path});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.out,
                 QStringLiteral("Importé : 1 table, 1 élément (1 table existante gardée)\n"));
        const ToolResult shown = tables(
            {QStringLiteral("show"), QStringLiteral("yx"), QStringLiteral("--database"), t.path});
        QCOMPARE(shown.out, QStringLiteral("yx : Yeux (1 élément)\n  5\tgris\n"));
        const ToolResult listed =
            tables({QStringLiteral("list"), QStringLiteral("--database"), t.path});
        QVERIFY(listed.out.contains(QStringLiteral("\nnv\tNeuve\t1 élément\ttotal 1\n")));
    }

    // "-" writes the file on standard output, the same bytes as the file, the summary on standard
    // error.
    void exportToStandardOutput() {
        ovtest::TempDatabase t;
        const QString file = t.dir.filePath(QStringLiteral("tables.csv"));
        QCOMPARE(
            tables({QStringLiteral("export"), file, QStringLiteral("--database"), t.path}).exitCode,
            0);
        const ToolResult result =
            ovtest::tool({QStringLiteral("tables"), QStringLiteral("export"), QStringLiteral("-"),
                          QStringLiteral("--database"), t.path});
        QCOMPARE(result.exitCode, 0);
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(result.out, QString::fromUtf8(written.readAll()));
        QVERIFY(result.err.startsWith(QStringLiteral("Exporté : ")));
        QVERIFY(!QFile::exists(QStringLiteral("-")));
    }

    // The export checks every write: a full device fails, a pipe or standard output is written
    // straight, and a write that fails over an existing file leaves its bytes as they were.
    void checkedWrites_data() {
        QTest::addColumn<QString>("target"); // @DIR@: the test's folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("limit"); // before the tool: bash's limit on file sizes
        QTest::newRow("full device") << u"/dev/full"_s << 1 << QString();
        QTest::newRow("standard output") << u"/dev/stdout"_s << 0 << QString();
        QTest::newRow("pipe") << u"@DIR@/tuyau"_s << 0 << QString();
        QTest::newRow("existing file, write failing midway")
            << u"@DIR@/ancien.csv"_s << 1 << u"trap '' XFSZ; ulimit -f 48; "_s;
    }
    void checkedWrites() {
        QFETCH(QString, target);
        QFETCH(int, exitCode);
        QFETCH(QString, limit);
        ovtest::TempDatabase t;
        target.replace(u"@DIR@"_s, t.dir.path());
        if (target.endsWith(u"tuyau"_s))
            QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        const QByteArray old = "ancien contenu\n";
        if (target.endsWith(u"ancien.csv"_s)) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
        }
        const QStringList filesBefore = QDir(t.dir.path()).entryList(QDir::Files);
        QProcess process;
        process.start(u"bash"_s,
                      {u"-c"_s, limit + u"exec \"$0\" \"$@\""_s, qEnvironmentVariable("OV_CLI"),
                       u"tables"_s, u"export"_s, target, u"--database"_s, t.path});
        QByteArray piped;
        if (target.endsWith(u"tuyau"_s)) {
            QFile pipe(target);
            QVERIFY(pipe.open(QIODevice::ReadOnly));
            piped = pipe.readAll();
        }
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), exitCode);
        const QByteArray out = process.readAllStandardOutput();
        const QByteArray err = process.readAllStandardError();
        const QByteArray exported = tableFileBytes(loadRandomTables(*t.db));
        if (exitCode != 0)
            QVERIFY2(
                QString::fromUtf8(err).startsWith(u"Impossible d'écrire le fichier "_s + target),
                err);
        if (target == u"/dev/stdout"_s)
            QVERIFY(out.startsWith(exported));
        if (target.endsWith(u"tuyau"_s))
            QCOMPARE(piped, exported);
        if (target.endsWith(u"ancien.csv"_s)) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), old);
            QCOMPARE(QDir(t.dir.path()).entryList(QDir::Files), filesBefore);
        }
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no action") << QStringList{} << 2 << QStringLiteral("donnez une action");
        QTest::newRow("unknown action") << QStringList{QStringLiteral("trier")} << 2
                                        << QStringLiteral("action inconnue : trier");
        QTest::newRow("export without file") << QStringList{QStringLiteral("export")} << 2
                                             << QStringLiteral("le fichier des tables manque");
        QTest::newRow("two files")
            << QStringList{QStringLiteral("import"), QStringLiteral("a"), QStringLiteral("b")} << 2
            << QStringLiteral("argument en trop : b");
        QTest::newRow("check with a file")
            << QStringList{QStringLiteral("check"), QStringLiteral("x")} << 2
            << QStringLiteral("argument en trop : x");
        QTest::newRow("replace on export")
            << QStringList{QStringLiteral("export"), QStringLiteral("f"),
                           QStringLiteral("--replace")}
            << 2 << QStringLiteral("option inconnue : --replace");
        QTest::newRow("database without value")
            << QStringList{QStringLiteral("import"), QStringLiteral("f"),
                           QStringLiteral("--database")}
            << 2 << QStringLiteral("l'option --database attend une valeur");
        QTest::newRow("missing database")
            << QStringList{QStringLiteral("check"), QStringLiteral("--database"),
                           QStringLiteral("@DIR@/absente.db")}
            << 1 << QStringLiteral("/absente.db n'existe pas (orvanthe-cli init la crée).");
        QTest::newRow("missing file to import")
            << QStringList{QStringLiteral("import"), QStringLiteral("@DIR@/rien.csv"),
                           QStringLiteral("--database"), QStringLiteral("@DB@")}
            << 1 << QStringLiteral("Impossible de lire le fichier");
        QTest::newRow("export where nothing can be written")
            << QStringList{QStringLiteral("export"), QStringLiteral("@DIR@/pas/de/dossier.csv"),
                           QStringLiteral("--database"), QStringLiteral("@DB@")}
            << 1 << QStringLiteral("Impossible d'écrire le fichier");
        QTest::newRow("export over the database itself")
            << QStringList{QStringLiteral("export"), QStringLiteral("@DB@"),
                           QStringLiteral("--database"), QStringLiteral("@DB@")}
            << 1 << QStringLiteral("ne peut pas être la base elle-même");
        QTest::newRow("replace and skip")
            << QStringList{QStringLiteral("import"), QStringLiteral("f"),
                           QStringLiteral("--replace"), QStringLiteral("--skip-existing")}
            << 2 << QStringLiteral("--replace et --skip-existing s'excluent");
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        ovtest::TempDatabase t;
        for (QString& arg : args)
            arg.replace(QStringLiteral("@DIR@"), t.dir.path())
                .replace(QStringLiteral("@DB@"), t.path);
        const ToolResult result = tables(args);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        if (exitCode == 2)
            QVERIFY(result.err.contains(QStringLiteral(
                "Usage : orvanthe-cli tables export FICHIER [--database FICHIER] [--format FORMAT] "
                "[--table ID]\n")));
        QVERIFY(result.out.isEmpty());
        QVERIFY(!QFile::exists(t.dir.filePath(QStringLiteral("absente.db"))));
        t.db->requireAllTables();
    }
};

QTEST_GUILESS_MAIN(TestCliTables)
#include "test_cli_tables.moc"
