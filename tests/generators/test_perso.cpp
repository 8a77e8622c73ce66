// The character generator: its nine lines, its draws and rolls in order, and its stored value.

#include "generators/generators.h"
#include "generators/perso.h"
#include "scripteddraws.h"
#include "tables/database.h"
#include "testsupport.h"

#include <QSqlQuery>
#include <QTest>

using namespace ov;
using ovtest::ScriptedDraws;

namespace {

const QDateTime runTime(QDate(2001, 3, 5), QTime(9, 15));

const QStringList traitTables{
    QStringLiteral("brav"), QStringLiteral("disp"), QStringLiteral("econ"), QStringLiteral("ener"),
    QStringLiteral("honn"), QStringLiteral("mate"), QStringLiteral("mora"), QStringLiteral("perb"),
    QStringLiteral("perc"), QStringLiteral("pers"), QStringLiteral("natu"), QStringLiteral("piet"),
    QStringLiteral("tena"), QStringLiteral("tenb")};

// Every table of the character, one text each (the "stat" and "tale" tables hand out several).
void scriptTables(ScriptedDraws& draws) {
    const QList<QPair<const char*, const char*>> tables = {
        {"age", "8 vieux"},  {"cel", "5 moyen"}, {"mel", "Bon"},       {"sexe", "Femme"},
        {"rich", "Pauvre"},  {"orig", "Paysan"}, {"pays", "Nordmark"}, {"lieu", "Village"},
        {"terr", "Forêt"},   {"etci", "Mariée"}, {"reli", "Aucune"},   {"carr", "Fluette"},
        {"tail", "Petite"},  {"poid", "Léger"},  {"chco", "Roux"},     {"chlo", "Longs"},
        {"chty", "Bouclés"}, {"yeux", "Verts"},  {"pilo", "Dense"},    {"pico", "Glabre"},
        {"arje", "Dague"},   {"arco", "Épée"},
    };
    for (const auto& [id, text] : tables)
        draws.setTable(QString::fromLatin1(id), {QString::fromUtf8(text)});
    QStringList stats;
    for (int i = 10; i < 20; ++i)
        stats << QString::number(i);
    draws.setTable(QStringLiteral("stat"), stats);
    draws.setTable(QStringLiteral("tale"),
                   {QStringLiteral("Chant"), QStringLiteral("Danse"), QStringLiteral("Pêche")});
    for (const QString& id : traitTables)
        draws.setTable(id, {QStringLiteral("T-") + id});
}

QList<int> noTraitRolls() {
    return QList<int>(14, 2);
}

const QString line2 =
    QStringLiteral("_________ ________ _________ AGE:8 vieux SEXE:Femme CEL:5 moyen / MEL:Bon");
const QString line3 = QStringLiteral(" SOCIAL:Pauvre ORIGINE:Paysan PAYS:Nordmark LIEU:Village"
                                     " TERRAIN:Forêt CIVIL:Mariée RELIGION:Aucune");
const QString line4 = QStringLiteral(" CARRURE:Fluette TAILLE:Petite POIDS:Léger");
const QString line5 =
    QStringLiteral(" CHEVEUX Roux Longs Bouclés YEUX:Verts PILOSITE TETE:Dense CORPS:Glabre");
const QString line6 =
    QStringLiteral("s:10 - st:11 - d:12 - a:13 - i:14 - w:15 - e:16 - em:17 - c:18 - ap:19");

// The calls up to the trait rolls, then from the trait rolls to the "stat" draws.
QStringList callsBeforeTraits() {
    QStringList calls;
    for (const char* id :
         {"age", "cel", "mel", "sexe", "rich", "orig", "pays", "lieu", "terr", "etci", "reli"})
        calls << QStringLiteral("OV ") + QLatin1String(id);
    return calls;
}
QStringList callsAfterTraits() {
    QStringList calls;
    for (const char* id : {"carr", "tail", "poid", "chco", "chlo", "chty", "yeux", "pilo", "pico"})
        calls << QStringLiteral("OV ") + QLatin1String(id);
    for (int i = 0; i < 10; ++i)
        calls << QStringLiteral("OV stat");
    return calls;
}

struct Sheet {
    QStringList lines;
    QString value; // after the 9-character cut
    QString storedText;
    QString storedValue;
    double storedId = -1;
};

// One run of the body on a new database, with the scripted draws.
Sheet generate(ScriptedDraws& draws) {
    ovtest::TempDatabase t;
    UnprintedCount count(*t.db);
    FixedClock clock(runTime);
    RunHost host;
    GenerationRun run(OutputKind::Perso, *t.db, count, clock, host);
    generatePerso(run, draws);
    Sheet sheet{run.lines(), run.storedValue(), {}, {}, -1};
    QSqlQuery row = t.db->run(QStringLiteral("SELECT Id, Perso, Sexe_Cel_Mel_Stat FROM OVperso"));
    if (row.next()) {
        sheet.storedId = row.value(0).toDouble();
        sheet.storedText = row.value(1).toString();
        sheet.storedValue = row.value(2).toString();
    }
    return sheet;
}

bool scriptUsedUp(const ScriptedDraws& draws) {
    return draws.remainingRolls() == 0 && !draws.exhausted() && draws.badRolls().isEmpty();
}

// Every table of the character in the database, one element of weight 1 each.
void addSingleElementTables(const Database& db, const QString& age, const QString& cel,
                            const QStringList& leaveOut = {}) {
    QStringList ids{QStringLiteral("sexe"), QStringLiteral("mel"),  QStringLiteral("rich"),
                    QStringLiteral("orig"), QStringLiteral("pays"), QStringLiteral("lieu"),
                    QStringLiteral("terr"), QStringLiteral("etci"), QStringLiteral("reli"),
                    QStringLiteral("carr"), QStringLiteral("tail"), QStringLiteral("poid"),
                    QStringLiteral("chco"), QStringLiteral("chlo"), QStringLiteral("chty"),
                    QStringLiteral("yeux"), QStringLiteral("pilo"), QStringLiteral("pico"),
                    QStringLiteral("stat"), QStringLiteral("arje"), QStringLiteral("arco"),
                    QStringLiteral("tale")};
    ids += traitTables;
    db.transaction([&] {
        ovtest::clearRandomTables(db);
        if (!leaveOut.contains(QStringLiteral("age")))
            ovtest::addTable(db, QStringLiteral("age"), {{age, 1}});
        if (!leaveOut.contains(QStringLiteral("cel")))
            ovtest::addTable(db, QStringLiteral("cel"), {{cel, 1}});
        for (const QString& id : ids)
            if (!leaveOut.contains(id))
                ovtest::addTable(db, id, {{id.toUpper(), 1}});
    });
}

} // namespace

class TestPerso : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void sheetWithoutTraitsWeaponsOrTalents() {
        ScriptedDraws draws;
        scriptTables(draws);
        draws.pushRolls(noTraitRolls());
        const Sheet sheet = generate(draws);

        const QStringList expected{QString(42, QLatin1Char(' ')) + QStringLiteral("OV -0- ") +
                                       shortDate(runTime.date()),
                                   line2,
                                   line3,
                                   line4,
                                   line5,
                                   line6,
                                   QStringLiteral("CARACTERE: "),
                                   QStringLiteral("ARMES : "),
                                   QStringLiteral("TALENTS : ")};
        QCOMPARE(sheet.lines, expected);
        QCOMPARE(draws.log(),
                 callsBeforeTraits() + QStringList(14, QStringLiteral("D 5")) + callsAfterTraits());
        QVERIFY(scriptUsedUp(draws));
        QVERIFY(draws.messages().isEmpty());

        QCOMPARE(sheet.storedId, 0.0);
        QCOMPARE(sheet.storedText, expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        // "8 vieux/5 moyen/Bon/" keeps its first nine characters.
        QCOMPARE(sheet.value, QStringLiteral("8 vieux/5"));
        QCOMPARE(sheet.storedValue, sheet.value);
    }

    void traitsTaken_data() {
        QTest::addColumn<QList<int>>("taken"); // indexes of the trait rolls that give 1
        QTest::newRow("none") << QList<int>{};
        QTest::newRow("honn and piet") << QList<int>{4, 11};
        QTest::newRow("first and last") << QList<int>{0, 13};
        QTest::newRow("all") << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    }
    void traitsTaken() {
        QFETCH(QList<int>, taken);
        ScriptedDraws draws;
        scriptTables(draws);
        QList<int> rolls;
        QString line7 = QStringLiteral("CARACTERE: ");
        QStringList traitCalls;
        for (int i = 0; i < 14; ++i) {
            const bool take = taken.contains(i);
            rolls << (take ? 1 : 2 + i % 4);
            traitCalls << QStringLiteral("D 5");
            if (take) {
                traitCalls << QStringLiteral("OV ") + traitTables[i];
                line7 += QStringLiteral("T-") + traitTables[i] + QLatin1Char('-');
            }
        }
        draws.pushRolls(rolls);
        const Sheet sheet = generate(draws);

        // Rolled for between the social line and the build line, shown after the "stat" line.
        QCOMPARE(sheet.lines.mid(5, 2), QStringList({line6, line7}));
        QCOMPARE(draws.log(), callsBeforeTraits() + traitCalls + callsAfterTraits());
        QVERIFY(scriptUsedUp(draws));
        if (taken == QList<int>{4, 11})
            QCOMPARE(line7, QStringLiteral("CARACTERE: T-honn-T-piet-"));
    }

    void weaponCount_data() {
        QTest::addColumn<QString>("cel");       // empty: the "cel" table has no elements
        QTest::addColumn<QList<int>>("rolls");  // the count roll, then one D(3) per weapon
        QTest::addColumn<QStringList>("calls"); // calls after the "stat" draws
        QTest::addColumn<QString>("line8");
        const QString dague = QStringLiteral("Dague__ / ");
        const QString epee = QStringLiteral("Épée__ / ");
        QTest::newRow("0, one weapon")
            << QStringLiteral("0 faible") << QList<int>{1, 2}
            << QStringList{QStringLiteral("D 2"), QStringLiteral("D 3"), QStringLiteral("OV arco")}
            << QStringLiteral("ARMES : ") + epee;
        QTest::newRow("0, two weapons")
            << QStringLiteral("0") << QList<int>{2, 1, 3}
            << QStringList{QStringLiteral("D 2"), QStringLiteral("D 3"), QStringLiteral("OV arje"),
                           QStringLiteral("D 3"), QStringLiteral("OV arco")}
            << QStringLiteral("ARMES : ") + dague + epee;
        QTest::newRow("1, at least four")
            << QStringLiteral("1 fort") << QList<int>{1, 1, 2, 3, 1}
            << QStringList{QStringLiteral("D 8"),     QStringLiteral("D 3"),
                           QStringLiteral("OV arje"), QStringLiteral("D 3"),
                           QStringLiteral("OV arco"), QStringLiteral("D 3"),
                           QStringLiteral("OV arco"), QStringLiteral("D 3"),
                           QStringLiteral("OV arje")}
            << QStringLiteral("ARMES : ") + dague + epee + epee + dague;
        QTest::newRow("3, D4 + 1")
            << QStringLiteral("3") << QList<int>{1, 3, 1}
            << QStringList{QStringLiteral("D 4"), QStringLiteral("D 3"), QStringLiteral("OV arco"),
                           QStringLiteral("D 3"), QStringLiteral("OV arje")}
            << QStringLiteral("ARMES : ") + epee + dague;
        QTest::newRow("7, D6 + 2") << QStringLiteral("7 expert") << QList<int>{1, 1, 1, 1}
                                   << QStringList{QStringLiteral("D 6"),     QStringLiteral("D 3"),
                                                  QStringLiteral("OV arje"), QStringLiteral("D 3"),
                                                  QStringLiteral("OV arje"), QStringLiteral("D 3"),
                                                  QStringLiteral("OV arje")}
                                   << QStringLiteral("ARMES : ") + dague + dague + dague;
        for (const char* cel : {"2 moyen", "5", "a7", " 1", "é"})
            QTest::newRow(cel) << QString::fromUtf8(cel) << QList<int>{} << QStringList{}
                               << QStringLiteral("ARMES : ");
        QTest::newRow("failed draw")
            << QString() << QList<int>{} << QStringList{} << QStringLiteral("ARMES : ");
    }
    void weaponCount() {
        QFETCH(QString, cel);
        QFETCH(QList<int>, rolls);
        QFETCH(QStringList, calls);
        QFETCH(QString, line8);
        ScriptedDraws draws;
        scriptTables(draws);
        if (cel.isEmpty())
            draws.setEmptyTable(QStringLiteral("cel"));
        else
            draws.setTable(QStringLiteral("cel"), {cel});
        draws.pushRolls(noTraitRolls() + rolls);
        const Sheet sheet = generate(draws);
        QCOMPARE(sheet.lines.at(7), line8);
        QCOMPARE(sheet.lines.at(8), QStringLiteral("TALENTS : "));
        const int before = int(callsBeforeTraits().size()) + 14 + int(callsAfterTraits().size());
        QCOMPARE(draws.log().mid(before), calls);
        QVERIFY(scriptUsedUp(draws));
    }

    void talentCount_data() {
        QTest::addColumn<QString>("age"); // empty: the "age" table has no elements
        QTest::addColumn<int>("roll");    // 0: no count roll expected
        QTest::addColumn<QString>("die");
        QTest::addColumn<int>("talents");
        QTest::newRow("1: D1 consumed, two talents")
            << QStringLiteral("1 jeune") << 1 << QStringLiteral("D 1") << 2;
        QTest::newRow("2") << QStringLiteral("2") << 2 << QStringLiteral("D 2") << 3;
        QTest::newRow("3") << QStringLiteral("3 adulte") << 3 << QStringLiteral("D 3") << 5;
        QTest::newRow("4") << QStringLiteral("4") << 1 << QStringLiteral("D 4") << 3;
        QTest::newRow("5") << QStringLiteral("5") << 5 << QStringLiteral("D 5") << 8;
        QTest::newRow("6") << QStringLiteral("6") << 6 << QStringLiteral("D 6") << 9;
        QTest::newRow("7") << QStringLiteral("7 ancien") << 7 << QStringLiteral("D 7") << 11;
        QTest::newRow("8") << QStringLiteral("8 vieux") << 0 << QString() << 0;
        QTest::newRow("0") << QStringLiteral("0") << 0 << QString() << 0;
        QTest::newRow("letter") << QStringLiteral("x1") << 0 << QString() << 0;
        QTest::newRow("failed draw") << QString() << 0 << QString() << 0;
    }
    void talentCount() {
        QFETCH(QString, age);
        QFETCH(int, roll);
        QFETCH(QString, die);
        QFETCH(int, talents);
        ScriptedDraws draws;
        scriptTables(draws);
        if (age.isEmpty())
            draws.setEmptyTable(QStringLiteral("age"));
        else
            draws.setTable(QStringLiteral("age"), {age});
        draws.pushRolls(noTraitRolls());
        if (roll > 0)
            draws.pushRolls({roll});
        const Sheet sheet = generate(draws);

        QString line9 = QStringLiteral("TALENTS : ");
        const QStringList texts{QStringLiteral("Chant"), QStringLiteral("Danse"),
                                QStringLiteral("Pêche")};
        QStringList calls;
        if (roll > 0)
            calls << die;
        for (int i = 0; i < talents; ++i) {
            line9 += texts.at(qMin(i, 2)) + QStringLiteral("___ / ");
            calls << QStringLiteral("OV tale");
        }
        QCOMPARE(sheet.lines.size(), 9);
        QCOMPARE(sheet.lines.at(8), line9);
        const int before = int(callsBeforeTraits().size()) + 14 + int(callsAfterTraits().size());
        QCOMPARE(draws.log().mid(before), calls);
        QVERIFY(scriptUsedUp(draws));
    }

    void storedValue_data() {
        QTest::addColumn<QString>("age"); // a null text: the table is missing
        QTest::addColumn<QString>("cel");
        QTest::addColumn<QString>("mel");
        QTest::addColumn<QString>("line2end");
        QTest::addColumn<QString>("value");
        QTest::newRow("short parts")
            << QStringLiteral("8") << QStringLiteral("5") << QStringLiteral("B")
            << QStringLiteral("CEL:5 / MEL:B") << QStringLiteral("8/5/B/");
        QTest::newRow("age of nine")
            << QStringLiteral("8 ans vie") << QStringLiteral("5") << QStringLiteral("B")
            << QStringLiteral("CEL:5 / MEL:B") << QStringLiteral("8 ans vie");
        QTest::newRow("age of seven")
            << QStringLiteral("8 vieux") << QStringLiteral("5 moyen") << QStringLiteral("Bon")
            << QStringLiteral(" / MEL:Bon") << QStringLiteral("8 vieux/5");
        QTest::newRow("failed mel") << QStringLiteral("9") << QStringLiteral("9") << QString()
                                    << QStringLiteral("CEL:9 / MEL:") << QStringLiteral("9/9//");
        QTest::newRow("failed age")
            << QString() << QStringLiteral("9") << QStringLiteral("Mal")
            << QStringLiteral("AGE: SEXE:Femme CEL:9 / MEL:Mal") << QStringLiteral("/9/Mal/");
        QTest::newRow("accents count as one")
            << QStringLiteral("é") << QStringLiteral("èè") << QStringLiteral("ççççç")
            << QStringLiteral(" / MEL:ççççç") << QStringLiteral("é/èè/çççç");
    }
    void storedValue() {
        QFETCH(QString, age);
        QFETCH(QString, cel);
        QFETCH(QString, mel);
        QFETCH(QString, line2end);
        QFETCH(QString, value);
        ScriptedDraws draws;
        scriptTables(draws);
        const auto script = [&](const QString& id, const QString& text) {
            if (text.isNull())
                draws.setEmptyTable(id);
            else
                draws.setTable(id, {text});
        };
        script(QStringLiteral("age"), age);
        script(QStringLiteral("cel"), cel);
        script(QStringLiteral("mel"), mel);
        draws.pushRolls(noTraitRolls());
        const Sheet sheet = generate(draws);
        QVERIFY2(sheet.lines.at(1).endsWith(line2end), qPrintable(sheet.lines.at(1)));
        QCOMPARE(sheet.value, value);
        QCOMPARE(sheet.storedValue, value);
        if (mel.isNull())
            QCOMPARE(draws.messages(),
                     QStringList{QStringLiteral("Aucun élément dans la table \"mel\"")});
    }

    void failedDrawsLeaveTheirPieceEmpty() {
        ScriptedDraws draws;
        scriptTables(draws);
        draws.setEmptyTable(QStringLiteral("pays"));
        draws.setEmptyTable(QStringLiteral("brav"));
        draws.setEmptyTable(QStringLiteral("chlo"));
        draws.setEmptyTable(QStringLiteral("arje"));
        draws.setEmptyTable(QStringLiteral("tale"));
        draws.setTable(QStringLiteral("cel"), {QStringLiteral("0")});
        draws.setTable(QStringLiteral("age"), {QStringLiteral("1")});
        // brav taken; two weapons, the first from "arje"; the talent count roll.
        draws.pushRolls(QList<int>{1} + QList<int>(13, 3) + QList<int>{2, 1, 2, 1});
        const Sheet sheet = generate(draws);
        QCOMPARE(sheet.lines.at(2),
                 QStringLiteral(" SOCIAL:Pauvre ORIGINE:Paysan PAYS: LIEU:Village"
                                " TERRAIN:Forêt CIVIL:Mariée RELIGION:Aucune"));
        QCOMPARE(sheet.lines.at(4), QStringLiteral(" CHEVEUX Roux  Bouclés YEUX:Verts PILOSITE"
                                                   " TETE:Dense CORPS:Glabre"));
        QCOMPARE(sheet.lines.at(6), QStringLiteral("CARACTERE: -"));
        QCOMPARE(sheet.lines.at(7), QStringLiteral("ARMES : __ / Épée__ / "));
        QCOMPARE(sheet.lines.at(8), QStringLiteral("TALENTS : ___ / ___ / "));
        QCOMPARE(draws.messages(),
                 QStringList({QStringLiteral("Aucun élément dans la table \"pays\""),
                              QStringLiteral("Aucun élément dans la table \"brav\""),
                              QStringLiteral("Aucun élément dans la table \"chlo\""),
                              QStringLiteral("Aucun élément dans la table \"arje\""),
                              QStringLiteral("Aucun élément dans la table \"tale\""),
                              QStringLiteral("Aucun élément dans la table \"tale\"")}));
        QVERIFY(scriptUsedUp(draws));
        QCOMPARE(sheet.storedId, 0.0);
    }

    // With real tables of one element each, every draw and roll consumes exactly one number.
    void realDrawsConsumeNumbersInOrder() {
        ovtest::TempDatabase t;
        addSingleElementTables(*t.db, QStringLiteral("1 jeune"), QStringLiteral("0 faible"));
        // A seed whose rolls take at least two traits and give two weapons, one of each kind.
        quint32 seed = 0;
        QString traits;
        QString arms;
        quint32 expectedState = 0;
        for (;; ++seed) {
            RandomSource mirror(seed);
            Dice dice(mirror);
            for (int i = 0; i < 11; ++i)
                dice.D(1);
            traits = QStringLiteral("CARACTERE: ");
            int taken = 0;
            for (const QString& id : traitTables) {
                if (dice.D(5) == 1) {
                    dice.D(1);
                    traits += id.toUpper() + QLatin1Char('-');
                    ++taken;
                }
            }
            for (int i = 0; i < 19; ++i)
                dice.D(1);
            const int weapons = dice.D(2);
            arms = QStringLiteral("ARMES : ");
            for (int i = 0; i < weapons; ++i) {
                arms += (dice.D(3) == 1 ? QStringLiteral("ARJE") : QStringLiteral("ARCO")) +
                        QStringLiteral("__ / ");
                dice.D(1);
            }
            const int talents = dice.D(1) + 1;
            for (int i = 0; i < talents; ++i)
                dice.D(1);
            expectedState = mirror.state();
            if (taken >= 2 && arms.contains(QStringLiteral("ARJE")) &&
                arms.contains(QStringLiteral("ARCO")))
                break;
        }
        RandomSource source(seed);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        UnprintedCount count(*t.db);
        FixedClock clock(runTime);
        RecordingMessageSink sink;
        RunHost host;
        Generation generation(*t.db, count, clock, draw, sink);
        const RunReport report = generation.run(OutputKind::Perso, host);

        QVERIFY(!report.error);
        QVERIFY(sink.messages.isEmpty());
        QCOMPARE(source.state(), expectedState);
        QCOMPARE(report.lines.at(1), QStringLiteral("_________ ________ _________ AGE:1 jeune"
                                                    " SEXE:SEXE CEL:0 faible / MEL:MEL"));
        QCOMPARE(report.lines.at(5), QStringLiteral("s:STAT - st:STAT - d:STAT - a:STAT - i:STAT"
                                                    " - w:STAT - e:STAT - em:STAT - c:STAT"
                                                    " - ap:STAT"));
        QCOMPARE(report.lines.at(6), traits);
        QCOMPARE(report.lines.at(7), arms);
        QCOMPARE(report.lines.at(8), QStringLiteral("TALENTS : TALE___ / TALE___ / "));
        QCOMPARE(report.type, QStringLiteral("1 jeune/0"));
        QCOMPARE(report.lastTable, QStringLiteral("tale"));
        QVERIFY(report.stored);
    }

    void missingStatTableShowsTenMessages() {
        ovtest::TempDatabase t;
        addSingleElementTables(*t.db, QStringLiteral("8 vieux"), QStringLiteral("5 moyen"),
                               {QStringLiteral("stat")});
        RandomSource source(42);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        UnprintedCount count(*t.db);
        FixedClock clock(runTime);
        RecordingMessageSink sink;
        RunHost host;
        Generation generation(*t.db, count, clock, draw, sink);
        const RunReport report = generation.run(OutputKind::Perso, host);

        QCOMPARE(sink.messages, QStringList(10, QStringLiteral("Pas de table \"stat\"")));
        QCOMPARE(report.messages, sink.messages);
        QVERIFY(!report.error);
        QVERIFY(report.stored);
        QCOMPARE(report.lines.at(5),
                 QStringLiteral("s: - st: - d: - a: - i: - w: - e: - em: - c: - ap:"));
        QCOMPARE(report.lastTable, QStringLiteral("pico"));
        QCOMPARE(recordCount(*t.db, OutputKind::Perso), 1);
        QCOMPARE(count.value(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPerso)
#include "test_perso.moc"
