#pragma once
// The four report forms, created hidden at start-up, and the print run of an "Impression" button.

#include "tables/outputs.h"

#include <QObject>

class QWidget;

namespace ov {
class Database;
class UnprintedCount;
} // namespace ov

namespace ov::ui {

class ReportForms : public QObject {
    Q_OBJECT
public:
    // Creates the four forms in start-up order, each opening its own cursor on its table.
    ReportForms(const Database& database, QObject* parent = nullptr);
    ~ReportForms() override;

    // The print run: modal preview of the kind's report; a completed print job stamps the
    // printed records; then the count query is closed and reopened with its statement.
    void print(OutputKind kind, UnprintedCount& count, QWidget* parent);

Q_SIGNALS:
    // The count was reopened after a print run.
    void countRefreshed(qint64 count);

private:
    const Database& m_database;
};

} // namespace ov::ui
