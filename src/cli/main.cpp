#include "command.h"

#include <QGuiApplication>
#include <QLocale>
#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // Reports are painted with fonts, which needs a GUI application; without a display the tool
    // still runs, on the platform that paints off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanthe"));
    QCoreApplication::setApplicationName(QStringLiteral("orvanthe"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    ov::cli::Streams io{out, err, isatty(fileno(stderr)) != 0};
    return ov::cli::runTool(app.arguments().mid(1), io);
}
