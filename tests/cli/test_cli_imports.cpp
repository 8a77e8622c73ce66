// Tables from other tools through the real tool: each format read or refused with its place,
// roll-table JSON written and read back, a generator sent with its tables to other bases.

#include "clirunner.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using ovtest::tool;
using ovtest::ToolResult;

namespace {

QString fixture(const QString& name) {
    return qEnvironmentVariable("OV_TEST_DATA") + QStringLiteral("/imports/") + name;
}

ToolResult on(const QString& base, QStringList args) {
    return tool(args << QStringLiteral("--database") << base);
}

// The tables as the tool shows them, one after the other.
QString shown(const QString& base, const QStringList& ids) {
    QString text;
    for (const QString& id : ids)
        text += on(base, {QStringLiteral("tables"), QStringLiteral("show"), id}).out;
    return text;
}

QString texts(const QString& base, const QString& generator) {
    return on(base, {QStringLiteral("generate"), generator, QStringLiteral("--seed"),
                     QStringLiteral("11"), QStringLiteral("--count"), QStringLiteral("4"),
                     QStringLiteral("--no-store")})
        .out;
}

} // namespace

class TestCliImports : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void eachFormatIsReadOrRefusedWithItsPlace_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("expected"); // the import's output, then the tables shown
        QTest::addColumn<QString>("refusal");  // or the first line of the refusal
        const auto row = [](const char* name, const char* file, QStringList options,
                            const char* expected, const char* refusal = "") {
            QTest::newRow(name) << QString::fromUtf8(file) << options << QString::fromUtf8(expected)
                                << QString::fromUtf8(refusal);
        };
        row("json, older shape, document result", "rumeurs-ancien.json", {},
            "Table « Rumeurs du port » : identifiant rume\nImporté : 1 table, 3 éléments\n"
            "rume : Rumeurs du port (3 éléments)\n  2\tLe capitaine doit de l'or\n"
            "  1\tLe phare est hanté\n  3\tPirate borgne\n");
        row("json, newer shape, two tables", "rencontres-recent.json", {},
            "Table « Routes » : identifiant rout\nTable « Météo » : identifiant mete\n"
            "Importé : 2 tables, 4 éléments\nrout : Routes (2 éléments)\n"
            "  4\tUne auberge & ses clients\n  6\tGobelin\nmete : Météo (2 éléments)\n"
            "  3\tPluie\n  1\tGrand soleil\n");
        row("book d6, en dash, --id", "rumeurs-d6.txt",
            {QStringLiteral("--id"), QStringLiteral("r6")},
            "Importé : 1 table, 4 éléments\nr6 : Rumeurs (4 éléments)\n  2\tLe meunier ment\n"
            "  2\tUn loup rôde\n  1\tLa reine est malade\n  1\tRien de neuf\n");
        // The starter tables have « renc »: a digit makes the Id free.
        row("markdown d20 under a heading", "rencontres-d20.md", {},
            "Table « Rencontres nocturnes » : identifiant ren2\nImporté : 1 table, 3 éléments\n"
            "ren2 : Rencontres nocturnes (3 éléments)\n  10\tUn hibou\n  9\tDes bandits\n"
            "  1\tUn spectre\n");
        row("book d100, 00 is 100, --nom", "tresors-d100.txt",
            {QStringLiteral("--nom"), QStringLiteral("Butin")},
            "Table « Butin » : identifiant buti\nImporté : 1 table, 3 éléments\n"
            "buti : Butin (3 éléments)\n  50\tRien\n  45\tDes pièces\n  5\tUne couronne\n");
        row("plain list", "chevaux.txt", {},
            "Table « Noms de chevaux » : identifiant noms\nImporté : 1 table, 3 éléments\n"
            "noms : Noms de chevaux (3 éléments)\n  1\tÉclair\n  1\tTonnerre\n  1\tBrume\n");
        row("our csv under another extension", "couleurs.txt", {},
            "Importé : 1 table, 2 éléments\ncoul : Couleurs (2 éléments)\n  2\tRouge\n  1\tVert\n");
        row("json overlap", "chevauchement.json", {}, "",
            "chevauchement.json, ligne 3, table « Pièges », résultat 2 : la plage 3-6 de "
            "« Fléchettes » chevauche la plage 1-3 de « Fosse »");
        row("json gap", "trou.json", {}, "",
            "trou.json, ligne 3, table « Pièges », résultat 2 : aucun résultat pour 3, entre la "
            "plage 1-2 de « Fosse » et la plage 4-6 de « Fléchettes »");
        row("book gap", "trou-d6.txt", {}, "",
            "trou-d6.txt, ligne 3 : aucun résultat pour 3, entre la plage 1-2 de « Nord » et la "
            "plage 4-6 de « Sud »");
        row("element too long", "trop-long.txt", {}, "",
            "trop-long.txt, ligne 3 : élément trop long (67 caractères, 60 au plus) : « Une épée "
            "longue forgée par les nains des montagnes du nord l… »");
        row("control character", "controle.txt", {}, "",
            "controle.txt, ligne 3, colonne 4 : caractère de contrôle U+0001 interdit");
        row("--id for several tables", "rencontres-recent.json",
            {QStringLiteral("--id"), QStringLiteral("x")}, "",
            "--id et --nom ne valent que pour un fichier d'une seule table ; celui-ci en a 2");
    }

    void eachFormatIsReadOrRefusedWithItsPlace() {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QFETCH(QString, expected);
        QFETCH(QString, refusal);
        ovtest::TempDatabase t;
        const QString before = on(t.path, {QStringLiteral("tables"), QStringLiteral("list")}).out;
        const ToolResult result = on(
            t.path, QStringList{QStringLiteral("tables"), QStringLiteral("import"), fixture(file)} +
                        options);
        if (refusal.isEmpty()) {
            QCOMPARE(result.err, QString());
            QStringList ids;
            for (const QString& line : result.out.split(QLatin1Char('\n')))
                if (line.contains(QStringLiteral(" : identifiant ")))
                    ids.append(line.section(QLatin1Char(' '), -1));
            if (ids.isEmpty())
                ids.append(options.isEmpty() ? QStringLiteral("coul") : options.last());
            QCOMPARE(result.out + shown(t.path, ids), expected);
            QCOMPARE(result.exitCode, 0);
        } else {
            QCOMPARE(result.err.section(QLatin1Char('\n'), 0, 0), refusal);
            QCOMPARE(result.exitCode, 1);
            QCOMPARE(on(t.path, {QStringLiteral("tables"), QStringLiteral("list")}).out, before);
        }
    }

    void rollTableJsonGoesOutAndComesBack() {
        ovtest::TempDatabase from;
        ovtest::addTable(*from.db, QStringLiteral("pluz"),
                         {{QStringLiteral("Bruine"), 3},
                          {QStringLiteral("Jamais"), 0},
                          {QStringLiteral("Orage"), 2}},
                         QStringLiteral("Pluies"));
        const QString json = from.dir.filePath(QStringLiteral("out.json"));
        const ToolResult out =
            on(from.path,
               {QStringLiteral("tables"), QStringLiteral("export"), json,
                QStringLiteral("--format"), QStringLiteral("foundry"), QStringLiteral("--table"),
                QStringLiteral("pluz"), QStringLiteral("--table"), QStringLiteral("yeux")});
        QCOMPARE(out.exitCode, 0);
        ovtest::TempDatabase to;
        ovtest::clearRandomTables(*to.db);
        const ToolResult in =
            on(to.path, {QStringLiteral("tables"), QStringLiteral("import"), json});
        QCOMPARE(in.out, QStringLiteral("Table « Pluies » : identifiant plui\n"
                                        "Table « Couleur des yeux » : identifiant coul\n"
                                        "Importé : 2 tables, 14 éléments\n"));
        // The element of weight 0, never drawn, has no range to travel in.
        QCOMPARE(shown(to.path, {QStringLiteral("plui")}),
                 QStringLiteral("plui : Pluies (2 éléments)\n  3\tBruine\n  2\tOrage\n"));
        const QString yeux = shown(from.path, {QStringLiteral("yeux")});
        QCOMPARE(shown(to.path, {QStringLiteral("coul")}).section(QLatin1Char('\n'), 1),
                 yeux.section(QLatin1Char('\n'), 1));
    }

    void aGeneratorTravelsWithItsTables() {
        ovtest::TempDatabase home;
        ovtest::addTable(*home.db, QStringLiteral("bois"),
                         {{QStringLiteral("cidre"), 2}, {QStringLiteral("[bier] brune"), 1}});
        ovtest::addTable(*home.db, QStringLiteral("bier"),
                         {{QStringLiteral("bière"), 1}, {QStringLiteral("ale"), 3}});
        QFile ovgen(home.dir.filePath(QStringLiteral("comptoir.ovgen")));
        QVERIFY(ovgen.open(QIODevice::WriteOnly));
        ovgen.write("Id: comptoir\nNom: Au comptoir\n---\nOn boit : [bois*3]\n[x = bois]{x} !\n");
        ovgen.close();
        QCOMPARE(on(home.path,
                    {QStringLiteral("generators"), QStringLiteral("import"), ovgen.fileName()})
                     .exitCode,
                 0);
        const ToolResult sent =
            on(home.path,
               {QStringLiteral("generators"), QStringLiteral("export"), QStringLiteral("comptoir"),
                QStringLiteral("--with-tables"), QStringLiteral("--output"), home.dir.path()});
        const QString pack = home.dir.filePath(QStringLiteral("comptoir.ovpack"));
        QCOMPARE(sent.out, pack + QLatin1Char('\n'));
        const QString expected = texts(home.path, QStringLiteral("comptoir"));
        QVERIFY(expected.contains(QStringLiteral("brune")));
        const QStringList import{QStringLiteral("generators"), QStringLiteral("import"), pack};

        ovtest::TempDatabase fresh;
        QCOMPARE(on(fresh.path, import).out,
                 QStringLiteral("Générateur « comptoir » importé\nTables ajoutées : bois, bier\n"));
        QCOMPARE(texts(fresh.path, QStringLiteral("comptoir")), expected);

        // A friend's base whose « bier » is another table, and whose « bois » is the same but
        // names that other « bier »: both must go under new Ids, the template following.
        ovtest::TempDatabase friendly;
        ovtest::addTable(*friendly.db, QStringLiteral("bier"), {{QStringLiteral("kriek"), 1}});
        ovtest::addTable(*friendly.db, QStringLiteral("bois"),
                         {{QStringLiteral("cidre"), 2}, {QStringLiteral("[bier] brune"), 1}});
        const ToolResult refused = on(friendly.path, import);
        QCOMPARE(refused.err, QStringLiteral("la table « bier » existe déjà dans la base, "
                                             "différente\nRien n'a été importé ; --rename donne "
                                             "d'autres identifiants, --replace remplace.\n"));
        QCOMPARE(refused.exitCode, 1);
        QCOMPARE(on(friendly.path, {QStringLiteral("generators"), QStringLiteral("list")}).out,
                 on(fresh.path, {QStringLiteral("generators"), QStringLiteral("list")})
                     .out.remove(QRegularExpression(QStringLiteral("comptoir[^\n]*\n"))));

        QCOMPARE(on(friendly.path, import + QStringList{QStringLiteral("--rename")}).out,
                 QStringLiteral("Générateur « comptoir » importé\nTables ajoutées : boi2, bie2\n"
                                "Table « bier » renommée « bie2 » (modèle et textes réécrits)\n"
                                "Table « bois » renommée « boi2 » (modèle et textes réécrits)\n"));
        QCOMPARE(texts(friendly.path, QStringLiteral("comptoir")), expected);
        QCOMPARE(shown(friendly.path, {QStringLiteral("bier"), QStringLiteral("bois")}),
                 QStringLiteral("bier : bier (1 élément)\n  1\tkriek\n"
                                "bois : bois (2 éléments)\n  2\tcidre\n  1\t[bier] brune\n"));

        ovtest::TempDatabase replaced;
        ovtest::addTable(*replaced.db, QStringLiteral("bier"), {{QStringLiteral("kriek"), 1}});
        QCOMPARE(on(replaced.path, import + QStringList{QStringLiteral("--replace")}).out,
                 QStringLiteral("Générateur « comptoir » importé\nTables ajoutées : bois\n"
                                "Tables remplacées : bier\n"));
        QCOMPARE(texts(replaced.path, QStringLiteral("comptoir")), expected);
    }
};

QTEST_GUILESS_MAIN(TestCliImports)
#include "test_cli_imports.moc"
