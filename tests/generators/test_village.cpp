// The village generator: its lines, the order of its draws and rolls, the trades and the Type.

#include "generators/generators.h"
#include "generators/village.h"
#include "scripteddraws.h"
#include "tables/tabledraw.h"
#include "testsupport.h"

#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTest>

using namespace ov;
using ovtest::ScriptedDraws;

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString blanks(int count) {
    return QString(count, QLatin1Char(' '));
}

// Records, for every step of the frame, how many calls the body had made by then.
class WatchingHost : public RunHost {
public:
    explicit WatchingHost(const ScriptedDraws& draws) : m_draws(draws) {}
    void countClosed() override { closedAt = calls(); }
    void gridsHidden() override { hiddenAt = calls(); }
    void memoCleared() override { clearedAt = calls(); }
    void lineAdded(const QString& line) override {
        Q_UNUSED(line);
        lineAt.append(calls());
    }
    void gridsShown() override { shownAt = calls(); }
    void countReopened(qint64 count) override { reopenedCount = count; }

    int closedAt = -1, hiddenAt = -1, clearedAt = -1, shownAt = -1;
    QList<int> lineAt;
    qint64 reopenedCount = -1;

private:
    int calls() const { return int(m_draws.log().size()); }
    const ScriptedDraws& m_draws;
};

// The dice of one run, call by call; the defaults make a village of 10 houses and 20 people.
struct Rolls {
    QList<int> houses{2, 3, 1, 1, 1, 4, 1, 2}; // four pairs D4, D(10 x D4)
    QList<int> factor{1, 1, 2};                // three D4
    QList<int> stewards{3, 5};                 // D4, D(3 x (k - 1))
    QList<int> menAtArms{2, 14};               // D4, D(10 x k)
    QList<int> knights{1, 1};                  // D4, D(4 x (k - 1))
    QList<int> terrain{2, 1};                  // D4, D4
    int interests = 3;                         // D4
    int resources = 2;                         // D4
    QList<int> trades{5};                      // D(20), then D(h) when rolled again

    QList<int> all() const {
        return houses + factor + stewards + menAtArms + knights + terrain + QList<int>{interests} +
               QList<int>{resources} + trades;
    }
};

// Every table of the village with its texts, but those said missing.
void setVillageTables(ScriptedDraws& draws, const QStringList& missing = {}) {
    const QList<QPair<const char*, QStringList>> tables{
        {"vino", {text("Brumeval")}},
        {"vico", {text("Bourg")}},
        {"vire", {text("Marches de l'Est")}},
        {"viag", {text("Ancien")}},
        {"vica", {text("Prospère")}},
        {"vise", {text("Baron Aldric")}},
        {"virp", {text("Juste")}},
        {"vifa", {text("Les Corvin")}},
        {"vifi", {text("Terre du Val")}},
        {"viva", {text("Sire Oudin")}},
        {"viin", {text("Frère Gaspard")}},
        {"viha", {text("Milice")}},
        {"vich", {text("Dame Ysolde")}},
        {"viim", {text("Dîme")}},
        {"vilo", {text("Coutume")}},
        {"vihi", {text("Le loup blanc")}},
        {"vifo", {text("Colline")}},
        {"vipr", {text("Palissade")}},
        {"viel", {text("Forêt"), text("Marais"), text("Plaine")}},
        {"vida", {text("Brigands")}},
        {"viit", {text("Foire"), text("Pèlerinage"), text("Relique")}},
        {"viri", {text("Modeste")}},
        {"vima", {text("Hebdomadaire")}},
        {"virs", {text("Bois"), text("Sel"), text("Fer")}},
        {"vime",
         {text("Forgeron"), text("Tisserande"), text("Charpentier-menuisier"), text("Meunier"),
          text("Potier")}},
    };
    for (const auto& [id, texts] : tables)
        if (!missing.contains(QString::fromLatin1(id)))
            draws.setTable(QString::fromLatin1(id), texts);
}

const QDate runDate(2001, 3, 5);

// A real run of the frame on a temporary database, with scripted draws and a fixed clock.
struct VillageRun {
    explicit VillageRun(ScriptedDraws& d) : draws(d) {}
    void go() { generateVillage(run, draws); }
    QString trades() const { return run.lines().last(); }

    struct Row {
        int id = -1;
        QString text;
        QString type;
        QString created;
        bool printed = true;
    };
    QList<Row> rows() const {
        QSqlQuery query = store.db->run(QStringLiteral(
            "SELECT Id, Village, Type, DateCreation, DateImprime FROM OVvillage ORDER BY Id"));
        QList<Row> rows;
        while (query.next())
            rows.append({query.value(0).toInt(), query.value(1).toString(),
                         query.value(2).toString(), query.value(3).toString(),
                         !query.value(4).isNull()});
        return rows;
    }

    ovtest::TempDatabase store;
    UnprintedCount count{*store.db};
    FixedClock clock{QDateTime(runDate, QTime(17, 45))};
    ScriptedDraws& draws;
    WatchingHost host{draws};
    GenerationRun run{OutputKind::Village, *store.db, count, clock, host};
};

// Every scripted roll was used, none was missing and none was out of its die's range.
void checkRollsSpent(const ScriptedDraws& draws) {
    QCOMPARE(draws.remainingRolls(), 0);
    QVERIFY(!draws.exhausted());
    QCOMPARE(draws.badRolls(), QStringList());
}

// Fails the chosen draws from "vime" (counted from 1), as a table emptied during the run would.
class FailingTradeDraws : public ScriptedDraws {
public:
    bool OV(const QString& id, QString& result) override {
        if (id == QStringLiteral("vime") && failing.contains(++m_tradeDraws)) {
            failures.append(noElementsMessage(id));
            return false;
        }
        return ScriptedDraws::OV(id, result);
    }
    QSet<int> failing;
    QStringList failures;

private:
    int m_tradeDraws = 0;
};

} // namespace

class TestVillage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void wholeVillageIsStored() {
        ScriptedDraws draws;
        setVillageTables(draws);
        draws.pushRolls(Rolls().all());
        VillageRun v(draws);
        v.go();
        checkRollsSpent(draws);

        const QStringList lines{
            QStringLiteral("OV -0- ") + shortDate(runDate),
            text("NOM(Brumeval)__________ CONSTRUIT(Bourg)__________ REGION(Marches de "
                 "l'Est)__________"),
            text("MAISONS >>> 10 <<<  POPULATION >>> 20 <<<  (Ancien / Prospère)"),
            text("SEIGNEUR(Baron Aldric / Juste)__________ FAMILLE(Les Corvin)__________ "),
            text("FIEF (Terre du Val)____________________  VASSAL(Sire Oudin)____________________"),
            text("INTENDANTS(Frère Gaspard / 5)______________________________"),
            text("HOMMES d ARMES (Milice / 14)______________________________"),
            text("CHEVALIER(Dame Ysolde / 1)______________________________"),
            text("IMPOTS LOCAUX(Dîme)__________LOIS(Coutume)____________________"),
            text("HISTOIRES / LEGENDES(Le loup blanc)________________________________________"),
            text(">"),
            text(">"),
            text("LIEU EN : Colline__________  PROTEGE PAR : Palissade__________"),
            text("TERRAIN : Forêt / Marais / __________    "),
            text("DANGER : Brigands"),
            text("RICHESSE : Modeste    INTERETS LOCAUX : Foire / Pèlerinage /     MARCHE : "
                 "Hebdomadaire"),
            text("RESSOURCE : Bois____________________________"),
            text("> METIERS : "),
            text(" 1-Forgeron") + blanks(5) + text(" 2-Tisserande") + blanks(3) +
                text(" 3-Charpentier-menuisier") + text(" 4-Meunier") + blanks(6) +
                text(" 5-Potier") + blanks(7) + text(" 6-Potier") + blanks(7),
        };
        QCOMPARE(v.run.lines(), lines);

        const QList<VillageRun::Row> rows = v.rows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].id, 0);
        QCOMPARE(rows[0].text, lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        QCOMPARE(rows[0].type, QStringLiteral("ABourgM10"));
        QCOMPARE(rows[0].created, QStringLiteral("2001-03-05"));
        QVERIFY(!rows[0].printed);
        QCOMPARE(v.count.statement(),
                 QStringLiteral("SELECT COUNT(*) as NonImprime FROM ovVillage WHERE DateImprime "
                                "IS NULL"));
        QCOMPARE(v.host.reopenedCount, 1);
    }

    void callsComeInTheirOrder() {
        ScriptedDraws draws;
        setVillageTables(draws);
        draws.pushRolls(Rolls().all());
        VillageRun v(draws);
        v.go();

        QStringList expected =
            QString::fromLatin1("OV vino|OV vico|D4|D 20|D4|D 10|D4|D 10|D4|D 10|D4|D4|D4|"
                                "OV vire|OV viag|OV vica|OV vise|OV virp|OV vifa|OV vifi|OV viva|"
                                "OV viin|D4|D 6|OV viha|D4|D 20|OV vich|D4|D 0|OV viim|OV vilo|"
                                "OV vihi|OV vifo|OV vipr|D4|D4|OV viel|OV viel|OV vida|"
                                "D4|OV viit|OV viit|OV viri|OV vima|D4|OV virs|D 20")
                .split(QLatin1Char('|'));
        for (int i = 0; i < 6; ++i)
            expected.append(QStringLiteral("OV vime"));
        QCOMPARE(draws.log(), expected);

        // The frame closes the count and hides the grids before any call; the header comes after
        // calls 1 to 4; each line comes once its own calls are made.
        QCOMPARE(v.host.closedAt, 0);
        QCOMPARE(v.host.hiddenAt, 0);
        QCOMPARE(v.host.clearedAt, 0);
        QCOMPARE(v.host.lineAt, (QList<int>{13, 14, 16, 19, 21, 24, 27, 30, 32, 33, 33, 33, 35, 39,
                                            40, 45, 47, 47, 54}));
        QCOMPARE(v.host.shownAt, 54);
    }

    void failedDrawsLeaveTheirPlaceEmpty() {
        // Missing tables and tables without elements fail alike.
        ScriptedDraws draws;
        setVillageTables(draws, {QStringLiteral("vino"), QStringLiteral("vire"),
                                 QStringLiteral("vilo"), QStringLiteral("viit")});
        for (const char* id : {"vico", "viag", "vida", "virs"})
            draws.setEmptyTable(QString::fromLatin1(id));
        Rolls rolls;
        rolls.terrain = {1, 2};
        rolls.interests = 2;
        rolls.resources = 3;
        draws.pushRolls(rolls.all());
        VillageRun v(draws);
        v.go();
        checkRollsSpent(draws);

        const QStringList& lines = v.run.lines();
        QCOMPARE(lines.size(), 20);
        QCOMPARE(lines[1], text("NOM()__________ CONSTRUIT()__________ REGION()__________"));
        QCOMPARE(lines[2], text("MAISONS >>> 10 <<<  POPULATION >>> 20 <<<  ( / Prospère)"));
        QCOMPARE(lines[8], text("IMPOTS LOCAUX(Dîme)__________LOIS()____________________"));
        QCOMPARE(lines[13], text("TERRAIN : Forêt / Marais / __________    "));
        QCOMPARE(lines[14], text("DANGER : "));
        QCOMPARE(lines[15],
                 text("RICHESSE : Modeste    INTERETS LOCAUX :  /     MARCHE : Hebdomadaire"));
        QCOMPARE(lines[16], text("RESSOURCE : ____________________________"));
        QCOMPARE(lines[17], text("RESSOURCE : ____________________________"));
        QCOMPARE(lines[18], text("> METIERS : "));
        QCOMPARE(v.rows().at(0).type, QStringLiteral("AM10"));

        const auto none = [](const char* id) { return noTableMessage(QString::fromLatin1(id)); };
        const auto empty = [](const char* id) {
            return noElementsMessage(QString::fromLatin1(id));
        };
        QCOMPARE(draws.messages(), (QStringList{none("vino"), empty("vico"), none("vire"),
                                                empty("viag"), none("vilo"), empty("vida"),
                                                none("viit"), empty("virs"), empty("virs")}));
        QCOMPARE(draws.log().count(QStringLiteral("OV virs !")), 2);
    }

    void missingTableInTheTerrain() {
        ScriptedDraws draws;
        setVillageTables(draws);
        draws.setEmptyTable(QStringLiteral("viel"));
        draws.pushRolls(Rolls().all());
        VillageRun v(draws);
        v.go();
        checkRollsSpent(draws);
        // Each failed draw still leaves its " / ".
        QCOMPARE(v.run.lines().at(13), text("TERRAIN :  /  / __________    "));
        QCOMPARE(draws.messages(), QStringList(2, noElementsMessage(QStringLiteral("viel"))));
    }

    void listsAndLineCount_data() {
        QTest::addColumn<QList<int>>("terrainRolls");
        QTest::addColumn<int>("interests");
        QTest::addColumn<int>("resources");
        QTest::addColumn<QString>("terrain");
        QTest::addColumn<QString>("wealth");
        QTest::addColumn<QStringList>("resourceLines");

        QTest::newRow("shortest") << QList<int>{1, 1} << 1 << 1
                                  << text("TERRAIN : Forêt / __________    ")
                                  << text("RICHESSE : Modeste    INTERETS LOCAUX :     MARCHE : "
                                          "Hebdomadaire")
                                  << QStringList();
        QTest::newRow("longest")
            << QList<int>{4, 4} << 4 << 4
            << text("TERRAIN : Forêt / Marais / Plaine / Plaine / Plaine / Plaine / Plaine / "
                    "__________    ")
            << text("RICHESSE : Modeste    INTERETS LOCAUX : Foire / Pèlerinage / Relique /     "
                    "MARCHE : Hebdomadaire")
            << QStringList{text("RESSOURCE : Bois____________________________"),
                           text("RESSOURCE : Sel____________________________"),
                           text("RESSOURCE : Fer____________________________")};
    }
    void listsAndLineCount() {
        QFETCH(QList<int>, terrainRolls);
        QFETCH(int, interests);
        QFETCH(int, resources);
        QFETCH(QString, terrain);
        QFETCH(QString, wealth);
        QFETCH(QStringList, resourceLines);

        ScriptedDraws draws;
        setVillageTables(draws);
        Rolls rolls;
        rolls.terrain = terrainRolls;
        rolls.interests = interests;
        rolls.resources = resources;
        draws.pushRolls(rolls.all());
        VillageRun v(draws);
        v.go();
        checkRollsSpent(draws);

        const QStringList& lines = v.run.lines();
        QCOMPARE(lines.size(), 18 + resourceLines.size());
        QCOMPARE(lines[13], terrain);
        QCOMPARE(lines[15], wealth);
        QCOMPARE(lines.mid(16, resourceLines.size()), resourceLines);
        QCOMPARE(lines[16 + resourceLines.size()], text("> METIERS : "));
        // The interests are drawn before the wealth and the market.
        const QStringList& log = draws.log();
        const qsizetype wealthAt = log.indexOf(QStringLiteral("OV viri"));
        const QStringList expected =
            QStringList{QStringLiteral("D4")} +
            QStringList(interests - 1, QStringLiteral("OV viit")) +
            QStringList{QStringLiteral("OV viri"), QStringLiteral("OV vima")};
        QCOMPARE(log.mid(wealthAt - interests, interests + 2), expected);
    }

    void numberedLines_data() {
        QTest::addColumn<QList<int>>("stewards");
        QTest::addColumn<QList<int>>("menAtArms");
        QTest::addColumn<QList<int>>("knights");
        QTest::addColumn<QStringList>("dice");
        QTest::addColumn<QStringList>("numbers");

        QTest::newRow("D4 of 1 rolls D(0)")
            << QList<int>{1, 1} << QList<int>{1, 10} << QList<int>{1, 1}
            << QStringList{QStringLiteral("D 0"), QStringLiteral("D 10"), QStringLiteral("D 0")}
            << QStringList{QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("1")};
        QTest::newRow("D4 of 4") << QList<int>{4, 9} << QList<int>{4, 40} << QList<int>{4, 12}
                                 << QStringList{QStringLiteral("D 9"), QStringLiteral("D 40"),
                                                QStringLiteral("D 12")}
                                 << QStringList{QStringLiteral("9"), QStringLiteral("40"),
                                                QStringLiteral("12")};
    }
    void numberedLines() {
        QFETCH(QList<int>, stewards);
        QFETCH(QList<int>, menAtArms);
        QFETCH(QList<int>, knights);
        QFETCH(QStringList, dice);
        QFETCH(QStringList, numbers);

        ScriptedDraws draws;
        setVillageTables(draws);
        Rolls rolls;
        rolls.stewards = stewards;
        rolls.menAtArms = menAtArms;
        rolls.knights = knights;
        draws.pushRolls(rolls.all());
        VillageRun v(draws);
        v.go();
        checkRollsSpent(draws);

        const QStringList& log = draws.log();
        QCOMPARE(log.mid(log.indexOf(QStringLiteral("OV viin")), 9),
                 (QStringList{QStringLiteral("OV viin"), QStringLiteral("D4"), dice[0],
                              QStringLiteral("OV viha"), QStringLiteral("D4"), dice[1],
                              QStringLiteral("OV vich"), QStringLiteral("D4"), dice[2]}));
        const QStringList& lines = v.run.lines();
        QCOMPARE(lines[5], text("INTENDANTS(Frère Gaspard / ") + numbers[0] +
                               text(")______________________________"));
        QCOMPARE(lines[6], text("HOMMES d ARMES (Milice / ") + numbers[1] +
                               text(")______________________________"));
        QCOMPARE(lines[7], text("CHEVALIER(Dame Ysolde / ") + numbers[2] +
                               text(")______________________________"));
    }

    void tradeCount_data() {
        QTest::addColumn<QList<int>>("houseRolls");
        QTest::addColumn<QList<int>>("factorRolls");
        QTest::addColumn<QList<int>>("tradeRolls");
        QTest::addColumn<QString>("sizes");
        QTest::addColumn<QStringList>("dice");
        QTest::addColumn<int>("trades");

        const QList<int> fourHouses{1, 1, 1, 1, 1, 1, 1, 1};
        const QList<int> tenHouses{1, 2, 1, 3, 1, 1, 1, 4};
        const QList<int> factorOne{1, 1, 1};
        const QList<int> factorTwo{1, 1, 2};
        const QString d20 = QStringLiteral("D 20");

        QTest::newRow("smallest, 248 gives 2 and stays")
            << fourHouses << factorOne << QList<int>{12} << QStringLiteral("4 / 4")
            << QStringList{d20} << 2;
        QTest::newRow("smallest, 252 gives 3, more than half: D(2)")
            << fourHouses << factorOne << QList<int>{13, 1} << QStringLiteral("4 / 4")
            << QStringList{d20, QStringLiteral("D 2")} << 1;
        QTest::newRow("550 gives 6") << tenHouses << factorTwo << QList<int>{5}
                                     << QStringLiteral("10 / 20") << QStringList{d20} << 6;
        QTest::newRow("650 gives 6") << tenHouses << factorTwo << QList<int>{15}
                                     << QStringLiteral("10 / 20") << QStringList{d20} << 6;
        QTest::newRow("2475 gives 25")
            << QList<int>{4, 30, 1, 5, 1, 5, 1, 5} << factorTwo << QList<int>{5}
            << QStringLiteral("45 / 90") << QStringList{d20} << 25;
        QTest::newRow("population 5: D(2)")
            << QList<int>{1, 2, 1, 1, 1, 1, 1, 1} << factorOne << QList<int>{1, 2}
            << QStringLiteral("5 / 5") << QStringList{d20, QStringLiteral("D 2")} << 2;
        QTest::newRow("population 7: D(4)")
            << QList<int>{1, 1, 1, 2, 1, 2, 1, 2} << factorOne << QList<int>{20, 4}
            << QStringLiteral("7 / 7") << QStringList{d20, QStringLiteral("D 4")} << 4;
        QTest::newRow("population 9: D(4)")
            << QList<int>{1, 3, 1, 2, 1, 2, 1, 2} << factorOne << QList<int>{1, 3}
            << QStringLiteral("9 / 9") << QStringList{d20, QStringLiteral("D 4")} << 3;
        QTest::newRow("population 10 below 12: D(5)")
            << tenHouses << factorOne << QList<int>{5, 5} << QStringLiteral("10 / 10")
            << QStringList{d20, QStringLiteral("D 5")} << 5;
        QTest::newRow("largest") << QList<int>{4, 40, 4, 40, 4, 40, 4, 40} << QList<int>{4, 4, 4}
                                 << QList<int>{20} << QStringLiteral("160 / 1600")
                                 << QStringList{d20} << 112;
    }
    void tradeCount() {
        QFETCH(QList<int>, houseRolls);
        QFETCH(QList<int>, factorRolls);
        QFETCH(QList<int>, tradeRolls);
        QFETCH(QString, sizes);
        QFETCH(QStringList, dice);
        QFETCH(int, trades);

        ScriptedDraws draws;
        setVillageTables(draws);
        draws.setTable(QStringLiteral("vime"), {text("Forgeron")});
        Rolls rolls;
        rolls.houses = houseRolls;
        rolls.factor = factorRolls;
        rolls.trades = tradeRolls;
        draws.pushRolls(rolls.all());
        VillageRun v(draws);
        v.go();
        checkRollsSpent(draws);

        const QStringList parts = sizes.split(QStringLiteral(" / "));
        QCOMPARE(v.run.lines().at(2), text("MAISONS >>> ") + parts[0] +
                                          text(" <<<  POPULATION >>> ") + parts[1] +
                                          text(" <<<  (Ancien / Prospère)"));
        const QStringList& log = draws.log();
        QCOMPARE(log.mid(log.lastIndexOf(QStringLiteral("OV virs")) + 1),
                 dice + QStringList(trades, QStringLiteral("OV vime")));
        // Sixteen characters an entry up to 99, seventeen from 100 on.
        const QString line = v.trades();
        QCOMPARE(line.size(), 16 * qMin(trades, 99) + 17 * qMax(trades - 99, 0));
        QVERIFY(line.endsWith(QString::number(trades) + text("-Forgeron") + blanks(5)));
        if (trades >= 100)
            QVERIFY(line.contains(text("99-Forgeron") + blanks(5) + text("100-Forgeron")));
    }

    void tradeEntries_data() {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<int>>("failing");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("messages");

        // Twelve entries: 20 houses, population 40, D(20) = 10.
        QTest::newRow("widths") << false << QStringList{text("Forgeron"),
                                                        text("Apothicairess"),
                                                        QString(),
                                                        text("Marchand de vins fins"),
                                                        text("Chaudronnier"),
                                                        text("Potier"),
                                                        text("X"),
                                                        text("Tisserand"),
                                                        text("Meunier"),
                                                        text("Apothicairess"),
                                                        QString(),
                                                        text("Forgeron")}
                                << QList<int>{}
                                << text(" 1-Forgeron") + blanks(5) + text(" 2-Apothicairess") +
                                       text(" 3-") + blanks(12) + text(" 4-Marchand de vins fins") +
                                       text(" 5-Chaudronnier") + blanks(1) + text(" 6-Potier") +
                                       blanks(7) + text(" 7-X") + blanks(12) +
                                       text(" 8-Tisserand") + blanks(4) + text(" 9-Meunier") +
                                       blanks(6) + text("10-Apothicairess") + text("11-") +
                                       blanks(12) + text("12-Forgeron") + blanks(5)
                                << 0;
        QString bare;
        for (int i = 1; i <= 12; ++i)
            bare += (i < 10 ? blanks(1) : QString()) + QString::number(i) + text("-") + blanks(12);
        QTest::newRow("missing table") << true << QStringList() << QList<int>{} << bare << 12;
        QTest::newRow("failed draws repeat the previous trade")
            << false << QStringList{text("Forgeron"), text("Potier")} << QList<int>{1, 3, 4, 11}
            << text(" 1-") + blanks(12) + text(" 2-Forgeron") + blanks(5) + text(" 3-Forgeron") +
                   blanks(5) + text(" 4-Forgeron") + blanks(5) + text(" 5-Potier") + blanks(7) +
                   text(" 6-Potier") + blanks(7) + text(" 7-Potier") + blanks(7) +
                   text(" 8-Potier") + blanks(7) + text(" 9-Potier") + blanks(7) +
                   text("10-Potier") + blanks(7) + text("11-Potier") + blanks(7) +
                   text("12-Potier") + blanks(7)
            << 4;
    }
    void tradeEntries() {
        QFETCH(bool, missing);
        QFETCH(QStringList, texts);
        QFETCH(QList<int>, failing);
        QFETCH(QString, line);
        QFETCH(int, messages);

        FailingTradeDraws draws;
        if (missing)
            setVillageTables(draws, {QStringLiteral("vime")});
        else
            setVillageTables(draws);
        if (!texts.isEmpty())
            draws.setTable(QStringLiteral("vime"), texts);
        draws.failing = QSet<int>(failing.begin(), failing.end());
        Rolls rolls;
        rolls.houses = {1, 5, 1, 5, 1, 5, 1, 5};
        rolls.factor = {1, 1, 2};
        rolls.trades = {10};
        draws.pushRolls(rolls.all());
        VillageRun v(draws);
        v.go();
        checkRollsSpent(draws);

        QCOMPARE(v.trades(), line);
        QCOMPARE(int(draws.messages().size() + draws.failures.size()), messages);
        if (missing)
            QCOMPARE(draws.messages(), QStringList(12, noTableMessage(QStringLiteral("vime"))));
        QCOMPARE(v.rows().at(0).text.split(QStringLiteral("\r\n")).at(18), line);
    }

    void typeIsCutToNineCharacters_data() {
        QTest::addColumn<QString>("construction");
        QTest::addColumn<QList<int>>("houseRolls");
        QTest::addColumn<QString>("type");

        const QList<int> largest{4, 40, 4, 40, 4, 40, 4, 40};
        QTest::newRow("3 characters, 3 digits") << text("Pic") << largest << text("APicM160");
        QTest::newRow("4 characters, 3 digits") << text("Cité") << largest << text("ACitéM160");
        QTest::newRow("5 characters, 3 digits") << text("Bourg") << largest << text("ABourgM16");
        QTest::newRow("7 characters") << text("Hameaux") << largest << text("AHameauxM");
        QTest::newRow("longer") << text("Ville fortifiée") << largest << text("AVille fo");
        QTest::newRow("2 digits") << text("Bourg") << QList<int>{1, 2, 1, 3, 1, 1, 1, 4}
                                  << text("ABourgM10");
        QTest::newRow("failed draw") << QString() << largest << text("AM160");
    }
    void typeIsCutToNineCharacters() {
        QFETCH(QString, construction);
        QFETCH(QList<int>, houseRolls);
        QFETCH(QString, type);

        ScriptedDraws draws;
        setVillageTables(draws);
        if (construction.isEmpty())
            draws.setEmptyTable(QStringLiteral("vico"));
        else
            draws.setTable(QStringLiteral("vico"), {construction});
        Rolls rolls;
        rolls.houses = houseRolls;
        rolls.trades = {1};
        draws.pushRolls(rolls.all());
        VillageRun v(draws);
        v.go();
        QCOMPARE(v.run.storedValue(), type);
        QCOMPARE(v.rows().at(0).type, type);
        QVERIFY(v.run.lines().at(1).contains(text(" CONSTRUIT(") + construction +
                                             text(")__________ ")));
    }

    void longestTradesLineIsStoredWhole() {
        ScriptedDraws draws;
        setVillageTables(draws);
        const QString longTrade =
            text("Maître verrier et souffleur de bouteilles à façon, rue ") + text("Basse");
        QCOMPARE(longTrade.size(), 60);
        draws.setTable(QStringLiteral("vime"), {longTrade});
        Rolls rolls;
        rolls.houses = {4, 40, 4, 40, 4, 40, 4, 40};
        rolls.factor = {4, 4, 4};
        rolls.trades = {20};
        draws.pushRolls(rolls.all());
        VillageRun v(draws);
        v.go();
        checkRollsSpent(draws);

        const QString line = v.trades();
        QCOMPARE(line.size(), 9 * 63 + 90 * 63 + 13 * 64);
        QVERIFY(line.startsWith(text(" 1-") + longTrade + text(" 2-")));
        QVERIFY(line.contains(text("99-") + longTrade + text("100-") + longTrade + text("101-")));
        QVERIFY(line.endsWith(text("112-") + longTrade));
        const VillageRun::Row row = v.rows().at(0);
        QCOMPARE(row.text, v.run.text());
        QCOMPARE(row.text.split(QStringLiteral("\r\n")).at(v.run.lines().size() - 1), line);
    }

    void realTablesAndDice() {
        // Two databases with the same tables and the same seed make the same village.
        QStringList first;
        for (int pass = 0; pass < 2; ++pass) {
            ovtest::TempDatabase store;
            ovtest::clearRandomTables(*store.db);
            setRealTables(*store.db);
            RandomSource source(20010305u);
            Dice dice(source);
            TableDraw draw(*store.db, dice);
            UnprintedCount count(*store.db);
            FixedClock clock(QDateTime(runDate, QTime(9, 0)));
            RecordingMessageSink messages;
            Generation generation(*store.db, count, clock, draw, messages);
            RunHost host;
            const RunReport report = generation.run(OutputKind::Village, host);

            QVERIFY(!report.error);
            QVERIFY(report.stored);
            QCOMPARE(messages.messages, QStringList{noTableMessage(QStringLiteral("vire"))});
            QVERIFY(report.lines.size() >= 18 && report.lines.size() <= 21);
            QCOMPARE(report.lines.at(1),
                     text("NOM(Brumeval)__________ CONSTRUIT(Bourg)__________ REGION()__________"));
            const QString houses = report.lines.at(2).section(QLatin1Char(' '), 2, 2);
            QCOMPARE(report.type, text("ABourgM") + houses);
            QCOMPARE(store.db->scalar(QStringLiteral("SELECT Village FROM OVvillage")).toString(),
                     report.lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
            QCOMPARE(count.value(), 1);
            if (pass == 0)
                first = report.lines;
            else
                QCOMPARE(report.lines, first);
        }
    }

    void commandLineToolMakesTheSameRun() {
        ovtest::TempDatabase store;
        ovtest::clearRandomTables(*store.db);
        setRealTables(*store.db);
        store.db.reset();

        QProcess tool;
        tool.start(QString::fromLocal8Bit(qgetenv("OV_CLI")),
                   {QStringLiteral("generate"), QStringLiteral("village"),
                    QStringLiteral("--database"), store.path, QStringLiteral("--seed"),
                    QStringLiteral("77")});
        QVERIFY(tool.waitForFinished(60000));
        const QString out = QString::fromUtf8(tool.readAllStandardOutput());
        const QString err = QString::fromUtf8(tool.readAllStandardError());
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(err.trimmed(), noTableMessage(QStringLiteral("vire")));

        Database reopened(store.path);
        const QString stored =
            reopened.scalar(QStringLiteral("SELECT Village FROM OVvillage")).toString();
        QCOMPARE(QString(stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), out);
        QVERIFY(out.contains(text("\n> METIERS : \n")));
        QVERIFY(reopened.scalar(QStringLiteral("SELECT Type FROM OVvillage"))
                    .toString()
                    .startsWith(text("ABourgM")));
    }

private:
    // Every table but "vire", with one or a few weighted elements.
    static void setRealTables(const Database& db) {
        const QList<QPair<const char*, QStringList>> tables{
            {"vino", {text("Brumeval")}},
            {"vico", {text("Bourg")}},
            {"viag", {text("Ancien"), text("Récent")}},
            {"vica", {text("Prospère")}},
            {"vise", {text("Baron Aldric")}},
            {"virp", {text("Juste"), text("Cruel")}},
            {"vifa", {text("Les Corvin")}},
            {"vifi", {text("Terre du Val")}},
            {"viva", {text("Sire Oudin")}},
            {"viin", {text("Frère Gaspard")}},
            {"viha", {text("Milice")}},
            {"vich", {text("Dame Ysolde")}},
            {"viim", {text("Dîme")}},
            {"vilo", {text("Coutume")}},
            {"vihi", {text("Le loup blanc")}},
            {"vifo", {text("Colline")}},
            {"vipr", {text("Palissade")}},
            {"viel", {text("Forêt"), text("Marais"), text("Plaine")}},
            {"vida", {text("Brigands")}},
            {"viit", {text("Foire"), text("Pèlerinage")}},
            {"viri", {text("Modeste")}},
            {"vima", {text("Hebdomadaire")}},
            {"virs", {text("Bois"), text("Sel")}},
            {"vime", {text("Forgeron"), text("Potier"), text("Meunier")}},
        };
        for (const auto& [id, texts] : tables) {
            QVector<QPair<QString, double>> elements;
            for (int i = 0; i < texts.size(); ++i)
                elements.append({texts[i], double(i + 1)});
            ovtest::addTable(db, QString::fromLatin1(id), elements);
        }
    }
};

QTEST_GUILESS_MAIN(TestVillage)
#include "test_village.moc"
