#pragma once
// The menu « Générateurs »: one item per personal generator, their print runs, and the editor;
// and the help item « Le langage des modèles ».

#include "generatoreditor.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace ov::ui {

class TovMainPerso;

class GeneratorsMenu : public QObject {
    Q_OBJECT
public:
    // Fills the menu and keeps it filled as generators change; screen gives the main screen of
    // the moment (null when there is none). A menu that hangs in no menu bar gives its items'
    // keys (Ctrl+1 to Ctrl+9, Ctrl+Maj+G) to shortcutHost.
    GeneratorsMenu(QMenu* menu, std::function<TovMainPerso*()> screen,
                   QWidget* shortcutHost = nullptr);

    QMenu* menu() const { return m_menu; }
    // The editor window, once opened.
    GeneratorEditor* editor() const { return m_editor; }

public Q_SLOTS:
    void rebuild();
    // « Gérer les générateurs… »: the editor window, opened or brought to the front.
    void openEditor();
    // Closes the editor, after the question on unsaved changes; false when the user stays. Call
    // it before the screen goes (another database, the end of the program).
    bool closeEditor();

private:
    // « Partager avec ses tables… »: the generator and its tables written to a bundle file.
    void shareWithTables(const QString& id);

    QMenu* m_menu;
    std::function<TovMainPerso*()> m_screen;
    QPointer<QWidget> m_shortcutHost;
    QMenu* m_printMenu = nullptr;
    QMenu* m_shareMenu = nullptr;
    QAction* m_manage = nullptr;
    QAction* m_draftMode = nullptr; // « Mode brouillon », remembered in the user's settings
    QPointer<GeneratorEditor> m_editor;
};

// Adds « Le langage des modèles » to a help menu; the page opens over parent.
QAction* addTemplateHelpAction(QMenu* menu, QWidget* parent);

} // namespace ov::ui
