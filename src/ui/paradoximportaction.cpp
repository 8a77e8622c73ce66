#include "paradoximportaction.h"

#include "import/paradoximport.h"
#include "messages.h"
#include "tables/errors.h"

#include <QApplication>
#include <QFileDialog>

namespace ov::ui {

namespace {

std::function<QString(QWidget*)>& folderChooser() {
    static std::function<QString(QWidget*)> chooser;
    return chooser;
}

// The wait cursor while the files are read and written.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

QString chooseParadoxFolder(QWidget* parent) {
    if (folderChooser())
        return folderChooser()(parent);
    return QFileDialog::getExistingDirectory(
        parent, QStringLiteral("Importer une base Paradox : dossier des tables OV"));
}

void setParadoxFolderChooser(std::function<QString(QWidget*)> chooser) {
    folderChooser() = std::move(chooser);
}

bool importParadoxFolder(const Database& database, const QString& folder) {
    ImportMode mode = ImportMode::AddOnly;
    for (;;) {
        try {
            std::optional<ParadoxImportReport> report;
            {
                WaitCursor wait;
                report = ov::importParadoxFolder(database, folder, mode, false);
            }
            showMessage(report->text());
            return true;
        } catch (const TableConflictError& conflict) {
            if (mode == ImportMode::Replace) {
                showMessage(conflict.message() + QStringLiteral("\nRien n'a été importé."));
                return false;
            }
            if (!askConfirmation(conflict.message() +
                                 QStringLiteral("\n\nRemplacer ces tables et ces enregistrements "
                                                "par ceux du dossier Paradox ?")))
                return false;
            mode = ImportMode::Replace;
        } catch (const Error& error) {
            showMessage(error.message() + QStringLiteral("\nRien n'a été importé."));
            return false;
        }
    }
}

} // namespace ov::ui
