#include "previewwindow.h"

#include "messages.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <QToolBar>
#include <QVBoxLayout>

namespace ov::ui {

bool choosePrinterWithDialog(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    return dialog.exec() == QDialog::Accepted;
}

PreviewWindow::PreviewWindow(const ReportDocument& document, QWidget* parent,
                             PrinterChooser chooser)
    : QDialog(parent), m_document(document), m_chooser(std::move(chooser)),
      m_printer(QPrinter::HighResolution) {
    const ReportDefinition& definition = document.definition();
    setObjectName(QStringLiteral("previewWindow"));
    setWindowTitle(definition.windowCaption);
    setModal(true);
    m_printer.setPageLayout(definition.pageLayout());
    if (!definition.title.isEmpty())
        m_printer.setDocName(definition.title);

    m_preview = new QPrintPreviewWidget(&m_printer, this);
    m_preview->setObjectName(QStringLiteral("preview"));
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter* printer) { m_document.print(*printer); });
    connect(m_preview, &QPrintPreviewWidget::previewChanged, this, &PreviewWindow::updatePageLabel);

    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("previewToolBar"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const auto addAction = [&](const QString& name, const QString& text,
                               const QKeySequence& shortcut, auto slot) {
        QAction* action = toolbar->addAction(text);
        action->setObjectName(name);
        if (!shortcut.isEmpty())
            action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, slot);
        connect(action, &QAction::triggered, this, &PreviewWindow::updatePageLabel);
        return action;
    };
    m_print = addAction(QStringLiteral("print"), QStringLiteral("Imprimer..."), QKeySequence::Print,
                        [this] { printReport(); });
    addAction(QStringLiteral("close"), QStringLiteral("Fermer"), QKeySequence(),
              [this] { reject(); });
    toolbar->addSeparator();
    addAction(QStringLiteral("firstPage"), QStringLiteral("Début"), QKeySequence(Qt::Key_Home),
              [this] { m_preview->setCurrentPage(1); });
    addAction(QStringLiteral("previousPage"), QStringLiteral("Précédente"),
              QKeySequence(Qt::Key_PageUp),
              [this] { m_preview->setCurrentPage(m_preview->currentPage() - 1); });
    addAction(QStringLiteral("nextPage"), QStringLiteral("Suivante"),
              QKeySequence(Qt::Key_PageDown),
              [this] { m_preview->setCurrentPage(m_preview->currentPage() + 1); });
    addAction(QStringLiteral("lastPage"), QStringLiteral("Fin"), QKeySequence(Qt::Key_End),
              [this] { m_preview->setCurrentPage(m_preview->pageCount()); });
    toolbar->addSeparator();
    addAction(QStringLiteral("zoomIn"), QStringLiteral("Zoom +"), QKeySequence::ZoomIn,
              [this] { m_preview->zoomIn(); });
    addAction(QStringLiteral("zoomOut"), QStringLiteral("Zoom -"), QKeySequence::ZoomOut,
              [this] { m_preview->zoomOut(); });
    addAction(QStringLiteral("fitWidth"), QStringLiteral("Largeur"), QKeySequence(),
              [this] { m_preview->fitToWidth(); });
    addAction(QStringLiteral("fitPage"), QStringLiteral("Page entière"), QKeySequence(),
              [this] { m_preview->fitInView(); });
    toolbar->addSeparator();
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("pageLabel"));
    toolbar->addWidget(m_pageLabel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(m_preview, 1);
    addNothingToPrint(layout);

    m_print->setEnabled(!document.isEmpty());
    m_preview->updatePreview();
    updatePageLabel();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        resize(std::min(area.width(), area.height() * 3 / 4), area.height() * 9 / 10);
    }
}

PreviewWindow::~PreviewWindow() = default;

bool PreviewWindow::refusedOutput() {
    const QString file = m_printer.outputFileName();
    if (file.isEmpty() || !m_outputCheck)
        return false;
    const QString refusal = m_outputCheck(file);
    if (refusal.isEmpty())
        return false;
    m_printer.setOutputFileName(QString());
    showMessage(refusal);
    return true;
}

void PreviewWindow::addNothingToPrint(QVBoxLayout* layout) {
    // With nothing to print the preview would be a grey area: the words stand where the page
    // would be, whatever the width of the toolbar.
    if (!m_document.isEmpty())
        return;
    auto* nothing = new QLabel(QStringLiteral("Rien à imprimer."), this);
    nothing->setObjectName(QStringLiteral("nothingToPrint"));
    nothing->setAlignment(Qt::AlignCenter);
    QFont font = nothing->font();
    font.setPointSizeF(font.pointSizeF() * 2);
    nothing->setFont(font);
    m_preview->hide();
    layout->addWidget(nothing, 1);
}

int PreviewWindow::pageCount() const {
    return m_preview->pageCount();
}

int PreviewWindow::currentPage() const {
    return m_preview->currentPage();
}

void PreviewWindow::updatePageLabel() {
    if (m_document.isEmpty())
        m_pageLabel->setText(QStringLiteral("Rien à imprimer."));
    else
        m_pageLabel->setText(QStringLiteral("Page %1 sur %2")
                                 .arg(m_preview->currentPage())
                                 .arg(m_preview->pageCount()));
}

void PreviewWindow::printReport() {
    if (m_document.isEmpty())
        return;
    m_printer.setPrintRange(QPrinter::AllPages);
    if (!m_chooser(m_printer, this))
        return;
    if (refusedOutput())
        return;
    const int pages = m_document.print(m_printer);
    const QPrinter::PrinterState state = m_printer.printerState();
    if (pages == 0 || state == QPrinter::Error || state == QPrinter::Aborted) {
        showMessage(QStringLiteral(
            "L'impression n'a pas abouti : aucune date d'impression n'a été enregistrée."));
        return;
    }
    Q_EMIT jobCompleted();
}

} // namespace ov::ui
