// The French post-pass, phrase by phrase: each rule and exception, capitals, blanks, the
// aspirated h, and what leaves a trigger as it is.

#include "templates/frenchpass.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFrenchPass : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void phrases_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QString& line, const QString& expected) {
            QTest::newRow(name) << line << expected;
        };
        row("à le + consonant", u"Enseigne : « À le Gros Loup »"_s,
            u"Enseigne : « Au Gros Loup »"_s);
        row("à le + vowel", u"À le Ivre Sanglier"_s, u"À l'Ivre Sanglier"_s);
        row("à la stays", u"À la Grosse Chouette, à la Auberge"_s,
            u"À la Grosse Chouette, à l'Auberge"_s);
        row("à les, de les", u"aux\tà les   loups, de les elfes"_s,
            u"aux\taux   loups, des elfes"_s);
        row("de le", u"De le pain, de le or, de  le\tloup"_s, u"Du pain, de l'or, du\tloup"_s);
        row("elisions", u"le arbre la épée de eau que il ne a je ai me ôte te y se usent"_s,
            u"l'arbre l'épée d'eau qu'il n'a j'ai m'ôte te y s'usent"_s);
        row("blanks go with an apostrophe", u"la \t  Œuvre, le Ætna"_s, u"l'Œuvre, l'Ætna"_s);
        row("ce", u"ce arbre, Ce  homme, ce héros, ce loup"_s,
            u"cet arbre, Cet  homme, ce héros, ce loup"_s);
        row("si il", u"si il, Si Ils, si elle, si IL"_s, u"s'il, S'Ils, si elle, s'IL"_s);
        row("exceptions", u"le onze, le onzième, le oui, le ouistiti, le Oui, le onzièmes"_s,
            u"le onze, le onzième, le oui, le ouistiti, le Oui, l'onzièmes"_s);
        row("y is a consonant", u"le yack, le ÿ"_s, u"le yack, le ÿ"_s);
        row("mute h", u"le homme, la herbe, de le hiver, Le Hôtel"_s,
            u"l'homme, l'herbe, de l'hiver, L'Hôtel"_s);
        row("aspirated h and its forms",
            u"le hibou, les hiboux, la haute tour, les hautes, le hérisson, les hérissons, de le hêtre, ce héros"_s,
            u"le hibou, les hiboux, la haute tour, les hautes, le hérisson, les hérissons, du hêtre, ce héros"_s);
        row("aspirated h in capitals", u"Le Hibou, À le HAUT"_s, u"Le Hibou, Au HAUT"_s);
        row("capitals of triggers", u"LE arbre, lE arbre, à Le loup, À le arbre, Que il"_s,
            u"LE arbre, lE arbre, à Le loup, À l'arbre, Qu'il"_s);
        row("not at a word start", u"l'le arbre, dis-le encore, 5de or, -la orque, _le ours"_s,
            u"l'le arbre, dis-le encore, 5de or, -la orque, _l'ours"_s);
        row("nothing to join", u"à le 5 ours, de les « elfes », à le, de le\t, la.orque"_s,
            u"à le 5 ours, de les « elfes », à le, de le\t, la.orque"_s);
        row("no blank, no trigger", u"lea, le\u00a0arbre, de-le arbre"_s,
            u"lea, le\u00a0arbre, de-le arbre"_s);
        row("a rewrite never makes a trigger", u"que à le loup, de le le arbre, à les à le ours"_s,
            u"qu'au loup, du l'arbre, aux à l'ours"_s);
        row("empty and blank", u""_s, u""_s);
        row("only blanks", u" \t "_s, u" \t "_s);
    }
    void phrases() {
        QFETCH(QString, line);
        QFETCH(QString, expected);
        QCOMPARE(ov::frenchPostPass(line), expected);
    }
};

QTEST_GUILESS_MAIN(TestFrenchPass)
#include "test_frenchpass.moc"
