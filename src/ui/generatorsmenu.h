#pragma once
// The menu « Générateurs »: one item per personal generator, their print runs, and the editor;
// and the help item « Le langage des modèles ».

#include <QObject>
#include <QPointer>

class QAction;
class QMenu;
class QWidget;

namespace ov::ui {

class GeneratorEditor;
class TovMainPerso;

class GeneratorsMenu : public QObject {
    Q_OBJECT
public:
    // Fills the menu and keeps it filled as generators change. The generator items are also
    // actions of the screen, so that Ctrl+1 to Ctrl+9 work wherever the menu hangs.
    GeneratorsMenu(TovMainPerso& screen, QMenu* menu);

    QMenu* menu() const { return m_menu; }
    // The editor window, once opened.
    GeneratorEditor* editor() const { return m_editor; }

public Q_SLOTS:
    void rebuild();
    // « Gérer les générateurs… »: the editor window, opened or brought to the front.
    void openEditor();

private:
    TovMainPerso& m_screen;
    QMenu* m_menu;
    QMenu* m_printMenu = nullptr;
    QAction* m_manage = nullptr;
    QPointer<GeneratorEditor> m_editor;
};

// Adds « Le langage des modèles » to a help menu; the page opens over parent.
QAction* addTemplateHelpAction(QMenu* menu, QWidget* parent);

} // namespace ov::ui
