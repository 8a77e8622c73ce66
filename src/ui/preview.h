#pragma once
// How a print run shows its report: the modal preview window, or what a test puts in its place.

#include "previewwindow.h"

#include <functional>

namespace ov {
class ReportDocument;
}

namespace ov::ui {

class PreviewPresenter {
public:
    virtual ~PreviewPresenter() = default;
    // Shows the report until the user closes it. After each completed print job, jobCompleted is
    // called once, before this returns.
    virtual void present(const ReportDocument& document, QWidget* parent,
                         const std::function<void()>& jobCompleted) = 0;

    // Why a file chosen for printing must not be written, or an empty text.
    void setOutputCheck(std::function<QString(const QString& path)> check) {
        m_outputCheck = std::move(check);
    }

protected:
    std::function<QString(const QString&)> m_outputCheck;
};

// The preview window, shown modally.
class WindowPreviewPresenter : public PreviewPresenter {
public:
    explicit WindowPreviewPresenter(PrinterChooser chooser = choosePrinterWithDialog)
        : m_chooser(std::move(chooser)) {}
    void present(const ReportDocument& document, QWidget* parent,
                 const std::function<void()>& jobCompleted) override;

private:
    PrinterChooser m_chooser;
};

} // namespace ov::ui
