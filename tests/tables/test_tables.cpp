// Rules without a database: random source, dice, rounding, widths, integer conversion, dates.

#include "tables/clock.h"
#include "tables/errors.h"
#include "tables/random.h"
#include "tables/textrules.h"

#include <QTest>

using namespace ov;

class TestTables : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void randomSequenceFromKnownState() {
        RandomSource source(12345);
        QList<quint32> values;
        for (int i = 0; i < 6; ++i)
            values.append(source.next(100));
        QCOMPARE(values, (QList<quint32>{38, 28, 7, 55, 63, 34}));
    }
    void randomStateWrapsAt32Bits() {
        RandomSource source(0xFFFFFFFFu);
        QCOMPARE(source.next(6), 5u);
        QCOMPARE(source.state(), 4160191484u);
    }
    void seedFromTimeOfDay() {
        QCOMPARE(RandomSource::seedFromTime(QTime(0, 0, 0, 0)), 0u);
        QCOMPARE(RandomSource::seedFromTime(QTime(1, 2, 3, 4)), quint32(3723004));
        QCOMPARE(RandomSource::seedFromTime(QTime(23, 59, 59, 999)), quint32(86399999));
    }
    void dieZeroAndOne() {
        RandomSource source(777);
        Dice dice(source);
        for (int i = 0; i < 50; ++i) {
            const quint32 before = source.state();
            QCOMPARE(dice.D(0), 1);
            QVERIFY(source.state() != before); // a number is consumed all the same
            QCOMPARE(dice.D(1), 1);
            QCOMPARE(dice.D(-12), 1);
        }
    }
    void dieStaysInRange() {
        RandomSource source(42);
        Dice dice(source);
        QSet<int> seen;
        for (int i = 0; i < 2000; ++i) {
            const int roll = dice.D(6);
            QVERIFY(roll >= 1 && roll <= 6);
            seen.insert(roll);
            const int d4 = dice.D4();
            QVERIFY(d4 >= 1 && d4 <= 4);
        }
        QCOMPARE(seen.size(), 6);
    }
    void d4Bands_data() {
        QTest::addColumn<int>("d10");
        QTest::addColumn<int>("band");
        const int bands[] = {1, 1, 1, 1, 2, 2, 2, 3, 3, 4};
        for (int d10 = 1; d10 <= 10; ++d10)
            QTest::addRow("%d", d10) << d10 << bands[d10 - 1];
    }
    void d4Bands() {
        QFETCH(int, d10);
        QFETCH(int, band);
        QCOMPARE(Dice::bandD4(d10), band);
    }
    void d4RollsOneD10() {
        RandomSource a(99), b(99);
        Dice da(a), db(b);
        for (int i = 0; i < 100; ++i)
            QCOMPARE(da.D4(), Dice::bandD4(db.D(10)));
    }

    void roundHalfEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<qint64>("rounded");
        QTest::newRow("2.5") << 2.5 << qint64(2);
        QTest::newRow("3.5") << 3.5 << qint64(4);
        QTest::newRow("-2.5") << -2.5 << qint64(-2);
        QTest::newRow("0.5") << 0.5 << qint64(0);
        QTest::newRow("2.4999") << 2.4999 << qint64(2);
        QTest::newRow("2.6") << 2.6 << qint64(3);
        QTest::newRow("7") << 7.0 << qint64(7);
    }
    void roundHalfEven() {
        QFETCH(double, value);
        QFETCH(qint64, rounded);
        QCOMPARE(ov::roundHalfEven(value), rounded);
    }

    void cutToWidth_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("cut");
        QTest::newRow("shorter") << QStringLiteral("abc") << 4 << QStringLiteral("abc");
        QTest::newRow("exact") << QStringLiteral("abcd") << 4 << QStringLiteral("abcd");
        QTest::newRow("longer") << QStringLiteral("abcdef") << 4 << QStringLiteral("abcd");
        QTest::newRow("accents") << QStringLiteral("éèàùç") << 4 << QStringLiteral("éèàù");
        QTest::newRow("astral") << QStringLiteral("a\U0001F600bcd") << 3
                                << QStringLiteral("a\U0001F600b");
    }
    void cutToWidth() {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, cut);
        QCOMPARE(ov::cutToWidth(text, width), cut);
    }

    void integerConversion_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << QStringLiteral("3") << true << 3;
        QTest::newRow("leading zeros") << QStringLiteral("010") << true << 10;
        QTest::newRow("leading blank") << QStringLiteral(" 12") << true << 12;
        QTest::newRow("many blanks") << QStringLiteral("   -7") << true << -7;
        QTest::newRow("plus") << QStringLiteral("+5") << true << 5;
        QTest::newRow("hex") << QStringLiteral("$1F") << true << 31;
        QTest::newRow("hex lower") << QStringLiteral("$ff") << true << 255;
        QTest::newRow("hex all ones") << QStringLiteral("$FFFFFFFF") << true << -1;
        QTest::newRow("largest") << QStringLiteral("2147483647") << true << 2147483647;
        QTest::newRow("smallest") << QStringLiteral("-2147483648") << true << int(-2147483648LL);
        QTest::newRow("trailing blank") << QStringLiteral("12 ") << false << 0;
        QTest::newRow("inner blank") << QStringLiteral("1 2") << false << 0;
        QTest::newRow("empty") << QString() << false << 0;
        QTest::newRow("blanks only") << QStringLiteral("   ") << false << 0;
        QTest::newRow("letters") << QStringLiteral("abc") << false << 0;
        QTest::newRow("sign alone") << QStringLiteral("-") << false << 0;
        QTest::newRow("dollar alone") << QStringLiteral("$") << false << 0;
        QTest::newRow("signed hex") << QStringLiteral("-$1F") << false << 0;
        QTest::newRow("decimal point") << QStringLiteral("1.5") << false << 0;
        QTest::newRow("too large") << QStringLiteral("2147483648") << false << 0;
        QTest::newRow("arabic digits") << QStringLiteral("\u0663") << false << 0;
        QTest::newRow("tab before") << QStringLiteral("\t3") << false << 0;
    }
    void integerConversion() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        const auto parsed = parseInteger(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid) {
            QCOMPARE(*parsed, value);
            QCOMPARE(toInteger(text), value);
        } else {
            try {
                toInteger(text);
                QFAIL("no conversion error");
            } catch (const ConversionError& error) {
                QCOMPARE(error.message(), QLatin1Char('\'') + text +
                                              QStringLiteral("' is not a valid integer value"));
            }
        }
    }

    void printDateKeepsTheYear_data() {
        QTest::addColumn<QString>("localeName");
        QTest::addColumn<QString>("stamp");
        QTest::newRow("fr") << QStringLiteral("fr_FR") << QStringLiteral("08/12/26");
        QTest::newRow("en_GB") << QStringLiteral("en_GB") << QStringLiteral("08/12/26");
        QTest::newRow("de") << QStringLiteral("de_DE") << QStringLiteral("08.12.26");
        QTest::newRow("en_US") << QStringLiteral("en_US") << QStringLiteral("12/8/26");
    }
    void printDateKeepsTheYear() {
        QFETCH(QString, localeName);
        QFETCH(QString, stamp);
        const QLocale locale(localeName);
        const QString text = printDateStamp(QDate(2026, 12, 8), locale);
        QCOMPARE(text, stamp);
        QVERIFY(text.size() <= width::PrintDate);
    }
};

QTEST_GUILESS_MAIN(TestTables)
#include "test_tables.moc"
