// What the store does with the file it is given: files that are not ours stay as they are, a
// read-only file is read and never written, an older schema is brought up to date after a copy.

#include "clirunner.h"
#include "tables/errors.h"
#include "tables/outputs.h"
#include "tables/schema.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;
using ovtest::inProcess;

namespace {

QByteArray fingerprint(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256) +
           QByteArray::number(int(QFileInfo(path).permissions()));
}

// Everything beside the database that the engine might leave.
QStringList companions(const QString& path) {
    QStringList found;
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        if (QFile::exists(path + QLatin1String(suffix)))
            found.append(path + QLatin1String(suffix));
    return found;
}

// A database of this program, closed, with a record waiting to be printed.
void makeOurs(const QString& path) {
    Database db(path);
    appendRecord(db, OutputKind::Perso, 0, u"OV -0- 01/12/26\r\n"_s, u" "_s,
                 QDateTime(QDate(2026, 12, 1), QTime(10, 0)));
}

void makeForeign(const QString& path) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"foreign"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery(db).exec(u"CREATE TABLE clients (nom TEXT)"_s);
        QSqlQuery(db).exec(u"INSERT INTO clients VALUES ('Dupont')"_s);
        db.close();
    }
    QSqlDatabase::removeDatabase(u"foreign"_s);
}

void makeFile(const QString& kind, const QString& path) {
    if (kind == u"vide"_s) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == u"octets au hasard"_s) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray bytes(8192, Qt::Uninitialized);
        QRandomGenerator random(42);
        for (char& byte : bytes)
            byte = char(random.bounded(256));
        file.write(bytes);
    } else if (kind == u"SQLite étrangère"_s) {
        makeForeign(path);
    } else if (kind == u"version plus récente"_s) {
        makeOurs(path);
        Database(path).run(u"PRAGMA user_version = %1"_s.arg(latestSchemaVersion() + 1));
    } else {
        makeOurs(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    }
}

} // namespace

class TestStoreFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        ovtest::isolateUserFolders();
        QVERIFY(m_dir.isValid());
        ovtest::TempDatabase source;
        m_tableFile = m_dir.filePath(u"tables.txt"_s);
        QCOMPARE(inProcess({u"tables"_s, u"export"_s, m_tableFile, u"--database"_s, source.path})
                     .exitCode,
                 0);
    }

    // Each kind of file, after each verb: refused with its name, or for a read-only file read
    // but never written; in every case the same bytes and nothing beside it.
    void filesStayAsTheyAre_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("verb");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString pdf = m_dir.filePath(u"sortie.pdf"_s);
        const QString exported = m_dir.filePath(u"export.txt"_s);
        const QList<QPair<QString, QStringList>> verbs{
            {u"generate"_s, {u"generate"_s, u"perso"_s, u"--seed"_s, u"1"_s}},
            {u"generate --no-store"_s, {u"generate"_s, u"perso"_s, u"--no-store"_s}},
            {u"draw"_s, {u"draw"_s, u"age"_s}},
            {u"print"_s, {u"print"_s, u"perso"_s, u"--pdf"_s, pdf}},
            {u"print --no-stamp"_s, {u"print"_s, u"perso"_s, u"--no-stamp"_s, u"--pdf"_s, pdf}},
            {u"tables export"_s, {u"tables"_s, u"export"_s, exported}},
            {u"tables import"_s, {u"tables"_s, u"import"_s, m_tableFile, u"--replace"_s}},
            {u"tables check"_s, {u"tables"_s, u"check"_s}},
        };
        const QStringList refused{u"vide"_s, u"octets au hasard"_s, u"SQLite étrangère"_s,
                                  u"version plus récente"_s};
        for (const QString& kind : refused)
            for (const auto& [name, verb] : verbs)
                QTest::addRow("%s, %s", qPrintable(kind), qPrintable(name))
                    << kind << verb << 1 << u"base.db"_s;
        // Read-only: what only reads works; what writes says why it cannot.
        const QStringList writing{u"generate"_s, u"print"_s, u"tables import"_s};
        for (const auto& [name, verb] : verbs)
            QTest::addRow("lecture seule, %s", qPrintable(name))
                << u"lecture seule"_s << verb << (writing.contains(name) ? 1 : 0)
                << (writing.contains(name) ? u"lecture seule"_s : QString());
    }
    void filesStayAsTheyAre() {
        QFETCH(QString, kind);
        QFETCH(QStringList, verb);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"base.db"_s);
        makeFile(kind, path);
        const QByteArray before = fingerprint(path);
        QVERIFY(companions(path).isEmpty());

        const ovtest::ToolResult result = inProcess(verb + QStringList{u"--database"_s, path});
        QVERIFY2(result.exitCode == exitCode, qPrintable(result.out + result.err));
        QVERIFY2(result.err.contains(message), qPrintable(result.err));
        QCOMPARE(fingerprint(path), before);
        QCOMPARE(companions(path), QStringList());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"base.db"_s});
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }

    // An older file is copied, then brought to the latest version, keeping what it held.
    void olderSchemaIsMigratedAfterACopy() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"orvanthe.db"_s);
        makeOurs(path);
        {
            Database db(path);
            db.run(u"DROP INDEX ixOVpersoId"_s);
            ovtest::dropHistoryIndex(db);
            db.run(u"DROP TABLE OVresultat"_s);
            db.run(u"DROP TABLE OVgenerateur"_s);
            db.run(u"PRAGMA user_version = 1"_s);
        }
        Database db(path);
        const QString backup = u"orvanthe.db.bak-"_s + QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(db.backupPath(), dir.filePath(backup));
        QCOMPARE(db.scalar(u"PRAGMA user_version"_s).toInt(), latestSchemaVersion());
        QVERIFY(!db.hasTable(u"ovRecordNumbers"_s));
        QVERIFY(db.hasTable(u"OVgenerateur"_s));
        QVERIFY(db.hasTable(u"ovHistory"_s));
        QCOMPARE(recordCount(db, OutputKind::Perso), 1);
        Database copy(db.backupPath()); // the copy itself is migrated when opened...
        QCOMPARE(recordCount(copy, OutputKind::Perso), 1);
        QVERIFY(QFile::exists(db.backupPath() + u".bak-"_s +
                              QDate::currentDate().toString(Qt::ISODate)));
        // ... and a second open of the migrated file copies nothing.
        Database again(path);
        QVERIFY(again.backupPath().isEmpty());
    }

    // A migration killed while it copies the file leaves no backup under the backup's name, or a
    // complete one; the next run writes its backup under that name.
    void killedBackupLeavesNoPartialCopy_data() {
        QTest::addColumn<int>("delay"); // milliseconds before the kill
        for (const int delay : {40, 150, 500})
            QTest::addRow("%d ms", delay) << delay;
    }
    void killedBackupLeavesNoPartialCopy() {
        QFETCH(int, delay);
        static const QString older = [&] {
            const QString path = m_dir.filePath(u"ancien.db"_s);
            const Database db(path);
            ovtest::addLargeTable(db, u"gros"_s, u"Gros"_s, 400000, [](int i) {
                return qMakePair(u"élément numéro %1 d'une très grande table"_s.arg(i), 1.0);
            });
            db.run(u"PRAGMA user_version = %1"_s.arg(latestSchemaVersion() - 1));
            return path;
        }();
        QTemporaryDir dir;
        const QString path = dir.filePath(u"orvanthe.db"_s);
        QVERIFY(QFile::copy(older, path));
        const QString backup = path + u".bak-"_s + QDate::currentDate().toString(Qt::ISODate);
        QProcess tool;
        tool.start(qEnvironmentVariable("OV_CLI"),
                   {u"tables"_s, u"check"_s, u"--database"_s, path});
        QVERIFY(tool.waitForStarted());
        QTest::qWait(delay);
        tool.kill();
        QVERIFY(tool.waitForFinished(10000));
        const bool keptBackup = QFile::exists(backup);
        if (keptBackup) { // complete: the large table whole
            int rows = -1;
            {
                QSqlDatabase raw = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"raw"_s);
                raw.setDatabaseName(backup);
                raw.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
                if (raw.open()) {
                    QSqlQuery query(raw);
                    if (query.exec(u"SELECT count(*) FROM OVslave"_s) && query.next())
                        rows = query.value(0).toInt();
                }
            }
            QSqlDatabase::removeDatabase(u"raw"_s);
            QVERIFY(rows >= 400000);
        }
        const Database db(path);
        QCOMPARE(db.scalar(u"PRAGMA user_version"_s).toInt(), latestSchemaVersion());
        QVERIFY(QFile::exists(backup));
        if (!keptBackup) // the name was free: the next run took it
            QCOMPARE(db.backupPath(), backup);
    }

    void newFileGetsTheLatestVersion() {
        ovtest::TempDatabase t;
        QCOMPARE(t.db->scalar(u"PRAGMA user_version"_s).toInt(), latestSchemaVersion());
        QVERIFY(t.db->backupPath().isEmpty());
    }

private:
    QTemporaryDir m_dir;
    QString m_tableFile;
};

QTEST_MAIN(TestStoreFiles)
#include "test_storefiles.moc"
