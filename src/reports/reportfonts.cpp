#include "reportfonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QStandardPaths>

namespace ov {

void ensureReportFonts() {
    static bool searched = false;
    if (searched || qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return;
    searched = true;
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive))
        return;
    // The shared data folders (XDG_DATA_DIRS) hold wine/fonts when those fonts are installed.
    const QStringList folders =
        QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("wine/fonts"),
                                  QStandardPaths::LocateDirectory);
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QStringList files =
            dir.entryList({QStringLiteral("tahoma*.ttf")}, QDir::Files, QDir::Name);
        for (const QString& file : files)
            QFontDatabase::addApplicationFont(dir.filePath(file));
        if (!files.isEmpty())
            return;
    }
}

} // namespace ov
