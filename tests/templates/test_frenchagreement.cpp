// French agreement through runs of templates: gender tags, the articles and forms that agree
// with them, and the lines that get the post-pass (their syntax errors stand with the others).

#include "scripteddraws.h"
#include "templates/expander.h"

#include <QTest>

using namespace Qt::StringLiterals;
using ov::Expander;
using ov::Template;

namespace {

void setTables(ovtest::ScriptedDraws& draws) {
    draws.setTable(u"loup"_s, {u"Loup @m"_s});
    draws.setTable(u"chouette"_s, {u"Chouette \t@f"_s});
    draws.setTable(u"corbeaux"_s, {u"Trois Corbeaux @mp"_s});
    draws.setTable(u"oies"_s, {u"Oies @fp"_s});
    draws.setTable(u"ours"_s, {u"Ours"_s});
    draws.setTable(u"taggedonly"_s, {u"@f"_s});
    draws.setTable(u"nottags"_s, {u"a@f b @F c @fx d @f "_s});
    draws.setTable(u"nested"_s, {u"[chouette] @mp"_s});
    draws.setTable(u"inner"_s, {u"[chouette]"_s});
    draws.setTable(u"deep"_s, {u"[deep] @f"_s});
    draws.setTable(u"adj1"_s, {u"Ivre"_s});
    draws.setTable(u"adj2"_s, {u"Gros/Grosse"_s});
    draws.setTable(u"adj2b"_s, {u"Noir/Noire"_s});
    draws.setTable(u"adj3"_s, {u"a/b/c"_s});
    draws.setTable(u"adj4"_s, {u"Vieux/Vieille/Vieux/Vieilles"_s});
    draws.setTable(u"tagform"_s, {u"[chouette]\\/{1d6} @fp"_s});
    draws.setTable(u"deck"_s, {u"Pie @f"_s, u"Coq @m"_s});
}

} // namespace

class TestFrenchAgreement : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void runs_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QList<int>>("rolls");
        QTest::addColumn<bool>("french");
        QTest::addColumn<QString>("text"); // body lines joined by "|"
        const QList<int> none;
        QTest::newRow("feminine") << u"[b = chouette]{À b} [adj2 : b] {b}, {de b} [adj1 : b] {b}"_s
                                  << none << false << u"À la Grosse Chouette, de l'Ivre Chouette"_s;
        QTest::newRow("masculine") << u"[b = loup]{À b} [adj1 : b] {b}, {À b} [adj2:b] {b}"_s
                                   << none << false << u"À l'Ivre Loup, Au Gros Loup"_s;
        QTest::newRow("plurals, two forms")
            << u"[b = corbeaux][c = oies]{à b} [adj2 : b] {b}, {Un c} [adj2b : c] [adj1 : c] {c}"_s
            << none << false << u"aux Gros Trois Corbeaux, Des Noires Ivres Oies"_s;
        QTest::newRow("four forms")
            << u"[m = loup][f = chouette][p = corbeaux][q = oies][adj4:m] [adj4:f] [adj4:p] [adj4:q] {ce f} {ce p}"_s
            << none << false << u"Vieux Vieille Vieux Vieilles cette ces"_s;
        QTest::newRow("no tag, other counts of parts")
            << u"[b = ours]{le b} [adj2 : b] {b} [adj3 : b] {un b}"_s << none << false
            << u"le Gros Ours a/b/c un"_s;
        QTest::newRow("a name not set at run time")
            << u"[[b = chouette]|rien] {le b} [adj2 : b]/{b = 3}{le b} [adj2 : b]"_s
            << QList<int>{2} << false << u"rien le Gros/le Gros"_s;
        QTest::newRow("tag alone, and what is not a tag")
            << u"[t = taggedonly]<{t}>{le t}\n[nottags]"_s << none << false
            << u"<>la/a@f b @F c @fx d @f "_s;
        QTest::newRow("tags stay with their own element")
            << u"[n = nested][i = inner]{le n} {le i} [n]"_s << none << false
            << u"les le Chouette"_s;
        QTest::newRow("tag kept when the depth limit empties the text")
            << u"[d = deep]<{d}>{le d}"_s << none << false << u"<>la"_s;
        QTest::newRow("forms split after expansion, escaped slash too")
            << u"[q = oies][tagform : q]"_s << QList<int>{4} << false << u"4s"_s;
        QTest::newRow("tags removed from picks and repeats")
            << u"[deck*2!] [deck*2] [deck]"_s << QList<int>{1, 1} << false
            << u"Pie, Coq Pie, Coq Coq"_s;
        QTest::newRow("post-pass: on lines with an article only")
            << u"{x = 1}à le arbre\n[a|{le x}] à le arbre\n[b = loup][b]"_s << QList<int>{1}
            << false << u"à le arbre/a à l'arbre/Loup"_s;
        QTest::newRow("post-pass: every line when French")
            << u"à le arbre de le [loup]"_s << none << true << u"à l'arbre du Loup"_s;
        QTest::newRow("a remembered le is still an article")
            << u"{le = 2}[x = oies]{le x} {le}"_s << none << false << u"les 2"_s;
    }
    void runs() {
        QFETCH(QString, source);
        QFETCH(QList<int>, rolls);
        QFETCH(bool, french);
        ovtest::ScriptedDraws draws;
        setTables(draws);
        draws.pushRolls(rolls);
        Template parsed;
        const auto error = Template::parse(source, parsed);
        QVERIFY2(!error, qPrintable(error ? error->message() : QString()));
        ov::RecordingMessageSink sink;
        Expander expander(draws, sink);
        expander.setFrench(french);
        QTEST(expander.expand(parsed).join(u'/'), "text");
        QVERIFY(sink.messages.isEmpty() || QByteArray(QTest::currentDataTag()).contains("depth"));
        QCOMPARE(draws.remainingRolls(), 0);
    }

    // The size limit counts the characters written before the post-pass shortens them.
    void sizeCountedBeforeThePostPass() {
        ovtest::ScriptedDraws draws;
        Template parsed;
        QVERIFY(!Template::parse(u"de le loup "_s.repeated(9091), parsed));
        ov::RecordingMessageSink sink;
        Expander expander(draws, sink);
        expander.setFrench(true);
        QVERIFY_THROWS_EXCEPTION(ov::SizeExceeded, expander.expand(parsed));
        QVERIFY(!Template::parse(u"de le loup "_s.repeated(9090), parsed));
        Expander fresh(draws, sink);
        fresh.setFrench(true);
        QCOMPARE(fresh.expand(parsed).first().size(), 9090 * 8);
    }
};

QTEST_GUILESS_MAIN(TestFrenchAgreement)
#include "test_frenchagreement.moc"
