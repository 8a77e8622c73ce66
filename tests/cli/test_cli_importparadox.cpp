// The verb import-paradox on folders written by an independent writer (make_fixtures.py): draw
// order, memos, code pages, stale totals, conflicts, dry runs and damaged files.

#include "clirunner.h"
#include "tables/tablefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

using namespace ov;
using ovtest::ToolResult;

namespace {

QString fixture(const QString& name) {
    return qEnvironmentVariable("OV_TEST_DATA") + QStringLiteral("/paradox/") + name;
}

// A copy of the sound folder in which one file is replaced by its damaged twin or removed.
QString folderWith(const QTemporaryDir& dir, const QString& damaged, const QString& removed) {
    const QString folder = dir.filePath(QStringLiteral("OV"));
    QDir().mkpath(folder);
    const QDir base(fixture(QStringLiteral("base")));
    for (const QString& name : base.entryList(QDir::Files))
        QFile::copy(base.filePath(name), folder + QLatin1Char('/') + name);
    if (!damaged.isEmpty()) {
        QFile::remove(folder + QLatin1Char('/') + damaged);
        QFile::copy(fixture(QStringLiteral("damaged/")) + damaged,
                    folder + QLatin1Char('/') + damaged);
    }
    if (!removed.isEmpty())
        QFile::remove(folder + QLatin1Char('/') + removed);
    return folder;
}

ToolResult importFolder(const QString& folder, const QString& database, QStringList flags = {}) {
    return ovtest::inProcess(QStringList{QStringLiteral("import-paradox"), folder,
                                         QStringLiteral("--database"), database} +
                             flags);
}

// The rows of the tables named, fields separated by "|", a null shown as "∅".
QString rows(const Database& db, std::initializer_list<const char*> tables) {
    QString text;
    for (const char* table : tables) {
        QSqlQuery query =
            db.run(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(QLatin1String(table)));
        while (query.next())
            for (int i = 0; i < query.record().count(); ++i)
                text += query.value(i).toString() + (query.value(i).isNull() ? u"∅|" : u"|");
    }
    return text;
}

// Everything the import may write, as one text.
QString contents(const Database& db) {
    return QString::fromUtf8(formatTableFile(loadRandomTables(db))) +
           rows(db, {"OVmaster", "OVperso", "OVtresor", "OVrencontre", "OVvillage"});
}

QStringList elements(const Database& db, const QString& id) {
    QStringList texts;
    QSqlQuery query = db.run(
        QStringLiteral("SELECT Element || '=' || Proba FROM OVslave WHERE ID = ? ORDER BY rowid"),
        {id});
    while (query.next())
        texts.append(query.value(0).toString());
    return texts;
}

} // namespace

class TestCliImportParadox : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void importsTablesInChainOrderAndRecordsAsStored() {
        ovtest::TempDatabase t;
        const ToolResult result =
            importFolder(fixture(QStringLiteral("base")), t.path, {QStringLiteral("--replace")});
        QCOMPARE(result.err, QString());
        QCOMPARE(result.exitCode, 0);
        const QStringList report = result.out.split(QLatin1Char('\n'));
        for (const char* line :
             {"Tables aléatoires : 4 tables, 20 éléments", "OVvillage.db absent : table passée",
              "  \"cel\" : 9 éléments et 99 de poids notés, 2 et 6 recomptés",
              "  OVslave.DB, fiche 21 : élément \"Élément perdu\" d'une table \"xxxx\" absente de "
              "OVmaster.db",
              "Import terminé (3 tables remplacées)."})
            QVERIFY2(report.contains(QString::fromUtf8(line)), line);

        const Database& db = *t.db;
        // The chain's second block of "rich" stands last in the file.
        QStringList fortunes;
        for (int i = 1; i <= 15; ++i)
            fortunes.append(QStringLiteral("Fortune n°%1=1.0").arg(i, 2, 10, QLatin1Char('0')));
        QCOMPARE(elements(db, QStringLiteral("rich")), fortunes);
        QCOMPARE(elements(db, QStringLiteral("cel")),
                 (QStringList{QStringLiteral("0Inconnu=5.0"),
                              QStringLiteral("1Célèbre à Thérbes=1.0")}));
        QCOMPARE(db.scalar(QStringLiteral("SELECT NbrElement || '/' || TotProba || ' ' || Nom"
                                          " FROM OVmaster WHERE Id = 'cel'"))
                     .toString(),
                 QStringLiteral("2.0/6.0 Célébrité"));

        QString eloise;
        for (int i = 1; i <= 8; ++i)
            eloise += QStringLiteral("Ligne %1 de la fiche, où l'on décrit Éloïse en détail.\r\n")
                          .arg(i, 2, 10, QLatin1Char('0'));
        QString treasure = QStringLiteral("Trésor de l'évêque\r\n");
        for (int i = 1; i <= 6; ++i)
            treasure += QStringLiteral("Pièce d'or n° %1, frappée à Çà-et-là\r\n").arg(i);
        QCOMPARE(rows(db, {"OVperso", "OVtresor", "OVrencontre", "OVvillage"}),
                 QStringLiteral("0|") + eloise +
                     QStringLiteral("|F 1 2 3|1999-12-31|03/01/00|1|Court : Gaëtan\r\n|"
                                    "M 0 1 2|2000-01-02|∅|0|") +
                     treasure + QStringLiteral("|Coffre|1998-06-15|∅|"));

        // A second import in place of the first leaves the same base.
        const QString before = contents(db);
        QCOMPARE(
            importFolder(fixture(QStringLiteral("base")), t.path, {QStringLiteral("--replace")})
                .exitCode,
            0);
        QCOMPARE(contents(db), before);
    }

    void readsMemosWrittenByTheLibrary() {
        // Short memos in the record, in a shared block and in blocks of their own.
        QTemporaryDir dir;
        const QString folder = folderWith(dir, QString(), QStringLiteral("OVperso.MB"));
        QFile::remove(folder + QStringLiteral("/OVperso.db"));
        for (const char* name : {"OVperso.db", "OVperso.MB"})
            QVERIFY(QFile::copy(fixture(QStringLiteral("pxlib/")) + QLatin1String(name),
                                folder + QLatin1Char('/') + QLatin1String(name)));
        ovtest::TempDatabase t;
        QCOMPARE(importFolder(folder, t.path, {QStringLiteral("--replace")}).exitCode, 0);
        QString expected;
        int id = 0;
        for (int lines : {8, 30, 400}) {
            expected += QString::number(id) + QLatin1Char('|');
            for (int line = 1; line <= lines; ++line)
                expected += QStringLiteral("Ligne %1 de %2\r\n").arg(line).arg(id);
            expected += QStringLiteral("|F 1 2 3|1999-09-0%1|%2|")
                            .arg(3 + id)
                            .arg(id == 1 ? QStringLiteral("03/01/00") : QStringLiteral("∅"));
            ++id;
        }
        QCOMPARE(rows(*t.db, {"OVperso"}), expected);
    }

    void refusalsWriteNothing_data() {
        QTest::addColumn<QString>("damaged");
        QTest::addColumn<QString>("removed");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("patch"); // "file@offset=hex bytes" written over the sound copy
        const QStringList replace{QStringLiteral("--replace")};
        const QStringList dryRun{QStringLiteral("--replace"), QStringLiteral("--dry-run")};
        QTest::newRow("truncated")
            << "OVslave.DB" << QString() << replace
            << "OVslave.DB ne peut pas être lu : il est tronqué" << QString();
        QTest::newRow("header lies")
            << "OVmaster.db" << QString() << replace
            << "OVmaster.db ne peut pas être lu : l'en-tête annonce" << QString();
        QTest::newRow("memo pointer")
            << "OVperso.db" << QString() << replace
            << "OVperso.MB ne peut pas être lu : un mémo pointe" << QString();
        QTest::newRow("memo file missing")
            << QString() << "OVperso.MB" << replace
            << "Le fichier de mémos OVperso.MB est introuvable" << QString();
        QTest::newRow("no master")
            << QString() << "OVmaster.db" << replace
            << "Le fichier OVmaster.db est introuvable dans le dossier" << QString();
        QTest::newRow("no elements")
            << QString() << "OVslave.DB" << replace
            << "Le fichier OVslave.DB est introuvable dans le dossier" << QString();
        QTest::newRow("conflicts") << QString() << QString() << QStringList()
                                   << "la table \"age\" existe déjà dans la base\n"
                                      "la table \"cel\" existe déjà dans la base\n"
                                      "la table \"rich\" existe déjà dans la base\n"
                                      "Rien n'a été importé ; --replace"
                                   << QString();
        QTest::newRow("dry run") << QString() << QString()
                                 << QStringList{QStringLiteral("--replace"),
                                                QStringLiteral("--dry-run")}
                                 << "" << QString();
        QTest::newRow("chain back to block 1")
            << QString() << QString() << replace
            << "OVslave.DB ne peut pas être lu : la chaîne des blocs revient au bloc 1"
            << "OVslave.DB@3072=0100";
        QTest::newRow("bell in an element")
            << QString() << QString() << replace
            << "OVslave.DB, fiche 6, champ Element : caractère de contrôle U+0007 interdit"
               " (caractère 1) ; rien n'a été importé."
            << "OVslave.DB@2446=07";
        QTest::newRow("code page 437 read as 850") << QString() << QString() << dryRun << ""
                                                   << "OVslave.DB@106=b501";
    }

    void refusalsWriteNothing() {
        QFETCH(QString, damaged);
        QFETCH(QString, removed);
        QFETCH(QStringList, flags);
        QFETCH(QString, message);
        QFETCH(QString, patch);
        QTemporaryDir dir;
        ovtest::TempDatabase t;
        const QString before = contents(*t.db);
        const QString folder = folderWith(dir, damaged, removed);
        if (!patch.isEmpty()) {
            QFile file(folder + QLatin1Char('/') + patch.section(QLatin1Char('@'), 0, 0));
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(
                patch.section(QLatin1Char('@'), 1).section(QLatin1Char('='), 0, 0).toLongLong()));
            file.write(QByteArray::fromHex(patch.section(QLatin1Char('='), 1).toLatin1()));
        }
        const ToolResult result = importFolder(folder, t.path, flags);
        QCOMPARE(contents(*t.db), before);
        if (message.isEmpty()) {
            QCOMPARE(result.exitCode, 0);
            QVERIFY(result.out.endsWith(
                QStringLiteral("Essai seulement : rien n'a été écrit dans la base.\n")));
        } else {
            QCOMPARE(result.exitCode, 1);
            QVERIFY2(result.err.contains(message), qPrintable(result.err));
        }
    }
};

QTEST_GUILESS_MAIN(TestCliImportParadox)
#include "test_cli_importparadox.moc"
