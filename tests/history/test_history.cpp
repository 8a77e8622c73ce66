// The history: search, filters, reprint stamps, all-or-nothing actions, the index of a file that
// existed before it, and the export formats.

#include "history/history.h"
#include "tables/clock.h"
#include "tables/errors.h"
#include "tables/historyindex.h"
#include "tables/outputs.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

const QString villageText =
    QStringLiteral("OV -0- 01/12/2026\r\nNOM(Fort-Épée)__________ CONSTRUIT(pierre)__________ "
                   "REGION(Nord)__________\r\nMAISONS >>> 12 <<<\r\n");
const QString persoText = QStringLiteral(
    "                                          OV -0- 02/12/2026\r\n_________ ________ _________ "
    "AGE:vieux SEXE:femme CEL:3 / MEL:2\r\n SOCIAL:pauvre ORIGINE:elfe\r\n");
const QString tresorText = QStringLiteral(
    "OV -0- 03/12/2026\r\nArme - Épée longue - QT: 1\r\nPROTECTION: piège - VISIBLE: non\r\n");
const QString rencontreText = QStringLiteral(
    "OV -0- 04/12/2026\r\nAubergiste balafré - ALIGNEMENT: neutre\r\n  ATTITUDE: cicatrice au "
    "front\r\n............\r\n");

QString kindsOf(const QVector<HistoryEntry>& entries) {
    QStringList kinds;
    for (const HistoryEntry& entry : entries)
        kinds << entry.key.kind;
    return kinds.join(QLatin1Char(','));
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void init() {
        m_temp = std::make_unique<ovtest::TempDatabase>();
        const Database& db = *m_temp->db;
        // Oldest first: a village, a character, a treasure, an encounter.
        appendRecord(db, OutputKind::Village, 0, villageText, QStringLiteral("A"),
                     QDateTime(QDate(2026, 12, 1), QTime(9, 0)));
        appendRecord(db, OutputKind::Perso, 0, persoText, QStringLiteral("F"),
                     QDateTime(QDate(2026, 12, 2), QTime(9, 0)));
        appendRecord(db, OutputKind::Tresor, 0, tresorText, QStringLiteral(" "),
                     QDateTime(QDate(2026, 12, 3), QTime(9, 0)));
        appendRecord(db, OutputKind::Rencontre, 0, rencontreText, QStringLiteral(" "),
                     QDateTime(QDate(2026, 12, 4), QTime(9, 0)));
        db.run(QStringLiteral("UPDATE OVtresor SET DateImprime = '05/12/26'"));
        m_history = std::make_unique<History>(db);
    }
    void cleanup() {
        m_history.reset();
        m_temp.reset();
    }

    void search_data() {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("titles");
        QTest::newRow("all, newest first")
            << QString()
            << QStringLiteral("Aubergiste balafré - ALIGNEMENT: neutre|Arme - Épée "
                              "longue - QT: 1|AGE:vieux SEXE:femme|Fort-Épée");
        QTest::newRow("without accents")
            << QStringLiteral("epee") << QStringLiteral("Arme - Épée longue - QT: 1|Fort-Épée");
        QTest::newRow("capitals and accents")
            << QStringLiteral("ÉPÉE") << QStringLiteral("Arme - Épée longue - QT: 1|Fort-Épée");
        QTest::newRow("two words")
            << QStringLiteral("épée longue") << QStringLiteral("Arme - Épée longue - QT: 1");
        QTest::newRow("two words, any order, lines apart")
            << QStringLiteral("cicatrice aubergiste")
            << QStringLiteral("Aubergiste balafré - ALIGNEMENT: neutre");
        QTest::newRow("inside the text")
            << QStringLiteral("piege") << QStringLiteral("Arme - Épée longue - QT: 1");
        QTest::newRow("a beginning while typing")
            << QStringLiteral("fo") << QStringLiteral("Fort-Épée");
        QTest::newRow("punctuation only")
            << QStringLiteral("\" * -")
            << QStringLiteral(
                   "Aubergiste balafré - ALIGNEMENT: neutre|Arme - Épée longue - QT: 1|AGE:vieux "
                   "SEXE:femme|Fort-Épée");
        QTest::newRow("nothing found") << QStringLiteral("dragon") << QString();
    }
    void search() {
        QFETCH(QString, words);
        QFETCH(QString, titles);
        HistoryFilter filter;
        filter.words = words;
        QStringList found;
        for (const HistoryEntry& entry : m_history->page(filter, 50))
            found << entry.title;
        QCOMPARE(found.join(QLatin1Char('|')), titles);
    }

    void filters_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("printed");
        QTest::addColumn<QDate>("since");
        QTest::addColumn<QDate>("until");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("kinds");
        const QDate none;
        QTest::newRow("printed") << QString() << int(PrintedFilter::Printed) << none << none
                                 << QString() << QStringLiteral("tresor");
        QTest::newRow("unprinted in a range")
            << QString() << int(PrintedFilter::Unprinted) << QDate(2026, 12, 2)
            << QDate(2026, 12, 3) << QString() << QStringLiteral("perso");
        QTest::newRow("one kind and a word")
            << QStringLiteral("village") << int(PrintedFilter::All) << none << none
            << QStringLiteral("epee") << QStringLiteral("village");
        QTest::newRow("a word among unprinted")
            << QString() << int(PrintedFilter::Unprinted) << none << none << QStringLiteral("epee")
            << QStringLiteral("village");
        QTest::newRow("since a day") << QString() << int(PrintedFilter::All) << QDate(2026, 12, 3)
                                     << none << QString() << QStringLiteral("rencontre,tresor");
    }
    void filters() {
        QFETCH(QString, kind);
        QFETCH(int, printed);
        QFETCH(QDate, since);
        QFETCH(QDate, until);
        QFETCH(QString, words);
        QFETCH(QString, kinds);
        const HistoryFilter filter{kind, PrintedFilter(printed), since, until, words};
        QCOMPARE(kindsOf(m_history->page(filter, 50)), kinds);
    }

    void pagesFollowOneAnother() {
        HistoryFilter filter;
        const auto first = m_history->page(filter, 3);
        const auto rest = m_history->page(filter, 3, first.last().position);
        QCOMPARE(kindsOf(first) + QLatin1Char(',') + kindsOf(rest),
                 QStringLiteral("rencontre,tresor,perso,village"));
        filter.words = QStringLiteral("epee");
        QCOMPARE(kindsOf(m_history->page(filter, 1, m_history->page(filter, 1).last().position)),
                 QStringLiteral("village"));
    }

    // Texts stored one by one: their words reach the index when a search asks, and a search
    // finds every one of them, the changed and deleted ones as they now stand, also in a store
    // that cannot be written any more.
    void wordsOfStoredTextsAreFound() {
        const Database& db = *m_temp->db;
        const auto found = [&](const Database& store, const QString& words) {
            HistoryFilter filter;
            filter.words = words;
            QStringList titles;
            for (const HistoryEntry& entry : History(store).page(filter, 1000))
                titles << entry.title;
            return titles;
        };
        constexpr int count = 300;
        for (int i = 0; i < count; ++i) {
            appendRecord(
                db, OutputKind::Tresor, 0,
                QStringLiteral("OV -0- 06/12/2026\r\nCoffre de cuivre numero%1z\r\n").arg(i),
                QStringLiteral(" "), QDateTime(QDate(2026, 12, 6), QTime(9, 0)));
            if (i == count / 2) // the first half searched once, and so indexed
                QCOMPARE(found(db, u"cuivre"_s).size(), i + 1);
        }
        // First and last, one indexed and one still waiting, each changed and deleted.
        const auto rowOf = [&](int i) {
            return db.scalar(u"SELECT rowid FROM OVtresor WHERE Tresor LIKE ?"_s,
                             {u"%numero%1z\r\n%"_s.arg(i)});
        };
        for (int i : {0, count - 1})
            db.run(u"UPDATE OVtresor SET Tresor = 'OV -0- 06/12/2026\r\nCoffre d''argent "
                   "change%1\r\n' WHERE rowid = ?"_s.arg(i),
                   {rowOf(i)});
        for (int i : {1, count - 2})
            QCOMPARE(m_history->remove({{u"tresor"_s, rowOf(i).toLongLong()}}), 1);

        QTemporaryDir copy;
        const QString readOnly = copy.filePath(u"lecture.db"_s);
        db.run(u"PRAGMA wal_checkpoint(TRUNCATE)"_s);
        QVERIFY(QFile::copy(m_temp->path, readOnly));
        QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner));
        for (const Database* store : {&db, static_cast<const Database*>(nullptr)}) {
            const std::unique_ptr<Database> opened =
                store ? nullptr : std::make_unique<Database>(readOnly);
            const Database& searched = store ? *store : *opened;
            QCOMPARE(found(searched, u"cuivre"_s).size(), count - 4);
            QCOMPARE(found(searched, u"argent"_s),
                     QStringList({u"Coffre d'argent change%1"_s.arg(count - 1),
                                  u"Coffre d'argent change0"_s}));
            for (int i : {0, 1, count - 2, count - 1})
                QVERIFY(found(searched, u"numero%1z"_s.arg(i)).isEmpty());
            QCOMPARE(found(searched, u"numero%1z"_s.arg(count - 3)),
                     QStringList{u"Coffre de cuivre numero%1z"_s.arg(count - 3)});
        }
        db.run(u"INSERT INTO ovHistoryText (ovHistoryText) VALUES ('integrity-check')"_s);
    }

    void reprintKeepsExistingDates() {
        const auto all = m_history->page({}, 50);
        QVector<HistoryKey> keys;
        for (const HistoryEntry& entry : all)
            keys << entry.key;
        QCOMPARE(m_history->stampUnprinted(keys, QDate(2026, 12, 8)), 3);
        QStringList dates;
        for (const HistoryEntry& entry : m_history->page({}, 50))
            dates << entry.printed;
        const QString today = printDateStamp(QDate(2026, 12, 8));
        QCOMPARE(dates, QStringList({today, QStringLiteral("05/12/26"), today, today}));
    }

    // One refused row leaves every record of the action as it was, and the index with them.
    void actionsAreAllOrNothing_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("delete") << QStringLiteral("delete");
        QTest::newRow("unprint") << QStringLiteral("unprint");
    }
    void actionsAreAllOrNothing() {
        QFETCH(QString, action);
        const Database& db = *m_temp->db;
        db.run(QStringLiteral("UPDATE OVvillage SET DateImprime = '05/12/26'"));
        const auto keys = [&] {
            QVector<HistoryKey> all;
            for (const HistoryEntry& entry : m_history->page({}, 50))
                all << entry.key;
            return all;
        }();
        db.run(QStringLiteral("CREATE TRIGGER refuse BEFORE %1 ON OVvillage BEGIN"
                              " SELECT RAISE(ABORT, 'refusé'); END")
                   .arg(action == QLatin1String("delete") ? QStringLiteral("DELETE")
                                                          : QStringLiteral("UPDATE")));
        const auto act = [&] {
            return action == QLatin1String("delete") ? m_history->remove(keys)
                                                     : m_history->unprint(keys);
        };
        QVERIFY_THROWS_EXCEPTION(DatabaseError, act());
        HistoryFilter printed{QString(), PrintedFilter::Printed, {}, {}, {}};
        QCOMPARE(kindsOf(m_history->page(printed, 50)), QStringLiteral("tresor,village"));
        QCOMPARE(kindsOf(m_history->page({}, 50)),
                 QStringLiteral("rencontre,tresor,perso,village"));

        db.run(QStringLiteral("DROP TRIGGER refuse"));
        QCOMPARE(act(), action == QLatin1String("delete") ? 4 : 2);
        HistoryFilter epee;
        epee.words = QStringLiteral("epee");
        QCOMPARE(kindsOf(m_history->page(epee, 50)),
                 action == QLatin1String("delete") ? QString() : QStringLiteral("tresor,village"));
        QCOMPARE(kindsOf(m_history->page(printed, 50)), QString());
    }

    // Actions on more records than one statement takes reach every one of them.
    void actionsReachEveryRecord_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("untouched"); // the records the action must leave none of
        QTest::newRow("delete") << u"delete"_s << u"1 = 1"_s;
        QTest::newRow("unprint") << u"unprint"_s << u"DateImprime IS NOT NULL"_s;
        QTest::newRow("reprint") << u"reprint"_s << u"DateImprime IS NULL"_s;
    }
    void actionsReachEveryRecord() {
        QFETCH(QString, action);
        QFETCH(QString, untouched);
        const Database& db = *m_temp->db;
        db.transaction([&] {
            for (int i = 1; i <= 1001; ++i)
                appendRecord(db, OutputKind::Village, i, villageText, u"A"_s,
                             QDateTime(QDate(2026, 12, 5), QTime(9, 0)));
            if (action == u"unprint"_s)
                db.run(u"UPDATE OVvillage SET DateImprime = '05/12/26'"_s);
        });
        QVector<HistoryKey> keys;
        for (const HistoryEntry& entry : m_history->page({}, 5000))
            if (entry.key.kind == u"village"_s)
                keys << entry.key;
        QCOMPARE(keys.size(), 1002);
        const int changed = action == u"delete"_s ? m_history->remove(keys)
                            : action == u"unprint"_s
                                ? m_history->unprint(keys)
                                : m_history->stampUnprinted(keys, {2026, 12, 8});
        QCOMPARE(changed, 1002);
        QCOMPARE(db.scalar(u"SELECT count(*) FROM OVvillage WHERE "_s + untouched).toInt(), 0);
    }

    // A file of the version before the history gets it by its migration, its records oldest
    // first; a text edited afterwards is found by its new words only.
    void existingFileIsIndexed() {
        const Database& db = *m_temp->db;
        ovtest::dropHistoryIndex(db);
        db.run(QStringLiteral("PRAGMA user_version = 3"));
        m_history.reset();
        Database reopened(m_temp->path);
        History history(reopened);
        QCOMPARE(kindsOf(history.page({}, 50)), QStringLiteral("rencontre,tresor,perso,village"));
        reopened.run(QStringLiteral("UPDATE OVvillage SET Village = 'NOM(Roche-Noire)_'"));
        HistoryFilter filter;
        filter.words = QStringLiteral("epee");
        QCOMPARE(kindsOf(history.page(filter, 50)), QStringLiteral("tresor"));
        filter.words = QStringLiteral("roche noire");
        QCOMPARE(history.page(filter, 50).value(0).title, QStringLiteral("Roche-Noire"));
    }

    // The results of a personal generator written by an older program: a file of the version
    // before the history indexes them all at once, and one of the version before it had
    // them gets them added after its records. Their kind is their generator's Id, named by its
    // Nom; they follow a new Id of their generator.
    void resultsOfAnOlderFileAreIndexed_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("kinds");
        QTest::newRow("before the history")
            << 3 << QStringLiteral("Relais,Relais,rencontre,tresor,perso,village");
        QTest::newRow("before the results in the history")
            << 4 << QStringLiteral("Relais,Relais,rencontre,tresor,perso,village");
    }
    void resultsOfAnOlderFileAreIndexed() {
        QFETCH(int, version);
        QFETCH(QString, kinds);
        const Database& db = *m_temp->db;
        ovtest::dropHistoryIndex(db);
        db.run(QStringLiteral("INSERT INTO OVgenerateur (Id, Nom, Modele) VALUES"
                              " ('Relais', 'La taverne du coin', 'x')"));
        for (int n : {0, 1})
            db.run(QStringLiteral("INSERT INTO OVresultat VALUES ('Relais', ?, ?, ?, NULL)"),
                   {n,
                    QStringLiteral("La taverne du coin - %1 - 05/12/26\r\n\r\n  ---\r\n"
                                   "Enseigne : Au Chêne doré\r\n")
                        .arg(n),
                    QStringLiteral("2026-12-05T10:3%1:00").arg(n)});
        if (version == 4)
            createHistoryIndex(db);
        db.run(QStringLiteral("PRAGMA user_version = %1").arg(version));
        m_history.reset();
        Database reopened(m_temp->path);
        History history(reopened);
        QCOMPARE(kindsOf(history.page({}, 50)), kinds);

        // Found by a word without its accent, by its Id in any case.
        const auto kind = history.kindNamed(QStringLiteral("RELAIS"));
        QCOMPARE(kind.value_or(QString()), QStringLiteral("Relais"));
        HistoryFilter filter{*kind, PrintedFilter::All, QDate(2026, 12, 5), QDate(2026, 12, 5),
                             QStringLiteral("chene")};
        const auto found = history.page(filter, 50);
        QCOMPARE(found.size(), 2);
        QCOMPARE(found.first().kindLabel, QStringLiteral("La taverne du coin"));
        QCOMPARE(found.first().title, QStringLiteral("Enseigne : Au Chêne doré"));
        QCOMPARE(found.first().createdTime, QStringLiteral("10:31:00"));
        QCOMPARE(history.keysWithNumber(*kind, 1), QVector<HistoryKey>{found.first().key});
        QVERIFY(history.kinds().contains(
            {QStringLiteral("Relais"), QStringLiteral("La taverne du coin")}));

        // Reprinted with the generator's report and its current name.
        reopened.run(QStringLiteral("UPDATE OVgenerateur SET Nom = 'Au coin' WHERE Id = 'relais'"));
        const auto entries = history.entries({found.last().key, found.first().key});
        const auto reports = historyReports(entries, QDateTime(QDate(2026, 12, 8), QTime(10, 0)));
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.first().definition().caption, QStringLiteral("OV Au coin"));
        QCOMPARE(historyKindOfReport(reports.first().definition()), *kind);

        // Deleted; a generator's new Id takes its results along.
        QCOMPARE(history.remove({found.last().key}), 1);
        reopened.run(QStringLiteral("UPDATE OVgenerateur SET Id = 'auberge' WHERE Id = 'Relais'"));
        QCOMPARE(kindsOf(history.page({}, 50)),
                 QStringLiteral("auberge,rencontre,tresor,perso,village"));
        QVERIFY(!history.kindNamed(QStringLiteral("relais")));
    }

    void exportFormats_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        QTest::newRow("txt") << QStringLiteral("txt")
                             << QStringLiteral("OV -0- 03/12/2026\nArme - Épée longue - QT: 1\n"
                                               "PROTECTION: piège - VISIBLE: non\n");
        QTest::newRow("md") << QStringLiteral("md")
                            << QStringLiteral(
                                   "## Trésor 0 du 2026-12-03\n\n**Arme - Épée longue - QT: 1**\n\n"
                                   "```text\nOV -0- 03/12/2026\nArme - Épée longue - QT: 1\n"
                                   "PROTECTION: piège - VISIBLE: non\n```\n");
    }
    void exportFormats() {
        QFETCH(QString, format);
        QFETCH(QString, expected);
        const auto tresor = m_history->page({QStringLiteral("tresor"), {}, {}, {}, {}}, 1);
        const auto entries = m_history->entries({tresor.first().key});
        QCOMPARE(exportEntries(entries, *exportFormatFromName(format)), expected);
    }
    void exportJsonAndPdf() {
        const auto page = m_history->page({}, 50);
        QVector<HistoryKey> keys;
        for (const HistoryEntry& entry : page)
            keys << entry.key;
        const auto entries = m_history->entries(keys);
        const QJsonArray array =
            QJsonDocument::fromJson(exportEntries(entries, ExportFormat::Json).toUtf8()).array();
        QCOMPARE(array.size(), 4);
        const QJsonObject village = array.at(3).toObject();
        QCOMPARE(village[QStringLiteral("title")].toString(), QStringLiteral("Fort-Épée"));
        QCOMPARE(village[QStringLiteral("lines")].toArray().size(), 3);
        QCOMPARE(array.at(1).toObject()[QStringLiteral("printed")].toString(),
                 QStringLiteral("05/12/26"));
        // One report per kind, each with its records.
        const auto reports = historyReports(entries, QDateTime(QDate(2026, 12, 8), QTime(10, 0)));
        QCOMPARE(reports.size(), 4);
        QCOMPARE(reports.at(3).definition().kind, OutputKind::Village);
        QCOMPARE(reports.at(3).rows().first().text, villageText);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("historique.pdf"));
        QCOMPARE(writeReportsPdf(*m_temp->db, reports, pdf), QString());
        // Each kind's report from a new page, its texts in it.
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY(info.waitForFinished(60000));
        QVERIFY(QString::fromUtf8(info.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral("Pages:\\s+4\\b"))));
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000));
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY(printed.contains(QStringLiteral("Fort-Épée")));
        QVERIFY(printed.contains(QStringLiteral("Aubergiste balafré")));
    }

private:
    std::unique_ptr<ovtest::TempDatabase> m_temp;
    std::unique_ptr<History> m_history;
};

QTEST_MAIN(TestHistory)
#include "test_history.moc"
