#pragma once
// The help page « Le langage des modèles », in the program: every construct with an example.

#include <QString>

class QWidget;

namespace ov::ui {

// Shows the help window (one for the program, brought to the front when already open).
void showTemplateHelp(QWidget* parent);

// The page's HTML, from the program's resources.
QString templateHelpHtml();

} // namespace ov::ui
