#include "application.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
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
    // fontconfig does not search this folder, so its faces are added one by one.
    const QDir folder(QStringLiteral("/usr/share/wine/fonts"));
    bool tahoma = false;
    const QStringList files = folder.entryList(
        {QStringLiteral("tahoma*.ttf"), QStringLiteral("Tahoma*.ttf")}, QDir::Files);
    for (const QString& file : files)
        if (QFontDatabase::addApplicationFont(folder.filePath(file)) >= 0)
            tahoma = true;
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma"));
    return tahoma;
}

} // namespace ov::ui
