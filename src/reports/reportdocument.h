#pragma once
// One report ready to print: its definition, the rows it holds and the time it was built.

#include "reportdefinition.h"
#include "reportlayout.h"

#include <QDateTime>
#include <QVector>
#include <functional>

class QPagedPaintDevice;

namespace ov {

class ReportDocument {
public:
    // Hands the report's rows in order, each once, to the function it is given.
    using RowReader = std::function<void(const std::function<void(ReportRow)>& take)>;

    ReportDocument(const ReportDefinition& definition, QVector<ReportRow> rows, QDateTime builtAt);
    // A report whose rows are read only when it is printed, a few at a time.
    ReportDocument(const ReportDefinition& definition, qsizetype rowCount, RowReader reader,
                   QDateTime builtAt);

    const ReportDefinition& definition() const { return m_definition; }
    // Every row, read at the first call when the report reads its rows as it prints.
    const QVector<ReportRow>& rows() const;
    qsizetype rowCount() const { return m_rowCount; }
    const QDateTime& builtAt() const { return m_builtAt; }
    // A report without a row has no page and is never printed.
    bool isEmpty() const { return m_rowCount == 0; }

    // Lays the rows out and hands each page as soon as it is full (see ReportPager).
    void layOutPages(QPaintDevice* device, const ReportPager::PageDone& pageDone) const;

    // The layout for the device's resolution.
    ReportLayout layOut(QPaintDevice* device) const;

    // Sets the device to A4 portrait with the report's margins and paints every page on it, each
    // as soon as it is laid out.
    // Returns the number of pages painted: 0 when the report is empty or the device could not be
    // painted on.
    int print(QPagedPaintDevice& device) const;

private:
    ReportDefinition m_definition;
    mutable QVector<ReportRow> m_rows;
    mutable bool m_rowsRead = true;
    qsizetype m_rowCount = 0;
    RowReader m_reader;
    QDateTime m_builtAt;
};

// Paints the reports one after the other on the device, each from a new page; empty ones are
// left out. Returns the pages painted, 0 when none could be.
int printReports(const QVector<const ReportDocument*>& documents, QPagedPaintDevice& device);

} // namespace ov
