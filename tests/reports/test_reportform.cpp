// Report cursors and their filters, and the after-print stamp of exactly the printed rows.

#include "reports/reportform.h"
#include "tables/clock.h"
#include "tables/database.h"
#include "tables/errors.h"
#include "testsupport.h"

#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

const QDateTime created(QDate(2026, 12, 1), QTime(10, 0));

QString text(OutputKind kind, int n) {
    return u"OV -%1- 01/12/2026\r\n%2 numéro %1\r\n"_s.arg(n).arg(outputTable(kind).textField);
}

QVariant printDate(const Database& db, OutputKind kind, int id) {
    return db.scalar(u"SELECT DateImprime FROM %1 WHERE Id = ?"_s.arg(outputTable(kind).table),
                     {double(id)});
}

void setPrintDate(const Database& db, OutputKind kind, int id, const QString& date) {
    db.run(u"UPDATE %1 SET DateImprime = ? WHERE Id = ?"_s.arg(outputTable(kind).table),
           {date, double(id)});
}

} // namespace

class TestReportForm : public QObject {
    Q_OBJECT

    std::unique_ptr<ovtest::TempDatabase> m_temp;
    const Database& db() { return *m_temp->db; }

    void fill(OutputKind kind, int count) {
        for (int i = 0; i < count; ++i)
            appendRecord(db(), kind, i, text(kind, i), u" "_s, created);
    }

private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }
    void init() {
        m_temp = std::make_unique<ovtest::TempDatabase>();
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    }
    void cleanup() {
        m_temp.reset();
        QLocale::setDefault(QLocale::system());
    }

    void filterAndOrder_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QList<int>>("printed");
        QTest::newRow("perso") << int(OutputKind::Perso) << u"DateImprime = null"_s
                               << QList<int>{0, 2, 4};
        QTest::newRow("tresor") << int(OutputKind::Tresor) << u"DateImprime = null"_s
                                << QList<int>{0, 2, 4};
        QTest::newRow("rencontre")
            << int(OutputKind::Rencontre) << u"DateImprime = null"_s << QList<int>{0, 2, 4};
        QTest::newRow("village") << int(OutputKind::Village) << QString()
                                 << QList<int>{0, 1, 2, 3, 4, 5};
    }
    void filterAndOrder() {
        QFETCH(int, kind);
        QFETCH(QString, filter);
        QFETCH(QList<int>, printed);
        const OutputKind k = OutputKind(kind);
        fill(k, 6);
        for (int id : {1, 3, 5})
            setPrintDate(db(), k, id, u"01/12/26"_s);
        ReportForm form(db(), k);
        QCOMPARE(form.cursor().filter(), filter);
        const ReportDocument document = form.build(QDateTime::currentDateTime());
        QCOMPARE(document.rows().size(), printed.size());
        for (int i = 0; i < printed.size(); ++i)
            QCOMPARE(document.rows().at(i).text, text(k, printed.at(i)));
    }

    void stampStatementHeads_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("head");
        QTest::newRow("perso") << int(OutputKind::Perso) << u"UPDATE ovPerso SET DateImprime = "_s;
        QTest::newRow("tresor") << int(OutputKind::Tresor)
                                << u"UPDATE ovTresor SET DateImprime = "_s;
        QTest::newRow("rencontre")
            << int(OutputKind::Rencontre) << u"UPDATE ovRencontre SET DateImprime = "_s;
        QTest::newRow("village") << int(OutputKind::Village)
                                 << u"UPDATE ovVillage SET DateImprime = "_s;
    }
    void stampStatementHeads() {
        QFETCH(int, kind);
        QFETCH(QString, head);
        fill(OutputKind(kind), 2);
        ReportForm form(db(), OutputKind(kind));
        form.build(QDateTime::currentDateTime());
        QCOMPARE(form.afterPrint(QDate(2026, 12, 8)), 2);
        QVERIFY(form.queMod().statement().startsWith(head));
        QCOMPARE(printDate(db(), OutputKind(kind), 1).toString(), u"08/12/26"_s);
    }

    // Earlier print dates stay: only the rows this job printed receive today's date.
    void earlierPrintDatesKept() {
        fill(OutputKind::Perso, 4);
        setPrintDate(db(), OutputKind::Perso, 1, u"03/11/26"_s);
        ReportForm form(db(), OutputKind::Perso);
        form.build(QDateTime::currentDateTime());
        // A record generated while the preview is open was not printed.
        appendRecord(db(), OutputKind::Perso, 4, text(OutputKind::Perso, 4), u" "_s, created);
        QCOMPARE(form.afterPrint(QDate(2026, 12, 8)), 3);
        QCOMPARE(printDate(db(), OutputKind::Perso, 0).toString(), u"08/12/26"_s);
        QCOMPARE(printDate(db(), OutputKind::Perso, 1).toString(), u"03/11/26"_s);
        QCOMPARE(printDate(db(), OutputKind::Perso, 3).toString(), u"08/12/26"_s);
        QVERIFY(printDate(db(), OutputKind::Perso, 4).isNull());
        QCOMPARE(db().scalar(unprintedCountStatement(OutputKind::Perso)).toInt(), 1);
    }

    // The village report prints every row: every row printed is stamped again.
    void villagesAllStamped() {
        fill(OutputKind::Village, 3);
        setPrintDate(db(), OutputKind::Village, 1, u"03/11/26"_s);
        ReportForm form(db(), OutputKind::Village);
        QCOMPARE(form.build(QDateTime::currentDateTime()).rows().size(), 3);
        QCOMPARE(form.afterPrint(QDate(2026, 12, 8)), 3);
        for (int id = 0; id < 3; ++id)
            QCOMPARE(printDate(db(), OutputKind::Village, id).toString(), u"08/12/26"_s);
    }

    // A short date format longer than the 8-character field keeps the year's last two digits.
    void yearKeptInEightCharacters_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("day/month/four-digit year")
            << QLocale(QLocale::French, QLocale::France) << u"08/12/26"_s;
        QTest::newRow("year first") << QLocale(QLocale::Swedish, QLocale::Sweden) << u"26-12-08"_s;
        QTest::newRow("fits already")
            << QLocale(QLocale::English, QLocale::UnitedStates) << u"12/8/26"_s;
    }
    void yearKeptInEightCharacters() {
        QFETCH(QLocale, locale);
        QFETCH(QString, stamp);
        QLocale::setDefault(locale);
        fill(OutputKind::Tresor, 1);
        ReportForm form(db(), OutputKind::Tresor);
        form.build(QDateTime::currentDateTime());
        form.afterPrint(QDate(2026, 12, 8));
        QCOMPARE(printDate(db(), OutputKind::Tresor, 0).toString(), stamp);
    }

    // A failing stamp statement leaves every row unstamped.
    void failedStampStampsNothing() {
        fill(OutputKind::Tresor, 3);
        db().run(u"CREATE TRIGGER refuse BEFORE UPDATE ON OVtresor WHEN OLD.Id = 2"
                 " BEGIN SELECT RAISE(ABORT, 'table verrouillée'); END"_s);
        ReportForm form(db(), OutputKind::Tresor);
        form.build(QDateTime::currentDateTime());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, form.afterPrint(QDate(2026, 12, 8)));
        QCOMPARE(db().scalar(unprintedCountStatement(OutputKind::Tresor)).toInt(), 3);
        // The connection is usable again afterwards.
        db().run(u"DROP TRIGGER refuse"_s);
        QCOMPARE(form.afterPrint(QDate(2026, 12, 8)), 3);
    }

    // Thousands of printed rows go through one statement.
    void manyRowsStamped() {
        db().transaction([&] { fill(OutputKind::Rencontre, 1500); });
        ReportForm form(db(), OutputKind::Rencontre);
        form.build(QDateTime::currentDateTime());
        QCOMPARE(form.afterPrint(QDate(2026, 12, 8)), 1500);
        QCOMPARE(db().scalar(unprintedCountStatement(OutputKind::Rencontre)).toInt(), 0);
    }
};

QTEST_MAIN(TestReportForm)
#include "test_reportform.moc"
