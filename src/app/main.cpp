#include "tables/database.h"
#include "ui/application.h"
#include "ui/mainscreen.h"
#include "ui/messages.h"
#include "ui/reportforms.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvanthe"));
    QApplication::setApplicationName(QStringLiteral("orvanthe"));
    QApplication::setApplicationDisplayName(QStringLiteral("ov Generic Tables - Item Generation"));
    ov::ui::installFrenchTranslation(app);
    ov::ui::installFonts();

    // The main screen first, then the report forms, which stay hidden.
    ov::ui::TovMainPerso screen;
    if (ov::Database* database = screen.database()) {
        ov::ui::guarded(
            [&] { screen.setReportForms(new ov::ui::ReportForms(*database, &screen)); });
    }
    screen.show();
    return app.exec();
}
