// Personal generators through the tool: same seed same text, draws expanded, files imported all
// or nothing, one generator run by two processes at once, its results printed.

#include "clirunner.h"
#include "tables/database.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>

using namespace ov;
using ovtest::inProcess;
using ovtest::tool;
using ovtest::ToolResult;

namespace {

QStringList withBase(const QString& path, QStringList args) {
    return args << QStringLiteral("--database") << path;
}

void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

int resultCount(const Database& db, const QString& generator) {
    return db
        .scalar(QStringLiteral("SELECT count(*) FROM OVresultat WHERE Generateur = ?"), {generator})
        .toInt();
}

} // namespace

class TestCliGenerators : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void sameSeedSameText() {
        ovtest::TempDatabase t;
        const QStringList args =
            withBase(t.path, {QStringLiteral("generate"), QStringLiteral("TAVERNE"),
                              QStringLiteral("--seed"), QStringLiteral("42"),
                              QStringLiteral("--count"), QStringLiteral("1")});
        const ToolResult first = inProcess(args + QStringList{QStringLiteral("--no-store")});
        const ToolResult second = inProcess(args);
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(first.err, QString());
        QCOMPARE(second.out, first.out);
        QVERIFY(first.out.startsWith(QStringLiteral("Taverne - 0 - ")));
        QVERIFY(!first.out.contains(QLatin1Char('[')) && !first.out.contains(QLatin1Char('{')));
        QCOMPARE(resultCount(*t.db, QStringLiteral("taverne")), 1);
        QVERIFY(inProcess(args).out.startsWith(QStringLiteral("Taverne - 1 - ")));
        // A draw expanded as a template's draw is: the patrol of a customer is drawn too.
        const QStringList draw = withBase(t.path, {QStringLiteral("draw"), QStringLiteral("gpat"),
                                                   QStringLiteral("--expand"),
                                                   QStringLiteral("--seed"), QStringLiteral("1")});
        const ToolResult expanded = inProcess(draw);
        QCOMPARE(expanded.exitCode, 0);
        QCOMPARE(inProcess(draw).out, expanded.out);
        const ToolResult missing = inProcess(withBase(
            t.path, {QStringLiteral("draw"), QStringLiteral("zzz"), QStringLiteral("--expand")}));
        QCOMPARE(missing.exitCode, 1);
        QCOMPARE(missing.err, QStringLiteral("Pas de table \"zzz\"\n"));
    }

    void importAllOrNothing() {
        ovtest::TempDatabase t;
        const QString dir = t.dir.path();
        writeFile(
            dir + QStringLiteral("/a.ovgen"),
            "Id: essai\r\nNom: Essai\r\nFrançais: OUI\r\nRaccourci: 3\r\n---\r\n# rien\r\n[gtad]"
            " {1d6}\r\n");
        writeFile(dir + QStringLiteral("/b.ovgen"), "Id: autre\nNom: Autre\n---\n\n[gtad\n");
        writeFile(dir + QStringLiteral("/c.ovgen"), "Id: Taverne\nNom: Autre taverne\n---\n[gtan]");
        writeFile(dir + QStringLiteral("/d.ovgen"), "Id: d\nNom: D\nRaccourci: 10\n---\n[gtan]");
        const auto import = [&](const QStringList& files, const QStringList& more = {}) {
            QStringList args{QStringLiteral("generators"), QStringLiteral("import")};
            for (const QString& file : files)
                args << dir + QLatin1Char('/') + file;
            return inProcess(withBase(t.path, args + more));
        };
        const auto ids = [&] {
            return inProcess(
                       withBase(t.path, {QStringLiteral("generators"), QStringLiteral("list")}))
                .out.count(QLatin1Char('\n'));
        };
        const int before = ids();

        ToolResult result = import({QStringLiteral("a.ovgen"), QStringLiteral("b.ovgen")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, QStringLiteral("Générateur « autre », ligne 2, colonne 1 : crochet"
                                            " fermant manquant\nRien n'a été importé.\n"));
        result = import({QStringLiteral("a.ovgen"), QStringLiteral("c.ovgen")});
        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.err, QStringLiteral("Le générateur « taverne » existe déjà\n"
                                            "Rien n'a été importé.\n"));
        result = import({QStringLiteral("a.ovgen"), QStringLiteral("d.ovgen")});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.err.contains(
            QStringLiteral("le raccourci « 10 » doit être un nombre de 1 à 9")));
        QCOMPARE(ids(), before);

        result = import({QStringLiteral("a.ovgen"), QStringLiteral("c.ovgen")},
                        {QStringLiteral("--replace")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(ids(), before + 1);
        result = inProcess(withBase(t.path, {QStringLiteral("generators"), QStringLiteral("show"),
                                             QStringLiteral("taverne")}));
        QCOMPARE(result.out, QStringLiteral("Id: taverne\nNom: Autre taverne\n---\n[gtan]\n"));

        // Exported, deleted, imported again: the same template to the character.
        QVERIFY(QDir(dir).mkdir(QStringLiteral("out")));
        QCOMPARE(inProcess(withBase(t.path, {QStringLiteral("generators"), QStringLiteral("export"),
                                             QStringLiteral("essai"), QStringLiteral("-o"),
                                             dir + QStringLiteral("/out")}))
                     .exitCode,
                 0);
        QCOMPARE(inProcess(withBase(t.path, {QStringLiteral("generators"), QStringLiteral("delete"),
                                             QStringLiteral("essai")}))
                     .exitCode,
                 0);
        QCOMPARE(import({QStringLiteral("out/essai.ovgen")}).exitCode, 0);
        result = inProcess(withBase(t.path, {QStringLiteral("generators"), QStringLiteral("show"),
                                             QStringLiteral("essai")}));
        QCOMPARE(
            result.out,
            QStringLiteral("Id: essai\nNom: Essai\nFrançais: oui\nRaccourci: 3\n---\n# rien\r\n"
                           "[gtad] {1d6}\r\n"));
        result = inProcess(withBase(t.path, {QStringLiteral("generators"), QStringLiteral("check"),
                                             QStringLiteral("essai")}));
        QCOMPARE(result.out, QStringLiteral("essai : correct\n"));
    }

    void twoProcessesGetDistinctNumbers() {
        ovtest::TempDatabase t;
        const QStringList args =
            withBase(t.path, {QStringLiteral("generate"), QStringLiteral("rumeur"),
                              QStringLiteral("--count"), QStringLiteral("40")});
        QProcess first, second;
        first.start(qEnvironmentVariable("OV_CLI"), args);
        second.start(qEnvironmentVariable("OV_CLI"), args);
        QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        QSet<int> numbers;
        QSqlQuery query = t.db->run(QStringLiteral("SELECT Id, Texte FROM OVresultat"));
        while (query.next()) {
            numbers.insert(query.value(0).toInt());
            QVERIFY(query.value(1).toString().startsWith(
                QStringLiteral("Rumeur - %1 - ").arg(query.value(0).toInt())));
        }
        QCOMPARE(numbers.size(), 80);
        QCOMPARE(*std::max_element(numbers.cbegin(), numbers.cend()), 79);
    }

    void resultsPrintedAndStamped() {
        ovtest::TempDatabase t;
        QCOMPARE(inProcess(withBase(t.path, {QStringLiteral("generate"), QStringLiteral("meteo"),
                                             QStringLiteral("--count"), QStringLiteral("3")}))
                     .exitCode,
                 0);
        const QString pdf = t.dir.path() + QStringLiteral("/meteo.pdf");
        const QStringList print =
            withBase(t.path, {QStringLiteral("print"), QStringLiteral("meteo"),
                              QStringLiteral("--pdf"), pdf});
        ToolResult result = tool(print);
        QCOMPARE(result.exitCode, 0);
        QVERIFY2(result.out.startsWith(
                     QStringLiteral("OV Météo du jour : 3 enregistrement(s) sur 1 page(s)")),
                 qPrintable(result.out + result.err));
        QVERIFY(QFileInfo(pdf).size() > 0);
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT count(*) FROM OVresultat WHERE"
                                             " DateImprime IS NULL"))
                     .toInt(),
                 0);
        result = tool(print);
        QCOMPARE(result.err, QStringLiteral("Rien à imprimer.\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliGenerators)
#include "test_cli_generators.moc"
