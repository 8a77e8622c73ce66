#include "tables/database.h"
#include "ui/application.h"
#include "ui/mainscreen.h"
#include "ui/messages.h"
#include "ui/reportforms.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvanthe"));
    QApplication::setApplicationName(QStringLiteral("orvanthe"));
    QApplication::setApplicationDisplayName(QStringLiteral("ov Generic Tables - Item Generation"));
    ov::ui::answerMessagesFromEnvironment();
    ov::ui::installFrenchTranslation(app);
    ov::ui::installFonts();

    // The main screen first, then the report forms, which stay hidden. The forms go before the
    // screen, whose store they read.
    ov::ui::TovMainPerso screen;
    std::unique_ptr<ov::ui::ReportForms> forms;
    if (ov::Database* database = screen.database()) {
        ov::ui::guarded([&] {
            forms = std::make_unique<ov::ui::ReportForms>(*database);
            screen.setReportForms(forms.get());
        });
    }
    screen.show();
    return app.exec();
}
