// The tool on both engines: a SQLite file and a base on the throwaway PostgreSQL server that the
// test run starts (its address in $OV_TEST_PG/url). Same tables and seed, same texts; the history
// found without accents; writers side by side; a connection lost in the middle of a run.

#include "clirunner.h"
#include "pgserver.h"
#include "tables/database.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>
#include <memory>
#include <utility>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

int count(const QString& address, const QString& sql) {
    const Database db(address);
    return db.scalar(sql).toInt();
}

// The tables of a base on the server, read without opening it as a store (which would give an
// empty base its schema).
int publicTables(const QString& address) {
    const DatabaseLocation location = DatabaseLocation::parse(address);
    int tables = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, u"ovtest-raw"_s);
        db.setHostName(location.host());
        db.setPort(location.port());
        db.setUserName(location.user());
        db.setDatabaseName(location.base());
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(u"SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"_s) &&
                query.next())
                tables = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(u"ovtest-raw"_s);
    return tables;
}

} // namespace

class TestCliPostgresql : public QObject {
    Q_OBJECT
    QString m_folder;
    std::unique_ptr<ovtest::TestServer> m_admin;
    QString m_file;   // a SQLite file
    QString m_server; // a base on the server, with the same starter tables

    QString engine(const QString& name) const { return name == "fichier"_L1 ? m_file : m_server; }

private Q_SLOTS:
    void initTestCase() {
        m_folder = ovtest::isolateUserFolders();
        const QString address = ovtest::testServerAddress();
        if (address.isEmpty())
            QFAIL("Pas de serveur PostgreSQL de test : OV_TEST_PG est vide ou son fichier url"
                  " manque (tests/pgcluster.sh start).");
        m_admin = std::make_unique<ovtest::TestServer>(address);
        QVERIFY2(m_admin->isOpen(), qPrintable(u"Serveur injoignable : "_s + address));
        m_file = m_folder + u"/campagne.db"_s;
        m_server = m_admin->newBase(u"ov_engines"_s);
        for (const QString& where : {m_file, m_server}) {
            const auto init = ovtest::tool({u"init"_s, u"--database"_s, where});
            QVERIFY2(init.exitCode == 0, qPrintable(init.err));
        }
    }
    void cleanupTestCase() { m_admin.reset(); }

    // From the same tables and seed, the four generators and a personal one write the same bytes.
    void sameTextOnBothEngines_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("seed");
        QTest::newRow("perso") << u"perso"_s << u"11"_s;
        QTest::newRow("tresor") << u"tresor"_s << u"12"_s;
        QTest::newRow("rencontre") << u"rencontre"_s << u"13"_s;
        QTest::newRow("village") << u"village"_s << u"14"_s;
        QTest::newRow("générateur personnel") << u"taverne"_s << u"15"_s;
        QTest::newRow("json") << u"tresor"_s << u"16"_s;
    }
    void sameTextOnBothEngines() {
        QFETCH(QString, kind);
        QFETCH(QString, seed);
        QStringList args{u"generate"_s, kind,   u"--seed"_s,    seed,
                         u"--count"_s,  u"4"_s, u"--no-store"_s};
        if (QLatin1StringView(QTest::currentDataTag()) == "json"_L1)
            args << u"--json"_s;
        const auto onFile = ovtest::tool(args + QStringList{u"--database"_s, m_file});
        const auto onServer = ovtest::tool(args + QStringList{u"--database"_s, m_server});
        QVERIFY2(onFile.exitCode == 0, qPrintable(onFile.err));
        QVERIFY2(onServer.exitCode == 0, qPrintable(onServer.err));
        QVERIFY(onFile.out.size() > 100);
        QCOMPARE(onServer.out, onFile.out);
    }

    // A stored text is found by one of its accented words written without accents, in capitals;
    // the server is reached through the alias file.
    void historyIgnoresAccents_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("kind");
        QTest::newRow("fichier") << u"fichier"_s << u"village"_s;
        QTest::newRow("serveur par l'alias") << u"serveur"_s << u"village"_s;
        QTest::newRow("générateur personnel, fichier") << u"fichier"_s << u"taverne"_s;
        QTest::newRow("générateur personnel, serveur") << u"serveur"_s << u"taverne"_s;
    }
    void historyIgnoresAccents() {
        QFETCH(QString, where);
        QFETCH(QString, kind);
        QFile alias(aliasFilePath());
        QVERIFY(QDir().mkpath(QFileInfo(alias).absolutePath()));
        QVERIFY(alias.open(QIODevice::WriteOnly));
        alias.write((u"[alias]\nOV="_s + engine(where) + u"\n"_s).toUtf8());
        alias.close();
        const auto made = ovtest::tool({u"generate"_s, kind, u"--seed"_s, u"21"_s});
        QVERIFY2(made.exitCode == 0, qPrintable(made.err));
        static const QRegularExpression accented(u"\\b\\w*[éèêàçôûî]\\w*\\b"_s);
        const QString word = accented.match(made.out).captured(0);
        QVERIFY2(!word.isEmpty(), qPrintable(made.out));
        const QString plain = word.normalized(QString::NormalizationForm_D)
                                  .remove(QRegularExpression(u"\\p{M}"_s))
                                  .toUpper();
        const auto found = ovtest::tool({u"history"_s, u"search"_s, plain});
        QVERIFY2(found.exitCode == 0, qPrintable(found.err));
        QVERIFY2(found.out.startsWith(kind), qPrintable(plain + u" : "_s + found.out));
        QFile::remove(aliasFilePath());
    }

    // A campaign moved from the file to the server and back reads the same on all three.
    void copyThereAndBackKeepsEverything_data() {
        QTest::addColumn<QStringList>("verb");
        QTest::newRow("historique") << QStringList{u"history"_s, u"list"_s, u"--limit"_s, u"500"_s};
        QTest::newRow("tables") << QStringList{u"tables"_s, u"export"_s, u"-"_s};
        QTest::newRow("générateurs") << QStringList{u"generators"_s, u"list"_s};
        QTest::newRow("tirages") << QStringList{u"generate"_s, u"village"_s, u"--seed"_s, u"5"_s,
                                                u"--no-store"_s};
    }
    void copyThereAndBackKeepsEverything() {
        QFETCH(QStringList, verb);
        static const QString server = m_admin->newBase(u"ov_copy"_s);
        static const QString back = m_folder + u"/retour.db"_s;
        if (!QFile::exists(back)) {
            QVERIFY(ovtest::tool(
                        {u"generate"_s, u"perso"_s, u"--count"_s, u"3"_s, u"--database"_s, m_file})
                        .exitCode == 0);
            for (const auto& [from, to] : {std::pair{m_file, server}, std::pair{server, back}}) {
                const auto copied = ovtest::tool({u"copy-database"_s, from, to});
                QVERIFY2(copied.exitCode == 0, qPrintable(copied.err));
            }
        }
        const auto original = ovtest::tool(verb + QStringList{u"--database"_s, m_file});
        QVERIFY(original.exitCode == 0 && original.out.size() > 50);
        QCOMPARE(ovtest::tool(verb + QStringList{u"--database"_s, server}).out, original.out);
        QCOMPARE(ovtest::tool(verb + QStringList{u"--database"_s, back}).out, original.out);
    }

    // Three tools generating at once into one base on the server: every record its own number,
    // its header line agreeing with it, and no tool failing; characters with deletes in between
    // (the count falls below numbers in use), and a personal generator's results.
    void threeWritersGetDistinctNumbers_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("records");
        QTest::addColumn<QString>("header");
        QTest::newRow("perso") << u"perso"_s << u"OVperso"_s
                               << u"Perso LIKE '%OV -' || {n} || '- %'"_s;
        QTest::newRow("taverne") << u"taverne"_s << u"OVresultat WHERE Generateur = 'taverne'"_s
                                 << u"Texte LIKE '% - ' || {n} || ' - %'"_s;
    }
    void threeWritersGetDistinctNumbers() {
        QFETCH(QString, kind);
        QFETCH(QString, records);
        QFETCH(QString, header);
        const QString base = m_admin->newBase(u"ov_writers_"_s + kind);
        QVERIFY(ovtest::tool({u"init"_s, u"--database"_s, base}).exitCode == 0);
        std::vector<std::unique_ptr<QProcess>> tools;
        for (int i = 0; i < 3; ++i) {
            tools.push_back(std::make_unique<QProcess>());
            tools.back()->start(qEnvironmentVariable("OV_CLI"), {u"generate"_s, kind, u"--count"_s,
                                                                 u"50"_s, u"--database"_s, base});
        }
        const int deleted = kind == u"perso"_s ? ovtest::deleteWhileRunning(base, tools) : 0;
        for (auto& process : tools) {
            QVERIFY(process->state() == QProcess::NotRunning || process->waitForFinished(120000));
            QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
        }
        QVERIFY(deleted > 0 || kind != u"perso"_s);
        const QString where = records.contains(u" WHERE "_s) ? u" AND "_s : u" WHERE "_s;
        QCOMPARE(count(base, u"SELECT count(DISTINCT Id) FROM "_s + records),
                 count(base, u"SELECT count(*) FROM "_s + records));
        QVERIFY(count(base, u"SELECT count(*) FROM "_s + records) <= 150 - deleted);
        QCOMPARE(count(base, u"SELECT count(*) FROM "_s + records + where + u"NOT ("_s +
                                 QString(header).replace(u"{n}"_s,
                                                         u"CAST(CAST(Id AS BIGINT) AS TEXT)"_s) +
                                 u")"_s),
                 0);
    }

    // The server goes away in the middle of a long run: the tool says so in French and stops
    // with a failure; what is stored is whole records only, each shown as stored.
    void lostConnectionLeavesNoPartialRecord() {
        const QString base = m_admin->newBase(u"ov_lost"_s);
        QVERIFY(ovtest::tool({u"init"_s, u"--database"_s, base}).exitCode == 0);
        QProcess run;
        run.start(qEnvironmentVariable("OV_CLI"),
                  {u"generate"_s, u"village"_s, u"--count"_s, u"100000"_s, u"--database"_s, base});
        QVERIFY(run.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (count(base, u"SELECT count(*) FROM OVvillage"_s) < 20 && waited.elapsed() < 60000)
            QTest::qWait(50);
        QVERIFY(m_admin->cutConnections(u"ov_lost"_s) > 0);
        QVERIFY(run.waitForFinished(60000));
        const QString out = QString::fromUtf8(run.readAllStandardOutput());
        const QString err = QString::fromUtf8(run.readAllStandardError());
        QCOMPARE(run.exitCode(), 1);
        // One French line, the driver's text in parentheses at its end, nothing else.
        static const QRegularExpression told(
            u"^(Ce texte n'a pas été enregistré\\. )?La connexion au serveur de la base [^\n]* est "
            u"perdue : ce qui était en cours n'a"
            " pas été enregistré \\([^\n]*\\)\n$"_s);
        QVERIFY2(told.match(err).hasMatch(), qPrintable(err));
        const int shown = int(out.count(u"OV -"_s));
        const int notStored = int(out.count(u"(texte non enregistré)"_s));
        QVERIFY(notStored <= 1); // the run cut while it stored, or while it took its number
        QCOMPARE(count(base, u"SELECT count(*) FROM OVvillage"_s), shown - notStored);
        QCOMPARE(count(base, u"SELECT count(*) FROM OVvillage WHERE Village NOT LIKE"
                             " '%OV -' || CAST(CAST(Id AS BIGINT) AS TEXT) || '- %'"_s),
                 0);
    }

    // A generator deleted while it runs: the run stops at its next result with a French message,
    // and no result is left without its generator.
    void deleteDuringARun_data() {
        QTest::addColumn<QString>("where");
        QTest::newRow("fichier") << u"fichier"_s;
        QTest::newRow("serveur") << u"serveur"_s;
    }
    void deleteDuringARun() {
        QFETCH(QString, where);
        const QString base =
            where == u"fichier"_s ? m_folder + u"/course.db"_s : m_admin->newBase(u"ov_course"_s);
        QVERIFY(ovtest::tool({u"init"_s, u"--database"_s, base}).exitCode == 0);
        QProcess run;
        run.start(qEnvironmentVariable("OV_CLI"),
                  {u"generate"_s, u"taverne"_s, u"--count"_s, u"100000"_s, u"--json"_s,
                   u"--database"_s, base});
        QVERIFY(run.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (count(base, u"SELECT count(*) FROM OVresultat"_s) < 20 && waited.elapsed() < 60000)
            QTest::qWait(20);
        const auto deleted =
            ovtest::tool({u"generators"_s, u"delete"_s, u"taverne"_s, u"--database"_s, base});
        QVERIFY2(deleted.exitCode == 0, qPrintable(deleted.err));
        QVERIFY(run.waitForFinished(60000));
        const QString err = QString::fromUtf8(run.readAllStandardError());
        QCOMPARE(run.exitCode(), 1);
        QCOMPARE(err, u"Le générateur « taverne » n'existe plus (supprimé ou renommé pendant la"
                      " génération) : ce texte n'a pas été enregistré\n"_s);
        QCOMPARE(count(base, u"SELECT count(*) FROM OVresultat"_s), 0);
        // The failed run's object has its error and no number: nothing was stored.
        const QJsonObject last =
            QJsonDocument::fromJson(run.readAllStandardOutput().trimmed().split('\n').last())
                .object();
        QVERIFY(last.contains(u"error"_s) && !last.contains(u"id"_s));
    }

    // A copy killed at any moment leaves its target as it was: no file under the target's name,
    // an empty base on the server; the same copy made again then works.
    void killedCopyLeavesNothingHalfMade_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("delay"); // milliseconds before the kill
        for (const int delay : {150, 1500}) {
            QTest::addRow("fichier, %d ms", delay) << u"fichier"_s << delay;
            QTest::addRow("serveur, %d ms", delay) << u"serveur"_s << delay;
        }
    }
    void killedCopyLeavesNothingHalfMade() {
        QFETCH(QString, where);
        QFETCH(int, delay);
        static const QString source = [&] {
            const QString path = m_folder + u"/gros.db"_s;
            const Database db(path);
            ovtest::addLargeTable(db, u"gros"_s, u"Gros"_s, 3000,
                                  [](int i) { return qMakePair(QString::number(i), 1.0); });
            return path;
        }();
        const QString rows = u"OVslave : %1 lignes"_s.arg(
            Database(source).scalar(u"SELECT count(*) FROM OVslave"_s).toInt());
        const QString target = where == u"fichier"_s
                                   ? m_folder + u"/copie-%1.db"_s.arg(delay)
                                   : m_admin->newBase(u"ov_copie_%1"_s.arg(delay));
        QProcess copy;
        copy.start(qEnvironmentVariable("OV_CLI"), {u"copy-database"_s, source, target});
        QVERIFY(copy.waitForStarted());
        QTest::qWait(delay);
        if (copy.state() != QProcess::Running) {
            // Done before the kill: the whole copy is there.
            QVERIFY(QString::fromUtf8(copy.readAllStandardOutput()).contains(rows));
            return;
        }
        copy.kill();
        QVERIFY(copy.waitForFinished(10000));
        if (where == u"fichier"_s)
            QVERIFY(!QFile::exists(target));
        else
            QCOMPARE(publicTables(target), 0);
        // Nothing half-made: the copy made again is not refused, and is whole.
        const auto again = ovtest::tool({u"copy-database"_s, source, target});
        QVERIFY2(again.exitCode == 0, qPrintable(again.err));
        QVERIFY2(again.out.contains(rows), qPrintable(again.out));
    }
};

QTEST_GUILESS_MAIN(TestCliPostgresql)
#include "test_cli_postgresql.moc"
