#pragma once
// The modal page preview of a report, with our own Print action so that a completed job is known.

#include "reports/reportdocument.h"

#include <QDialog>
#include <QPrinter>
#include <functional>

class QAction;
class QLabel;
class QPrintPreviewWidget;
class QVBoxLayout;

namespace ov::ui {

// Chooses the printer for a job: true to print. The system's print dialog by default.
using PrinterChooser = std::function<bool(QPrinter& printer, QWidget* parent)>;

// The system's print dialog, the whole report always printed (no page range).
bool choosePrinterWithDialog(QPrinter& printer, QWidget* parent);

class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    explicit PreviewWindow(const ReportDocument& document, QWidget* parent = nullptr,
                           PrinterChooser chooser = choosePrinterWithDialog);
    ~PreviewWindow() override;

    int pageCount() const;
    int currentPage() const;
    QAction* printAction() const { return m_print; }
    QPrintPreviewWidget* previewWidget() const { return m_preview; }

    // Tells why a file chosen in the print dialog must not be written (the store's own files),
    // or gives an empty text; nothing is printed to a refused file.
    void setOutputCheck(std::function<QString(const QString& path)> check) {
        m_outputCheck = std::move(check);
    }

public Q_SLOTS:
    // Asks for a printer and prints the whole report; jobCompleted follows a completed job.
    void printReport();

Q_SIGNALS:
    void jobCompleted();

private:
    void updatePageLabel();
    void addNothingToPrint(QVBoxLayout* layout);
    bool refusedOutput();

    const ReportDocument& m_document;
    PrinterChooser m_chooser;
    std::function<QString(const QString&)> m_outputCheck;
    QPrinter m_printer;
    QPrintPreviewWidget* m_preview = nullptr;
    QAction* m_print = nullptr;
    QLabel* m_pageLabel = nullptr;
};

} // namespace ov::ui
