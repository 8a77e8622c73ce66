#pragma once
// The program's window: the main screen under a menu bar, the database it works on, and the
// menu actions on that database (open, new, recent, import, export, check, draw, history,
// personal generators, help).

#include <QMainWindow>
#include <memory>

class QMenu;

namespace ov::ui {

class GeneratorsMenu;
class PhoneServerDialog;
class ReportForms;
class TovMainPerso;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Opens the screen on the database file (empty: the alias "OV"), as at start-up.
    explicit MainWindow(const QString& databasePath = QString(), QWidget* parent = nullptr);
    ~MainWindow() override;

    TovMainPerso* screen() const { return m_screen; }
    ReportForms* reportForms() const { return m_forms.get(); }

    // Switches the window to the database file with the checks of start-up. When the file cannot
    // be opened, its message is shown and the window stays on its database. Returns true when
    // switched; the file is then the alias "OV" and the first of the recent databases.
    bool switchTo(const QString& path);

    // Switches to a database file that exists; a missing one is refused with a message.
    bool openExisting(const QString& path);

    // The last databases opened, the newest first, at most five.
    QStringList recentDatabases() const;

    GeneratorsMenu* generatorsMenu() const { return m_generators; }
    // The web server's dialog, once « Jouer depuis un téléphone… » has opened it.
    PhoneServerDialog* phoneServer() const { return m_phone; }

public Q_SLOTS:
    void openDatabase();
    void openServerDatabase();
    void newDatabase();
    // « Tables › Importer des tables… » and « Coller une table »: the text read in any table
    // format, shown before it is written.
    void importTables();
    void pasteTable();
    void exportTables();
    void checkTables();
    void about();
    void playFromPhone();
    // « Montrer aux joueurs »: the history's selected record when the history is the active
    // window, else the memo's text.
    void showToPlayers();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildViewMenu();
    // After a change of zoom: the window takes the new default size unless it was made larger.
    void followZoom();
    // The menu bar and its menus in the zoom's size (menus are windows: fonts do not reach them).
    void zoomMenus();
    bool install(std::unique_ptr<TovMainPerso> screen);
    void remember(const QString& path);
    void fillRecentMenu();
    void showImportPreview(const QByteArray& bytes, const QString& where, const QString& untitled);

    TovMainPerso* m_screen = nullptr;
    std::unique_ptr<ReportForms> m_forms;
    QMenu* m_recent = nullptr;
    GeneratorsMenu* m_generators = nullptr;
    QSize m_defaultSize;
    bool m_installedOnce = false;
    PhoneServerDialog* m_phone = nullptr;
};

} // namespace ov::ui
