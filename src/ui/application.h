#pragma once
// What the window program sets up before its first window: French dialogs and the named fonts.

class QApplication;
class QIcon;

namespace ov::ui {

// Qt's own dialogs in French, when the translation files are installed.
bool installFrenchTranslation(QApplication& application);

// Makes "Tahoma" available from the look-alike fonts shipped for Windows programs, and shows
// "MS Sans Serif" in it. Returns false when those fonts are not installed.
bool installFonts();

// The program's icon in every size it ships.
QIcon programIcon();

} // namespace ov::ui
