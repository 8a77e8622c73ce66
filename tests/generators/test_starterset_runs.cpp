// The four generators on the starter set of a new database: a thousand presses of each button
// show no message, end on no error and give texts of the expected shape.

#include "generators/generators.h"
#include "tables/database.h"
#include "tables/tabledraw.h"
#include "tables/tablefile.h"
#include "testsupport.h"

#include <QTest>

using namespace ov;

namespace {

constexpr int runsPerKind = 1000;

// The number of lines a complete text of each kind has, and its last line when it is fixed.
bool hasTheExpectedShape(OutputKind kind, const QStringList& lines) {
    switch (kind) {
    case OutputKind::Perso:
        return lines.size() == 9;
    case OutputKind::Tresor:
        return lines.size() == 4;
    case OutputKind::Rencontre: {
        const qsizetype separators = lines.count(QStringLiteral("............"));
        return separators >= 1 && separators <= 4 && lines.last() == QStringLiteral("............");
    }
    case OutputKind::Village:
        return lines.size() >= 18 && lines.size() <= 21;
    }
    return false;
}

} // namespace

class TestStarterSetRuns : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { ovtest::isolateUserFolders(); }

    void thousandRunsWithoutMessage_data() {
        QTest::addColumn<OutputKind>("kind");
        for (OutputKind kind : allOutputKinds)
            QTest::newRow(qPrintable(outputTable(kind).name)) << kind;
    }
    void thousandRunsWithoutMessage() {
        QFETCH(OutputKind, kind);
        ovtest::TempDatabase t;
        UnprintedCount count(*t.db);
        FixedClock clock(QDateTime(QDate(2026, 3, 5), QTime(10, 30)));
        RandomSource source(20260305u);
        Dice dice(source);
        TableDraw draw(*t.db, dice);
        RecordingMessageSink messages;
        RunHost host;
        Generation generation(*t.db, count, clock, draw, messages);

        QSet<QString> treasureTypes;
        for (int i = 0; i < runsPerKind; ++i) {
            const quint32 state = source.state();
            const RunReport report = generation.run(kind, host, /*store=*/i < 10);
            const QString where = QStringLiteral("run %1 from state %2: ").arg(i).arg(state);
            QVERIFY2(!report.error, qPrintable(where + report.error.value_or(QString())));
            QVERIFY2(messages.messages.isEmpty(),
                     qPrintable(where + messages.messages.join(QStringLiteral(" | "))));
            QVERIFY2(hasTheExpectedShape(kind, report.lines),
                     qPrintable(where + report.lines.join(QLatin1Char('\n'))));
            if (kind == OutputKind::Tresor)
                treasureTypes.insert(report.lines.at(1).section(QStringLiteral(" - "), 0, 0));
        }
        QCOMPARE(recordCount(*t.db, kind), 10);

        // A thousand treasures show every type of the set.
        if (kind == OutputKind::Tresor) {
            QSet<QString> names;
            for (const RandomTable& table : loadRandomTables(*t.db)) {
                if (table.id == QStringLiteral("tytr")) {
                    for (const TableElement& element : table.elements)
                        names.insert(element.text.mid(5));
                }
            }
            QCOMPARE(treasureTypes, names);
        }
    }
};

QTEST_GUILESS_MAIN(TestStarterSetRuns)
#include "test_starterset_runs.moc"
