#include "ui/mainscreen.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvanthe"));
    QApplication::setApplicationName(QStringLiteral("orvanthe"));
    QApplication::setApplicationDisplayName(QStringLiteral("ov Generic Tables - Item Generation"));
    ov::ui::TovMainPerso screen;
    screen.show();
    return app.exec();
}
