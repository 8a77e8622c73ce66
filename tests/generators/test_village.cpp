// The village generator: its lines, the order of its draws and rolls, the trades and the Type.

#include "generators/village.h"
#include "scripteddraws.h"
#include "tables/tabledraw.h"
#include "testsupport.h"

#include <QProcess>
#include <QSet>
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

// The texts of every table of the village; a draw hands them out in turn, the last repeating.
QList<QPair<QString, QStringList>> villageTables() {
    QList<QPair<QString, QStringList>> tables;
    const auto add = [&](const char* id, std::initializer_list<const char*> texts) {
        QStringList list;
        for (const char* t : texts)
            list.append(text(t));
        tables.append({QString::fromLatin1(id), list});
    };
    add("vino", {"Brumeval"});
    add("vico", {"Bourg"});
    add("vire", {"Marches de l'Est"});
    add("viag", {"Ancien"});
    add("vica", {"Prospère"});
    add("vise", {"Baron Aldric"});
    add("virp", {"Juste"});
    add("vifa", {"Les Corvin"});
    add("vifi", {"Terre du Val"});
    add("viva", {"Sire Oudin"});
    add("viin", {"Frère Gaspard"});
    add("viha", {"Milice"});
    add("vich", {"Dame Ysolde"});
    add("viim", {"Dîme"});
    add("vilo", {"Coutume"});
    add("vihi", {"Le loup blanc"});
    add("vifo", {"Colline"});
    add("vipr", {"Palissade"});
    add("viel", {"Forêt", "Marais", "Plaine"});
    add("vida", {"Brigands"});
    add("viit", {"Foire", "Pèlerinage", "Relique"});
    add("viri", {"Modeste"});
    add("vima", {"Hebdomadaire"});
    add("virs", {"Bois", "Sel", "Fer"});
    add("vime", {"Forgeron", "Tisserande", "Charpentier-menuisier", "Meunier", "Potier"});
    return tables;
}

void setVillageTables(ScriptedDraws& draws, const QStringList& missing = {}) {
    for (const auto& [id, texts] : villageTables())
        if (!missing.contains(id))
            draws.setTable(id, texts);
}

const QDate runDate(2001, 3, 5);

// A real run of the frame on a temporary database, with scripted draws and a fixed clock.
struct VillageRun {
    explicit VillageRun(ScriptedDraws& d) : draws(d) {}
    void go(const Rolls& rolls) {
        draws.pushRolls(rolls.all());
        generateVillage(run, draws);
    }
    // Every scripted roll was used, none was missing and none was out of its die's range.
    bool rollsSpent() const {
        return draws.remainingRolls() == 0 && !draws.exhausted() && draws.badRolls().isEmpty();
    }
    const QStringList& lines() const { return run.lines(); }
    QVariant stored(const char* field) const {
        return store.db->scalar(
            QStringLiteral("SELECT %1 FROM OVvillage").arg(QLatin1String(field)));
    }

    ovtest::TempDatabase store;
    UnprintedCount count{*store.db};
    FixedClock clock{QDateTime(runDate, QTime(17, 45))};
    ScriptedDraws& draws;
    WatchingHost host{draws};
    GenerationRun run{OutputKind::Village, *store.db, count, clock, host};
};

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

    void wholeVillage() {
        ScriptedDraws draws;
        setVillageTables(draws);
        VillageRun v(draws);
        v.go(Rolls());
        QVERIFY(v.rollsSpent());

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
        QCOMPARE(v.lines(), lines);
        QCOMPARE(v.stored("count(*)").toInt(), 1);
        QCOMPARE(v.stored("Id").toInt(), 0);
        QCOMPARE(v.stored("Village").toString(),
                 lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        QCOMPARE(v.stored("Type").toString(), QStringLiteral("ABourgM10"));
        QCOMPARE(v.stored("DateCreation").toString(), QStringLiteral("2001-03-05"));
        QVERIFY(v.stored("DateImprime").isNull());
        QCOMPARE(v.count.statement(), unprintedCountStatement(OutputKind::Village));
        QCOMPARE(v.host.reopenedCount, 1);

        const QStringList calls =
            QString::fromLatin1("OV vino|OV vico|D4|D 20|D4|D 10|D4|D 10|D4|D 10|D4|D4|D4|"
                                "OV vire|OV viag|OV vica|OV vise|OV virp|OV vifa|OV vifi|OV viva|"
                                "OV viin|D4|D 6|OV viha|D4|D 20|OV vich|D4|D 0|OV viim|OV vilo|"
                                "OV vihi|OV vifo|OV vipr|D4|D4|OV viel|OV viel|OV vida|"
                                "D4|OV viit|OV viit|OV viri|OV vima|D4|OV virs|D 20")
                .split(QLatin1Char('|')) +
            QStringList(6, QStringLiteral("OV vime"));
        QCOMPARE(draws.log(), calls);
        // The count closes and the grids hide before any call; the header comes after calls 1
        // to 4; each line comes once its own calls are made.
        QCOMPARE(v.host.closedAt, 0);
        QCOMPARE(v.host.hiddenAt, 0);
        QCOMPARE(v.host.clearedAt, 0);
        QCOMPARE(v.host.lineAt, (QList<int>{13, 14, 16, 19, 21, 24, 27, 30, 32, 33, 33, 33, 35, 39,
                                            40, 45, 47, 47, 54}));
        QCOMPARE(v.host.shownAt, 54);
    }

    void failedDrawsLeaveTheirPlaceEmpty() {
        // Missing tables and tables without elements fail alike; the calls go on as before.
        ScriptedDraws draws;
        setVillageTables(draws, {QStringLiteral("vino"), QStringLiteral("vire"),
                                 QStringLiteral("vilo"), QStringLiteral("viit")});
        for (const char* id : {"vico", "viag", "viel", "vida", "virs"})
            draws.setEmptyTable(QString::fromLatin1(id));
        Rolls rolls;
        rolls.interests = 2;
        rolls.resources = 3;
        VillageRun v(draws);
        v.go(rolls);
        QVERIFY(v.rollsSpent());

        const QStringList& lines = v.lines();
        QCOMPARE(lines.size(), 20);
        QCOMPARE(lines[1], text("NOM()__________ CONSTRUIT()__________ REGION()__________"));
        QCOMPARE(lines[2], text("MAISONS >>> 10 <<<  POPULATION >>> 20 <<<  ( / Prospère)"));
        QCOMPARE(lines[8], text("IMPOTS LOCAUX(Dîme)__________LOIS()____________________"));
        QCOMPARE(lines[13], text("TERRAIN :  /  / __________    "));
        QCOMPARE(lines[14], text("DANGER : "));
        QCOMPARE(lines[15],
                 text("RICHESSE : Modeste    INTERETS LOCAUX :  /     MARCHE : Hebdomadaire"));
        QCOMPARE(lines[16], text("RESSOURCE : ____________________________"));
        QCOMPARE(lines[17], lines[16]);
        QCOMPARE(lines[18], text("> METIERS : "));
        QCOMPARE(v.stored("Type").toString(), QStringLiteral("AM10"));

        const auto none = [](const char* id) { return noTableMessage(QString::fromLatin1(id)); };
        const auto empty = [](const char* id) {
            return noElementsMessage(QString::fromLatin1(id));
        };
        QCOMPARE(draws.messages(),
                 (QStringList{none("vino"), empty("vico"), none("vire"), empty("viag"),
                              none("vilo"), empty("viel"), empty("viel"), empty("vida"),
                              none("viit"), empty("virs"), empty("virs")}));
    }

    void listsAndLineCount_data() {
        QTest::addColumn<QList<int>>("terrainRolls");
        QTest::addColumn<int>("interests");
        QTest::addColumn<int>("resources");
        QTest::addColumn<QString>("terrain");
        QTest::addColumn<QString>("wealth");
        QTest::addColumn<QStringList>("resourceLines");

        QTest::newRow("shortest")
            << QList<int>{1, 1} << 1 << 1 << text("TERRAIN : Forêt / __________    ")
            << text("RICHESSE : Modeste    INTERETS LOCAUX :     MARCHE : Hebdomadaire")
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
        VillageRun v(draws);
        v.go(rolls);
        QVERIFY(v.rollsSpent());

        const QStringList& lines = v.lines();
        QCOMPARE(lines.size(), 18 + resourceLines.size());
        QCOMPARE(lines[13], terrain);
        QCOMPARE(lines[15], wealth);
        QCOMPARE(lines.mid(16, resourceLines.size()), resourceLines);
        QCOMPARE(lines[16 + resourceLines.size()], text("> METIERS : "));
        // The interests are drawn before the wealth and the market.
        const QStringList& log = draws.log();
        const QStringList expected =
            QStringList{QStringLiteral("D4")} +
            QStringList(interests - 1, QStringLiteral("OV viit")) +
            QStringList{QStringLiteral("OV viri"), QStringLiteral("OV vima")};
        QCOMPARE(log.mid(log.indexOf(QStringLiteral("OV viri")) - interests, interests + 2),
                 expected);
    }

    void numberedLines_data() {
        QTest::addColumn<QList<int>>("rolls");
        QTest::addColumn<QStringList>("dice");
        QTest::addColumn<QStringList>("numbers");

        QTest::newRow("D4 of 1 rolls D(0)")
            << QList<int>{1, 1, 1, 10, 1, 1}
            << QStringList{QStringLiteral("D 0"), QStringLiteral("D 10"), QStringLiteral("D 0")}
            << QStringList{QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("1")};
        QTest::newRow("D4 of 4") << QList<int>{4, 9, 4, 40, 4, 12}
                                 << QStringList{QStringLiteral("D 9"), QStringLiteral("D 40"),
                                                QStringLiteral("D 12")}
                                 << QStringList{QStringLiteral("9"), QStringLiteral("40"),
                                                QStringLiteral("12")};
    }
    void numberedLines() {
        QFETCH(QList<int>, rolls);
        QFETCH(QStringList, dice);
        QFETCH(QStringList, numbers);

        ScriptedDraws draws;
        setVillageTables(draws);
        Rolls script;
        script.stewards = rolls.mid(0, 2);
        script.menAtArms = rolls.mid(2, 2);
        script.knights = rolls.mid(4, 2);
        VillageRun v(draws);
        v.go(script);
        QVERIFY(v.rollsSpent());

        const QStringList& log = draws.log();
        QCOMPARE(log.mid(log.indexOf(QStringLiteral("OV viin")), 9),
                 (QStringList{QStringLiteral("OV viin"), QStringLiteral("D4"), dice[0],
                              QStringLiteral("OV viha"), QStringLiteral("D4"), dice[1],
                              QStringLiteral("OV vich"), QStringLiteral("D4"), dice[2]}));
        const QString tail = text(")______________________________");
        QCOMPARE(v.lines()[5], text("INTENDANTS(Frère Gaspard / ") + numbers[0] + tail);
        QCOMPARE(v.lines()[6], text("HOMMES d ARMES (Milice / ") + numbers[1] + tail);
        QCOMPARE(v.lines()[7], text("CHEVALIER(Dame Ysolde / ") + numbers[2] + tail);
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

        // Trades of the full 60 characters: the largest line passes 7,000 characters.
        const QString trade = text("Maître verrier et souffleur de bouteilles à façon, rue Basse");
        QCOMPARE(trade.size(), 60);
        ScriptedDraws draws;
        setVillageTables(draws);
        draws.setTable(QStringLiteral("vime"), {trade});
        Rolls rolls;
        rolls.houses = houseRolls;
        rolls.factor = factorRolls;
        rolls.trades = tradeRolls;
        VillageRun v(draws);
        v.go(rolls);
        QVERIFY(v.rollsSpent());

        const QStringList parts = sizes.split(QStringLiteral(" / "));
        QCOMPARE(v.lines()[2], text("MAISONS >>> ") + parts[0] + text(" <<<  POPULATION >>> ") +
                                   parts[1] + text(" <<<  (Ancien / Prospère)"));
        const QStringList& log = draws.log();
        QCOMPARE(log.mid(log.lastIndexOf(QStringLiteral("OV virs")) + 1),
                 dice + QStringList(trades, QStringLiteral("OV vime")));
        // No closing blanks after 60 characters; a leading blank below 10 only.
        const QString line = v.lines().last();
        QCOMPARE(line.size(), 63 * trades + (trades >= 100 ? trades - 99 : 0));
        QVERIFY(line.startsWith(text(" 1-") + trade));
        QVERIFY(line.endsWith(QString::number(trades) + text("-") + trade));
        if (trades >= 100)
            QVERIFY(line.contains(text("99-") + trade + text("100-") + trade + text("101-")));
        QCOMPARE(v.stored("Village").toString(), v.run.text());
    }

    void tradeEntries_data() {
        QTest::addColumn<bool>("missing");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QList<int>>("failing");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("messages");

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
        setVillageTables(draws, missing ? QStringList{QStringLiteral("vime")} : QStringList());
        if (!missing)
            draws.setTable(QStringLiteral("vime"), texts);
        draws.failing = QSet<int>(failing.begin(), failing.end());
        // Twelve entries: 20 houses, population 40, D(20) = 10.
        Rolls rolls;
        rolls.houses = {1, 5, 1, 5, 1, 5, 1, 5};
        rolls.trades = {10};
        VillageRun v(draws);
        v.go(rolls);
        QVERIFY(v.rollsSpent());

        QCOMPARE(v.lines().last(), line);
        QCOMPARE(int(draws.messages().size() + draws.failures.size()), messages);
        if (missing)
            QCOMPARE(draws.messages(), QStringList(12, noTableMessage(QStringLiteral("vime"))));
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
        VillageRun v(draws);
        v.go(rolls);
        QVERIFY(v.rollsSpent());
        QCOMPARE(v.run.storedValue(), type);
        QCOMPARE(v.stored("Type").toString(), type);
        QVERIFY(v.lines()[1].contains(text(" CONSTRUIT(") + construction + text(")__________ ")));
    }

    void commandLineToolMakesTheSameRun() {
        // The real tables and dice, through the tool: the same seed makes the same village.
        QStringList outputs;
        for (int pass = 0; pass < 2; ++pass) {
            ovtest::TempDatabase store;
            ovtest::clearRandomTables(*store.db);
            for (const auto& [id, texts] : villageTables()) {
                QVector<QPair<QString, double>> elements;
                for (int i = 0; i < texts.size(); ++i)
                    elements.append({texts[i], double(i + 1)});
                if (id != QStringLiteral("vire"))
                    ovtest::addTable(*store.db, id, elements);
            }
            store.db.reset();

            QProcess tool;
            tool.start(QString::fromLocal8Bit(qgetenv("OV_CLI")),
                       {QStringLiteral("generate"), QStringLiteral("village"),
                        QStringLiteral("--database"), store.path, QStringLiteral("--seed"),
                        QStringLiteral("77")});
            QVERIFY(tool.waitForFinished(60000));
            const QString out = QString::fromUtf8(tool.readAllStandardOutput());
            QCOMPARE(tool.exitCode(), 0);
            QCOMPARE(QString::fromUtf8(tool.readAllStandardError()).trimmed(),
                     noTableMessage(QStringLiteral("vire")));

            Database reopened(store.path);
            const QString stored =
                reopened.scalar(QStringLiteral("SELECT Village FROM OVvillage")).toString();
            QCOMPARE(QString(stored).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), out);
            const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QVERIFY(lines.size() >= 18 && lines.size() <= 21);
            QCOMPARE(lines[1], text("NOM(Brumeval)__________ CONSTRUIT(Bourg)__________ "
                                    "REGION()__________"));
            QCOMPARE(reopened.scalar(QStringLiteral("SELECT Type FROM OVvillage")).toString(),
                     text("ABourgM") + lines[2].section(QLatin1Char(' '), 2, 2));
            outputs.append(out);
        }
        QCOMPARE(outputs[1], outputs[0]);
    }
};

QTEST_GUILESS_MAIN(TestVillage)
#include "test_village.moc"
