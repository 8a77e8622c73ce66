#pragma once
// The banded page layout of a report: header band on every page, one growing detail band per row.

#include "reportdefinition.h"

#include <QDateTime>
#include <QFont>
#include <QString>
#include <QVector>
#include <functional>

class QPaintDevice;
class QPainter;

namespace ov {

// One record of a report: its row in the output table and its text.
struct ReportRow {
    qint64 rowid = 0;
    QString text;
};

// One printed line of a record's text: a span of that text.
struct TextLine {
    int start = 0;
    int length = 0;
};

// A text placed on the page; positions in millimetres from the top-left corner inside the margins.
struct HeaderItem {
    QString text;
    double left = 0;
    double top = 0;
};

// The part of a detail band that stands on one page. A band taller than a page is broken between
// its lines into several pieces.
struct BandPiece {
    int row = 0;
    double top = 0;
    double height = 0;
    double textTop = 0; // top of the first line of this piece
    int firstLine = 0;
    int lineCount = 0;
    bool continued = false; // the band began on an earlier page
};

struct ReportPage {
    int number = 1;
    QVector<HeaderItem> header; // caption, date and time, "page - ", page number
    QVector<BandPiece> bands;
};

struct ReportLayout {
    QVector<QVector<TextLine>> lines; // per row
    double lineHeight = 0;            // millimetres from one text line to the next
    double textAscent = 0;
    double headerAscent = 0;
    QVector<ReportPage> pages; // none when the report has no row
};

// The faces of a report, as its definition names them.
QFont reportTextFont(const ReportDefinition& definition);
QFont reportHeaderFont(const ReportDefinition& definition);

// Splits a text into the lines that fit the width: each line break of the text (CR LF, LF or CR)
// ends a line, the one closing the text excepted; a longer line wraps at a blank, or anywhere when
// one word is wider than the box. With a fixed-pitch face every line holds the same number of
// columns and a cut at a blank keeps the blanks that open the next line, so that columns of
// padded entries stay aligned.
QVector<TextLine> wrapText(const QString& text, const QFont& font, QPaintDevice* device,
                           double widthMillimetres);

// Lays a report out one row at a time for the device's resolution. With a page handler, each
// page is handed as soon as it is full, with the rows it shows (the layout then holds that page
// and those rows' lines, the bands numbering the rows from 0), and then forgotten: a report of
// any length is laid out in the memory of one page. Without one, every page is kept.
class ReportPager {
public:
    using PageDone =
        std::function<void(const QVector<ReportRow>& rows, const ReportLayout& layout)>;
    ReportPager(const ReportDefinition& definition, const QDateTime& printedAt,
                QPaintDevice* device, PageDone pageDone = {});
    void add(ReportRow row);
    // Hands the last page.
    void finish();
    int pageCount() const { return m_pageCount; }
    const ReportLayout& layout() const { return m_layout; }

private:
    void newPage();
    void place(const BandPiece& piece);

    const ReportDefinition& m_definition;
    QPaintDevice* m_device;
    PageDone m_pageDone;
    QFont m_textFont;
    QString m_dateText;
    ReportLayout m_layout;
    QVector<ReportRow> m_rows; // the rows of the page under way
    int m_pageCount = 0;
    double m_y = 0;
};

// Lays the report out for the device's resolution.
ReportLayout layOutReport(const ReportDefinition& definition, const QVector<ReportRow>& rows,
                          const QDateTime& printedAt, QPaintDevice* device);

// Paints one laid-out page; origin is the top-left corner inside the margins, in device units.
void paintReportPage(QPainter& painter, const ReportDefinition& definition,
                     const QVector<ReportRow>& rows, const ReportLayout& layout, int pageIndex,
                     QPointF origin);

} // namespace ov
