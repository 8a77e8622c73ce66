// The treasure generator: its lines for each type code, the order of its draws and rolls, failed
// draws, the coin quantity conversion, and the stored record.

#include "generators/generators.h"
#include "generators/tresor.h"
#include "runrecorder.h"
#include "scripteddraws.h"
#include "testsupport.h"

#include <QProcess>
#include <QTest>

using namespace ov;
using namespace Qt::Literals::StringLiterals;
using ovtest::EventHost;
using ovtest::TracedDraws;

namespace {

const QDateTime runTime(QDate(2001, 3, 5), QTime(14, 30));

// Tables given as "id=text|text|..." (a table with no text after "=" is empty).
void setTables(ovtest::ScriptedDraws& draws, const QStringList& tables) {
    for (const QString& table : tables) {
        const qsizetype equals = table.indexOf(u'=');
        const QString id = table.left(equals);
        const QString texts = table.mid(equals + 1);
        if (texts.isEmpty())
            draws.setEmptyTable(id);
        else
            draws.setTable(id, texts.split(u'|'));
    }
}

// The tables of lines 3 and 4, present in every scripted run unless a test says otherwise.
const QStringList fixedTables{u"trpr=piège"_s, u"trvi=caché"_s,  u"tror=elfe"_s,  u"trqt=peu"_s,
                              u"trql=2"_s,     u"tret=intact"_s, u"trcn=coffre"_s};
const QString line3 = u"PROTECTION: piège - VISIBLE: caché - ORIGINE: elfe"_s;
const QString line4 = u"QT: peu - EL: 2 - ETAT: intact - CONTENANT: coffre"_s;
const QStringList fixedCalls{u"OV trpr"_s, u"OV trvi"_s, u"OV tror"_s, u"OV trqt"_s,
                             u"OV trql"_s, u"OV tret"_s, u"OV trcn"_s};

QString header(int n) {
    return u"OV -"_s + QString::number(n) + u"- "_s + shortDate(runTime.date());
}

// One scripted treasure run on the shared store.
struct ScriptedRun : ovtest::RecordedRun {
    ScriptedRun() : RecordedRun(OutputKind::Tresor, runTime, generateTresor) {}
};

// A whole run on real tables and real dice, through the guarded run.
struct RealRun {
    RealRun() : count(*t.db), clock(runTime), dice(source), draw(*t.db, dice) {}

    RunReport go() {
        Generation generation(*t.db, count, clock, draw, messages);
        return generation.run(OutputKind::Tresor, host);
    }

    ovtest::TempDatabase& t = ovtest::freshStore();
    UnprintedCount count;
    FixedClock clock;
    RandomSource source{12345};
    Dice dice;
    TableDraw draw;
    RecordingMessageSink messages;
    QStringList events;
    EventHost host{events};
};

void addFixedTables(const Database& db) {
    for (const QString& table : fixedTables) {
        const qsizetype equals = table.indexOf(u'=');
        ovtest::addTable(db, table.left(equals), {{table.mid(equals + 1), 1}});
    }
}

} // namespace

class TestTresor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }
    void cleanupTestCase() { ovtest::closeSharedStore(); }

    void lineTwo_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QList<int>>("rolls");
        QTest::addColumn<QString>("line2");
        QTest::addColumn<QStringList>("calls"); // between "OV tytr" and the draws of lines 3-4
        QTest::addColumn<QStringList>("messages");

        QTest::newRow("jewel")
            << u"trjo Joyau"_s << QStringList{u"trjo=rubis"_s, u"trjt=moyen"_s, u"trjr=rare"_s}
            << QList<int>{37}
            << u"Joyau - rubis - TAILLE: moyen - RARETE: rare - VALEUR(+EL): x37"_s
            << QStringList{u"OV trjo"_s, u"OV trjt"_s, u"OV trjr"_s, u"D 100"_s} << QStringList();
        QTest::newRow("object") << u"trop Objet"_s << QStringList{u"trop=coupe"_s, u"trom=argent"_s}
                                << QList<int>() << u"Objet - coupe - EN: argent"_s
                                << QStringList{u"OV trop"_s, u"OV trom"_s} << QStringList();
        QTest::newRow("coins 010") << u"trmo Monnaie"_s << QStringList{u"trmo=010 pièces d'or"_s}
                                   << QList<int>{7} << u"Monnaie - pièces d'or - QT: 7"_s
                                   << QStringList{u"OV trmo"_s, u"D 10"_s} << QStringList();
        QTest::newRow("coins 000")
            << u"trmo Monnaie"_s << QStringList{u"trmo=000 sous"_s} << QList<int>{1}
            << u"Monnaie - sous - QT: 1"_s << QStringList{u"OV trmo"_s, u"D 0"_s} << QStringList();
        QTest::newRow("coins blank 12") << u"trmo Monnaie"_s << QStringList{u"trmo= 12 gemmes"_s}
                                        << QList<int>{12} << u"Monnaie - gemmes - QT: 12"_s
                                        << QStringList{u"OV trmo"_s, u"D 12"_s} << QStringList();
        QTest::newRow("coins hexadecimal") << u"trmo Monnaie"_s << QStringList{u"trmo=$0A perles"_s}
                                           << QList<int>{9} << u"Monnaie - perles - QT: 9"_s
                                           << QStringList{u"OV trmo"_s, u"D 10"_s} << QStringList();
        QTest::newRow("coins four characters")
            << u"trmo Monnaie"_s << QStringList{u"trmo=007x"_s} << QList<int>{5}
            << u"Monnaie -  - QT: 5"_s << QStringList{u"OV trmo"_s, u"D 7"_s} << QStringList();
        QTest::newRow("weapon") << u"trar Arme"_s
                                << QStringList{u"trar=épée"_s, u"trac=garde"_s, u"traq=deux"_s}
                                << QList<int>() << u"Arme - épée - SUR: garde - QT: deux"_s
                                << QStringList{u"OV trar"_s, u"OV trac"_s, u"OV traq"_s}
                                << QStringList();
        for (const QString& code : {u"trae"_s, u"trmg"_s, u"tran"_s})
            QTest::newRow(qPrintable(code))
                << code + u" Divers"_s << QStringList{code + u"=cotte"_s, u"traq=une"_s}
                << QList<int>() << u"Divers - cotte - QT: une"_s
                << QStringList{u"OV "_s + code, u"OV traq"_s} << QStringList();
        QTest::newRow("magic three effects")
            << u"trma Magie"_s << QStringList{u"trma=anneau"_s, u"trme=feu|glace|foudre"_s}
            << QList<int>{3, 2, 5, 6, 7, 1, 1}
            << u"Magie - anneau - MEL 13 / EL 7 - EFFET: feu / glace / foudre"_s
            << QStringList{u"OV trma"_s, u"D4"_s,   u"D 6"_s,     u"D 6"_s,  u"D 6"_s,    u"D 10"_s,
                           u"OV trme"_s, u"D 10"_s, u"OV trme"_s, u"D 10"_s, u"OV trme"_s}
            << QStringList();
        QTest::newRow("magic one effect")
            << u"trma Magie"_s << QStringList{u"trma=anneau"_s, u"trme=feu|glace"_s}
            << QList<int>{1, 4, 10, 2, 3} << u"Magie - anneau - MEL 4 / EL 10 - EFFET: feu"_s
            << QStringList{u"OV trma"_s, u"D4"_s,   u"D 6"_s, u"D 10"_s,
                           u"OV trme"_s, u"D 10"_s, u"D 10"_s}
            << QStringList();
        QTest::newRow("magic second extra only, same effect")
            << u"trma Magie"_s << QStringList{u"trma=bâton"_s, u"trme=feu"_s}
            << QList<int>{4, 6, 6, 6, 6, 1, 5, 1}
            << u"Magie - bâton - MEL 24 / EL 1 - EFFET: feu / feu"_s
            << QStringList{u"OV trma"_s, u"D4"_s,      u"D 6"_s,  u"D 6"_s,  u"D 6"_s,    u"D 6"_s,
                           u"D 10"_s,    u"OV trme"_s, u"D 10"_s, u"D 10"_s, u"OV trme"_s}
            << QStringList();
        QTest::newRow("other code")
            << u"trxx Divers"_s << QStringList{u"trxx=corde"_s} << QList<int>()
            << u"Divers - corde"_s << QStringList{u"OV trxx"_s} << QStringList();
        QTest::newRow("upper-case code")
            << u"TRJO Joyau"_s << QStringList{u"TRJO=perle"_s, u"trjt=x"_s, u"trjr=x"_s}
            << QList<int>() << u"Joyau - perle"_s << QStringList{u"OV TRJO"_s} << QStringList();
        QTest::newRow("blank in code")
            << u"tr o Objet"_s << QStringList{u"tr o=perle"_s} << QList<int>() << u"Objet - perle"_s
            << QStringList{u"OV tr o"_s} << QStringList();
        QTest::newRow("type of two characters")
            << u"tr"_s << QStringList{u"tr=bâton"_s} << QList<int>() << u" - bâton"_s
            << QStringList{u"OV tr"_s} << QStringList();
        QTest::newRow("type of four characters")
            << u"trop"_s << QStringList{u"trop=coupe"_s, u"trom=or"_s} << QList<int>()
            << u" - coupe - EN: or"_s << QStringList{u"OV trop"_s, u"OV trom"_s} << QStringList();
        QTest::newRow("type of five characters")
            << u"trae#"_s << QStringList{u"trae=cotte"_s, u"traq=une"_s} << QList<int>()
            << u" - cotte - QT: une"_s << QStringList{u"OV trae"_s, u"OV traq"_s} << QStringList();
        QTest::newRow("no separator")
            << u"trjoJoyau"_s << QStringList{u"trjo=rubis"_s, u"trjt=gros"_s, u"trjr=rare"_s}
            << QList<int>{100}
            << u"oyau - rubis - TAILLE: gros - RARETE: rare - VALEUR(+EL): x100"_s
            << QStringList{u"OV trjo"_s, u"OV trjt"_s, u"OV trjr"_s, u"D 100"_s} << QStringList();
        QTest::newRow("sub-table missing")
            << u"trop Objet"_s << QStringList{u"trom=lin"_s} << QList<int>()
            << u"Objet -  - EN: lin"_s << QStringList{u"OV trop !"_s, u"OV trom"_s}
            << QStringList{u"Pas de table \"trop\""_s};
        QTest::newRow("detail table missing")
            << u"trjo Joyau"_s << QStringList{u"trjo=rubis"_s, u"trjr=rare"_s} << QList<int>{5}
            << u"Joyau - rubis - TAILLE:  - RARETE: rare - VALEUR(+EL): x5"_s
            << QStringList{u"OV trjo"_s, u"OV trjt !"_s, u"OV trjr"_s, u"D 100"_s}
            << QStringList{u"Pas de table \"trjt\""_s};
        QTest::newRow("weapon details missing")
            << u"trar Arme"_s << QStringList{u"trar=épée"_s, u"trac="_s} << QList<int>()
            << u"Arme - épée - SUR:  - QT: "_s
            << QStringList{u"OV trar"_s, u"OV trac !"_s, u"OV traq !"_s}
            << QStringList{u"Aucun élément dans la table \"trac\""_s, u"Pas de table \"traq\""_s};
        QTest::newRow("effects missing")
            << u"trma Magie"_s << QStringList{u"trma=anneau"_s} << QList<int>{1, 2, 3, 1, 1}
            << u"Magie - anneau - MEL 2 / EL 3 - EFFET:  /  / "_s
            << QStringList{u"OV trma"_s, u"D4"_s,        u"D 6"_s,  u"D 10"_s,     u"OV trme !"_s,
                           u"D 10"_s,    u"OV trme !"_s, u"D 10"_s, u"OV trme !"_s}
            << QStringList(3, u"Pas de table \"trme\""_s);
    }
    void lineTwo() {
        QFETCH(QString, type);
        QFETCH(QStringList, tables);
        QFETCH(QList<int>, rolls);
        QFETCH(QString, line2);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, messages);

        ScriptedRun r;
        setTables(r.draws, fixedTables);
        setTables(r.draws, tables);
        r.draws.setTable(u"tytr"_s, {type});
        r.draws.pushRolls(rolls);
        r.go();

        QCOMPARE(r.lines, (QStringList{header(0), line2, line3, line4}));
        QCOMPARE(r.draws.log(), QStringList{u"OV tytr"_s} + calls + fixedCalls);
        QCOMPARE(r.draws.messages(), messages);
        QVERIFY(!r.draws.exhausted());
        QCOMPARE(r.draws.remainingRolls(), 0);
        QCOMPARE(r.draws.badRolls(), QStringList());
    }

    // The frame's steps, the draws and the lines in one order; the record as stored.
    void runOrderAndStoredRecord() {
        ScriptedRun r;
        setTables(r.draws, fixedTables);
        setTables(r.draws, {u"tytr=trop Objet"_s, u"trop=coupe"_s, u"trom=argent"_s});
        r.go();

        const QString line2 = u"Objet - coupe - EN: argent"_s;
        QCOMPARE(r.events,
                 (QStringList{u"count closed"_s, u"grids hidden"_s, u"memo cleared"_s, u"OV tytr"_s,
                              u"line "_s + header(0), u"OV trop"_s, u"OV trom"_s,
                              u"line "_s + line2, u"OV trpr"_s, u"OV trvi"_s, u"OV tror"_s,
                              u"line "_s + line3, u"OV trqt"_s, u"OV trql"_s, u"OV tret"_s,
                              u"OV trcn"_s, u"line "_s + line4, u"grids shown"_s, u"count 1"_s}));
        QCOMPARE(r.count.statement(),
                 u"SELECT COUNT(*) as NonImprime FROM ovTresor WHERE DateImprime IS NULL"_s);

        QSqlQuery row = r.t.db->run(
            u"SELECT Id, Tresor, Type, DateCreation, DateImprime IS NULL FROM OVtresor"_s);
        QVERIFY(row.next());
        QCOMPARE(row.value(0).toInt(), 0);
        QCOMPARE(row.value(1).toString(),
                 header(0) + u"\r\n"_s + line2 + u"\r\n"_s + line3 + u"\r\n"_s + line4 + u"\r\n"_s);
        QCOMPARE(row.value(2).toString(), u" "_s);
        QCOMPARE(row.value(3).toString(), u"2001-03-05"_s);
        QVERIFY(row.value(4).toBool());
        QVERIFY(!row.next());

        // The next run numbers its header after the stored treasure.
        QStringList moreEvents;
        EventHost host(moreEvents);
        TracedDraws draws(moreEvents);
        GenerationRun run(OutputKind::Tresor, *r.t.db, r.count, r.clock, host);
        generateTresor(run, draws);
        QCOMPARE(run.lines().first(), header(1));
        QCOMPARE(r.t.db->scalar(u"SELECT count(*) FROM OVtresor WHERE Type = ' '"_s).toInt(), 2);
    }

    // "tytr" missing: the item is drawn from the empty Id, line 2 is " - ", the rest goes on.
    void treasureTypeMissing() {
        ScriptedRun r;
        setTables(r.draws, fixedTables);
        r.go();
        QCOMPARE(r.lines, (QStringList{header(0), u" - "_s, line3, line4}));
        QCOMPARE(r.draws.messages(),
                 (QStringList{u"Pas de table \"tytr\""_s, u"Pas de table \"\""_s}));
        QCOMPARE(r.draws.log(), (QStringList{u"OV tytr !"_s, u"OV  !"_s} + fixedCalls));
        QCOMPARE(r.t.db->scalar(u"SELECT count(*) FROM OVtresor"_s).toInt(), 1);
    }

    // A failed piece stays empty; its label is written all the same.
    void failedPiecesAreEmpty() {
        ScriptedRun r;
        setTables(r.draws, {u"tytr=trjo Joyau"_s, u"trjo=rubis"_s});
        r.draws.pushRolls({64});
        r.go();
        QCOMPARE(r.lines, (QStringList{header(0),
                                       u"Joyau - rubis - TAILLE:  - RARETE:  - VALEUR(+EL): x64"_s,
                                       u"PROTECTION:  - VISIBLE:  - ORIGINE: "_s,
                                       u"QT:  - EL:  - ETAT:  - CONTENANT: "_s}));
        QCOMPARE(r.draws.messages().size(), 9);
    }

    // A coin quantity that does not convert ends the run: its message, nothing stored, the
    // header alone in the memo, the grids shown and the count reopened.
    void coinConversionFailure_data() {
        QTest::addColumn<QStringList>("coins"); // no element: the table "trmo" is missing
        QTest::addColumn<QString>("error");
        QTest::addColumn<QStringList>("drawMessages");
        QTest::newRow("trailing blank")
            << QStringList{u"12 x"_s} << u"'12 ' is not a valid integer value"_s << QStringList();
        QTest::newRow("letters") << QStringList{u"abc pièces"_s}
                                 << u"'abc' is not a valid integer value"_s << QStringList();
        QTest::newRow("sign alone") << QStringList{u"+ 1 sou"_s}
                                    << u"'+ 1' is not a valid integer value"_s << QStringList();
        QTest::newRow("empty element")
            << QStringList{u""_s} << u"'' is not a valid integer value"_s << QStringList();
        QTest::newRow("table missing") << QStringList() << u"'' is not a valid integer value"_s
                                       << QStringList{u"Pas de table \"trmo\""_s};
    }
    void coinConversionFailure() {
        QFETCH(QStringList, coins);
        QFETCH(QString, error);
        QFETCH(QStringList, drawMessages);

        RealRun r;
        addFixedTables(*r.t.db);
        ovtest::addTable(*r.t.db, u"tytr"_s, {{u"trmo Monnaie"_s, 1}});
        if (!coins.isEmpty())
            ovtest::addTable(*r.t.db, u"trmo"_s, {{coins.first(), 1}});
        appendRecord(*r.t.db, OutputKind::Perso, 0, u"x"_s, u"x"_s, runTime);

        const RunReport report = r.go();
        QCOMPARE(report.error, std::optional<QString>(error));
        QCOMPARE(report.messages, drawMessages + QStringList{error});
        QCOMPARE(r.messages.messages, report.messages);
        QCOMPARE(report.lines, QStringList{header(0)});
        QVERIFY(!report.stored);
        QCOMPARE(r.t.db->scalar(u"SELECT count(*) FROM OVtresor"_s).toInt(), 0);
        QCOMPARE(r.events.mid(r.events.size() - 2), (QStringList{u"grids shown"_s, u"count 0"_s}));
        QVERIFY(r.count.isOpen());
        QCOMPARE(r.count.statement(), unprintedCountStatement(OutputKind::Tresor));
    }

    // A negative quantity number rolls D with a negative range, which gives 1 and consumes one
    // random number, like every roll.
    void negativeCoinQuantity() {
        RealRun r;
        addFixedTables(*r.t.db);
        ovtest::addTable(*r.t.db, u"tytr"_s, {{u"trmo Monnaie"_s, 1}});
        ovtest::addTable(*r.t.db, u"trmo"_s, {{u"-12 dettes"_s, 1}});
        const quint32 seed = r.source.state();

        const RunReport report = r.go();
        QVERIFY(!report.error);
        QVERIFY(report.stored);
        QCOMPARE(report.lines.value(1), u"Monnaie - dettes - QT: 1"_s);
        QCOMPARE(report.type, u" "_s);

        // "tytr", "trmo", the roll, and the seven draws of lines 3 and 4.
        RandomSource replay(seed);
        for (int i = 0; i < 10; ++i)
            replay.next(1);
        QCOMPARE(r.source.state(), replay.state());
    }

    // The tool's generate verb runs the same body: the lines on standard output and the record
    // stored; a coin quantity that does not convert fails with its message and stores nothing.
    void commandLineRun() {
        RealRun r;
        addFixedTables(*r.t.db);
        ovtest::addTable(*r.t.db, u"tytr"_s, {{u"trop Objet"_s, 1}});
        ovtest::addTable(*r.t.db, u"trop"_s, {{u"coupe"_s, 1}});
        ovtest::addTable(*r.t.db, u"trom"_s, {{u"argent"_s, 1}});

        const QStringList args{u"generate"_s, u"tresor"_s, u"--database"_s,
                               r.t.path,      u"--seed"_s, u"5"_s};
        QProcess tool;
        tool.start(qEnvironmentVariable("OV_CLI"), args);
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        const QStringList out = QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n');
        QVERIFY2(out.value(0).startsWith(u"OV -0- "_s), qPrintable(out.value(0)));
        QCOMPARE(out.mid(1), (QStringList{u"Objet - coupe - EN: argent"_s, line3, line4, {}}));
        const QString stored =
            r.t.db->scalar(u"SELECT Tresor FROM OVtresor WHERE Id = 0"_s).toString();
        QCOMPARE(stored, out.mid(0, 4).join(u"\r\n"_s) + u"\r\n"_s);
        QCOMPARE(r.t.db->scalar(u"SELECT Type FROM OVtresor WHERE Id = 0"_s), QVariant(u" "_s));

        r.t.db->run(u"UPDATE OVslave SET Element = 'trmo Monnaie' WHERE ID = 'tytr'"_s);
        ovtest::addTable(*r.t.db, u"trmo"_s, {{u"12 x"_s, 1}});
        tool.start(qEnvironmentVariable("OV_CLI"), args);
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(QString::fromUtf8(tool.readAllStandardError())
                    .contains(u"'12 ' is not a valid integer value"_s));
        QCOMPARE(r.t.db->scalar(u"SELECT count(*) FROM OVtresor"_s).toInt(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTresor)
#include "test_tresor.moc"
