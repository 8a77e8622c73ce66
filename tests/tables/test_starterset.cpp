// The French starter set: complete for the four generators, well formed, and what data/ holds.

#include "tables/startertables.h"
#include "tables/tablecheck.h"
#include "tables/tablefile.h"
#include "tables/textrules.h"
#include "testsupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

using namespace ov;

namespace {

const RandomTable* findTable(const RandomTables& tables, const QString& id) {
    for (const RandomTable& table : tables) {
        if (table.id == id)
            return &table;
    }
    return nullptr;
}

QStringList texts(const RandomTables& tables, const QString& id) {
    QStringList list;
    if (const RandomTable* table = findTable(tables, id)) {
        for (const TableElement& element : table->elements)
            list.append(element.text);
    }
    return list;
}

} // namespace

class TestStarterSet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        ovtest::isolateUserFolders();
        m_db = std::make_unique<ovtest::TempDatabase>();
        m_tables = loadRandomTables(*m_db->db);
    }

    void aNewDatabaseChecksClean() {
        QVERIFY(m_db->db->wasCreated());
        QStringList messages;
        for (const CheckFinding& finding : checkTables(*m_db->db))
            messages.append(finding.message);
        QCOMPARE(messages, QStringList());
        for (const GeneratorTable& table : generatorTables())
            QVERIFY2(findTable(m_tables, table.id), qPrintable(table.id));
    }

    void everyTableIsWorthDrawingFrom() {
        int withTenToThirty = 0;
        for (const RandomTable& table : m_tables) {
            const QString id = table.id;
            QVERIFY2(!table.name.trimmed().isEmpty() && table.name.size() <= width::TableName,
                     qPrintable(id));
            QVERIFY2(table.elements.size() >= 6, qPrintable(id));
            if (table.elements.size() >= 10 && table.elements.size() <= 30)
                ++withTenToThirty;
            QSet<QString> seen;
            for (const TableElement& element : table.elements) {
                QVERIFY2(!element.text.trimmed().isEmpty(), qPrintable(id));
                QVERIFY2(element.text == element.text.trimmed(), qPrintable(element.text));
                QVERIFY2(element.weight >= 1 && element.weight == std::trunc(element.weight),
                         qPrintable(id + QLatin1Char(' ') + element.text));
                QVERIFY2(!seen.contains(element.text),
                         qPrintable(id + QLatin1Char(' ') + element.text));
                seen.insert(element.text);
            }
        }
        QVERIFY2(withTenToThirty * 10 >= int(m_tables.size()) * 8,
                 qPrintable(QString::number(withTenToThirty)));
    }

    void codedElementsFollowTheirRules() {
        // Type codes name a table of the set and are followed by one blank and a name.
        static const QRegularExpression typeElement(QStringLiteral("^([a-z]{4}) (\\S.*)$"));
        for (const QString& text : texts(m_tables, QStringLiteral("tytr"))) {
            const auto match = typeElement.match(text);
            QVERIFY2(match.hasMatch(), qPrintable(text));
            QVERIFY2(findTable(m_tables, match.captured(1)), qPrintable(text));
        }
        // Every encounter category occurs, each code followed by one blank and a description.
        QSet<QString> categories;
        for (const QString& text : texts(m_tables, QStringLiteral("renc"))) {
            QVERIFY2(text.size() > 5 && text.at(4) == QLatin1Char(' ') && text.at(5) != u' ',
                     qPrintable(text));
            categories.insert(text.left(4));
        }
        QCOMPARE(categories,
                 QSet<QString>(encounterCategories().cbegin(), encounterCategories().cend()));
        // Coin quantities: three digits, a blank, the coins; from 1 upwards.
        static const QRegularExpression coins(QStringLiteral("^([0-9]{3}) \\S"));
        for (const QString& text : texts(m_tables, QStringLiteral("trmo"))) {
            const auto match = coins.match(text);
            QVERIFY2(match.hasMatch() && toInteger(match.captured(1)) >= 1, qPrintable(text));
        }
        // Ages cover every talent count from 1 to 7; combat levels every weapon count.
        QSet<QChar> ageDigits, celDigits;
        for (const QString& text : texts(m_tables, QStringLiteral("age")))
            ageDigits.insert(text.at(0));
        for (const QString& text : texts(m_tables, QStringLiteral("cel")))
            celDigits.insert(text.at(0));
        QCOMPARE(ageDigits.size(), 7);
        QCOMPARE(celDigits, (QSet<QChar>{u'0', u'1', u'3', u'7'}));
        // The ten values of a character's "stat" line are numbers from 3 to 18.
        for (const QString& text : texts(m_tables, QStringLiteral("stat"))) {
            const auto value = parseInteger(text);
            QVERIFY2(value && *value >= 3 && *value <= 18, qPrintable(text));
        }
    }

    void tradesFitTheirColumn() {
        // A trade of 13 characters or fewer keeps the METIERS entries aligned.
        for (const QString& text : texts(m_tables, QStringLiteral("vime")))
            QVERIFY2(text.size() <= 13, qPrintable(text));
    }

    void theProgramCarriesWhatDataHolds() {
        const QDir data(QString::fromLocal8Bit(qgetenv("OV_SOURCE_DIR")) + QStringLiteral("/data"));
        const QStringList names =
            data.entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
        QVERIFY(!names.isEmpty());
        QCOMPARE(starterTableFiles().size(), names.size());
        RandomTables fromSource;
        for (const QString& name : names)
            fromSource += readTableFile(data.filePath(name));
        std::sort(fromSource.begin(), fromSource.end(),
                  [](const RandomTable& a, const RandomTable& b) { return a.id < b.id; });
        QCOMPARE(fromSource.size(), m_tables.size());
        for (int i = 0; i < m_tables.size(); ++i) {
            QCOMPARE(fromSource.at(i).id, m_tables.at(i).id);
            QCOMPARE(fromSource.at(i).name, m_tables.at(i).name);
            QCOMPARE(fromSource.at(i).elements, m_tables.at(i).elements);
        }
    }

    void everyNewDatabaseGetsItsOwnSet() {
        ovtest::TempDatabase other;
        QCOMPARE(loadRandomTables(*other.db).size(), m_tables.size());
        QCOMPARE(other.db->scalar(QStringLiteral("SELECT count(*) FROM OVslave")),
                 m_db->db->scalar(QStringLiteral("SELECT count(*) FROM OVslave")));
    }

private:
    std::unique_ptr<ovtest::TempDatabase> m_db;
    RandomTables m_tables;
};

QTEST_GUILESS_MAIN(TestStarterSet)
#include "test_starterset.moc"
