#pragma once
// One report ready to print: its definition, the rows it holds and the time it was built.

#include "reportdefinition.h"
#include "reportlayout.h"

#include <QDateTime>
#include <QVector>

class QPagedPaintDevice;

namespace ov {

class ReportDocument {
public:
    ReportDocument(const ReportDefinition& definition, QVector<ReportRow> rows, QDateTime builtAt);

    const ReportDefinition& definition() const { return m_definition; }
    const QVector<ReportRow>& rows() const { return m_rows; }
    const QDateTime& builtAt() const { return m_builtAt; }
    // A report without a row has no page and is never printed.
    bool isEmpty() const { return m_rows.isEmpty(); }

    // The layout for the device's resolution.
    ReportLayout layOut(QPaintDevice* device) const;

    // Sets the device to A4 portrait with the report's margins and paints every page on it.
    // Returns the number of pages painted: 0 when the report is empty or the device could not be
    // painted on.
    int print(QPagedPaintDevice& device) const;

private:
    ReportDefinition m_definition;
    QVector<ReportRow> m_rows;
    QDateTime m_builtAt;
};

// Paints the reports one after the other on the device, each from a new page; empty ones are
// left out. Returns the pages painted, 0 when none could be.
int printReports(const QVector<const ReportDocument*>& documents, QPagedPaintDevice& device);

} // namespace ov
