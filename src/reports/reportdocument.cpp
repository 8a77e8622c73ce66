#include "reportdocument.h"

#include <QPagedPaintDevice>
#include <QPainter>

namespace ov {

ReportDocument::ReportDocument(const ReportDefinition& definition, QVector<ReportRow> rows,
                               QDateTime builtAt)
    : m_definition(definition), m_rows(std::move(rows)), m_rowCount(m_rows.size()),
      m_builtAt(std::move(builtAt)) {}

ReportDocument::ReportDocument(const ReportDefinition& definition, qsizetype rowCount,
                               RowReader reader, QDateTime builtAt)
    : m_definition(definition), m_rowsRead(false), m_rowCount(rowCount),
      m_reader(std::move(reader)), m_builtAt(std::move(builtAt)) {}

const QVector<ReportRow>& ReportDocument::rows() const {
    if (!m_rowsRead) {
        m_rows.reserve(m_rowCount);
        m_reader([this](ReportRow row) { m_rows.append(std::move(row)); });
        m_rowsRead = true;
    }
    return m_rows;
}

ReportLayout ReportDocument::layOut(QPaintDevice* device) const {
    return layOutReport(m_definition, rows(), m_builtAt, device);
}

void ReportDocument::layOutPages(QPaintDevice* device,
                                 const ReportPager::PageDone& pageDone) const {
    ReportPager pager(m_definition, m_builtAt, device, pageDone);
    if (m_rowsRead) {
        for (const ReportRow& row : m_rows)
            pager.add(row);
    } else {
        m_reader([&pager](ReportRow row) { pager.add(std::move(row)); });
    }
    pager.finish();
}

int ReportDocument::print(QPagedPaintDevice& device) const {
    return printReports({this}, device);
}

int printReports(const QVector<const ReportDocument*>& documents, QPagedPaintDevice& device) {
    QPainter painter;
    int painted = 0;
    for (const ReportDocument* document : documents) {
        if (document->isEmpty())
            continue;
        const ReportDefinition& definition = document->definition();
        const QPageLayout wanted = definition.pageLayout();
        device.setPageLayout(wanted);

        // A device that cannot take the report's margins keeps its own; the pages are moved so
        // that the bands still stand where the report puts them.
        const QMarginsF actual = device.pageLayout().margins(QPageLayout::Millimeter);
        const QPointF origin((wanted.margins().left() - actual.left()) * device.logicalDpiX() /
                                 25.4,
                             (wanted.margins().top() - actual.top()) * device.logicalDpiY() / 25.4);

        if (!painter.isActive() && !painter.begin(&device))
            return 0;
        bool failed = false;
        document->layOutPages(&device,
                              [&](const QVector<ReportRow>& rows, const ReportLayout& layout) {
                                  if (failed || (painted > 0 && !device.newPage())) {
                                      failed = true;
                                      return;
                                  }
                                  paintReportPage(painter, definition, rows, layout, 0, origin);
                                  ++painted;
                              });
        if (failed) {
            painter.end();
            return 0;
        }
    }
    if (!painter.isActive())
        return 0;
    return painter.end() ? painted : 0;
}

} // namespace ov
