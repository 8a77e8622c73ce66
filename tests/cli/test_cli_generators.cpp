// Personal generators through the tool: same seed same text, draws expanded, files imported all
// or nothing, one generator run by two processes at once, its results printed.

#include "clirunner.h"
#include "tables/database.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>
#include <tuple>

using namespace ov;
using ovtest::inProcess;
using ovtest::tool;
using ovtest::ToolResult;
using namespace Qt::Literals::StringLiterals;

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

        // Two generators pinned to one number: the second is refused, nothing is imported.
        writeFile(dir + QStringLiteral("/p.ovgen"), "Id: pin1\nNom: Pin\nRaccourci: 3\n---\nx");
        writeFile(dir + QStringLiteral("/q.ovgen"), "Id: pin2\nNom: Pin\nRaccourci: 3\n---\ny");
        result = import({QStringLiteral("p.ovgen"), QStringLiteral("q.ovgen")});
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.startsWith(QStringLiteral("Le raccourci Ctrl+3 est déjà celui du"
                                                      " générateur « pin1 » : le générateur"
                                                      " « pin2 » n'est pas enregistré.")),
                 qPrintable(result.err));
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

    // Templates made to break the tool, through import, check and generate of the real tool: a
    // refused file imports nothing, and the same template found stored (as an older store may
    // hold it) is refused by check and by generate, which store nothing. FILE stands for the path.
    void hostileTemplates_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("importError"); // empty: imported
        QTest::addColumn<QString>("check");       // empty: a file the store never holds
        QTest::addColumn<QString>("generate");    // the text written, or the error
        const QByteArray head = "Id: h\nNom: Hostile\n---\n";
        const auto sum = [](int terms) -> QByteArray {
            return "{1" + QByteArray("+1").repeated(terms - 1) + "}";
        };
        const auto nested = [&head](const char* open, int n, const char* inner,
                                    const char* close) -> QByteArray {
            return head + "{" + QByteArray(open).repeated(n) + inner +
                   QByteArray(close).repeated(n) + "}";
        };
        const QString correct = u"h : correct"_s;
        const QString tooLong = u"modèle trop long (limite : 1 000 000 octets en UTF-8)"_s;
        const QString tooManyLines = u"modèle trop long (limite : 10 000 lignes)"_s;
        const QString overflow = u"Générateur « h », ligne 1 : dépassement de capacité dans une"
                                 u" expression"_s;
        // A syntax error as import, check and generate tell it.
        const auto syntax = [](int line, int column, const QString& text) {
            const QString where = u"igne %1, colonne %2 : %3"_s.arg(line).arg(column).arg(text);
            return std::tuple<QString, QString, QString>(QString(u"Générateur « h », l"_s + where),
                                                         QString(u"h : L"_s + where),
                                                         QString(u"Générateur « h », l"_s + where));
        };
        const auto row = [](const char* name, const QByteArray& file,
                            const std::tuple<QString, QString, QString>& texts) {
            QTest::newRow(name) << file << std::get<0>(texts) << std::get<1>(texts)
                                << std::get<2>(texts);
        };
        const auto whole = [](const QString& text) {
            return std::tuple<QString, QString, QString>(QString(u"FILE : "_s + text),
                                                         QString(u"h : "_s + text),
                                                         QString(u"Générateur « h », "_s + text));
        };
        row("1,000 operands", head + sum(1000), {QString(), correct, u"1000"_s});
        row("1,001 operands", head + sum(1001), syntax(1, 2002, u"expression trop longue"_s));
        row("500,000 terms", head + sum(500000), whole(tooLong));
        row("64 levels", nested("(", 63, "7", ")"), {QString(), correct, u"7"_s});
        row("65 levels", nested("(", 64, "7", ")"), syntax(1, 65, u"imbrication trop profonde"_s));
        row("100,000 parentheses", nested("(", 100000, "1", ")"),
            syntax(1, 65, u"imbrication trop profonde"_s));
        row("20,000 choices",
            head + "x\n" + QByteArray("[a|").repeated(20000) + "b" +
                QByteArray("]").repeated(20000),
            syntax(2, 193, u"imbrication trop profonde"_s));
        row("sum overflows", head + "{9223372036854775807+1}", {QString(), correct, overflow});
        row("product overflows", head + "{3037000500*3037000500}", {QString(), correct, overflow});
        row("negation overflows", head + "{0-(-9223372036854775807-1)}",
            {QString(), correct, overflow});
        const QString nul = u"caractère de contrôle U+0000 interdit"_s;
        row("NUL in the template", head + QByteArray("ab\0c", 4),
            {u"FILE : Ligne 4, colonne 3 : "_s + nul, u"h : Ligne 1, colonne 3 : "_s + nul,
             u"Générateur « h », ligne 1, colonne 3 : "_s + nul});
        row("bell in Nom", "Id: h\nNom: Ho\astile\n---\nx",
            {u"FILE : Ligne 2, colonne 8 : caractère de contrôle U+0007 interdit"_s, QString(),
             QString()});
        row("not UTF-8", head + "caf\xe9 x",
            {u"FILE : Ligne 4 : texte qui n'est pas en UTF-8"_s, QString(), QString()});
        row("over 1,000,000 bytes", head + QByteArray("é").repeated(500001), whole(tooLong));
        row("over 10,000 lines", head + QByteArray("a\r\n").repeated(10000) + "a",
            whole(tooManyLines));
    }

    void hostileTemplates() {
        QFETCH(QByteArray, file);
        QFETCH(QString, importError);
        QFETCH(QString, check);
        QFETCH(QString, generate);
        ovtest::TempDatabase t;
        const QString path = t.dir.path() + QStringLiteral("/h.ovgen");
        writeFile(path, file);
        const auto run = [&](const QStringList& args) { return tool(withBase(t.path, args)); };
        ToolResult result = run({QStringLiteral("generators"), QStringLiteral("import"), path});
        if (importError.isEmpty()) {
            QCOMPARE(result.err, QString());
            QCOMPARE(result.exitCode, 0);
        } else {
            QCOMPARE(result.err, QString(importError.replace(QStringLiteral("FILE"), path) +
                                         QStringLiteral("\nRien n'a été importé.\n")));
            QCOMPARE(result.exitCode, 1);
            QCOMPARE(
                t.db->scalar(QStringLiteral("SELECT count(*) FROM OVgenerateur WHERE Id = 'h'"))
                    .toInt(),
                0);
            if (check.isEmpty())
                return;
            t.db->run(QStringLiteral("INSERT INTO OVgenerateur (Id, Nom, Modele, DateModif)"
                                     " VALUES ('h', 'Hostile', ?, '2026-12-01T10:00:00')"),
                      {QString::fromUtf8(file.mid(file.indexOf("---\n") + 4))});
        }
        result = run({QStringLiteral("generators"), QStringLiteral("check"), QStringLiteral("h")});
        QCOMPARE(result.out, QString(check + QLatin1Char('\n')));
        QCOMPARE(result.exitCode, check == QStringLiteral("h : correct") ? 0 : 1);
        result = run({QStringLiteral("generate"), QStringLiteral("h"), QStringLiteral("--count"),
                      QStringLiteral("1")});
        const bool fails = generate.startsWith(QStringLiteral("Générateur"));
        QCOMPARE(fails ? result.err : result.out.section(QLatin1Char('\n'), 1),
                 QString(generate + QLatin1Char('\n')));
        QCOMPARE(result.exitCode, fails ? 1 : 0);
        QCOMPARE(resultCount(*t.db, QStringLiteral("h")), fails ? 0 : 1);
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
