// The verb copy-database: a campaign copied there and back is the same campaign, and a copy that
// cannot be made leaves the target as it was.

#include "clirunner.h"
#include "tables/copydatabase.h"
#include "tables/outputs.h"
#include "testsupport.h"

#include <QDate>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <atomic>
#include <thread>

using namespace ov;
using namespace Qt::StringLiterals;
using ovtest::inProcess;

namespace {

// Every row of every campaign table in its order, and the history as it lists them; a column
// named Note (which only one side has) is left out.
QString dump(const QString& path) {
    const Database db(path);
    QString text;
    QStringList statements{QStringLiteral("SELECT kind, n, created, createdTime, printed"
                                          " FROM ovHistory ORDER BY hid")};
    for (const QString& table : campaignTableNames())
        statements.append(
            QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, db.insertionOrder()));
    for (const QString& statement : statements) {
        QSqlQuery query = db.run(statement);
        text += statement + QLatin1Char('\n');
        while (query.next()) {
            for (int i = 0; i < query.record().count(); ++i)
                if (query.record().fieldName(i) != QLatin1String("Note"))
                    text += query.value(i).isNull() ? QStringLiteral("∅|")
                                                    : query.value(i).toString() + u'|';
            text += QLatin1Char('\n');
        }
    }
    return text;
}

QByteArray bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
}

QString run(const QStringList& args, const QString& database) {
    return inProcess(args + QStringList{QStringLiteral("--database"), database}).out;
}

// A campaign with records of every kind, printed and not, one of an earlier day written after
// today's, stale totals, a personal generator's result and a column the program does not know.
void makeCampaign(const QString& path) {
    QVERIFY(inProcess({u"init"_s, u"--database"_s, path}).exitCode == 0);
    for (const char* kind : {"perso", "village", "tresor", "perso", "rencontre", "taverne"})
        QVERIFY(!run({u"generate"_s, QLatin1String(kind), u"--count"_s, u"2"_s}, path).isEmpty());
    const Database db(path);
    insertRecords(db, OutputKind::Village,
                  {{7.0, u"Vieux-Bourg\nancien village"_s, u"Hameau"_s, QDate(2020, 5, 1), {}}});
    ovtest::setTotals(db, db.scalar(u"SELECT min(Id) FROM OVmaster"_s).toString(), 3, 1000);
    db.run(u"UPDATE ovHistory SET createdTime = '01:02:03' WHERE hid = 2"_s);
    db.run(u"UPDATE ovHistory SET createdTime = NULL WHERE hid = 3"_s);
    db.run(u"UPDATE OVperso SET DateImprime = '2026-01-02' WHERE Id < 2"_s);
    db.run(u"ALTER TABLE OVvillage ADD COLUMN Note TEXT"_s);
}

} // namespace

class TestCliCopyDatabase : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void thereAndBack() {
        QTemporaryDir dir;
        const QString a = dir.filePath(u"a.db"_s), b = dir.filePath(u"b.db"_s);
        makeCampaign(a);
        const QString before = dump(a);
        QCOMPARE(inProcess({u"copy-database"_s, a, b}).exitCode, 0);
        QCOMPARE(dump(b), before);
        QCOMPARE(inProcess({u"copy-database"_s, b, a, u"--replace"_s}).exitCode, 0);
        QCOMPARE(dump(a), before);
        for (const QString& kind : {u"perso"_s, u"taverne"_s}) {
            const QStringList args{u"generate"_s, kind, u"--seed"_s, u"7"_s, u"--no-store"_s};
            QCOMPARE(run(args, b), run(args, a));
        }
        const QString found = run({u"history"_s, u"search"_s, u"ancien"_s}, b);
        QVERIFY(found.contains(u"2020-05-01"_s));
        QCOMPARE(found, run({u"history"_s, u"search"_s, u"ancien"_s}, a));
    }

    // Tables added to the source by another writer while the copy runs are not in the target
    // (the copy reads one state of the source, elements and tables alike), and the report counts
    // the rows the target holds.
    void copyReadsOneStateOfTheSource() {
        QTemporaryDir dir;
        const QString from = dir.filePath(u"a.db"_s), to = dir.filePath(u"b.db"_s);
        {
            const Database db(from);
            ovtest::addLargeTable(db, u"gros"_s, u"Gros"_s, 60000,
                                  [](int i) { return qMakePair(QString::number(i), 1.0); });
        }
        std::atomic<bool> copied = false;
        std::atomic<int> added = 0;
        std::thread writer([&] {
            const Database db(from);
            for (int i = 0; !copied && i < 1000; ++i, ++added)
                ovtest::addTable(db, u"#%1"_s.arg(i), {{u"x"_s, 1}});
        });
        const ovtest::ToolResult result = inProcess({u"copy-database"_s, from, to});
        copied = true;
        writer.join();
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QVERIFY(added > 2);
        const Database target(to);
        QCOMPARE(target
                     .scalar(u"SELECT count(*) FROM OVmaster m WHERE Id LIKE '#%' AND NOT EXISTS"
                             " (SELECT 1 FROM OVslave s WHERE s.ID = m.Id)"_s)
                     .toInt(),
                 0);
        QCOMPARE(target
                     .scalar(u"SELECT count(DISTINCT ID) FROM OVslave WHERE ID NOT IN"
                             " (SELECT Id FROM OVmaster)"_s)
                     .toInt(),
                 0);
        for (const QString& table : campaignTableNames())
            QVERIFY2(result.out.contains(u"  %1 : %2 ligne"_s.arg(table).arg(
                         target.scalar(u"SELECT count(*) FROM "_s + table).toLongLong())),
                     qPrintable(table));
    }

    void refused_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::newRow("cible non vide") << u"full"_s << u"contient déjà des données"_s;
        QTest::newRow("cible en lecture seule") << u"readonly"_s << u"lecture seule"_s;
        QTest::newRow("échec au milieu") << u"duplicate"_s << u"Écriture impossible"_s;
        QTest::newRow("table absente") << u"missing"_s << u"OVgenerateur est introuvable"_s;
        QTest::newRow("même base") << u"same"_s << u"sur elle-même"_s;
    }
    void refused() {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString from = dir.filePath(u"from.db"_s);
        QString to = dir.filePath(u"to.db"_s);
        QStringList flags{u"--replace"_s};
        makeCampaign(from);
        {
            const Database source(from);
            if (setup == u"duplicate"_s) // two results with one number, seen after the rest
                for (const QString& sql :
                     {u"DROP TRIGGER IF EXISTS OVgenerateur_carry_results"_s,
                      u"CREATE TABLE r AS SELECT * FROM OVresultat"_s, u"DROP TABLE OVresultat"_s,
                      u"ALTER TABLE r RENAME TO OVresultat"_s,
                      u"INSERT INTO OVresultat SELECT * FROM OVresultat"_s})
                    source.run(sql);
            if (setup == u"missing"_s)
                source.run(u"DROP TABLE OVgenerateur"_s);
        }
        if (setup == u"same"_s)
            QVERIFY(QFile::link(from, to));
        else if (setup != u"missing"_s) // a missing target is created only by a copy that works
            QCOMPARE(inProcess({u"init"_s, u"--database"_s, to}).exitCode, 0);
        if (setup == u"full"_s)
            flags.clear();
        if (setup == u"readonly"_s)
            QVERIFY(QFile::setPermissions(to, QFile::ReadOwner | QFile::ReadGroup));
        const QByteArray target = bytes(to);
        const ovtest::ToolResult result =
            inProcess(QStringList{u"copy-database"_s, from, to} + flags);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(bytes(to), target);
        QVERIFY(!QFile::exists(to + u"-wal"_s));
    }
};

QTEST_GUILESS_MAIN(TestCliCopyDatabase)
#include "test_cli_copydatabase.moc"
