// The table file: reading with its validation, writing, and the all-or-nothing import.

#include "tables/errors.h"
#include "tables/tablefile.h"
#include "testsupport.h"

#include <QTest>

using namespace ov;
using ovtest::addTable;

namespace {

QByteArray file(const QString& body) {
    return (QStringLiteral("Id,Nom,Element,Proba\n") + body).toUtf8();
}

// A snapshot of everything the random tables hold, totals included.
QStringList snapshot(const Database& db) {
    QStringList rows;
    QSqlQuery master =
        db.run(QStringLiteral("SELECT Id, Nom, NbrElement, TotProba FROM OVmaster ORDER BY Id"));
    while (master.next())
        rows.append(QStringLiteral("M|%1|%2|%3|%4")
                        .arg(master.value(0).toString(), master.value(1).toString(),
                             master.value(2).toString(), master.value(3).toString()));
    QSqlQuery elements =
        db.run(QStringLiteral("SELECT ID, Element, Proba FROM OVslave ORDER BY ID, rowid"));
    while (elements.next())
        rows.append(QStringLiteral("E|%1|%2|%3")
                        .arg(elements.value(0).toString(), elements.value(1).toString(),
                             elements.value(2).toString()));
    return rows;
}

QStringList describe(const RandomTables& tables) {
    QStringList lines;
    for (const RandomTable& table : tables) {
        lines.append(table.id + QLatin1Char('|') + table.name);
        for (const TableElement& element : table.elements)
            lines.append(QStringLiteral("  ") + element.text + QLatin1Char('|') +
                         formatWeight(element.weight));
    }
    return lines;
}

} // namespace

class TestTableFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void readsQuotingLineEndsAndColumnOrder() {
        const QByteArray bytes = "\xEF\xBB\xBF"
                                 "Proba,Element,nom,ID\r\n"
                                 "3,\"Épée, longue\",Armes,arco\r\n"
                                 "\r\n"
                                 "1,\"Le \"\"Vieux\"\" couteau\",Armes,arco\r\n"
                                 "$A,\" 12 pièces \",Monnaies,trmo\n"
                                 " 2,un \"vrai\" texte,Monnaies,trmo\n"
                                 "4,moins,Monnaies,trmo\n"
                                 "0,demi,Monnaies,trmo\n"
                                 ",,Vide,vide\n"
                                 "7,,Sans texte,stx\n";
        const RandomTables tables = parseTableFile(bytes);
        QCOMPARE(describe(tables),
                 (QStringList{QStringLiteral("arco|Armes"), QStringLiteral("  Épée, longue|3"),
                              QStringLiteral("  Le \"Vieux\" couteau|1"),
                              QStringLiteral("trmo|Monnaies"), QStringLiteral("   12 pièces |10"),
                              QStringLiteral("  un \"vrai\" texte|2"), QStringLiteral("  moins|4"),
                              QStringLiteral("  demi|0"), QStringLiteral("vide|Vide"),
                              QStringLiteral("stx|Sans texte"), QStringLiteral("  |7")}));
        QCOMPARE(tables.at(0).line, 2);
        QCOMPARE(tables.at(1).line, 5);
    }

    void fullWidthNamesImport() {
        const QString name(40, QLatin1Char('n'));
        ovtest::TempDatabase t;
        importTables(*t.db, parseTableFile(file(QStringLiteral("abcd,%1,x,1\n").arg(name))),
                     ImportMode::AddOnly);
        QCOMPARE(t.db->scalar(QStringLiteral("SELECT Nom FROM OVmaster WHERE Id = 'abcd'")),
                 QVariant(name));
    }

    void writesWhatItReads() {
        RandomTables tables{
            {QStringLiteral("a,b"),
             QStringLiteral("Nom \"cité\""),
             {{QStringLiteral(" blanc devant"), 1}, {QStringLiteral("fin, virgule"), 25}},
             0},
            {QStringLiteral("vide"), QString(), {}, 0},
            {QStringLiteral("neg"), QStringLiteral("Négatif"), {{QString(), 3}}, 0},
        };
        const QByteArray bytes = formatTableFile(tables);
        QVERIFY(bytes.startsWith("Id,Nom,Element,Proba\n"));
        QVERIFY(bytes.contains("\"a,b\",\"Nom \"\"cité\"\"\",\" blanc devant\",1\n"));
        QVERIFY(bytes.contains("vide,,,\n"));
        QCOMPARE(describe(parseTableFile(bytes)), describe(tables));
    }

    void refusesMalformedFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");
        const QString sixtyOne(61, QChar(0xE8));
        QTest::newRow("bad weight") << file(QStringLiteral("age,Âge,20,1\nage,Âge,30,abc\n"))
                                    << QStringLiteral("ligne 3 : poids « abc » incorrect");
        QTest::newRow("weight with a trailing blank")
            << file(QStringLiteral("age,Âge,20,1 \n")) << QStringLiteral("ligne 2 : poids « 1  »");
        QTest::newRow("weight missing")
            << file(QStringLiteral("age,Âge,20,\n")) << QStringLiteral("ligne 2 : poids manquant");
        QTest::newRow("missing column") << file(QStringLiteral("age,Âge,20,1\nage,Âge,30\n"))
                                        << QStringLiteral("ligne 3 : 4 colonnes attendues, 3 "
                                                          "trouvées");
        QTest::newRow("extra column") << file(QStringLiteral("age,Âge,20,1,x\n"))
                                      << QStringLiteral("ligne 2 : 4 colonnes attendues, 5 "
                                                        "trouvées");
        QTest::newRow("text over 60")
            << file(QStringLiteral("age,Âge,%1,1\n").arg(sixtyOne))
            << QStringLiteral("ligne 2 : élément trop long (61 caractères, 60 au plus)");
        QTest::newRow("name over 40")
            << file(QStringLiteral("age,%1,20,1\n").arg(QString(41, QLatin1Char('n'))))
            << QStringLiteral("ligne 2 : nom de table trop long (41 caractères, 40 au plus)");
        QTest::newRow("id over 4") << file(QStringLiteral("tailles,T,20,1\n"))
                                   << QStringLiteral("ligne 2 : identifiant de table « tailles » "
                                                     "trop long");
        QTest::newRow("empty id") << file(QStringLiteral(",T,20,1\n"))
                                  << QStringLiteral("ligne 2 : identifiant de "
                                                    "table vide");
        QTest::newRow("bad encoding") << QByteArray("Id,Nom,Element,Proba\nage,\xC2ge,20,1\n")
                                      << QStringLiteral("ligne 2 : texte qui n'est pas en UTF-8");
        QTest::newRow("latin-1 header") << QByteArray("Id,Nom,\xC9l\xE9ment,Proba\n")
                                        << QStringLiteral("ligne 1 : texte qui n'est pas en UTF-8");
        QTest::newRow("header without Proba")
            << QByteArray("Id,Nom,Element\nage,Âge,20\n")
            << QStringLiteral("ligne 1 : colonne « Proba » absente de l'en-tête");
        QTest::newRow("unknown header column")
            << QByteArray("Id,Nom,Texte,Proba\n")
            << QStringLiteral("ligne 1 : colonne « Texte » inconnue dans l'en-tête");
        QTest::newRow("header twice the same column")
            << QByteArray("Id,Nom,Element,Proba,id\n")
            << QStringLiteral("ligne 1 : colonne « id » en double");
        QTest::newRow("empty file") << QByteArray("\n\n") << QStringLiteral("Le fichier est vide");
        QTest::newRow("quote not closed") << file(QStringLiteral("age,Âge,\"20,1\n30\",1\n"))
                                          << QStringLiteral("ligne 2 : guillemet non fermé");
        QTest::newRow("text after a quoted field")
            << file(QStringLiteral("age,Âge,\"20\"x,1\n"))
            << QStringLiteral("ligne 2 : caractère inattendu");
        QTest::newRow("two names for one table")
            << file(QStringLiteral("age,Âge,20,1\nsexe,Sexe,Homme,1\nage,Âges,30,1\n"))
            << QStringLiteral("ligne 4 : la table « age » porte le nom « Âge » à la ligne 2");
        QTest::newRow("empty declaration with elements")
            << file(QStringLiteral("age,Âge,,\nage,Âge,30,1\n"))
            << QStringLiteral("ligne 2 : ligne sans élément ni poids pour la table « age »");
        QTest::newRow("control character")
            << file(QStringLiteral("age,Âge,2\a0,1\n"))
            << QStringLiteral("ligne 2 : caractère de contrôle U+0007 interdit (caractère 2) dans"
                              " la colonne Element");
        QTest::newRow("NUL in a name")
            << file(QStringLiteral("age,\u00c2g") + QChar(0) + QStringLiteral("e,20,1\n"))
            << QStringLiteral("ligne 2 : caractère de contrôle U+0000 interdit (caractère 3) dans"
                              " la colonne Nom");
    }
    void refusesMalformedFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        try {
            parseTableFile(bytes);
            QFAIL("the file was accepted");
        } catch (const TableFileError& error) {
            QVERIFY2(error.message().contains(problem), qPrintable(error.message()));
        }
    }

    void listsEveryProblemWithItsLine() {
        QString body;
        for (int i = 0; i < 30; ++i)
            body += QStringLiteral("t%1,T,x,zz\n").arg(i);
        try {
            parseTableFile(file(QStringLiteral("ok,T,x,1\nok,T,y,-\n") + body));
            QFAIL("the file was accepted");
        } catch (const TableFileError& error) {
            QCOMPARE(error.problems().first(),
                     QStringLiteral("ligne 3 : poids « - » incorrect "
                                    "(un nombre entier de 0 à 1 000 000 000 est attendu)"));
            QVERIFY(error.problems().at(1).startsWith(QStringLiteral("ligne 4 : ")));
            // Past twenty problems the rest are counted.
            QCOMPARE(error.problems().size(), 21);
            QCOMPARE(error.problems().last(), QStringLiteral("… et 11 autre(s) problème(s)"));
        }
    }

    void malformedFileLeavesTheDatabaseUntouched() {
        ovtest::TempDatabase t;
        const QStringList before = snapshot(*t.db);
        try {
            importTables(*t.db, readTableFile(QStringLiteral("/nonexistent/x.csv")),
                         ImportMode::Replace);
            QFAIL("no error");
        } catch (const TableFileError& error) {
            QVERIFY(error.message().startsWith(QStringLiteral("Impossible de lire le fichier")));
        }
        QVERIFY_THROWS_EXCEPTION(
            TableFileError,
            importTables(*t.db,
                         parseTableFile(file(QStringLiteral("neuf,Neuf,a,1\nage,Âge,20,x\n"))),
                         ImportMode::Replace));
        QCOMPARE(snapshot(*t.db), before);
    }

    void existingIdsAreRefusedUnlessReplaced() {
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        addTable(*t.db, QStringLiteral("age"), {{QStringLiteral("20"), 1}}, QStringLiteral("Âge"));
        addTable(*t.db, QStringLiteral("autr"), {{QStringLiteral("reste"), 2}});
        const RandomTables incoming = parseTableFile(
            file(QStringLiteral("neuf,Neuf,a,1\nage,Âge révisé,30,2\nage,Âge révisé,40,3\n")));

        const QStringList before = snapshot(*t.db);
        try {
            importTables(*t.db, incoming, ImportMode::AddOnly);
            QFAIL("no error");
        } catch (const TableConflictError& error) {
            QCOMPARE(error.message(),
                     QStringLiteral("ligne 3 : la table « age » existe déjà dans la base"));
        }
        QCOMPARE(snapshot(*t.db), before);

        const ImportSummary summary = importTables(*t.db, incoming, ImportMode::Replace);
        QCOMPARE(summary.tables, 2);
        QCOMPARE(summary.elements, 3);
        QCOMPARE(summary.replaced, 1);
        QCOMPARE(snapshot(*t.db),
                 (QStringList{QStringLiteral("M|age|Âge révisé|2|5"),
                              QStringLiteral("M|autr|autr|1|2"), QStringLiteral("M|neuf|Neuf|1|1"),
                              QStringLiteral("E|age|30|2"), QStringLiteral("E|age|40|3"),
                              QStringLiteral("E|autr|reste|2"), QStringLiteral("E|neuf|a|1")}));
    }

    void totalsComeFromTheElementsWhateverTheTriggers() {
        // The import sets the totals itself, and drops elements that no table owned.
        ovtest::TempDatabase t;
        ovtest::clearRandomTables(*t.db);
        t.db->run(QStringLiteral("DROP TRIGGER OVslave_totals_ins"));
        t.db->run(QStringLiteral(
            "INSERT INTO OVslave (ID, Element, Proba) VALUES ('tt', 'orphelin', 9)"));
        importTables(*t.db, parseTableFile(file(QStringLiteral("tt,T,a,4\ntt,T,b,1\nvv,V,,\n"))),
                     ImportMode::AddOnly);
        QCOMPARE(snapshot(*t.db),
                 (QStringList{QStringLiteral("M|tt|T|2|5"), QStringLiteral("M|vv|V|0|0"),
                              QStringLiteral("E|tt|a|4"), QStringLiteral("E|tt|b|1")}));
    }

    void aDatabaseErrorRollsEverythingBack() {
        ovtest::TempDatabase t;
        t.db->run(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON OVslave"
                                 " WHEN NEW.Element = 'boum' BEGIN SELECT RAISE(ABORT, 'refusé');"
                                 " END"));
        const QStringList before = snapshot(*t.db);
        try {
            importTables(
                *t.db,
                parseTableFile(file(QStringLiteral("a1,A,x,1\nage,Âge,20,1\nb1,B,boum,1\n"))),
                ImportMode::Replace);
            QFAIL("no error");
        } catch (const DatabaseError& error) {
            QVERIFY(error.message().contains(QStringLiteral("refusé")));
        }
        QCOMPARE(snapshot(*t.db), before);
    }

    void exportThenImportGivesIdenticalTables() {
        ovtest::TempDatabase source;
        addTable(*source.db, QStringLiteral("zz"),
                 {{QStringLiteral("\"Cité\", dit-il"), 3},
                  {QStringLiteral(" 12 blancs "), 5},
                  {QStringLiteral("négatif"), 2}},
                 QStringLiteral("Nom, avec virgule"));
        addTable(*source.db, QStringLiteral("vide"), {});
        const QString path = source.dir.filePath(QStringLiteral("tables.csv"));
        writeTableFile(path, loadRandomTables(*source.db));

        ovtest::TempDatabase target;
        ovtest::clearRandomTables(*target.db);
        const ImportSummary summary =
            importTables(*target.db, readTableFile(path), ImportMode::AddOnly);
        QCOMPARE(summary.tables, int(loadRandomTables(*source.db).size()));
        QCOMPARE(snapshot(*target.db), snapshot(*source.db));
    }
};

QTEST_GUILESS_MAIN(TestTableFile)
#include "test_tablefile.moc"
