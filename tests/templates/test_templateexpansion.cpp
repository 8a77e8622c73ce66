// The template language run on scripted draws: each construct, the order of the random numbers,
// the syntax errors with their place, nesting and size limits.

#include "scripteddraws.h"
#include "templates/expander.h"

#include <QTest>

using ov::Expander;
using ov::Template;

namespace {

QString operator""_s(const char* text, std::size_t size) {
    return QString::fromUtf8(text, qsizetype(size));
}

// The tables every case may draw from; each draw hands out the next text of its list.
void setTables(ovtest::ScriptedDraws& draws) {
    draws.setTable(QStringLiteral("coul"),
                   {QStringLiteral("rouge"), QStringLiteral("vert"), QStringLiteral("bleu")});
    draws.setTable(QStringLiteral("nest"), {QStringLiteral("[coul] et {1d6}")});
    draws.setTable(QStringLiteral("num"), {QStringLiteral("12")});
    draws.setTable(QStringLiteral("bad"), {QStringLiteral("a [b")});
    draws.setTable(QStringLiteral("chk"), {QStringLiteral("[coul] {x}")});
    draws.setTable(QStringLiteral("useor"), {QStringLiteral("{or} po")});
    draws.setTable(QStringLiteral("self"), {QStringLiteral("x[self]")});
    draws.setTable(QStringLiteral("tree"), {QStringLiteral("[tree*3]")});
    draws.setTable(QStringLiteral("long"), {QString(11, QLatin1Char('a'))});
    draws.setWeightedTable(
        QStringLiteral("deck"),
        {{QStringLiteral("a"), 1}, {QStringLiteral("b"), 0}, {QStringLiteral("[coul]"), 2}});
    draws.setEmptyTable(QStringLiteral("vide"));
}

} // namespace

class TestTemplateExpansion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void expansion_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QList<int>>("rolls");
        QTest::addColumn<QString>("text");     // body lines joined by "/"
        QTest::addColumn<QString>("calls");    // the draws in order, joined by ", "
        QTest::addColumn<QString>("messages"); // joined by "|"

        const QList<int> none;
        QTest::newRow("escapes") << "a \\[x\\] \\{ \\| \\\\ \\z"_s << none << "a [x] { | \\ z"_s
                                 << ""_s
                                 << ""_s;
        QTest::newRow("draws left to right")
            << "[coul] puis [ coul ]"_s << none << "rouge puis vert"_s
            << "OV coul, OV coul"_s
            << ""_s;
        QTest::newRow("element expanded before what follows")
            << "[nest][coul] {1d6}"_s << QList<int>{4, 2} << "rouge et 4vert 2"_s
            << "OV nest, OV coul, D 6, OV coul, D 6"_s
            << ""_s;
        QTest::newRow("count rolled first") << "[coul*{1d4}]"_s << QList<int>{2} << "rouge, vert"_s
                                            << "D 4, OV coul, OV coul"_s
                                            << ""_s;
        QTest::newRow("count of 0") << "<[coul*0]><[coul*{1-3}!]>"_s << none << "<><>"_s
                                    << ""_s
                                    << ""_s;
        QTest::newRow("failed draws, empty pieces joined")
            << "[vide*2]|[nope]"_s << none << ", |"_s
            << "OV vide !, OV vide !, OV nope !"_s
            << "Aucun élément dans la table \"vide\"|Aucun élément dans la table \"vide\"|"
               "Pas de table \"nope\""_s;
        QTest::newRow("choice, blanks kept") << "[a|[coul]| c ]"_s << QList<int>{3} << " c "_s
                                             << "D 3"_s
                                             << ""_s;
        QTest::newRow("choice expands only its part")
            << "[a|[coul]]"_s << QList<int>{2} << "rouge"_s
            << "D 2, OV coul"_s
            << ""_s;
        QTest::newRow("expressions")
            << "{2d6+3} {d100} { 3d6 * 10 } {(1d4+1)*5} {7} {-2} {2*-1} {10-2-3} {0d6}"_s
            << QList<int>{1, 2, 50, 1, 1, 1, 3} << "6 50 30 20 7 -2 -2 5 0"_s
            << "D 6, D 6, D 100, D 6, D 6, D 6, D 4"_s
            << ""_s;
        QTest::newRow("64-bit arithmetic")
            << "{3000000000*3000000000}"_s << none << "9000000000000000000"_s
            << ""_s
            << ""_s;
        QTest::newRow("number remembered")
            << "{prix = 1d6}{prix} et {prix*2}"_s << QList<int>{4} << "4 et 8"_s
            << "D 6"_s
            << ""_s;
        QTest::newRow("text remembered")
            << "[arme = coul]x[arme] {arme}[coul]"_s << none << "xrouge rougevert"_s
            << "OV coul, OV coul"_s
            << ""_s;
        QTest::newRow("remembered numbers as counts")
            << "{n = 2}[coul*{n}]/[k = num][coul*{k-11}!]"_s << QList<int>{3}
            << "rouge, vert/bleu"_s
            << "OV coul, OV coul, OV num, EL coul, D 3"_s
            << ""_s;
        QTest::newRow("remembered text as a number")
            << "[k = num]{k+1} [t = coul]{t+1}"_s << none << "13 1"_s
            << "OV num, OV coul"_s
            << ""_s;
        QTest::newRow("name set in a part not chosen")
            << "[{v = 5}|rien]<{v}[v]{v+1}>"_s << QList<int>{2} << "rien<1>"_s
            << "D 2"_s
            << ""_s;
        QTest::newRow("name set in the part chosen")
            << "[{v = 5}|rien]<{v}[v]>"_s << QList<int>{1} << "<55>"_s
            << "D 2"_s
            << ""_s;
        QTest::newRow("picks without repeats by weight")
            << "[deck*3!]"_s << QList<int>{2, 1} << "rouge, a"_s
            << "EL deck, D 3, OV coul, D 1"_s
            << ""_s;
        QTest::newRow("fewer elements than asked")
            << "[coul * 5 !]"_s << QList<int>{3, 1, 1} << "bleu, rouge, vert"_s
            << "EL coul, D 3, D 2, D 1"_s
            << ""_s;
        QTest::newRow("picks from an empty table") << "<[vide*2!]>"_s << none << "<>"_s
                                                   << "EL vide !"_s
                                                   << "Aucun élément dans la table \"vide\""_s;
        QTest::newRow("invalid element written as it stands")
            << "[bad]/[chk]"_s << none << "a [b/[coul] {x}"_s
            << "OV bad, OV chk"_s
            << ""_s;
        QTest::newRow("element sees remembered values") << "{or = 3}[useor]"_s << none << "3 po"_s
                                                        << "OV useor"_s
                                                        << ""_s;
        QTest::newRow("lines and comments") << "# titre\r\nA\r\n\n  # x\rB\n"_s << none << "A//B"_s
                                            << ""_s
                                            << ""_s;
        QTest::newRow("no-break space before # is text")
            << QStringLiteral("\u00a0# x") << none << QStringLiteral("\u00a0# x") << ""_s
            << ""_s;
        QTest::newRow("1,000 dice")
            << "{1000d6}"_s << none << "1000"_s
            << QStringList(1000, QStringLiteral("D 6")).join(QStringLiteral(", ")) << ""_s;
        QTest::newRow("nesting stops at depth 13")
            << "[self]"_s << none << QString(12, QLatin1Char('x'))
            << QStringList(13, QStringLiteral("OV self")).join(QStringLiteral(", "))
            << "Trop de renvois imbriqués à partir de la table \"self\""_s;
    }

    void expansion() {
        QFETCH(QString, source);
        QFETCH(QList<int>, rolls);
        ovtest::ScriptedDraws draws;
        setTables(draws);
        draws.pushRolls(rolls);
        Template parsed;
        const auto error = Template::parse(source, parsed);
        QVERIFY2(!error, qPrintable(error ? error->message() : QString()));
        ov::RecordingMessageSink sink;
        Expander expander(draws, sink);
        const QStringList lines = expander.expand(parsed);
        QTEST(lines.join(QLatin1Char('/')), "text");
        QTEST(draws.log().join(QStringLiteral(", ")), "calls");
        QTEST((draws.messages() + sink.messages).join(QLatin1Char('|')), "messages");
        QCOMPARE(draws.remainingRolls(), 0);
        QVERIFY(draws.badRolls().isEmpty());
    }

    void syntaxErrors_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("message");

        QTest::newRow("bracket left open") << "# c\nab [coul [x] "_s
                                           << "Ligne 2, colonne 4 : crochet fermant manquant"_s;
        QTest::newRow("innermost left open")
            << "[a {b]"_s
            << "Ligne 1, colonne 4 : accolade fermante manquante"_s;
        QTest::newRow("stray bracket") << "x ]"_s
                                       << "Ligne 1, colonne 3 : crochet ouvrant manquant"_s;
        QTest::newRow("brace left open") << "a {1d6"_s
                                         << "Ligne 1, colonne 3 : accolade fermante manquante"_s;
        QTest::newRow("stray brace") << "a }"_s
                                     << "Ligne 1, colonne 3 : accolade ouvrante manquante"_s;
        QTest::newRow("parenthesis") << "{((1+2)}"_s
                                     << "Ligne 1, colonne 2 : parenthèse fermante manquante"_s;
        QTest::newRow("empty name") << "[ ]"_s
                                    << "Ligne 1, colonne 3 : nom vide"_s;
        QTest::newRow("empty table name") << "[x = ]"_s
                                          << "Ligne 1, colonne 6 : nom vide"_s;
        QTest::newRow("invalid name") << "[a b]"_s
                                      << "Ligne 1, colonne 2 : nom invalide"_s;
        QTest::newRow("name from a digit") << "[2a*2]"_s
                                           << "Ligne 1, colonne 2 : nom invalide"_s;
        QTest::newRow("= without a name") << "[ = coul]"_s
                                          << "Ligne 1, colonne 3 : = sans nom"_s;
        QTest::newRow("= without a name in braces") << "{=3}"_s
                                                    << "Ligne 1, colonne 2 : = sans nom"_s;
        QTest::newRow("missing count") << "[coul*!]"_s
                                       << "Ligne 1, colonne 7 : nombre manquant"_s;
        QTest::newRow("invalid count") << "[coul*x]"_s
                                       << "Ligne 1, colonne 7 : nombre invalide"_s;
        QTest::newRow("number too large") << "{99999999999999999999}"_s
                                          << "Ligne 1, colonne 2 : nombre invalide"_s;
        QTest::newRow("blank inside a number") << "{1 0}"_s
                                               << "Ligne 1, colonne 4 : expression invalide"_s;
        QTest::newRow("blank inside a die") << "{2 d6}"_s
                                            << "Ligne 1, colonne 4 : expression invalide"_s;
        QTest::newRow("die of no face") << "{2d0}"_s
                                        << "Ligne 1, colonne 2 : dés invalides"_s;
        QTest::newRow("too many dice") << "{1001d6}"_s
                                       << "Ligne 1, colonne 2 : dés invalides"_s;
        QTest::newRow("empty expression") << "{ }"_s
                                          << "Ligne 1, colonne 3 : expression vide"_s;
        QTest::newRow("operand missing") << "{2+}"_s
                                         << "Ligne 1, colonne 4 : expression invalide"_s;
        QTest::newRow("unknown value") << "{d2a}"_s
                                       << "Ligne 1, colonne 2 : valeur retenue inconnue « d2a »"_s;
        QTest::newRow("value set after its use")
            << "{x+1}{x = 1}"_s
            << "Ligne 1, colonne 2 : valeur retenue inconnue « x »"_s;
        QTest::newRow("value set in another part")
            << "[{x = 1}|{x}]"_s
            << "Ligne 1, colonne 11 : valeur retenue inconnue « x »"_s;
        QTest::newRow("first error in reading order")
            << "ok\n{y} ["_s
            << "Ligne 2, colonne 2 : valeur retenue inconnue « y »"_s;
        QTest::newRow("trailing backslash")
            << "a\\"_s
            << "Ligne 1, colonne 2 : barre oblique inverse à la fin"_s;
        // The French constructs: articles and forms of remembered names.
        QTest::newRow("article of an unknown name")
            << "{le x}"_s
            << "Ligne 1, colonne 5 : valeur retenue inconnue « x »"_s;
        QTest::newRow("form of an unknown name")
            << "[adj2 : x]"_s
            << "Ligne 1, colonne 9 : valeur retenue inconnue « x »"_s;
        QTest::newRow("another word") << "[x = loup]{la x}"_s
                                      << "Ligne 1, colonne 12 : valeur retenue inconnue « la »"_s;
        QTest::newRow("article as a count") << "[x = loup][loup*{le x}]"_s
                                            << "Ligne 1, colonne 17 : nombre invalide"_s;
        QTest::newRow("form and a count") << "[x = loup][adj2*2 : x]"_s
                                          << "Ligne 1, colonne 17 : nombre invalide"_s;
        QTest::newRow("form and a name") << "[x = loup][y = adj2 : x]"_s
                                         << "Ligne 1, colonne 16 : nom invalide"_s;
    }

    void syntaxErrors() {
        QFETCH(QString, source);
        Template parsed;
        const auto error = Template::parse(source, parsed);
        QVERIFY(error);
        QTEST(error->message(), "message");
    }

    void sizeLimits_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("exceeded");
        QTest::newRow("10,000 draws") << "[coul*10000]"_s << false;
        QTest::newRow("10,001 draws") << "[coul*9999][coul*2!]"_s << true;
        QTest::newRow("a table naming itself three times") << "[tree]"_s << true;
        QTest::newRow("100,000 characters on two lines") << "[long*7000]\n[long*600]"_s << false;
        QTest::newRow("100,001 characters") << "[long*7000]\n[long*700]"_s << true;
        // 98,796 characters drawn, then text up to the limit; the text kept by [k = long] is
        // never written.
        const QString drawn = "[long*7000]\n[long*600]"_s;
        QTest::newRow("exactly 100,000 characters")
            << QString(drawn + QString(1204, u'x')) << false;
        QTest::newRow("one more") << QString(drawn + QString(1205, u'x')) << true;
        QTest::newRow("text kept not counted")
            << QString("[k = long]"_s + drawn + QString(1204, u'x')) << false;
    }

    void sizeLimits() {
        QFETCH(QString, source);
        ovtest::ScriptedDraws draws;
        setTables(draws);
        Template parsed;
        QVERIFY(!Template::parse(source, parsed));
        ov::RecordingMessageSink sink;
        Expander expander(draws, sink);
        bool exceeded = false;
        try {
            expander.expand(parsed);
        } catch (const ov::SizeExceeded&) {
            exceeded = true;
        }
        QTEST(exceeded, "exceeded");
    }
};

QTEST_GUILESS_MAIN(TestTemplateExpansion)
#include "test_templateexpansion.moc"
