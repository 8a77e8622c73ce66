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
