#include "reportdocument.h"

#include <QPagedPaintDevice>
#include <QPainter>

namespace ov {

ReportDocument::ReportDocument(const ReportDefinition& definition, QVector<ReportRow> rows,
                               QDateTime builtAt)
    : m_definition(definition), m_rows(std::move(rows)), m_builtAt(std::move(builtAt)) {}

ReportLayout ReportDocument::layOut(QPaintDevice* device) const {
    return layOutReport(m_definition, m_rows, m_builtAt, device);
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
        const ReportLayout layout = document->layOut(&device);

        // A device that cannot take the report's margins keeps its own; the pages are moved so
        // that the bands still stand where the report puts them.
        const QMarginsF actual = device.pageLayout().margins(QPageLayout::Millimeter);
        const QPointF origin((wanted.margins().left() - actual.left()) * device.logicalDpiX() /
                                 25.4,
                             (wanted.margins().top() - actual.top()) * device.logicalDpiY() / 25.4);

        if (!painter.isActive() && !painter.begin(&device))
            return 0;
        for (int i = 0; i < layout.pages.size(); ++i) {
            if (painted > 0 && !device.newPage()) {
                painter.end();
                return 0;
            }
            paintReportPage(painter, definition, document->rows(), layout, i, origin);
            ++painted;
        }
    }
    if (!painter.isActive())
        return 0;
    return painter.end() ? painted : 0;
}

} // namespace ov
