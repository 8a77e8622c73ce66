// Personal generators on a real store: the starter set, the stored results and their n, the
// whole-template check before any draw, the size limit, the upgrade of an older file.

#include "tables/errors.h"
#include "tables/random.h"
#include "tables/schema.h"
#include "tables/tabledraw.h"
#include "tables/tablefile.h"
#include "templates/generatoredits.h"
#include "templates/personalgeneration.h"
#include "templates/personalgenerator.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;

class TestPersonalGenerators : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void starterGeneratorsRunClean() {
        ovtest::TempDatabase t;
        const GeneratorStore store(*t.db);
        const QList<PersonalGenerator> generators = store.list();
        QVERIFY(generators.size() >= 10);
        RandomSource source(20261209);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        const FixedClock clock(QDateTime(QDate(2026, 12, 9), QTime(20, 0)));
        RecordingMessageSink messages;
        PersonalRun run(*t.db, clock, draw, messages);
        // French that reads right: no raw tag, bracket or brace; no « de le », « à le(s) », and
        // no « le » or « la » before a vowel; no « Au » before a feminine noun.
        static const QRegularExpression wrong(
            u"[@\\[\\]{}]|(?<![\\p{L}\\d'-])(?:(?:[dD]e|[àÀ])[ \\t]+les?[ \\t]+\\p{L}|[lL][ea][ "
            "\\t]+[aeiouéèêëàâîïôöûùüœæAEIOUÉÈÊËÀÂÎÏÔÛŒÆ])"_s);
        static const QRegularExpression au(u"(?<!\\p{L})[aA]ux? (?:\\p{L}+ )?(\\p{L}+)"_s);
        QSet<QString> feminine;
        for (const RandomTable& table : loadRandomTables(*t.db))
            for (const TableElement& element : table.elements)
                if (element.text.endsWith(u" @f"_s) || element.text.endsWith(u" @fp"_s))
                    feminine.insert(element.text.section(u' ', 0, 0));
        QVERIFY(feminine.contains(u"Chouette"_s));
        QSet<QString> signs;
        for (const PersonalGenerator& generator : generators) {
            QVERIFY2(generator.francais, qPrintable(generator.id));
            const GeneratorCheck check = checkGenerator(*t.db, generator);
            QVERIFY2(check.clean(), qPrintable(generator.id + QLatin1Char(' ') +
                                               (check.error ? check.error->message()
                                                            : check.warnings.join(u' '))));
            for (int i = 0; i < 1000; ++i) {
                const PersonalRunReport report = run.run(generator, false);
                QVERIFY2(report.messages.isEmpty() && !report.error,
                         qPrintable(generator.id + QLatin1Char(' ') + report.messages.join(u' ')));
                QCOMPARE(report.lines.size(), generator.modele.count(QLatin1Char('\n')));
                // nothing left unexpanded
                for (const QString& line : report.lines.mid(1)) {
                    QVERIFY2(!line.contains(wrong), qPrintable(line));
                    for (auto m = au.globalMatch(line); m.hasNext();)
                        QVERIFY2(!feminine.contains(m.next().captured(1)), qPrintable(line));
                    if (line.startsWith(u"Enseigne : "_s))
                        signs.insert(line.mid(11));
                }
            }
        }
        QVERIFY(messages.messages.isEmpty());
        for (const QString& sign :
             {u"« À l'Ivre Sanglier »"_s, u"« Au Gros Loup »"_s, u"« À la Grosse Chouette »"_s})
            QVERIFY2(signs.contains(sign), qPrintable(sign));
    }

    // A French generator's header is never changed; its body lines are.
    void frenchHeaderUnchanged() {
        ovtest::TempDatabase t;
        PersonalGenerator generator{
            u"ami"_s, u"Le ami de le roi"_s, u"de le ami, à les elfes"_s, {}};
        generator.francais = true;
        GeneratorStore(*t.db).save({generator}, false);
        RandomSource source(1);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        const FixedClock clock(QDateTime(QDate(2026, 12, 9), QTime(20, 0)));
        RecordingMessageSink messages;
        const PersonalRunReport report = PersonalRun(*t.db, clock, draw, messages).run(generator);
        QCOMPARE(report.lines,
                 (QStringList{u"Le ami de le roi - 0 - "_s + shortDate(clock.now().date()),
                              u"de l'ami, aux elfes"_s}));
    }

    // No starter generator prints a bracket or a brace as it is, whatever the seed.
    void starterGeneratorsPrintNoRawBracket_data() {
        QTest::addColumn<QString>("id");
        ovtest::TempDatabase t;
        for (const PersonalGenerator& generator : GeneratorStore(*t.db).list())
            QTest::newRow(qPrintable(generator.id)) << generator.id;
    }
    void starterGeneratorsPrintNoRawBracket() {
        QFETCH(QString, id);
        ovtest::TempDatabase t;
        const PersonalGenerator generator = *GeneratorStore(*t.db).find(id);
        const FixedClock clock(QDateTime(QDate(2026, 12, 10), QTime(21, 0)));
        static const QRegularExpression raw(QStringLiteral("[\\[\\]{}]"));
        for (quint32 seed = 1; seed <= 200; ++seed) {
            const PersonalRunReport report = previewGenerator(*t.db, generator, seed, clock);
            QVERIFY(!report.error);
            const QString text = report.lines.join(QLatin1Char('\n'));
            QVERIFY2(!text.contains(raw),
                     qPrintable(QStringLiteral("graine %1 : ").arg(seed) + text));
        }
    }

    void resultsStoredWithTheirNumber() {
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        ovtest::addTable(*t.db, QStringLiteral("coul"),
                         {{QStringLiteral("rouge"), 1}, {QStringLiteral("vert [x"), 1}});
        const GeneratorStore store(*t.db);
        const PersonalGenerator generator{QStringLiteral("Essai"),
                                          QStringLiteral("Un essai"),
                                          QStringLiteral("# rien\n[coul*2!]\r\n\n{1d6}\n"),
                                          {}};
        store.save({generator}, false);
        // Unique without regard to case, accented letters included.
        store.save({{QStringLiteral("Été"), QStringLiteral("x"), QString(), {}}}, false);
        QVERIFY_THROWS_EXCEPTION(
            Error,
            store.save({{QStringLiteral("éTÉ"), QStringLiteral("y"), QString(), {}}}, false));
        RandomSource source(7);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        const FixedClock clock(QDateTime(QDate(2026, 12, 9), QTime(20, 0)));
        RecordingMessageSink messages;
        PersonalRun run(*t.db, clock, draw, messages);
        const QString date = shortDate(QDate(2026, 12, 9));
        for (int n = 0; n < 2; ++n) {
            const PersonalRunReport report = run.run(*store.find(QStringLiteral("essai")));
            QCOMPARE(report.id, n);
            QCOMPARE(report.lines.first(), QStringLiteral("Un essai - %1 - ").arg(n) + date);
            QCOMPARE(report.lines.size(), 4);
            QVERIFY(report.lines.at(1) == QStringLiteral("rouge, vert [x") ||
                    report.lines.at(1) == QStringLiteral("vert [x, rouge"));
            QCOMPARE(report.lines.at(2), QString());
            QCOMPARE(t.db->scalar(QStringLiteral("SELECT Texte FROM OVresultat WHERE Id = ?"), {n})
                         .toString(),
                     report.lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        }
        QVERIFY(t.db->scalar(QStringLiteral(
                                 "SELECT count(*) FROM OVresultat WHERE"
                                 " DateImprime IS NULL AND DateCreation LIKE '2026-12-09T20:00%'"))
                    .toInt() == 2);
        QVERIFY(messages.messages.isEmpty());
    }

    void nothingDrawnOrStoredOnFailure_data() {
        QTest::addColumn<QString>("modele");
        QTest::addColumn<QString>("error");
        QTest::newRow("syntax error on a later line")
            << QStringLiteral("{1d6}[coul]\n# x\nab {2 d6}")
            << QStringLiteral("Générateur « big », ligne 3, colonne 7 : expression invalide");
        QTest::newRow("too large")
            << QStringLiteral("[coul*{3000*4}]")
            << QStringLiteral("Le générateur \"big\" dépasse la taille permise");
    }

    void nothingDrawnOrStoredOnFailure() {
        QFETCH(QString, modele);
        ovtest::TempDatabase t;
        RandomSource source(1);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        ovtest::addTable(*t.db, QStringLiteral("coul"), {{QStringLiteral("rouge"), 1}});
        const FixedClock clock(QDateTime(QDate(2026, 12, 9), QTime(20, 0)));
        RecordingMessageSink messages;
        PersonalRun run(*t.db, clock, draw, messages);
        const PersonalRunReport report =
            run.run({QStringLiteral("big"), QStringLiteral("Gros"), modele, {}});
        QTEST(report.error.value_or(QString()), "error");
        QVERIFY(!report.stored);
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT count(*) FROM OVresultat")).toInt(), 0);
        if (modele.contains(QLatin1Char('#')))
            QCOMPARE(source.state(), 1u); // not one random number used
        QCOMPARE(messages.messages, QStringList{*report.error});
    }

    // A result's number is its generator's count, or the first free one above it, and its count
    // box counts its unprinted results, whatever changed the results: deletions, a new Id,
    // printing, a removed generator, an older file.
    void resultNumbersFollowEveryChange() {
        ovtest::TempDatabase t;
        const auto expected = [&](const Database& db, const QString& id) {
            int n = GeneratorStore(db).resultCount(id);
            while (db.scalar(u"SELECT 1 FROM OVresultat WHERE Generateur = ? AND Id = ?"_s, {id, n})
                       .isValid())
                ++n;
            return n;
        };
        const auto check = [&](const Database& db, const QStringList& ids) {
            UnprintedCount count(db);
            for (const QString& id : ids) {
                QCOMPARE(GeneratorStore(db).nextResultNumber(id), expected(db, id));
                count.countResultsOf(id);
                count.open();
                QCOMPARE(count.value(), db.scalar(count.statement()).toLongLong());
            }
        };
        const auto generator = [](const QString& id) {
            return PersonalGenerator{id, id.toUpper(), u"x\n"_s, {}};
        };
        const auto store = [&](const Database& db, const QString& id) {
            return GeneratorStore(db).storeResult(generator(id), u"10/12/26"_s, {u"x"_s},
                                                  QDateTime::currentDateTime());
        };
        GeneratorStore(*t.db).save({generator(u"a"_s), generator(u"b"_s)}, false);
        for (const QString& id : {u"a"_s, u"a"_s, u"a"_s, u"b"_s, u"b"_s})
            store(*t.db, id);
        check(*t.db, {u"a"_s, u"b"_s, u"c"_s});
        t.db->run(u"DELETE FROM OVresultat WHERE Generateur = 'a' AND Id = 0"_s);
        check(*t.db, {u"a"_s});
        QCOMPARE(store(*t.db, u"a"_s), 3);
        saveEditedGenerator(*t.db, u"b"_s, generator(u"c"_s));
        t.db->run(u"UPDATE OVresultat SET DateImprime = '10/12/26' WHERE Generateur = 'c'"_s);
        check(*t.db, {u"c"_s});
        // A hole at 0: a count too low would give the free 0 instead of the next number.
        t.db->run(u"DELETE FROM OVresultat WHERE Generateur = 'c' AND Id = 0"_s);
        check(*t.db, {u"a"_s, u"b"_s, u"c"_s});
        GeneratorStore(*t.db).remove(u"a"_s);
        check(*t.db, {u"a"_s, u"c"_s});

        // A file written before the counts were kept gets them from its results.
        store(*t.db, u"c"_s);
        for (const char* sql :
             {"DROP TRIGGER ovCounts_results_ins", "DROP TRIGGER ovCounts_results_del",
              "DROP TRIGGER ovCounts_results_upd",
              "DELETE FROM ovCounts WHERE tbl LIKE 'OVresultat%'", "PRAGMA user_version = 9"})
            t.db->run(QString::fromLatin1(sql));
        const Database reopened(t.path);
        check(reopened, {u"a"_s, u"c"_s});
        QCOMPARE(store(reopened, u"c"_s), 3);
        check(reopened, {u"c"_s});
    }

    void olderFileUpgraded() {
        ovtest::TempDatabase t;
        ovtest::dropHistoryIndex(*t.db);
        t.db->run(QStringLiteral("DROP TABLE OVresultat"));
        t.db->run(QStringLiteral("DROP TABLE OVgenerateur"));
        t.db->run(QStringLiteral("PRAGMA user_version = 2"));
        t.db.reset();
        t.db = std::make_unique<Database>(t.path);
        QCOMPARE(GeneratorStore(*t.db).list().size(), 0);
        QCOMPARE(t.db->scalar(QStringLiteral("PRAGMA user_version")).toInt(),
                 latestSchemaVersion());
        QVERIFY(!t.db->backupPath().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPersonalGenerators)
#include "test_personalgenerators.moc"
