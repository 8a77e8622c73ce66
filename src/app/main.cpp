#include "ui/application.h"
#include "ui/mainwindow.h"
#include "ui/messages.h"
#include "ui/viewsettings.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

// --version and --help answer before any window, so that they work without a display.
bool answersAlone(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("orvanthe " OV_VERSION);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::puts(
                "Usage : orvanthe [--version] [--help]\n\n"
                "Ouvre l'écran principal d'Orvanthe sur la base désignée par l'alias OV\n"
                "(alias.ini), ou sur la base par défaut. Le menu « Fichier » ouvre une autre\n"
                "base. L'outil orvanthe-cli fait le même travail sans fenêtre.\n\n"
                "Options :\n"
                "  --version   affiche la version\n"
                "  -h, --help  affiche cette aide");
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (answersAlone(argc, argv))
        return 0;
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvanthe"));
    QApplication::setApplicationName(QStringLiteral("orvanthe"));
    QApplication::setApplicationVersion(QStringLiteral(OV_VERSION));
    QApplication::setApplicationDisplayName(QStringLiteral("ov Generic Tables - Item Generation"));
    ov::ui::answerMessagesFromEnvironment();
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvanthe.Orvanthe"));
    QApplication::setWindowIcon(ov::ui::programIcon());
    ov::ui::installFrenchTranslation(app);
    ov::ui::installFonts();
    // The zoom and the theme remembered for this user.
    ov::ui::ViewSettings::instance().load();

    // The main screen under its menu bar; the window makes the report forms, which stay hidden.
    ov::ui::MainWindow window;
    window.show();
    return app.exec();
}
