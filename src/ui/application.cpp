#include "application.h"

#include "reports/reportfonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ov::ui {

bool installFrenchTranslation(QApplication& application) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QApplication::installTranslator(translator);
}

bool installFonts() {
    ensureReportFonts();
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma"));
    return QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive);
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/org.orvanthe.Orvanthe-%1.png").arg(size),
                     QSize(size, size));
    return icon;
}

} // namespace ov::ui
