#pragma once
// The four report forms, created hidden at start-up, and the print run of an "Impression" button.

#include "tables/clock.h"
#include "tables/outputs.h"

#include <QObject>
#include <array>
#include <memory>

class QWidget;

namespace ov {
class Database;
class ReportForm;
struct ReportDefinition;
class UnprintedCount;
} // namespace ov

namespace ov::ui {

class PreviewPresenter;

class ReportForms : public QObject {
    Q_OBJECT
public:
    // Creates the four forms in start-up order, each opening its own cursor on its table.
    ReportForms(const Database& database, QObject* parent = nullptr);
    ~ReportForms() override;

    // The print run: modal preview of the kind's report; a completed print job stamps the
    // printed records; then the count query is closed and reopened with its statement.
    void print(OutputKind kind, UnprintedCount& count, QWidget* parent);

    // The same print run for any other report, a personal generator's results for one.
    void print(const ReportDefinition& definition, UnprintedCount& count, QWidget* parent);

    // The form of a kind: ovPersoReport, qreTresor, frmReportRencontre, qreVillage.
    ReportForm& form(OutputKind kind);

    // What shows the preview; the modal preview window unless a test sets another.
    void setPreviewPresenter(std::unique_ptr<PreviewPresenter> presenter);
    // The clock of the header's date and time and of the print date; the system's by default.
    void setClock(std::shared_ptr<const Clock> clock);

    // The after-print handlers: each stamps the rows its report printed with today's date.
    void qrePersoAfterPrint();
    void ovTresorReportAfterPrint();
    void qreRencontreAfterPrint();
    void qreVillageAfterPrint();

Q_SIGNALS:
    // The count was reopened after a print run.
    void countRefreshed(qint64 count);

private:
    void afterPrint(OutputKind kind);
    void stamp(OutputKind kind);
    void refreshCount(UnprintedCount& count);

    const Database& m_database;
    std::array<std::unique_ptr<ReportForm>, 4> m_forms;
    std::unique_ptr<PreviewPresenter> m_presenter;
    std::shared_ptr<const Clock> m_clock;
};

} // namespace ov::ui
