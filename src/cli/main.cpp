#include "command.h"

#include <QCoreApplication>
#include <QLocale>
#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Orvanthe"));
    QCoreApplication::setApplicationName(QStringLiteral("orvanthe"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    ov::cli::Streams io{out, err, isatty(fileno(stderr)) != 0};
    return ov::cli::runTool(app.arguments().mid(1), io);
}
