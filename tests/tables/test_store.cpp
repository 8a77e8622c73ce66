// The store: alias, creation, missing tables, width cuts, kept totals and the weighted draw.

#include "tables/errors.h"
#include "tables/outputs.h"
#include "tables/tablecheck.h"
#include "tables/tabledraw.h"
#include "testsupport.h"

#include <QSettings>
#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;
using ovtest::addTable;
using ovtest::setTotals;

class TestStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_home = ovtest::isolateUserFolders(); }

    void aliasDefaultFollowsXdgDataHome() {
        QFile::remove(aliasFilePath());
        QCOMPARE(resolveAlias(QStringLiteral("OV")),
                 m_home + QStringLiteral("/data/Orvanthe/orvanthe/orvanthe.db"));
        QCOMPARE(resolveAlias(QStringLiteral("ov")), resolveAlias(QStringLiteral("Ov")));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, resolveAlias(QStringLiteral("OW")));
    }
    void aliasFilePointsElsewhere() {
        QTemporaryDir elsewhere;
        {
            QSettings settings(aliasFilePath(), QSettings::IniFormat);
            settings.setValue(QStringLiteral("ov"),
                              QString(elsewhere.path() + QStringLiteral("/mes.db")));
        }
        QCOMPARE(resolveAlias(QStringLiteral("OV")), elsewhere.path() + QStringLiteral("/mes.db"));
        auto db = Database::openAlias(QStringLiteral("oV"));
        QVERIFY(db->wasCreated());
        QVERIFY(QFile::exists(elsewhere.path() + QStringLiteral("/mes.db")));
        db.reset();
        QFile::remove(aliasFilePath());
    }
    void firstOpenCreatesEverything() {
        ovtest::TempDatabase t;
        QVERIFY(t.db->wasCreated());
        t.db->requireAllTables();
        QVERIFY(t.db->scalar(QStringLiteral("SELECT count(*) FROM OVmaster")).toInt() > 0);
        // A second open keeps what the first wrote and creates nothing.
        Database again(t.path);
        QVERIFY(!again.wasCreated());
    }
    void missingTableFailsWithItsName() {
        ovtest::TempDatabase t;
        t.db->run(QStringLiteral("DROP TABLE OVtresor"));
        Database reopened(t.path);
        reopened.requireTable(QStringLiteral("OVperso"));
        try {
            reopened.requireAllTables();
            QFAIL("no error");
        } catch (const DatabaseError& error) {
            QVERIFY(error.message().contains(QStringLiteral("OVtresor")));
        }
    }
    void widthsAreCutInCharacters() {
        ovtest::TempDatabase t;
        addTable(*t.db, QStringLiteral("abcdefg"), {{QString(70, QChar(0xE9)), 1}},
                 QString(50, QLatin1Char('n')));
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT Id FROM OVmaster WHERE Id LIKE 'abc%'")),
                 QVariant(QStringLiteral("abcd")));
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT length(Nom) FROM OVmaster WHERE Id = 'abcd'"))
                     .toInt(),
                 40);
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT Element FROM OVslave WHERE ID = 'abcd'")),
                 QVariant(QString(60, QChar(0xE9))));
        appendRecord(*t.db, OutputKind::Village, 0, QStringLiteral("x"),
                     QStringLiteral("AChâteauxM160"), QDateTime::currentDateTime());
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT Type FROM OVvillage")),
                 QVariant(QStringLiteral("AChâteaux")));
    }
    void totalsFollowElementChanges() {
        ovtest::TempDatabase t;
        addTable(*t.db, QStringLiteral("t"), {{QStringLiteral("a"), 2}, {QStringLiteral("b"), 3}});
        const auto totals = [&] {
            QSqlQuery q = t.db->run(
                QStringLiteral("SELECT NbrElement, TotProba FROM OVmaster WHERE Id = 't'"));
            q.next();
            return qMakePair(q.value(0).toInt(), q.value(1).toInt());
        };
        QCOMPARE(totals(), qMakePair(2, 5));
        t.db->run(QStringLiteral("DELETE FROM OVslave WHERE Element = 'a'"));
        QCOMPARE(totals(), qMakePair(1, 3));
        t.db->run(QStringLiteral("UPDATE OVslave SET Proba = 7 WHERE Element = 'b'"));
        QCOMPARE(totals(), qMakePair(1, 7));
        // Renaming the table carries its elements along.
        t.db->run(QStringLiteral("UPDATE OVmaster SET Id = 'u' WHERE Id = 't'"));
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT ID FROM OVslave WHERE Element = 'b'")),
                 QVariant(QStringLiteral("u")));
        QSqlQuery renamed =
            t.db->run(QStringLiteral("SELECT NbrElement, TotProba FROM OVmaster WHERE Id = 'u'"));
        QVERIFY(renamed.next());
        QCOMPARE(renamed.value(0).toInt(), 1);
        QCOMPARE(renamed.value(1).toInt(), 7);
        // An element moved to another table leaves one total and joins the other.
        addTable(*t.db, QStringLiteral("v"), {{QStringLiteral("c"), 4}});
        t.db->run(QStringLiteral("UPDATE OVslave SET ID = 'v' WHERE Element = 'b'"));
        QCOMPARE(
            t.db->scalar(QStringLiteral("SELECT TotProba FROM OVmaster WHERE Id = 'v'")).toInt(),
            11);
        QCOMPARE(
            t.db->scalar(QStringLiteral("SELECT NbrElement FROM OVmaster WHERE Id = 'u'")).toInt(),
            0);
    }
    void unprintedCountFollowsItsStatement() {
        ovtest::TempDatabase t;
        UnprintedCount count(*t.db);
        count.open();
        QCOMPARE(count.value(), 0);
        appendRecord(*t.db, OutputKind::Tresor, 0, QStringLiteral("x\r\n"), QStringLiteral(" "),
                     QDateTime::currentDateTime());
        count.open();
        QCOMPARE(count.value(), 0); // still counting characters
        count.setStatement(unprintedCountStatement(OutputKind::Tresor));
        count.open();
        QCOMPARE(count.value(), 1);
    }

    // The counts shown after a run and the numbers given follow every change of the records,
    // made by any path, also in a store written before the counts were kept.
    void countsFollowEveryChange() {
        ovtest::TempDatabase t;
        const auto check = [&](const Database& db) {
            UnprintedCount count(db);
            for (OutputKind kind : allOutputKinds) {
                const QString statement = unprintedCountStatement(kind);
                count.setStatement(statement);
                count.open();
                QCOMPARE(count.value(), db.scalar(statement).toLongLong());
                QCOMPARE(nextRecordNumber(db, kind), recordCount(db, kind));
            }
        };
        const auto stored = [&](const QVariant& printed) {
            return StoredRecord{QVariant(), u"x\r\n"_s, u" "_s, QDate(2026, 12, 1), printed};
        };
        check(*t.db);
        for (int i = 0; i < 3; ++i)
            appendRecord(*t.db, OutputKind::Tresor, i, u"x\r\n"_s, u" "_s,
                         QDateTime::currentDateTime());
        insertRecords(*t.db, OutputKind::Village, {stored({}), stored(u"01/12/26"_s)});
        check(*t.db);
        t.db->run(u"UPDATE OVtresor SET DateImprime = '02/12/26'"_s);
        t.db->run(u"UPDATE OVtresor SET DateImprime = NULL WHERE Id = 1"_s);
        t.db->run(u"UPDATE OVtresor SET DateImprime = '03/12/26' WHERE Id = 0"_s);
        t.db->run(u"DELETE FROM OVtresor WHERE Id = 2"_s);
        check(*t.db);
        deleteRecords(*t.db, OutputKind::Village);
        check(*t.db);

        insertRecords(*t.db, OutputKind::Perso, {stored({}), stored({}), stored(u"01/12/26"_s)});
        for (const char* sql : {"DROP TABLE ovCounts", "PRAGMA user_version = 8"})
            t.db->run(QString::fromLatin1(sql));
        const Database reopened(t.path);
        check(reopened);
        reopened.run(u"DELETE FROM OVperso WHERE DateImprime IS NULL"_s);
        check(reopened);
    }

    // The walk: rolls are forced by choosing the random state that yields them. Rolls in a row
    // on one draw object read the table only as far as they need, then on.
    void walk_data() {
        QTest::addColumn<QVector<double>>("weights");
        QTest::addColumn<int>("total");
        QTest::addColumn<QList<int>>("rolls");
        QTest::addColumn<QList<int>>("expected"); // index of the drawn element, roll by roll
        const QVector<double> ab{1, 3};
        QTest::newRow("a b roll 1") << ab << 4 << QList<int>{1} << QList<int>{0};
        QTest::newRow("a b roll 2") << ab << 4 << QList<int>{2} << QList<int>{1};
        QTest::newRow("a b roll 4") << ab << 4 << QList<int>{4} << QList<int>{1};
        QTest::newRow("single") << QVector<double>{5} << 5 << QList<int>{3} << QList<int>{0};
        QTest::newRow("zero first") << QVector<double>{0, 2} << 2 << QList<int>{1} << QList<int>{1};
        QTest::newRow("zero only") << QVector<double>{0} << 0 << QList<int>{1} << QList<int>{0};
        QTest::newRow("total 0") << QVector<double>{0, 1, 1} << 0 << QList<int>{1} << QList<int>{1};
        QTest::newRow("total smaller")
            << QVector<double>{2, 2, 2} << 4 << QList<int>{4} << QList<int>{1};
        QTest::newRow("total larger")
            << QVector<double>{1, 1} << 10 << QList<int>{9} << QList<int>{1};
        QTest::newRow("trailing zeros")
            << QVector<double>{1, 0, 0} << 5 << QList<int>{5} << QList<int>{2};
        QTest::newRow("negative") << QVector<double>{3, -2, 4} << 5 << QList<int>{3}
                                  << QList<int>{0};
        QTest::newRow("negative passed")
            << QVector<double>{3, -2, 4} << 5 << QList<int>{4} << QList<int>{2};
        QTest::newRow("in a row") << QVector<double>{1, 1, 1, 1, 1} << 5
                                  << QList<int>{2, 1, 4, 3, 5, 1} << QList<int>{1, 0, 3, 2, 4, 0};
        QTest::newRow("in a row past a dip")
            << QVector<double>{2, -3, 5, 1, 0} << 6 << QList<int>{1, 2, 3, 2, 6, 5}
            << QList<int>{0, 0, 2, 0, 4, 3};
        QTest::newRow("in a row past the total")
            << QVector<double>{1, 1, 1} << 9 << QList<int>{2, 9, 3, 1} << QList<int>{1, 2, 2, 0};
    }
    void walk() {
        QFETCH(QVector<double>, weights);
        QFETCH(int, total);
        QFETCH(QList<int>, rolls);
        QFETCH(QList<int>, expected);
        ovtest::TempDatabase t;
        QVector<QPair<QString, double>> elements;
        for (int i = 0; i < weights.size(); ++i)
            elements.append({QStringLiteral("e%1").arg(i), weights[i]});
        addTable(*t.db, QStringLiteral("w"), elements);
        setTotals(*t.db, QStringLiteral("w"), weights.size(), total);

        RandomSource source;
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        for (int i = 0; i < rolls.size(); ++i) {
            source.setState(stateGiving(total, rolls[i]));
            const DrawOutcome outcome = draw.draw(QStringLiteral("w"));
            QVERIFY(outcome.drawn());
            QCOMPARE(outcome.text, QStringLiteral("e%1").arg(expected[i]));
        }
    }
    void weightedDrawFrequencies() {
        ovtest::TempDatabase t;
        addTable(*t.db, QStringLiteral("f"), {{QStringLiteral("a"), 1}, {QStringLiteral("b"), 3}});
        RandomSource source(2024);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        int a = 0;
        for (int i = 0; i < 4000; ++i)
            a += draw.draw(QStringLiteral("f")).text == QStringLiteral("a");
        QVERIFY2(a > 850 && a < 1150, qPrintable(QString::number(a)));
    }
    void failedDrawsConsumeNothing() {
        ovtest::TempDatabase t;
        addTable(*t.db, QStringLiteral("vide"), {});
        RandomSource source(5);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        DrawOutcome missing = draw.draw(QStringLiteral("nope"));
        QCOMPARE(missing.status, DrawOutcome::Status::NoTable);
        QCOMPARE(missing.message, QStringLiteral("Pas de table \"nope\""));
        DrawOutcome empty = draw.draw(QStringLiteral("vide"));
        QCOMPARE(empty.status, DrawOutcome::Status::NoElements);
        QCOMPARE(empty.message, QStringLiteral("Aucun élément dans la table \"vide\""));
        QCOMPARE(draw.draw(QString()).message, QStringLiteral("Pas de table \"\""));
        QCOMPARE(source.state(), 5u);
    }
    void drawSeesChangesMadeAfterACachedDraw() {
        ovtest::TempDatabase t;
        addTable(*t.db, QStringLiteral("c"), {{QStringLiteral("old"), 1}});
        RandomSource source(1);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        QCOMPARE(draw.draw(QStringLiteral("c")).text, QStringLiteral("old"));
        // A second connection (another cursor or process) edits the table.
        Database other(t.path);
        other.run(QStringLiteral("UPDATE OVslave SET Element = 'new' WHERE ID = 'c'"));
        QCOMPARE(draw.draw(QStringLiteral("c")).text, QStringLiteral("new"));
        other.run(QStringLiteral("DELETE FROM OVmaster WHERE Id = 'c'"));
        QCOMPARE(draw.draw(QStringLiteral("c")).status, DrawOutcome::Status::NoTable);
    }
    void aFailedInnerTransactionIsRolledBackAlone() {
        ovtest::TempDatabase t;
        const Database& db = *t.db;
        db.transaction([&] {
            addTable(db, QStringLiteral("out"), {});
            try {
                db.transaction([&] {
                    addTable(db, QStringLiteral("in"), {});
                    throw DatabaseError(QStringLiteral("échec"));
                });
            } catch (const DatabaseError&) {
            }
        });
        QCOMPARE(db.scalar(QStringLiteral("SELECT group_concat(Id) FROM OVmaster"
                                          " WHERE Id IN ('in', 'out')"))
                     .toString(),
                 QStringLiteral("out"));
    }
    // Weights written behind the program's back: every draw gives one of the elements, the sum
    // never overflows, and the check names the table.
    void foreignWeights_data() {
        QTest::addColumn<QString>("weight"); // an SQL value, for the first and last elements
        QTest::addColumn<QString>("finding");
        QTest::newRow("huge") << u"1e300"_s << u"poids hors des règles"_s;
        QTest::newRow("huge negative") << u"-1e300"_s << u"poids hors des règles"_s;
        QTest::newRow("beyond 64 bits")
            << u"123456789012345678901234567890.5"_s << u"poids hors des règles"_s;
        QTest::newRow("text") << u"'abc'"_s << u"poids hors des règles"_s;
        QTest::newRow("negative") << u"-3"_s << u"poids hors des règles"_s;
        QTest::newRow("fraction") << u"0.25"_s << u"poids hors des règles"_s;
        QTest::newRow("max int") << u"2147483647"_s << u"poids hors des règles"_s;
        QTest::newRow("all zero") << u"0"_s << u"total des poids nul"_s;
    }
    void foreignWeights() {
        QFETCH(QString, weight);
        QFETCH(QString, finding);
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        addTable(*t.db, u"f"_s, {});
        const bool zero = weight == u"0"_s;
        t.db->run(u"INSERT INTO OVslave (ID, Element, Proba) VALUES ('f', 'x', %1), ('f', 'y', %2),"
                  " ('f', 'z', %1)"_s.arg(weight, zero ? u"0"_s : u"1"_s));
        for (quint32 seed = 0; seed < 64; ++seed) {
            RandomSource source(seed * 2654435761u);
            Dice dice(source);
            TableDraw draw(*t.db, dice);
            const DrawOutcome outcome = draw.draw(u"f"_s);
            QVERIFY(outcome.drawn());
            QVERIFY2(QStringList({u"x"_s, u"y"_s, u"z"_s}).contains(outcome.text),
                     qPrintable(outcome.text));
        }
        bool listed = false;
        for (const CheckFinding& f : checkTables(*t.db))
            listed = listed || (f.tableId == u"f"_s && f.message.contains(finding));
        QVERIFY(listed);
    }

    // Statements kept prepared follow the tables when they are rebuilt, here or by another
    // connection, and a read of the first row only leaves no read open.
    void keptStatementsFollowTheSchema() {
        ovtest::TempDatabase t;
        const Database& db = *t.db;
        const QString select = QStringLiteral("SELECT Perso FROM OVperso WHERE Id = ?");
        db.execute(QStringLiteral("INSERT INTO OVperso (Id, Perso) VALUES (1, 'un'), (2, 'deux')"));
        QCOMPARE(db.scalar(select, {1}).toString(), QStringLiteral("un"));

        Database other(t.path);
        other.run(QStringLiteral("DROP TABLE OVperso"));
        other.run(
            QStringLiteral("CREATE TABLE OVperso (Perso TEXT, Sexe_Cel_Mel_Stat TEXT, Id REAL,"
                           " DateCreation TEXT, DateImprime TEXT)"));
        other.run(QStringLiteral("INSERT INTO OVperso (Id, Perso) VALUES (1, 'autre'), (2, 'x')"));
        QCOMPARE(db.scalar(select, {1}).toString(), QStringLiteral("autre"));

        db.run(QStringLiteral("DROP TABLE OVperso"));
        QVERIFY_THROWS_EXCEPTION(DatabaseError, db.scalar(select, {1}));
        db.run(QStringLiteral("CREATE TABLE OVperso (Id REAL, Perso TEXT)"));
        db.execute(QStringLiteral("INSERT INTO OVperso VALUES (1, 'revenu'), (2, 'aussi')"));
        QCOMPARE(db.scalar(select, {1}).toString(), QStringLiteral("revenu"));

        QCOMPARE(db.scalar(QStringLiteral("SELECT Perso FROM OVperso ORDER BY Id")).toString(),
                 QStringLiteral("revenu"));
        QSqlQuery checkpoint = other.run(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        QVERIFY(checkpoint.next());
        QCOMPARE(checkpoint.value(0).toInt(), 0); // not kept busy by a reader
    }
    void caseOfTheIdMatters() {
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        addTable(*t.db, QStringLiteral("trjo"), {{QStringLiteral("x"), 1}});
        RandomSource source(1);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        QVERIFY(!draw.draw(QStringLiteral("TRJO")).drawn());
    }

private:
    // A state whose next roll of D(total) is the wanted one.
    static quint32 stateGiving(int total, int roll) {
        for (quint32 s = 0;; ++s) {
            RandomSource probe(s);
            Dice dice(probe);
            if (dice.D(total) == roll)
                return s;
        }
    }
    QString m_home;
};

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
