// The encounter generator: the encounter count, each category's lines and draws, the result
// slots that failed draws leave as they were, and the stored record.

#include "generators/rencontre.h"
#include "runrecorder.h"
#include "scripteddraws.h"
#include "tables/random.h"
#include "testsupport.h"

#include <QProcess>
#include <QTest>

using namespace ov;
using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime runTime(QDate(2001, 3, 5), QTime(9, 15));
const QString separator = u"............"_s;

// Every table that an encounter draws from, as "id=text|text|..."; tests leave some out.
const QStringList allTables{u"rnom=Grok|Brak"_s,     u"rfor=bipède"_s,
                            u"rali=neutre|loyal"_s,  u"ratt=hostile|amical"_s,
                            u"trvi=caché|visible"_s, u"ract=chasse|dort"_s,
                            u"rich=pauvre"_s,        u"orig=nord"_s,
                            u"rcon=tour|pont|mur"_s, u"rtai=grande|petite"_s,
                            u"tret=ruine|neuf"_s,    u"rmet=orage|pluie"_s,
                            u"rpos=favorable"_s,     u"rter=marais|forêt|colline|lac|plaine"_s,
                            u"reve=incendie|fête"_s, u"tytr=trjo Joyau|trop Coupe|trar"_s};

void setTables(ovtest::ScriptedDraws& draws, const QStringList& tables,
               const QStringList& leftOut = {}) {
    for (const QString& table : tables) {
        const qsizetype equals = table.indexOf(u'=');
        const QString id = table.left(equals);
        if (!leftOut.contains(id))
            draws.setTable(id, table.mid(equals + 1).split(u'|'));
    }
}

QString header(int n) {
    return u"OV -"_s + QString::number(n) + u"- "_s + shortDate(runTime.date());
}

QStringList drawCalls(const QStringList& ids) {
    QStringList calls;
    for (const QString& id : ids)
        calls.append(id.startsWith(u"D "_s) ? id : u"OV "_s + id);
    return calls;
}

// One scripted encounter run on the shared store.
struct ScriptedRun : ovtest::RecordedRun {
    ScriptedRun() : RecordedRun(OutputKind::Rencontre, runTime, generateRencontre) {}
};

} // namespace

class TestRencontre : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }
    void cleanupTestCase() { ovtest::closeSharedStore(); }

    // One encounter of each kind: its lines and its draws and rolls in order.
    void categories_data() {
        QTest::addColumn<QString>("encounter");
        QTest::addColumn<QList<int>>("rolls"); // the encounter count's D(10) first
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("calls"); // after "D 10" and "OV renc"

        const QString attitude = u"  ATTITUDE: hostile - VISIBILITE: caché - ACTIVITE: chasse"_s;
        QTest::newRow("rcre") << u"rcre Ogre"_s << QList<int>{1}
                              << QStringList{u"Grok Ogre - FORME: bipède - ALIGNEMENT: neutre"_s,
                                             attitude}
                              << drawCalls({u"rnom"_s, u"rfor"_s, u"rali"_s, u"ratt"_s, u"trvi"_s,
                                            u"ract"_s});
        QTest::newRow("rhum")
            << u"rhum Marchand"_s << QList<int>{4}
            << QStringList{u"Grok Marchand - ALIGNEMENT: neutre - SOCIAL: pauvre ORIGINE: nord"_s,
                           attitude}
            << drawCalls(
                   {u"rnom"_s, u"rali"_s, u"rich"_s, u"orig"_s, u"ratt"_s, u"trvi"_s, u"ract"_s});
        QTest::newRow("rani")
            << u"rani Loup"_s << QList<int>{2}
            << QStringList{u"Grok Loup - FORME: bipède"_s,
                           u"   - OBJECTIF: hostile - VISIBILITE: caché - ACTIVITE: chasse"_s}
            << drawCalls({u"rnom"_s, u"rfor"_s, u"ratt"_s, u"trvi"_s, u"ract"_s});
        QTest::newRow("rcon")
            << u"rcon Ruines"_s << QList<int>{3, 2}
            << QStringList{u"Ruines: tour - TAILLE: grande - VISIBILITE: caché - ETAT: ruine"_s,
                           u"Ruines: pont - TAILLE: petite - VISIBILITE: visible - ETAT: neuf"_s}
            << drawCalls({u"D 3"_s, u"rcon"_s, u"rtai"_s, u"trvi"_s, u"tret"_s, u"rcon"_s,
                          u"rtai"_s, u"trvi"_s, u"tret"_s});
        QTest::newRow("rmet") << u"rmet Ciel"_s << QList<int>{1}
                              << QStringList{u"Ciel: orage - POSITIVITE: favorable"_s}
                              << drawCalls({u"rmet"_s, u"rpos"_s});
        QTest::newRow("rter")
            << u"rter Paysage"_s << QList<int>{1, 5}
            << QStringList{u"Paysage: marais - TAILLE: grande - VISIBILITE: caché"_s,
                           u"Paysage: forêt - TAILLE: petite - VISIBILITE: visible"_s,
                           u"Paysage: colline - TAILLE: petite - VISIBILITE: visible"_s,
                           u"Paysage: lac - TAILLE: petite - VISIBILITE: visible"_s,
                           u"Paysage: plaine - TAILLE: petite - VISIBILITE: visible"_s}
            << drawCalls({u"D 5"_s, u"rter"_s, u"rtai"_s, u"trvi"_s, u"rter"_s, u"rtai"_s,
                          u"trvi"_s, u"rter"_s, u"rtai"_s, u"trvi"_s, u"rter"_s, u"rtai"_s,
                          u"trvi"_s, u"rter"_s, u"rtai"_s, u"trvi"_s});
        QTest::newRow("reve") << u"reve Signe"_s << QList<int>{1, 3}
                              << QStringList{u"Signe: incendie - POSITIVITE: favorable"_s,
                                             u"Signe: fête - POSITIVITE: favorable"_s,
                                             u"Signe: fête - POSITIVITE: favorable"_s}
                              << drawCalls({u"D 3"_s, u"reve"_s, u"rpos"_s, u"reve"_s, u"rpos"_s,
                                            u"reve"_s, u"rpos"_s});
        QTest::newRow("robj")
            << u"robj Trouvaille"_s << QList<int>{1, 3}
            << QStringList{u"Trouvaille: Joyau - TAILLE: grande - VISIBILITE: caché - ETAT: ruine"_s,
                           u"Trouvaille: Coupe - TAILLE: petite - VISIBILITE: visible - ETAT: neuf"_s,
                           u"Trouvaille:  - TAILLE: petite - VISIBILITE: visible - ETAT: neuf"_s}
            << drawCalls({u"D 3"_s, u"tytr"_s, u"rtai"_s, u"trvi"_s, u"tret"_s, u"tytr"_s,
                          u"rtai"_s, u"trvi"_s, u"tret"_s, u"tytr"_s, u"rtai"_s, u"trvi"_s,
                          u"tret"_s});
        QTest::newRow("bare code")
            << u"rcre"_s << QList<int>{1}
            << QStringList{u"Grok  - FORME: bipède - ALIGNEMENT: neutre"_s, attitude}
            << drawCalls({u"rnom"_s, u"rfor"_s, u"rali"_s, u"ratt"_s, u"trvi"_s, u"ract"_s});
        QTest::newRow("five characters")
            << u"rmet#"_s << QList<int>{1} << QStringList{u": orage - POSITIVITE: favorable"_s}
            << drawCalls({u"rmet"_s, u"rpos"_s});
        QTest::newRow("code followed by its text")
            << u"rmetCiel"_s << QList<int>{1}
            << QStringList{u"iel: orage - POSITIVITE: favorable"_s}
            << drawCalls({u"rmet"_s, u"rpos"_s});
        QTest::newRow("capitals") << u"RCRE Ogre"_s << QList<int>{1} << QStringList()
                                  << QStringList();
        QTest::newRow("unknown code")
            << u"rdra Dragon"_s << QList<int>{1} << QStringList() << QStringList();
        QTest::newRow("three characters")
            << u"rcr"_s << QList<int>{1} << QStringList() << QStringList();
    }
    void categories() {
        QFETCH(QString, encounter);
        QFETCH(QList<int>, rolls);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, calls);

        ScriptedRun r;
        setTables(r.draws, allTables);
        r.draws.setTable(u"renc"_s, {encounter});
        r.draws.pushRolls(rolls);
        r.go();

        QCOMPARE(r.lines, QStringList{header(0)} + lines + QStringList{separator});
        QCOMPARE(r.draws.log(), (QStringList{u"D 10"_s, u"OV renc"_s} + calls));
        QCOMPARE(r.draws.messages(), QStringList());
        QCOMPARE(r.draws.remainingRolls(), 0);
        QVERIFY(!r.draws.exhausted());
    }

    // One D(10) banded like D4 gives the number of encounters, each closed by its separator.
    void encounterCount_data() {
        QTest::addColumn<int>("roll");
        QTest::addColumn<int>("encounters");
        for (const auto& [roll, encounters] :
             QList<std::pair<int, int>>{{1, 1}, {4, 1}, {5, 2}, {7, 2}, {8, 3}, {9, 3}, {10, 4}})
            QTest::addRow("D10 = %d", roll) << roll << encounters;
    }
    void encounterCount() {
        QFETCH(int, roll);
        QFETCH(int, encounters);

        ScriptedRun r;
        setTables(r.draws, allTables);
        r.draws.setTable(u"renc"_s, {u"rmet Ciel"_s});
        r.draws.pushRolls({roll});
        r.go();

        QCOMPARE(r.lines.size(), 1 + 2 * encounters);
        QCOMPARE(r.lines.count(separator), encounters);
        QCOMPARE(r.lines.last(), separator);
        QCOMPARE(r.draws.log().count(u"OV renc"_s), encounters);
        QCOMPARE(r.draws.log().count(u"D 10"_s), 1);
        QCOMPARE(r.draws.remainingRolls(), 0);
    }

    // The count roll comes before the frame's first step, no draw before the header line; the
    // record is stored with its CR LF text and a blank Type.
    void runOrderAndStoredRecord() {
        ScriptedRun r;
        setTables(r.draws, allTables);
        r.draws.setTable(u"renc"_s, {u"rmet Ciel"_s, u"reve Signe"_s});
        r.draws.pushRolls({6, 1});
        appendRecord(*r.t.db, OutputKind::Rencontre, 0, u"x"_s, u" "_s, runTime);
        r.go();

        const QStringList lines{header(1), u"Ciel: orage - POSITIVITE: favorable"_s, separator,
                                u"Signe: incendie - POSITIVITE: favorable"_s, separator};
        QCOMPARE(r.events,
                 (QStringList{u"D 10"_s, u"count closed"_s, u"grids hidden"_s, u"memo cleared"_s,
                              u"line "_s + lines[0], u"OV renc"_s, u"OV rmet"_s, u"OV rpos"_s,
                              u"line "_s + lines[1], u"line "_s + lines[2], u"OV renc"_s, u"D 3"_s,
                              u"OV reve"_s, u"OV rpos"_s, u"line "_s + lines[3],
                              u"line "_s + lines[4], u"grids shown"_s, u"count 2"_s}));
        QCOMPARE(r.count.statement(),
                 u"SELECT COUNT(*) as NonImprime FROM ovRencontre WHERE DateImprime IS NULL"_s);

        QSqlQuery row = r.t.db->run(
            u"SELECT Rencontre, Type, DateCreation, DateImprime IS NULL FROM OVrencontre "
            "WHERE Id = 1"_s);
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toString(), lines.join(u"\r\n"_s) + u"\r\n"_s);
        QCOMPARE(row.value(1).toString(), u" "_s);
        QCOMPARE(row.value(2).toString(), u"2001-03-05"_s);
        QVERIFY(row.value(3).toBool());
    }

    // A failed draw leaves its slot as it was: the header's number and date at first, then what
    // the last draw into that slot gave, across lines and encounters.
    void failedDrawsKeepTheirSlot_data() {
        QTest::addColumn<QStringList>("encounters");
        QTest::addColumn<QStringList>("leftOut");
        QTest::addColumn<QList<int>>("rolls");
        QTest::addColumn<QStringList>("lines"); // after the header
        QTest::addColumn<int>("messages");

        const QString date = shortDate(runTime.date());
        QTest::newRow("name and form in the first encounter")
            << QStringList{u"rcre Ogre"_s} << QStringList{u"rnom"_s, u"rfor"_s} << QList<int>{1}
            << QStringList{u"3 Ogre - FORME: "_s + date + u" - ALIGNEMENT: neutre"_s,
                           u"  ATTITUDE: hostile - VISIBILITE: caché - ACTIVITE: chasse"_s,
                           separator}
            << 2;
        QTest::newRow("alignment across two creatures")
            << QStringList{u"rcre Ogre"_s} << QStringList{u"rali"_s} << QList<int>{5}
            << QStringList{u"Grok Ogre - FORME: bipède - ALIGNEMENT: "_s,
                           u"  ATTITUDE: hostile - VISIBILITE: caché - ACTIVITE: chasse"_s,
                           separator,
                           u"Brak Ogre - FORME: bipède - ALIGNEMENT: chasse"_s,
                           u"  ATTITUDE: amical - VISIBILITE: visible - ACTIVITE: dort"_s,
                           separator}
            << 2;
        QTest::newRow("slots kept from another category")
            << QStringList{u"rhum Marchand"_s, u"rcon Ruines"_s}
            << QStringList{u"rcon"_s, u"tret"_s} << QList<int>{5, 2}
            << QStringList{u"Grok Marchand - ALIGNEMENT: neutre - SOCIAL: pauvre ORIGINE: nord"_s,
                           u"  ATTITUDE: hostile - VISIBILITE: caché - ACTIVITE: chasse"_s,
                           separator,
                           u"Ruines: hostile - TAILLE: grande - VISIBILITE: visible - ETAT: nord"_s,
                           u"Ruines: hostile - TAILLE: petite - VISIBILITE: visible - ETAT: nord"_s,
                           separator}
            << 4;
        QTest::newRow("object name missing")
            << QStringList{u"rcre Ogre"_s, u"robj Trouvaille"_s} << QStringList{u"tytr"_s}
            << QList<int>{5, 2}
            << QStringList{u"Grok Ogre - FORME: bipède - ALIGNEMENT: neutre"_s,
                           u"  ATTITUDE: hostile - VISIBILITE: caché - ACTIVITE: chasse"_s,
                           separator,
                           u"Trouvaille:  - TAILLE: grande - VISIBILITE: visible - ETAT: ruine"_s,
                           u"Trouvaille:  - TAILLE: petite - VISIBILITE: visible - ETAT: neuf"_s,
                           separator}
            << 2;
        QTest::newRow("encounter table missing")
            << QStringList() << QStringList() << QList<int>{8}
            << QStringList{separator, separator, separator} << 3;
    }
    void failedDrawsKeepTheirSlot() {
        QFETCH(QStringList, encounters);
        QFETCH(QStringList, leftOut);
        QFETCH(QList<int>, rolls);
        QFETCH(QStringList, lines);
        QFETCH(int, messages);

        ScriptedRun r;
        for (int id = 0; id < 3; ++id)
            appendRecord(*r.t.db, OutputKind::Rencontre, id, u"x"_s, u" "_s, runTime);
        setTables(r.draws, allTables, leftOut);
        if (!encounters.isEmpty())
            r.draws.setTable(u"renc"_s, encounters);
        r.draws.pushRolls(rolls);
        r.go();

        QCOMPARE(r.lines, QStringList{header(3)} + lines);
        QCOMPARE(r.draws.messages().size(), messages);
        QCOMPARE(r.draws.remainingRolls(), 0);
        QCOMPARE(r.t.db->scalar(u"SELECT count(*) FROM OVrencontre"_s).toInt(), 4);
    }

    // An empty "renc" table: one message per encounter, only separators.
    void emptyEncounterTable() {
        ScriptedRun r;
        r.draws.setEmptyTable(u"renc"_s);
        r.draws.pushRolls({10});
        r.go();
        QCOMPARE(r.lines, (QStringList{header(0), separator, separator, separator, separator}));
        QCOMPARE(r.draws.messages(), QStringList(4, u"Aucun élément dans la table \"renc\""_s));
        QCOMPARE(r.draws.log(), (QStringList{u"D 10"_s} + QStringList(4, u"OV renc !"_s)));
    }

    // The tool's generate verb runs the same body: as many encounters as the first roll of its
    // seed gives, on standard output and stored.
    void commandLineRun() {
        ovtest::TempDatabase& t = ovtest::freshStore();
        ovtest::clearRandomTables(*t.db);
        ovtest::addTable(*t.db, u"renc"_s, {{u"rmet Ciel"_s, 1}});
        ovtest::addTable(*t.db, u"rmet"_s, {{u"orage"_s, 1}});
        ovtest::addTable(*t.db, u"rpos"_s, {{u"favorable"_s, 1}});

        for (const quint32 seed : {1u, 2024u, 4000000000u}) {
            RandomSource source(seed);
            Dice dice(source);
            const int encounters = Dice::bandD4(dice.D(10));

            QProcess tool;
            tool.start(qEnvironmentVariable("OV_CLI"),
                       {u"generate"_s, u"rencontre"_s, u"--database"_s, t.path, u"--seed"_s,
                        QString::number(seed)});
            QVERIFY(tool.waitForFinished(30000));
            QCOMPARE(tool.exitCode(), 0);
            QStringList out = QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n');
            QCOMPARE(out.takeLast(), QString());
            QVERIFY(out.value(0).startsWith(u"OV -"_s));
            QStringList expected;
            for (int i = 0; i < encounters; ++i)
                expected << u"Ciel: orage - POSITIVITE: favorable"_s << separator;
            QCOMPARE(out.mid(1), expected);
            QCOMPARE(
                t.db->scalar(u"SELECT Rencontre FROM OVrencontre ORDER BY Id DESC"_s).toString(),
                out.join(u"\r\n"_s) + u"\r\n"_s);
        }
        QCOMPARE(t.db->scalar(u"SELECT count(*) FROM OVrencontre WHERE Type = ' '"_s).toInt(), 3);
    }
};

QTEST_GUILESS_MAIN(TestRencontre)
#include "test_rencontre.moc"
