// The banded page layout, checked on its geometry in millimetres.

#include "reports/reportdocument.h"
#include "reports/reportfonts.h"
#include "testsupport.h"

#include <QBuffer>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPdfWriter>
#include <QTest>

using namespace ov;
using namespace Qt::StringLiterals;

namespace {

constexpr double eps = 0.001;

// The METIERS line of the largest village: 112 entries, trade texts of 60 characters.
QString longMetiers() {
    QString line;
    for (int i = 1; i <= 112; ++i) {
        const QString trade =
            QStringLiteral("métier %1 ").arg(i).leftJustified(60, QLatin1Char('x'));
        line += (i < 10 ? QStringLiteral(" ") : QString()) + QString::number(i) + QLatin1Char('-') +
                trade;
    }
    return line;
}

// A METIERS line whose entries are all 16 characters wide.
QString alignedMetiers(int count) {
    QString line;
    for (int i = 1; i <= count; ++i) {
        const QString trade = i % 3 == 0 ? QStringLiteral("forgeron") : QStringLiteral("tanneur");
        line += (i < 10 ? QStringLiteral(" ") : QString()) + QString::number(i) + QLatin1Char('-') +
                trade + QString(13 - trade.size(), QLatin1Char(' '));
    }
    return line;
}

QString lines(int count, const QString& word = QStringLiteral("ligne")) {
    QString text;
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("%1 %2\r\n").arg(word).arg(i);
    return text;
}

} // namespace

class TestReportLayout : public QObject {
    Q_OBJECT

    QBuffer m_buffer;
    std::unique_ptr<QPdfWriter> m_device;
    QDateTime m_at{QDate(2026, 12, 8), QTime(14, 30)};

    ReportLayout layOut(OutputKind kind, const QStringList& texts) {
        QVector<ReportRow> rows;
        for (int i = 0; i < texts.size(); ++i)
            rows.append({i + 1, texts.at(i)});
        return layOutReport(reportDefinition(kind), rows, m_at, m_device.get());
    }

    QString lineText(const QString& text, const TextLine& line) {
        return text.mid(line.start, line.length);
    }

private Q_SLOTS:
    void initTestCase() {
        ovtest::isolateUserFolders();
        ensureReportFonts();
        m_buffer.open(QIODevice::WriteOnly);
        m_device = std::make_unique<QPdfWriter>(&m_buffer);
    }

    void faces_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("fixedPitch");
        QTest::newRow("perso") << int(OutputKind::Perso) << u"Tahoma"_s << false;
        QTest::newRow("village") << int(OutputKind::Village) << u"Liberation Mono"_s << true;
    }
    void faces() {
        QFETCH(int, kind);
        QFETCH(QString, family);
        QFETCH(bool, fixedPitch);
        const QFontInfo info(reportTextFont(reportDefinition(OutputKind(kind))));
        QCOMPARE(info.family(), family);
        QCOMPARE(info.fixedPitch(), fixedPitch);
        QCOMPARE(QFontInfo(reportHeaderFont(reportDefinition(OutputKind(kind)))).family(),
                 QStringLiteral("Liberation Sans"));
    }

    void noRowNoPage() { QVERIFY(layOut(OutputKind::Perso, {}).pages.isEmpty()); }

    void bandsFollowEachOther_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("bodyHeight");
        QTest::addColumn<double>("headerHeight");
        QTest::addColumn<double>("headerTop");
        QTest::addColumn<double>("detailHeight");
        QTest::newRow("perso") << int(OutputKind::Perso) << 277.0 << 6.1 << 0.0 << 34.9;
        QTest::newRow("tresor") << int(OutputKind::Tresor) << 271.6 << 6.1 << 0.0 << 20.3;
        QTest::newRow("rencontre") << int(OutputKind::Rencontre) << 271.6 << 6.1 << 0.0 << 20.3;
        QTest::newRow("village") << int(OutputKind::Village) << 271.6 << 8.5 << 1.7 << 34.9;
    }
    void bandsFollowEachOther() {
        QFETCH(int, kind);
        QFETCH(double, bodyHeight);
        QFETCH(double, headerHeight);
        QFETCH(double, headerTop);
        QFETCH(double, detailHeight);
        // Short records only: every band keeps its minimum height.
        const QStringList texts(30, lines(2));
        const ReportLayout layout = layOut(OutputKind(kind), texts);
        const int perPage = int((bodyHeight - headerHeight) / detailHeight);
        QCOMPARE(layout.pages.size(), (30 + perPage - 1) / perPage);

        int row = 0;
        for (const ReportPage& page : layout.pages) {
            QCOMPARE(page.number, &page - layout.pages.data() + 1);
            QCOMPARE(page.header.size(), 4);
            const double lefts[] = {0.0, 30.1, 66.7, 79.4};
            for (int i = 0; i < 4; ++i) {
                QVERIFY(qAbs(page.header.at(i).left - lefts[i]) < eps);
                QVERIFY(qAbs(page.header.at(i).top - headerTop) < eps);
            }
            QCOMPARE(page.header.at(2).text, QStringLiteral("page - "));
            QCOMPARE(page.header.at(3).text, QString::number(page.number));
            QCOMPARE(page.header.at(1).text, QLocale().toString(m_at, QLocale::ShortFormat));

            double top = headerHeight;
            for (const BandPiece& band : page.bands) {
                QCOMPARE(band.row, row++);
                QVERIFY(qAbs(band.top - top) < eps);
                QVERIFY(qAbs(band.height - detailHeight) < eps);
                QVERIFY(qAbs(band.textTop - (band.top + 1.7)) < eps);
                QCOMPARE(band.lineCount, 2);
                top += detailHeight;
            }
            QVERIFY(top <= bodyHeight + eps);
            if (page.number < layout.pages.size())
                QCOMPARE(page.bands.size(), perPage);
        }
        QCOMPARE(row, 30);
    }

    void bandGrowsWithItsText() {
        // Treasure: text box 17.1 high in a band of 20.3.
        const ReportLayout layout = layOut(OutputKind::Tresor, {lines(2), lines(12), lines(2)});
        const double lh = layout.lineHeight;
        QVERIFY(lh > 3.0 && lh < 4.5); // Tahoma 10 pt
        const QVector<BandPiece>& bands = layout.pages.first().bands;
        QCOMPARE(bands.size(), 3);
        QVERIFY(12 * lh > 17.1);
        QVERIFY(qAbs(bands.at(1).height - (20.3 + 12 * lh - 17.1)) < eps);
        QVERIFY(qAbs(bands.at(2).top - (bands.at(1).top + bands.at(1).height)) < eps);
        QCOMPARE(bands.at(1).lineCount, 12);
    }

    void wrapsWithinTheTextBox() {
        const QString sentence = QStringLiteral("Une épée longue et un bouclier de chêne, ") +
                                 QStringLiteral("offerts par le seigneur du val. ").repeated(12);
        const QFont font = reportTextFont(reportDefinition(OutputKind::Perso));
        const QVector<TextLine> wrapped = wrapText(sentence, font, m_device.get(), 186.7);
        QVERIFY(wrapped.size() > 2);
        const QFontMetricsF metrics(font, m_device.get());
        int next = 0;
        for (const TextLine& line : wrapped) {
            QCOMPARE(line.start, next);
            next = line.start + line.length;
            const double width =
                metrics.horizontalAdvance(lineText(sentence, line).trimmed()) * 25.4 / 1200;
            QVERIFY2(width <= 186.7 + eps, qPrintable(QString::number(width)));
            // Wrapped at a blank: no word is cut.
            if (next < sentence.size())
                QCOMPARE(sentence.at(next - 1), QLatin1Char(' '));
        }
        QCOMPARE(next, int(sentence.size()));
        // A word wider than the box is cut where it must.
        const QString word(400, QLatin1Char('W'));
        const QVector<TextLine> cut = wrapText(word, font, m_device.get(), 186.7);
        QVERIFY(cut.size() >= 3);
    }

    void lineBreaksOfTheMemo_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("CR LF after every line")
            << u"un\r\ndeux\r\n"_s << QStringList{u"un"_s, u"deux"_s};
        QTest::newRow("empty line kept")
            << u"un\r\n\r\ntrois\r\n"_s << QStringList{u"un"_s, u""_s, u"trois"_s};
        QTest::newRow("no final break") << u"un\r\ndeux"_s << QStringList{u"un"_s, u"deux"_s};
        QTest::newRow("lone LF and CR")
            << u"un\ndeux\rtrois"_s << QStringList{u"un"_s, u"deux"_s, u"trois"_s};
        QTest::newRow("empty text") << u""_s << QStringList{};
    }
    void lineBreaksOfTheMemo() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        for (OutputKind kind : {OutputKind::Perso, OutputKind::Village}) {
            const QVector<TextLine> wrapped =
                wrapText(text, reportTextFont(reportDefinition(kind)), m_device.get(), 186.7);
            QStringList got;
            for (const TextLine& line : wrapped)
                got.append(lineText(text, line));
            QCOMPARE(got, expected);
        }
    }

    void metiersColumnsStayAligned() {
        // Courier New 11 pt holds 80 columns in 186.7 mm: five entries of 16 characters a line.
        const QString metiers = alignedMetiers(99);
        const QVector<TextLine> wrapped = wrapText(
            metiers, reportTextFont(reportDefinition(OutputKind::Village)), m_device.get(), 186.7);
        QCOMPARE(wrapped.size(), (99 * 16 + 79) / 80);
        for (int i = 0; i + 1 < wrapped.size(); ++i) {
            QCOMPARE(wrapped.at(i).length, 80);
            QCOMPARE(wrapped.at(i).start, i * 80);
        }
        // The second line begins with entry 6, its blank kept in front of the number.
        QVERIFY(lineText(metiers, wrapped.at(1)).startsWith(QStringLiteral(" 6-")));
        QVERIFY(lineText(metiers, wrapped.at(2)).startsWith(QStringLiteral("11-")));
    }

    void aLineAsWideAsTheBoxIsNotWrapped() {
        // 80 columns of Courier New 11 pt fill 186.7 mm; the text ends with the line.
        const QString text = QStringLiteral("un ") + QString(77, QLatin1Char('x'));
        const QVector<TextLine> wrapped = wrapText(
            text, reportTextFont(reportDefinition(OutputKind::Village)), m_device.get(), 186.7);
        QCOMPARE(wrapped.size(), 1);
        QCOMPARE(wrapped.first().length, 80);
    }

    void longMetiersLinePrintsWhole() {
        const QString metiers = longMetiers();
        QVERIFY(metiers.size() > 7000);
        const QString text = lines(17) + QStringLiteral("> METIERS : \r\n") + metiers + u"\r\n"_s;
        const ReportLayout layout = layOut(OutputKind::Village, {lines(3), text, lines(3)});
        const double body = 271.6;

        // Every character of the METIERS line stands on exactly one printed line, in order.
        QString printed;
        int lineIndex = 0;
        for (const ReportPage& page : layout.pages)
            for (const BandPiece& band : page.bands) {
                QVERIFY(band.top + band.height <= body + eps);
                QVERIFY(band.textTop + band.lineCount * layout.lineHeight <= body + eps);
                if (band.row != 1)
                    continue;
                QCOMPARE(band.firstLine, lineIndex);
                for (int k = 0; k < band.lineCount; ++k) {
                    const QString line = lineText(text, layout.lines.at(1).at(lineIndex++));
                    QVERIFY(line.size() <= 80);
                    printed += line + QLatin1Char('\n');
                }
            }
        QCOMPARE(lineIndex, layout.lines.at(1).size());
        QString joined = printed;
        joined.remove(QLatin1Char('\n'));
        QVERIFY(joined.contains(metiers));
    }

    void bandTallerThanAPageIsBroken() {
        // 150 lines of Tahoma do not fit one page: the band starts under the first one and goes
        // on over the next pages, under their headers.
        const QString tall = lines(150);
        const ReportLayout layout = layOut(OutputKind::Perso, {lines(2), tall, lines(2)});
        const double lh = layout.lineHeight;
        QVERIFY(150 * lh > 277.0);
        QVERIFY(layout.pages.size() >= 2);

        QVector<BandPiece> pieces;
        for (const ReportPage& page : layout.pages)
            for (const BandPiece& band : page.bands)
                if (band.row == 1)
                    pieces.append(band);
        QVERIFY(pieces.size() >= 2);
        QCOMPARE(pieces.first().continued, false);
        QVERIFY(qAbs(pieces.first().top - (6.1 + 34.9)) < eps);
        int next = 0;
        for (const BandPiece& piece : pieces) {
            QCOMPARE(piece.firstLine, next);
            QCOMPARE(piece.continued, next > 0);
            next += piece.lineCount;
            QVERIFY(piece.textTop + piece.lineCount * lh <= 277.0 + eps);
            if (piece.continued)
                QVERIFY(qAbs(piece.top - 6.1) < eps);
        }
        QCOMPARE(next, 150);
        // The band after it follows its last piece on the same page.
        const ReportPage& last = layout.pages.last();
        QCOMPARE(last.bands.last().row, 2);
        const BandPiece& end = last.bands.at(last.bands.size() - 2);
        QVERIFY(qAbs(last.bands.last().top - (end.top + end.height)) < eps);
    }

    void bandThatDoesNotFitMovesToTheNextPage() {
        // Seven short treasures fill 6.1 + 7 x 20.3 mm; a band of 40 lines then does not fit
        // what is left, but fits a page: it goes whole to page 2.
        QStringList texts(7, lines(2));
        texts.append(lines(40));
        const ReportLayout layout = layOut(OutputKind::Tresor, texts);
        QCOMPARE(layout.pages.size(), 2);
        QCOMPARE(layout.pages.at(0).bands.size(), 7);
        const BandPiece& moved = layout.pages.at(1).bands.first();
        QCOMPARE(moved.row, 7);
        QCOMPARE(moved.lineCount, 40);
        QVERIFY(qAbs(moved.top - 6.1) < eps);
    }
};

QTEST_MAIN(TestReportLayout)
#include "test_reportlayout.moc"
