#include "reportlayout.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QLocale>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <cmath>

namespace ov {

namespace {

constexpr double mmPerInch = 25.4;
constexpr double tolerance = 1e-6;

QFont makeFont(const QString& family, double points, QFont::StyleHint hint) {
    QFont font(family);
    font.setStyleHint(hint);
    font.setPointSizeF(points);
    // Measured and painted outlines must agree on every device, preview and printer alike.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ');
}

bool isFixedPitch(const QFont& font, const QPaintDevice* device) {
    const QFontMetricsF metrics(font, const_cast<QPaintDevice*>(device));
    return QFontInfo(font).fixedPitch() &&
           qFuzzyCompare(metrics.horizontalAdvance(QLatin1Char('i')),
                         metrics.horizontalAdvance(QLatin1Char('M')));
}

// Column wrap for a fixed-pitch face: at most `columns` characters a line. A cut falls at the
// column limit when a blank stands on either side of it, otherwise after the last blank that fits;
// a word longer than a line is cut at the limit. Lines made only of blanks are dropped.
void wrapColumns(const QString& text, int from, int length, int columns, QVector<TextLine>& lines) {
    const int end = from + length;
    int pos = from;
    const int before = lines.size();
    while (end - pos > columns) {
        int cut = columns;
        if (!isBlank(text.at(pos + columns - 1)) && !isBlank(text.at(pos + columns))) {
            int blank = pos + columns - 2;
            while (blank >= pos && !isBlank(text.at(blank)))
                --blank;
            if (blank >= pos)
                cut = blank - pos + 1;
        }
        bool onlyBlanks = true;
        for (int i = pos; i < pos + cut && onlyBlanks; ++i)
            onlyBlanks = isBlank(text.at(i));
        if (!onlyBlanks)
            lines.append({pos, cut});
        pos += cut;
    }
    if (pos < end || lines.size() == before)
        lines.append({pos, end - pos});
}

// Word wrap for a proportional face, measured by Qt's text layout on the device.
void wrapWords(const QString& text, int from, int length, const QFont& font, QPaintDevice* device,
               double widthUnits, QVector<TextLine>& lines) {
    if (length == 0) {
        lines.append({from, 0});
        return;
    }
    QTextLayout layout(text.mid(from, length), font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(false);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(widthUnits);
        lines.append({from + line.textStart(), line.textLength()});
    }
    layout.endLayout();
}

// Paints the lines of a fixed-pitch face as glyph runs: every character sits on its column, no
// shaping is needed, and blanks are left out of the run. Only PDF output gains from it (the
// preview's recording engine keeps glyph runs at a high cost, so it gets plain text). A line with
// a character that the face lacks is painted as text, so that a fallback face can show it.
class ColumnPainter {
public:
    ColumnPainter(const QPainter& painter, const QFont& font, const QPaintDevice* device) {
        if (painter.paintEngine() == nullptr ||
            painter.paintEngine()->type() != QPaintEngine::Pdf || !isFixedPitch(font, device))
            return;
        m_raw = QRawFont::fromFont(font);
        if (!m_raw.isValid())
            return;
        m_raw.setPixelSize(font.pointSizeF() * device->logicalDpiY() / 72.0);
        m_advance = QFontMetricsF(font, device).horizontalAdvance(QLatin1Char('M'));
    }

    bool usable() const { return m_raw.isValid() && m_advance > 0; }

    // False when the line must be painted as text.
    bool paint(QPainter& painter, QPointF baseline, QStringView line) {
        const QVector<quint32> glyphs = m_raw.glyphIndexesForString(line.toString());
        if (glyphs.size() != line.size())
            return false;
        m_glyphs.clear();
        m_positions.clear();
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (isBlank(line.at(i)))
                continue;
            if (glyphs.at(i) == 0)
                return false;
            m_glyphs.append(glyphs.at(i));
            m_positions.append(QPointF(i * m_advance, 0));
        }
        if (m_glyphs.isEmpty())
            return true;
        QGlyphRun run;
        run.setRawFont(m_raw);
        run.setGlyphIndexes(m_glyphs);
        run.setPositions(m_positions);
        painter.drawGlyphRun(baseline, run);
        return true;
    }

private:
    QRawFont m_raw;
    double m_advance = 0;
    QVector<quint32> m_glyphs;
    QVector<QPointF> m_positions;
};

// The header's four items; an item too long for the room before the next one is shortened with
// « … », so that nothing is printed over anything else (the full caption stays in the PDF's
// title).
QVector<HeaderItem> headerItems(const ReportDefinition& d, const QString& dateText, int number,
                                const QPaintDevice* device) {
    QVector<HeaderItem> items{{d.caption, d.captionLeft, d.headerTop},
                              {dateText, d.dateLeft, d.headerTop},
                              {QStringLiteral("page - "), d.pageTextLeft, d.headerTop},
                              {QString::number(number), d.pageNumberLeft, d.headerTop}};
    std::sort(items.begin(), items.end(),
              [](const HeaderItem& a, const HeaderItem& b) { return a.left < b.left; });
    const QFontMetricsF metrics(reportHeaderFont(d), const_cast<QPaintDevice*>(device));
    const double unitsPerMm = device->logicalDpiX() / mmPerInch;
    constexpr double gapMm = 1.0;
    for (int i = 0; i + 1 < items.size(); ++i) {
        const double room = (items.at(i + 1).left - items.at(i).left - gapMm) * unitsPerMm;
        HeaderItem& item = items[i];
        if (metrics.horizontalAdvance(item.text) > room)
            item.text = metrics.elidedText(item.text, Qt::ElideRight, std::max(0.0, room));
    }
    return items;
}

} // namespace

QFont reportTextFont(const ReportDefinition& definition) {
    const bool typewriter = definition.textFontFamily.startsWith(QStringLiteral("Courier"));
    return makeFont(definition.textFontFamily, definition.textFontPoints,
                    typewriter ? QFont::TypeWriter : QFont::SansSerif);
}

QFont reportHeaderFont(const ReportDefinition& definition) {
    return makeFont(definition.headerFontFamily, definition.headerFontPoints, QFont::SansSerif);
}

QVector<TextLine> wrapText(const QString& text, const QFont& font, QPaintDevice* device,
                           double widthMillimetres) {
    QVector<TextLine> lines;
    const double widthUnits = widthMillimetres * device->logicalDpiX() / mmPerInch;
    const double advance = QFontMetricsF(font, device).horizontalAdvance(QLatin1Char('M'));
    const bool fixedPitch = isFixedPitch(font, device);
    const int columns =
        fixedPitch ? std::max(1, int(std::floor(widthUnits / advance + tolerance))) : 0;
    const int size = int(text.size());
    int pos = 0;
    while (pos < size) {
        int end = pos;
        while (end < size && text.at(end) != QLatin1Char('\r') && text.at(end) != QLatin1Char('\n'))
            ++end;
        if (fixedPitch)
            wrapColumns(text, pos, end - pos, columns, lines);
        else
            wrapWords(text, pos, end - pos, font, device, widthUnits, lines);
        if (end == size)
            break;
        pos = end + 1;
        if (text.at(end) == QLatin1Char('\r') && pos < size && text.at(pos) == QLatin1Char('\n'))
            ++pos;
    }
    return lines;
}

ReportPager::ReportPager(const ReportDefinition& d, const QDateTime& printedAt,
                         QPaintDevice* device, PageDone pageDone)
    : m_definition(d), m_device(device), m_pageDone(std::move(pageDone)),
      m_textFont(reportTextFont(d)),
      m_dateText(QLocale().toString(printedAt, QLocale::ShortFormat)) {
    const double mmPerUnit = mmPerInch / device->logicalDpiY();
    const QFontMetricsF textMetrics(m_textFont, device);
    m_layout.lineHeight = textMetrics.lineSpacing() * mmPerUnit;
    m_layout.textAscent = textMetrics.ascent() * mmPerUnit;
    m_layout.headerAscent = QFontMetricsF(reportHeaderFont(d), device).ascent() * mmPerUnit;
}

void ReportPager::newPage() {
    if (m_pageDone && !m_layout.pages.isEmpty()) {
        // The page is handed with the rows it shows; only the row being laid out is kept.
        m_pageDone(m_rows, m_layout);
        m_layout.pages.clear();
        m_rows.remove(0, m_rows.size() - 1);
        m_layout.lines.remove(0, m_layout.lines.size() - 1);
    }
    ++m_pageCount;
    m_layout.pages.append(
        {m_pageCount, headerItems(m_definition, m_dateText, m_pageCount, m_device), {}});
    m_y = m_definition.headerHeight;
}

void ReportPager::place(const BandPiece& piece) {
    m_layout.pages.last().bands.append(piece);
    m_y = std::min(m_definition.bodyHeight(), piece.top + piece.height);
}

void ReportPager::add(ReportRow row) {
    const ReportDefinition& d = m_definition;
    m_layout.lines.append(wrapText(row.text, m_textFont, m_device, d.textWidth));
    m_rows.append(std::move(row));
    if (m_pageCount == 0)
        newPage();
    const double body = d.bodyHeight();
    const double lh = m_layout.lineHeight;
    const int count = int(m_layout.lines.constLast().size());
    const auto index = [this] { return int(m_rows.size()) - 1; };
    const double height = d.detailHeight + std::max(0.0, count * lh - d.textMinHeight);
    if (m_y + height > body + tolerance && height <= body - d.headerHeight + tolerance)
        newPage();
    if (m_y + height <= body + tolerance) {
        place({index(), m_y, height, m_y + d.textTop, 0, count, false});
        return;
    }
    // Taller than a whole page: broken between its lines, from where it stands when at least
    // one line fits there.
    if (m_y + d.textTop + lh > body + tolerance)
        newPage();
    int first = 0;
    for (;;) {
        const int fit = std::max(1, int(std::floor((body - m_y - d.textTop) / lh + tolerance)));
        const int remaining = count - first;
        if (remaining <= fit) {
            const double last = d.textTop + remaining * lh + d.detailBottomSpace();
            place({index(), m_y, std::min(last, body - m_y), m_y + d.textTop, first, remaining,
                   first > 0});
            break;
        }
        place({index(), m_y, body - m_y, m_y + d.textTop, first, fit, first > 0});
        first += fit;
        newPage();
    }
}

void ReportPager::finish() {
    if (m_pageDone && !m_layout.pages.isEmpty()) {
        m_pageDone(m_rows, m_layout);
        m_layout.pages.clear();
        m_rows.clear();
        m_layout.lines.clear();
    }
}

ReportLayout layOutReport(const ReportDefinition& d, const QVector<ReportRow>& rows,
                          const QDateTime& printedAt, QPaintDevice* device) {
    if (rows.isEmpty())
        return {};
    ReportPager pager(d, printedAt, device);
    for (const ReportRow& row : rows)
        pager.add(row);
    return pager.layout();
}

void paintReportPage(QPainter& painter, const ReportDefinition& d, const QVector<ReportRow>& rows,
                     const ReportLayout& layout, int pageIndex, QPointF origin) {
    const QPaintDevice* device = painter.device();
    const double ux = device->logicalDpiX() / mmPerInch;
    const double uy = device->logicalDpiY() / mmPerInch;
    const ReportPage& page = layout.pages.at(pageIndex);

    painter.setFont(reportHeaderFont(d));
    for (const HeaderItem& item : page.header)
        painter.drawText(QPointF(origin.x() + item.left * ux,
                                 origin.y() + (item.top + layout.headerAscent) * uy),
                         item.text);

    const QFont textFont = reportTextFont(d);
    painter.setFont(textFont);
    ColumnPainter columns(painter, textFont, device);
    const double x = origin.x() + d.textLeft * ux;
    for (const BandPiece& band : page.bands) {
        const QString& text = rows.at(band.row).text;
        const QVector<TextLine>& lines = layout.lines.at(band.row);
        for (int k = 0; k < band.lineCount; ++k) {
            const TextLine& line = lines.at(band.firstLine + k);
            if (line.length == 0)
                continue;
            const double baseline = band.textTop + k * layout.lineHeight + layout.textAscent;
            const QPointF at(x, origin.y() + baseline * uy);
            const QStringView span = QStringView(text).mid(line.start, line.length);
            if (!columns.usable() || !columns.paint(painter, at, span))
                painter.drawText(at, span.toString());
        }
    }
}

} // namespace ov
