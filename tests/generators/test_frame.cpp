// The generation run shared by the four generators: its steps, its header, storing and recovery.

#include "generators/generators.h"
#include "runrecorder.h"
#include "scripteddraws.h"
#include "tables/database.h"
#include "tables/errors.h"
#include "testsupport.h"

#include <QSqlQuery>
#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ov::OutputKind)

namespace {

// Records the run's steps in the list of events, and the count statement when the count closes.
class RecordingHost : public ovtest::EventHost {
public:
    RecordingHost(QStringList& events, const UnprintedCount& count)
        : EventHost(events), m_count(count) {}
    void countClosed() override {
        EventHost::countClosed();
        statementWhenClosed = m_count.statement();
        countOpenAfterClose = m_count.isOpen();
    }

    QString statementWhenClosed;
    bool countOpenAfterClose = true;

private:
    const UnprintedCount& m_count;
};

const QDateTime runTime(QDate(2001, 3, 5), QTime(14, 30));

// Frame, header, the given lines and the given value.
void frameOnly(GenerationRun& run, const QStringList& lines, const QString& value) {
    run.begin();
    run.addHeader();
    for (const QString& line : lines)
        run.addLine(line);
    run.finish(value);
}

struct StoredRow {
    double id = -1;
    QString text;
    QString type;
    QString created;
    bool printed = true;
};

QList<StoredRow> storedRows(const Database& db, OutputKind kind) {
    const OutputTable& t = outputTable(kind);
    QSqlQuery query = db.run(QStringLiteral("SELECT Id, %1, %2, DateCreation, DateImprime FROM %3"
                                            " ORDER BY rowid")
                                 .arg(t.textField, t.stringField, t.table));
    QList<StoredRow> rows;
    while (query.next())
        rows.append({query.value(0).toDouble(), query.value(1).toString(),
                     query.value(2).toString(), query.value(3).toString(),
                     !query.value(4).isNull()});
    return rows;
}

void addPrintedAndUnprinted(const Database& db, OutputKind kind, int printed, int unprinted) {
    const OutputTable& t = outputTable(kind);
    for (int i = 0; i < printed + unprinted; ++i)
        db.run(QStringLiteral("INSERT INTO %1 (Id, %2, %3, DateCreation, DateImprime)"
                              " VALUES (?, 'ancien\r\n', ' ', '2000-01-01', ?)")
                   .arg(t.table, t.textField, t.stringField),
               {double(i), i < printed ? QVariant(QStringLiteral("01/01/00")) : QVariant()});
}

} // namespace

class TestFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void stepsInOrderForEveryKind_data() {
        QTest::addColumn<OutputKind>("kind");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("leadIn");
        const QString blanks(42, QLatin1Char(' '));
        QTest::newRow("perso") << OutputKind::Perso
                               << QStringLiteral("SELECT COUNT(*) as NonImprime FROM ovPerso"
                                                 " WHERE DateImprime IS NULL")
                               << blanks + QStringLiteral("OV -");
        QTest::newRow("tresor") << OutputKind::Tresor
                                << QStringLiteral("SELECT COUNT(*) as NonImprime FROM ovTresor"
                                                  " WHERE DateImprime IS NULL")
                                << QStringLiteral("OV -");
        QTest::newRow("rencontre") << OutputKind::Rencontre
                                   << QStringLiteral("SELECT COUNT(*) as NonImprime FROM"
                                                     " ovRencontre WHERE DateImprime IS NULL")
                                   << QStringLiteral("OV -");
        QTest::newRow("village") << OutputKind::Village
                                 << QStringLiteral("SELECT COUNT(*) as NonImprime FROM ovVillage"
                                                   " WHERE DateImprime IS NULL")
                                 << QStringLiteral("OV -");
    }
    void stepsInOrderForEveryKind() {
        QFETCH(OutputKind, kind);
        QFETCH(QString, statement);
        QFETCH(QString, leadIn);
        ovtest::TempDatabase t;
        // Twelve earlier records, five of them printed: n counts them all, the box the others.
        addPrintedAndUnprinted(*t.db, kind, 5, 7);
        UnprintedCount count(*t.db);
        count.open();
        FixedClock clock(runTime);
        QStringList events;
        RecordingHost host(events, count);
        GenerationRun run(kind, *t.db, count, clock, host);
        frameOnly(run, {QStringLiteral("ligne é")}, QStringLiteral("abcdefghijkl"));

        const QString header = leadIn + QStringLiteral("12- ") + shortDate(runTime.date());
        QCOMPARE(events,
                 QStringList({QStringLiteral("count closed"), QStringLiteral("grids hidden"),
                              QStringLiteral("memo cleared"), QStringLiteral("line ") + header,
                              QStringLiteral("line ligne é"), QStringLiteral("grids shown"),
                              QStringLiteral("count 8")}));
        QCOMPARE(host.statementWhenClosed, statement);
        QVERIFY(!host.countOpenAfterClose);
        QCOMPARE(count.statement(), statement);
        QVERIFY(count.isOpen());
        QCOMPARE(run.n(), 12);
        QCOMPARE(run.dateText(), shortDate(runTime.date()));
        QCOMPARE(run.storedValue(), QStringLiteral("abcdefghi"));
        QVERIFY(run.stored());

        const QList<StoredRow> rows = storedRows(*t.db, kind);
        QCOMPARE(rows.size(), 13);
        QCOMPARE(rows.last().id, 12.0);
        QCOMPARE(rows.last().text, header + QStringLiteral("\r\nligne é\r\n"));
        QCOMPARE(rows.last().type, QStringLiteral("abcdefghi"));
        QCOMPARE(rows.last().created, QStringLiteral("2001-03-05"));
        QVERIFY(!rows.last().printed);
    }

    void twoRunsNumberOnFromAnEmptyTable() {
        ovtest::TempDatabase t;
        UnprintedCount count(*t.db);
        FixedClock clock(runTime);
        QStringList events;
        RecordingHost host(events, count);
        for (int i = 0; i < 2; ++i) {
            events.clear();
            GenerationRun run(OutputKind::Perso, *t.db, count, clock, host);
            frameOnly(run, {}, QStringLiteral(" "));
            QCOMPARE(run.n(), i);
            QVERIFY(run.lines().first().endsWith(QStringLiteral("OV -%1- ").arg(i) +
                                                 shortDate(runTime.date())));
            QCOMPARE(events.last(), QStringLiteral("count %1").arg(i + 1));
        }
        const QList<StoredRow> rows = storedRows(*t.db, OutputKind::Perso);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].id, 0.0);
        QCOMPARE(rows[1].id, 1.0);
    }

    // After deletes the next record takes the count unless a record holds it, then the smallest
    // free number above; a run shown with a number that another program stored meanwhile shows
    // and stores the one it got.
    void numberAfterDeletes_data() {
        QTest::addColumn<QList<int>>("held");
        QTest::addColumn<int>("first");  // the other program's record
        QTest::addColumn<int>("second"); // this run's
        QTest::newRow("compte libre") << QList<int>{0, 1, 5, 6} << 4 << 7;
        QTest::newRow("premier supprimé") << QList<int>{1, 2} << 3 << 4;
        QTest::newRow("suite de numéros pris") << QList<int>{0, 2, 3, 4} << 5 << 6;
        QTest::newRow("dernier supprimé") << QList<int>{0, 1} << 2 << 3;
    }
    void numberAfterDeletes() {
        QFETCH(QList<int>, held);
        QFETCH(int, first);
        QFETCH(int, second);
        ovtest::TempDatabase t;
        for (const int id : held)
            appendRecord(*t.db, OutputKind::Tresor, id, QStringLiteral("x"), QStringLiteral(" "),
                         runTime);
        UnprintedCount count(*t.db);
        FixedClock clock(runTime);
        QStringList events;
        RecordingHost host(events, count);
        GenerationRun run(OutputKind::Tresor, *t.db, count, clock, host);
        run.begin();
        run.addHeader();
        const Database other(t.path);
        QCOMPARE(appendRecord(
                     other, OutputKind::Tresor, [](int n) { return QString::number(n); },
                     QStringLiteral(" "), runTime),
                 first);
        run.finish(QStringLiteral(" "));
        const QString date = shortDate(runTime.date());
        QVERIFY(events.contains(QStringLiteral("line OV -%1- ").arg(first) + date));
        QVERIFY(events.contains(QStringLiteral("line 0 now OV -%1- ").arg(second) + date));
        QCOMPARE(run.n(), second);
        const StoredRow stored = storedRows(*t.db, OutputKind::Tresor).last();
        QCOMPARE(stored.id, double(second));
        QCOMPARE(stored.text,
                 QStringLiteral("OV -%1- ").arg(second) + date + QStringLiteral("\r\n"));
    }

    void countShowsTheKindOfTheLastRun() {
        ovtest::TempDatabase t;
        addPrintedAndUnprinted(*t.db, OutputKind::Perso, 0, 4);
        UnprintedCount count(*t.db);
        FixedClock clock(runTime);
        QStringList events;
        RecordingHost host(events, count);
        GenerationRun tresor(OutputKind::Tresor, *t.db, count, clock, host);
        frameOnly(tresor, {}, QStringLiteral(" "));
        QCOMPARE(count.value(), 1);
        GenerationRun perso(OutputKind::Perso, *t.db, count, clock, host);
        frameOnly(perso, {}, QStringLiteral(" "));
        QCOMPARE(count.value(), 5);
    }

    void longTextIsStoredWhole() {
        ovtest::TempDatabase t;
        UnprintedCount count(*t.db);
        FixedClock clock(runTime);
        RunHost host;
        GenerationRun run(OutputKind::Village, *t.db, count, clock, host);
        QStringList lines;
        for (int i = 0; i < 40; ++i)
            lines << QStringLiteral("Métiers : forgeron, tanneur, tisserand, meunier %1").arg(i);
        frameOnly(run, lines, QStringLiteral(" "));
        const QString text = storedRows(*t.db, OutputKind::Village).first().text;
        QVERIFY(text.toUtf8().size() > 2000);
        QCOMPARE(text, run.text());
        QCOMPARE(text.count(QStringLiteral("\r\n")), 41);
        QVERIFY(text.endsWith(QStringLiteral("meunier 39\r\n")));
    }

    void withoutStoringNothingIsWritten() {
        ovtest::TempDatabase t;
        addPrintedAndUnprinted(*t.db, OutputKind::Perso, 1, 2);
        UnprintedCount count(*t.db);
        FixedClock clock(runTime);
        QStringList events;
        RecordingHost host(events, count);
        for (int i = 0; i < 2; ++i) {
            GenerationRun run(OutputKind::Perso, *t.db, count, clock, host, false);
            frameOnly(run, {QStringLiteral("x")}, QStringLiteral("0123456789"));
            QCOMPARE(run.n(), 3);
            QVERIFY(!run.stored());
            QCOMPARE(run.storedValue(), QStringLiteral("012345678"));
        }
        QCOMPARE(storedRows(*t.db, OutputKind::Perso).size(), 3);
        QCOMPARE(events.last(), QStringLiteral("count 2"));
    }

    // Another connection changes the tables while a run draws: the run keeps the tables of its
    // start, the next run sees the change.
    void aRunSeesTheTablesOfItsStart() {
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        ovtest::addTable(*t.db, QStringLiteral("a"), {{QStringLiteral("a1"), 1}});
        ovtest::addTable(*t.db, QStringLiteral("b"), {{QStringLiteral("b1"), 1}});
        UnprintedCount count(*t.db);
        FixedClock clock(runTime);
        RandomSource source(1);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        RecordingMessageSink sink;
        QStringList events;
        RecordingHost host(events, count);
        Generation generation(*t.db, count, clock, draw, sink);
        Database other(t.path);
        const auto body = [&](GenerationRun& run, Draws& draws) {
            run.begin();
            for (const QString& id : {QStringLiteral("a"), QStringLiteral("b")}) {
                QString text;
                draws.OV(id, text);
                run.addLine(text);
                other.run(QStringLiteral("UPDATE OVslave SET Element = Element || '+'"));
            }
            run.finish(QStringLiteral(" "));
        };
        const RunReport first = generation.run(OutputKind::Tresor, body, host);
        QCOMPARE(first.lines, QStringList({QStringLiteral("a1"), QStringLiteral("b1")}));
        QVERIFY(first.stored);
        const RunReport second = generation.run(OutputKind::Tresor, body, host);
        QCOMPARE(second.lines, QStringList({QStringLiteral("a1++"), QStringLiteral("b1++")}));
        QVERIFY(second.stored);
        QCOMPARE(second.id, 1);
    }

    // An error that ends the body: message shown, nothing stored, grids and count back,
    // the lines kept.
    void errorInTheBodyEndsTheRun() {
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        addPrintedAndUnprinted(*t.db, OutputKind::Tresor, 0, 3);
        UnprintedCount count(*t.db);
        FixedClock clock(runTime);
        RandomSource source(1);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        RecordingMessageSink sink;
        QStringList events;
        RecordingHost host(events, count);
        Generation generation(*t.db, count, clock, draw, sink);
        const RunReport report = generation.run(
            OutputKind::Tresor,
            [](GenerationRun& run, Draws& draws) {
                run.begin();
                run.addHeader();
                QString text;
                draws.OV(QStringLiteral("zzz"), text);
                run.addLine(QStringLiteral("avant"));
                throw ConversionError(QStringLiteral("'12 ' is not a valid integer value"));
            },
            host);
        QCOMPARE(report.error, std::optional<QString>(QStringLiteral("'12 ' is not a valid"
                                                                     " integer value")));
        QCOMPARE(report.messages,
                 QStringList({QStringLiteral("Pas de table \"zzz\""), *report.error}));
        QCOMPARE(sink.messages, report.messages);
        QVERIFY(!report.stored);
        QCOMPARE(report.id, 3);
        QCOMPARE(report.lines.size(), 2);
        QCOMPARE(report.lines.last(), QStringLiteral("avant"));
        QCOMPARE(report.type, QString());
        QCOMPARE(events.mid(events.size() - 3),
                 QStringList({QStringLiteral("line avant"), QStringLiteral("grids shown"),
                              QStringLiteral("count 3")}));
        QCOMPARE(storedRows(*t.db, OutputKind::Tresor).size(), 3);
        QVERIFY(count.isOpen());
    }

    // The database refuses the row, or the commit after the count was read with it: the same
    // recovery, the grids shown once, and the count read again without the row.
    void errorWhileStoringEndsTheRun_data() {
        QTest::addColumn<QStringList>("refusal");
        QTest::addColumn<QString>("reason");
        QTest::newRow("ligne") << QStringList{u"CREATE TRIGGER refuse BEFORE INSERT ON OVperso"
                                              " BEGIN SELECT RAISE(ABORT, 'disque plein'); END"_s}
                               << u"disque plein"_s;
        QTest::newRow("validation") << QStringList{u"PRAGMA foreign_keys = ON"_s,
                                                   u"CREATE TABLE p (id INTEGER PRIMARY KEY)"_s,
                                                   u"CREATE TABLE c (id REFERENCES p"
                                                   " DEFERRABLE INITIALLY DEFERRED)"_s,
                                                   u"CREATE TRIGGER refuse AFTER INSERT ON OVperso"
                                                   " BEGIN INSERT INTO c VALUES (1); END"_s}
                                    << u"FOREIGN KEY"_s;
    }
    void errorWhileStoringEndsTheRun() {
        QFETCH(QStringList, refusal);
        QFETCH(QString, reason);
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        ovtest::addTable(*t.db, QStringLiteral("sexe"), {{QStringLiteral("Femme"), 1}});
        addPrintedAndUnprinted(*t.db, OutputKind::Perso, 2, 1);
        for (const QString& statement : refusal)
            t.db->run(statement);
        UnprintedCount count(*t.db);
        FixedClock clock(runTime);
        RandomSource source(1);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        RecordingMessageSink sink;
        QStringList events;
        RecordingHost host(events, count);
        Generation generation(*t.db, count, clock, draw, sink);
        const RunReport report = generation.run(OutputKind::Perso, host);

        QVERIFY(report.error);
        QVERIFY2(report.error->contains(reason), qPrintable(*report.error));
        QVERIFY(!report.stored);
        QCOMPARE(report.lines.size(), 9);
        QCOMPARE(report.lines.at(1).section(QStringLiteral("SEXE:"), 1, 1).left(5),
                 QStringLiteral("Femme"));
        QCOMPARE(report.lastTable, QStringLiteral("sexe"));
        QCOMPARE(sink.messages.last(), *report.error);
        QCOMPARE(events.count(QStringLiteral("grids shown")), 1);
        QCOMPARE(events.last(), QStringLiteral("count 1"));
        QCOMPARE(storedRows(*t.db, OutputKind::Perso).size(), 3);

        // The next run, once the store accepts rows again, numbers on as before.
        t.db->run(QStringLiteral("DROP TRIGGER refuse"));
        const RunReport next = generation.run(OutputKind::Perso, host);
        QVERIFY(!next.error);
        QVERIFY(next.stored);
        QCOMPARE(next.id, 3);
        QCOMPARE(events.last(), QStringLiteral("count 2"));
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "test_frame.moc"
