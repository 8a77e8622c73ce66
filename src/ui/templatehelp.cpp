#include "templatehelp.h"

#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace ov::ui {

QString templateHelpHtml() {
    QFile file(QStringLiteral(":/aide/modeles.html"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void showTemplateHelp(QWidget* parent) {
    static QPointer<QDialog> window;
    if (!window) {
        window = new QDialog(parent, Qt::Window);
        window->setObjectName(QStringLiteral("frmAideModeles"));
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(QStringLiteral("Le langage des modèles"));
        auto* browser = new QTextBrowser(window);
        browser->setObjectName(QStringLiteral("txtAide"));
        browser->setOpenExternalLinks(false);
        browser->setHtml(templateHelpHtml());
        auto* close = new QPushButton(QStringLiteral("&Fermer"), window);
        QObject::connect(close, &QPushButton::clicked, window.data(), &QDialog::close);
        auto* layout = new QVBoxLayout(window);
        layout->addWidget(browser);
        layout->addWidget(close, 0, Qt::AlignRight);
        window->resize(720, 640);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace ov::ui
