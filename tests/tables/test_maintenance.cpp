// The table maintenance rules on a store without a window.
#include "tables/database.h"
#include "tables/errors.h"
#include "tables/maintenance.h"
#include "testsupport.h"

#include <QTest>

using ov::TableMaintenance;
namespace msg = ov::maintenance;

class TestMaintenance : public QObject {
    Q_OBJECT

    std::unique_ptr<ovtest::TempDatabase> temp;
    const ov::Database& db() const { return *temp->db; }
    QVariantList totals(const QString& id) const {
        QSqlQuery q = db().run(
            QStringLiteral("SELECT NbrElement, TotProba FROM OVmaster WHERE Id = ?"), {id});
        return q.next() ? QVariantList{q.value(0).toDouble(), q.value(1).toDouble()}
                        : QVariantList{};
    }
    int elementCount(const QString& id) const {
        return db()
            .scalar(QStringLiteral("SELECT count(*) FROM OVslave WHERE ID = ?"), {id})
            .toInt();
    }
    QVariantList pair(double count, double total) const { return {count, total}; }

private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }
    void init() {
        temp = std::make_unique<ovtest::TempDatabase>();
        ovtest::clearRandomTables(db());
    }
    void cleanup() { temp.reset(); }

    void newTableNeedsBothTextsAndAFreeId() {
        TableMaintenance m(db());
        QCOMPARE(m.createTable(QString(), QStringLiteral("Nom")), msg::enterValues());
        QCOMPARE(m.createTable(QStringLiteral("arme"), QString()), msg::enterValues());
        QCOMPARE(m.createTable(QStringLiteral("armes"), QStringLiteral("Armes")), std::nullopt);
        // Only the first four characters count, for the search as for the stored Id.
        QCOMPARE(m.createTable(QStringLiteral("armement"), QStringLiteral("Armement")),
                 msg::tableExists());
        QCOMPARE(db().scalar(QStringLiteral("SELECT group_concat(Id) FROM OVmaster")).toString(),
                 QStringLiteral("arme"));
        QCOMPARE(totals(QStringLiteral("arme")), pair(0, 0));
    }

    void addingAnElementUpdatesTheTotalsOnce() {
        ovtest::addTable(db(), QStringLiteral("t"),
                         {{QStringLiteral("a"), 2}, {QStringLiteral("b"), 3}});
        ovtest::setTotals(db(), QStringLiteral("t"), 2, 5);
        TableMaintenance m(db());
        QCOMPARE(m.addElement(QStringLiteral("t"), QStringLiteral("x"), QStringLiteral("3")),
                 std::nullopt);
        QCOMPARE(totals(QStringLiteral("t")), pair(3, 8));
        QCOMPARE(db().scalar(QStringLiteral("SELECT Element FROM OVslave ORDER BY rowid DESC"))
                     .toString(),
                 QStringLiteral("x"));
    }

    void anElementIsUniqueWithinItsTable() {
        ovtest::addTable(db(), QStringLiteral("t"), {{QStringLiteral("x"), 1}});
        ovtest::addTable(db(), QStringLiteral("u"), {});
        TableMaintenance m(db());
        QCOMPARE(m.addElement(QStringLiteral("t"), QStringLiteral("x"), QStringLiteral("5")),
                 msg::elementExists());
        QCOMPARE(m.addElement(QStringLiteral("u"), QStringLiteral("x"), QStringLiteral("5")),
                 std::nullopt);
        QCOMPARE(m.addElement(QStringLiteral("none"), QStringLiteral("y"), QStringLiteral("5")),
                 msg::noTableSelected());
        QCOMPARE(elementCount(QStringLiteral("t")), 1);
        QCOMPARE(elementCount(QStringLiteral("u")), 1);
        QCOMPARE(elementCount(QStringLiteral("none")), 0);
    }

    void weightTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<double>("stored");
        QTest::newRow("letters") << QStringLiteral("abc") << false << 0.0;
        QTest::newRow("trailing blank") << QStringLiteral("12 ") << false << 0.0;
        QTest::newRow("empty") << QString() << false << 0.0;
        QTest::newRow("decimal point") << QStringLiteral("1.5") << false << 0.0;
        QTest::newRow("hexadecimal") << QStringLiteral("$1F") << true << 31.0;
        QTest::newRow("leading blanks") << QStringLiteral("  7") << true << 7.0;
        QTest::newRow("negative") << QStringLiteral("-2") << false << 0.0;
        QTest::newRow("zero") << QStringLiteral("+0") << true << 0.0;
    }
    void weightTexts() {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(double, stored);
        ovtest::addTable(db(), QStringLiteral("t"), {{QStringLiteral("a"), 4}});
        const ov::Refusal refusal =
            TableMaintenance(db()).addElement(QStringLiteral("t"), QStringLiteral("x"), text);
        if (!accepted) {
            QCOMPARE(refusal, msg::badWeight());
            QCOMPARE(elementCount(QStringLiteral("t")), 1);
            QCOMPARE(totals(QStringLiteral("t")), pair(1, 4));
            return;
        }
        QCOMPARE(refusal, std::nullopt);
        QCOMPARE(
            db().scalar(QStringLiteral("SELECT Proba FROM OVslave WHERE Element = 'x'")).toDouble(),
            stored);
        QCOMPARE(totals(QStringLiteral("t")), pair(2, 4 + stored));
    }

    void quotesInIdsAndElements() {
        const QString id = QStringLiteral("o'k");
        const QString element = QStringLiteral("l'épée d'or");
        TableMaintenance m(db());
        QCOMPARE(m.createTable(id, QStringLiteral("Quotes")), std::nullopt);
        QCOMPARE(m.addElement(id, element, QStringLiteral("2")), std::nullopt);
        QVERIFY(m.elementExists(id, element));
        QCOMPARE(m.addElement(id, element, QStringLiteral("2")), msg::elementExists());
        ovtest::addTable(db(), QStringLiteral("ok"), {{QStringLiteral("a"), 1}});
        m.deleteTable(id);
        QVERIFY(!m.tableExists(id));
        QCOMPARE(elementCount(id), 0);
        QCOMPARE(elementCount(QStringLiteral("ok")), 1);
    }

    void deletingATableIsAllOrNothing() {
        ovtest::addTable(db(), QStringLiteral("t"),
                         {{QStringLiteral("a"), 1}, {QStringLiteral("b"), 2}});
        db().run(QStringLiteral("CREATE TEMP TRIGGER keep BEFORE DELETE ON OVmaster"
                                " BEGIN SELECT RAISE(ABORT, 'suppression refusée'); END"));
        TableMaintenance m(db());
        QVERIFY_THROWS_EXCEPTION(ov::DatabaseError, m.deleteTable(QStringLiteral("t")));
        QCOMPARE(elementCount(QStringLiteral("t")), 2);
        QVERIFY(m.tableExists(QStringLiteral("t")));
        db().run(QStringLiteral("DROP TRIGGER keep"));
        m.deleteTable(QStringLiteral("t"));
        QCOMPARE(elementCount(QStringLiteral("t")), 0);
        QVERIFY(!m.tableExists(QStringLiteral("t")));
    }

    void deletingAnElementKeepsTheTotalsRight() {
        ovtest::addTable(db(), QStringLiteral("t"),
                         {{QStringLiteral("a"), 1}, {QStringLiteral("b"), 2}});
        const qint64 rowId =
            db().scalar(QStringLiteral("SELECT rowid FROM OVslave WHERE Element = 'b'"))
                .toLongLong();
        TableMaintenance(db()).deleteElement(rowId);
        QCOMPARE(totals(QStringLiteral("t")), pair(1, 1));
    }

    void recountReadsEveryTableAgain() {
        ovtest::addTable(db(), QStringLiteral("t"),
                         {{QStringLiteral("a"), 2.5}, {QStringLiteral("b"), 3.5}});
        ovtest::addTable(db(), QStringLiteral("vide"), {});
        ovtest::setTotals(db(), QStringLiteral("t"), 9, 99);
        ovtest::setTotals(db(), QStringLiteral("vide"), 2, 5);
        TableMaintenance(db()).recount();
        // Each weight is read as a whole number, halves to the even neighbour: 2 + 4.
        QCOMPARE(totals(QStringLiteral("t")), pair(2, 6));
        QCOMPARE(totals(QStringLiteral("vide")), pair(0, 0));
    }

    void anIdEditCarriesTheElementsAndRefusesATakenId() {
        ovtest::addTable(db(), QStringLiteral("a"),
                         {{QStringLiteral("x"), 1}, {QStringLiteral("y"), 2}});
        ovtest::addTable(db(), QStringLiteral("b"), {{QStringLiteral("z"), 1}});
        TableMaintenance m(db());
        QCOMPARE(m.changeTableId(QStringLiteral("a"), QStringLiteral("b")),
                 msg::tableIdTaken(QStringLiteral("b")));
        QCOMPARE(m.changeTableId(QStringLiteral("a"), QString()), msg::emptyTableId());
        QCOMPARE(elementCount(QStringLiteral("a")), 2);
        QCOMPARE(elementCount(QStringLiteral("b")), 1);
        QCOMPARE(m.checkTableIdChange(QStringLiteral("a"), QStringLiteral("a")), std::nullopt);

        QCOMPARE(m.changeTableId(QStringLiteral("a"), QStringLiteral("cccccc")), std::nullopt);
        QVERIFY(!m.tableExists(QStringLiteral("a")));
        QCOMPARE(elementCount(QStringLiteral("a")), 0);
        QCOMPARE(elementCount(QStringLiteral("cccc")), 2);
        QCOMPARE(totals(QStringLiteral("cccc")), pair(2, 3));
    }
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "test_maintenance.moc"
