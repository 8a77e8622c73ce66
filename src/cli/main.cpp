#include "command.h"

#include <QGuiApplication>
#include <QLocale>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // Reports are painted with fonts, which needs a GUI application; the other verbs keep the
    // plain one. The tool shows no window: unless told otherwise it paints off screen, so that it
    // runs without a display, or with one that cannot be reached.
    bool paints = argc > 1 && std::strcmp(argv[1], "print") == 0;
    // history export ... --format pdf reprints through the same reports.
    for (int i = 2; argc > 1 && std::strcmp(argv[1], "history") == 0 && i < argc; ++i)
        paints = paints || std::strcmp(argv[i], "pdf") == 0;
    std::unique_ptr<QCoreApplication> app;
    if (paints) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanthe"));
    QCoreApplication::setApplicationName(QStringLiteral("orvanthe"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    ov::cli::Streams io{out, err, isatty(fileno(stderr)) != 0};
    return ov::cli::runTool(QCoreApplication::arguments().mid(1), io);
}
