#pragma once
// « Fichier › Importer une base Paradox… »: the folder asked for, the import, its report shown.

#include <QString>
#include <functional>

class QWidget;

namespace ov {
class Database;
}

namespace ov::ui {

// Asks for the folder of the Paradox tables; an empty text when the user cancels.
QString chooseParadoxFolder(QWidget* parent);

// Tests choose the folder instead of the dialog; an empty function restores the dialog.
void setParadoxFolderChooser(std::function<QString(QWidget*)> chooser);

// Imports the folder into the database. Tables or records that the base already has are replaced
// only once the user agrees. The report, or the reason nothing was written, goes through the
// messages seam. Returns true when the database changed.
bool importParadoxFolder(const Database& database, const QString& folder);

} // namespace ov::ui
