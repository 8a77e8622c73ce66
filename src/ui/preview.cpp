#include "preview.h"

namespace ov::ui {

void WindowPreviewPresenter::present(const ReportDocument& document, QWidget* parent,
                                     const std::function<void()>& jobCompleted) {
    PreviewWindow window(document, parent, m_chooser);
    window.setOutputCheck(m_outputCheck);
    QObject::connect(&window, &PreviewWindow::jobCompleted, &window,
                     [&jobCompleted] { jobCompleted(); });
    window.exec();
}

} // namespace ov::ui
