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
    if (isEmpty())
        return 0;
    const QPageLayout wanted = m_definition.pageLayout();
    device.setPageLayout(wanted);
    const ReportLayout layout = layOut(&device);

    // A device that cannot take the report's margins keeps its own; the pages are moved so that
    // the bands still stand where the report puts them.
    const QMarginsF actual = device.pageLayout().margins(QPageLayout::Millimeter);
    const QPointF origin((wanted.margins().left() - actual.left()) * device.logicalDpiX() / 25.4,
                         (wanted.margins().top() - actual.top()) * device.logicalDpiY() / 25.4);

    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    for (int i = 0; i < layout.pages.size(); ++i) {
        if (i > 0 && !device.newPage()) {
            painter.end();
            return 0;
        }
        paintReportPage(painter, m_definition, m_rows, layout, i, origin);
    }
    return painter.end() ? int(layout.pages.size()) : 0;
}

} // namespace ov
