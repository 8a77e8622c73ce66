// The colours of a template line: which words are tables, remembered values and dice.

#include "templates/templatetokens.h"

#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

// "T:word" for a table, "R:" remembered, "D:" dice, "N:" number, "E:" escape, "C:" comment,
// "A:" article, "G:" gender tag.
QString describe(const QList<TemplateToken>& tokens) {
    static const char* const letters = "CTRDNESAG";
    QStringList parts;
    for (const TemplateToken& token : tokens)
        if (token.kind != TemplateToken::Kind::Syntax)
            parts << QChar::fromLatin1(letters[int(token.kind)]) + u':' + token.text;
    return parts.join(u' ');
}

} // namespace

class TestTemplateTokens : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lineTokens_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("tokens");
        QTest::newRow("draws") << u"Au [ tadj ] [tani*3!] [tcli*{1d4+1}]"_s
                               << u"T:tadj T:tani N:3 T:tcli D:1d4 N:1"_s;
        QTest::newRow("kept then used") << u"[arme = arco]{or = 3d6*10}[arme] {or} {d6}"_s
                                        << u"R:arme T:arco R:or D:3d6 N:10 R:arme R:or D:d6"_s;
        QTest::newRow("choice holds draws") << u"[a|[tani]|{2d6}]"_s << u"T:tani D:2d6"_s;
        QTest::newRow("escapes") << u"\\[x\\] [t]"_s << u"E:\\[ E:\\] T:t"_s;
        QTest::newRow("comment") << u"  # [pas une table]"_s << u"C:  # [pas une table]"_s;
        QTest::newRow("unclosed") << u"Au [tani"_s << u"T:tani"_s;
        QTest::newRow("French") << u"[b = tani]{À b} [tadj : b] {le} Loup @m"_s
                                << u"R:b T:tani A:À R:b T:tadj R:b R:le G:@m"_s;
    }
    void lineTokens() {
        QFETCH(QString, line);
        QFETCH(QString, tokens);
        QSet<QString> known;
        QCOMPARE(describe(templateLineTokens(line, known)), tokens);
    }

    // A name kept on one line is a remembered value on the lines below, not a table.
    void namesCarryToLaterLines() {
        const auto names = rememberedNamesByLine(u"[heros]\n[heros = prenoms]\n[heros]"_s);
        QSet<QString> first = names.at(0), last = names.at(2);
        QCOMPARE(describe(templateLineTokens(u"[heros]"_s, first)), u"T:heros"_s);
        QCOMPARE(describe(templateLineTokens(u"[heros]"_s, last)), u"R:heros"_s);
    }
};

QTEST_GUILESS_MAIN(TestTemplateTokens)
#include "test_templatetokens.moc"
