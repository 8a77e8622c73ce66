#include "mainwindow.h"

#include "generatorsmenu.h"
#include "history/history.h"
#include "historywindow.h"
#include "mainscreen.h"
#include "messages.h"
#include "phoneserver.h"
#include "reportforms.h"
#include "tablecursor.h"
#include "tableimportdialog.h"
#include "tables/database.h"
#include "tables/databaselocation.h"
#include "tables/tablecheck.h"
#include "tables/tablefile.h"
#include "viewsettings.h"

#include <QActionGroup>
#include <QScreen>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSettings>

namespace ov::ui {

namespace {

constexpr int recentCount = 5;
const QString recentKey = QStringLiteral("bases/recentes");
const QString geometryKey = QStringLiteral("fenetres/principale");
const QString databaseFilter = QStringLiteral("Bases Orvanthe (*.db);;Tous les fichiers (*)");
const QString tableFileFilter = QStringLiteral("Tables CSV (*.csv);;Tous les fichiers (*)");
const QString importFilter =
    QStringLiteral("Tables (*.csv *.json *.txt *.md);;Tous les fichiers (*)");

// Whether the screen opened its store and every table, as start-up requires.
bool opened(const TovMainPerso& screen) {
    if (screen.database() == nullptr || !screen.tblMaster_()->isOpen() ||
        !screen.tblSlave_()->isOpen())
        return false;
    for (OutputKind kind : allOutputKinds)
        if (!screen.outputCursor(kind)->isOpen())
            return false;
    return true;
}

} // namespace

MainWindow::MainWindow(const QString& databasePath, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("ovMainWindow"));
    buildMenus();
    auto screen = std::make_unique<TovMainPerso>(databasePath);
    const bool ready = opened(*screen);
    // At start-up the screen stays even when its store failed: its message has been shown.
    install(std::move(screen));
    // The generators' items and their keys exist from the start, not only once the menu opened.
    m_generators->rebuild();
    if (ready)
        remember(m_screen->database()->path());
    restoreWindowGeometry(this, geometryKey);
    zoomMenus();
    // The menus first: the window's new height counts the menu bar's.
    connect(&ViewSettings::instance(), &ViewSettings::zoomChanged, this, &MainWindow::zoomMenus);
    connect(&ViewSettings::instance(), &ViewSettings::zoomChanged, this, &MainWindow::followZoom);
}

MainWindow::~MainWindow() {
    // The web server reads the screen's store: it stops first.
    if (m_phone)
        m_phone->stopServer();
    // The report forms read the screen's store: they go first.
    m_forms.reset();
}

void MainWindow::buildMenus() {
    const auto add = [this](QMenu* menu, const char* name, const QString& text, auto slot,
                            const QKeySequence& keys = {}) {
        QAction* action = menu->addAction(text, this, slot);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        return action;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Fichier"));
    add(file, "actOuvrirBase", QStringLiteral("&Ouvrir une base…"), &MainWindow::openDatabase,
        QKeySequence(Qt::CTRL | Qt::Key_O));
    add(file, "actOuvrirServeur", QStringLiteral("Ouvrir une base sur un &serveur…"),
        &MainWindow::openServerDatabase);
    add(file, "actNouvelleBase", QStringLiteral("&Nouvelle base…"), &MainWindow::newDatabase);
    m_recent = file->addMenu(QStringLiteral("Bases &récentes"));
    m_recent->setObjectName(QStringLiteral("mnuBasesRecentes"));
    connect(m_recent, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    file->addSeparator();
    add(file, "actExporterTables", QStringLiteral("&Exporter les tables…"),
        &MainWindow::exportTables);
    add(file, "actImporterParadox", QStringLiteral("Importer une base &Paradox…"),
        [this] { m_screen->importParadoxBase(); });
    file->addSeparator();
    add(file, "actTelephone", QStringLiteral("Jouer depuis un &téléphone…"),
        &MainWindow::playFromPhone);
    file->addSeparator();
    add(file, "actQuitter", QStringLiteral("&Quitter"), &QWidget::close,
        QKeySequence(Qt::CTRL | Qt::Key_Q));
    QMenu* tables = menuBar()->addMenu(QStringLiteral("Ta&bles"));
    add(tables, "actImporterTables", QStringLiteral("&Importer des tables…"),
        &MainWindow::importTables);
    add(tables, "actCollerTable", QStringLiteral("&Coller une table"), &MainWindow::pasteTable);
    add(tables, "actVerifierTables", QStringLiteral("&Vérifier les tables"),
        &MainWindow::checkTables);
    add(
        tables, "actTirerTable", QStringLiteral("&Tirer sur la table choisie"),
        [this] { m_screen->drawChosenTable(); }, QKeySequence(Qt::CTRL | Qt::Key_T));
    QMenu* history = menuBar()->addMenu(QStringLiteral("&Historique"));
    add(
        history, "actHistorique", QStringLiteral("Ouvrir l'&historique…"),
        [this] { openHistoryWindow(*m_screen); }, QKeySequence(Qt::CTRL | Qt::Key_H));
    add(history, "actDernierTexte", QStringLiteral("Afficher le &dernier texte"),
        [this] { showLastText(*m_screen); });
    // Also from the history window, which is a window of its own.
    add(history, "actMontrer", QStringLiteral("&Montrer aux joueurs…"), &MainWindow::showToPlayers,
        QKeySequence(Qt::CTRL | Qt::Key_M))
        ->setShortcutContext(Qt::ApplicationShortcut);
    m_generators = new GeneratorsMenu(
        menuBar()->addMenu(QStringLiteral("&Générateurs")), [this] { return m_screen; }, this);
    buildViewMenu();
    QMenu* help = menuBar()->addMenu(QStringLiteral("A&ide"));
    addTemplateHelpAction(help, this);
    add(help, "actAPropos", QStringLiteral("À &propos d'Orvanthe"), &MainWindow::about);
}

void MainWindow::buildViewMenu() {
    ViewSettings& view = ViewSettings::instance();
    QMenu* menu = menuBar()->addMenu(QStringLiteral("Affi&chage"));
    menu->setObjectName(QStringLiteral("mnuAffichage"));
    const auto add = [&](const char* name, const QString& text, auto slot,
                         const QList<QKeySequence>& keys) {
        QAction* action = menu->addAction(text, &view, slot);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        return action;
    };
    add("actAgrandir", QStringLiteral("&Agrandir"), &ViewSettings::zoomIn,
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    add("actReduire", QStringLiteral("&Réduire"), &ViewSettings::zoomOut,
        {QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    add("actTailleNormale", QStringLiteral("&Taille normale"), [&view] { view.setZoom(1.0); },
        {QKeySequence(Qt::CTRL | Qt::Key_0)});
    menu->addSeparator();
    QMenu* themes = menu->addMenu(QStringLiteral("T&hème"));
    themes->setObjectName(QStringLiteral("mnuTheme"));
    auto* group = new QActionGroup(themes);
    const std::pair<Theme, QString> choices[] = {{Theme::Systeme, QStringLiteral("&Système")},
                                                 {Theme::Clair, QStringLiteral("&Clair")},
                                                 {Theme::Sombre, QStringLiteral("S&ombre")}};
    for (const auto& [theme, text] : choices) {
        QAction* action = themes->addAction(text);
        action->setObjectName(QStringLiteral("actTheme_") + QString(text).remove(u'&'));
        action->setCheckable(true);
        action->setChecked(view.theme() == theme);
        group->addAction(action);
        connect(action, &QAction::triggered, &view,
                [&view, theme = theme] { view.setTheme(theme); });
    }
}

void MainWindow::zoomMenus() {
    const QFont font = zoomedFont(QApplication::font());
    menuBar()->setFont(font);
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        menu->setFont(font);
}

void MainWindow::followZoom() {
    if (m_screen == nullptr || isMaximized() || isFullScreen())
        return;
    // A window at its default size, or smaller than the new one, takes the new default size,
    // within the screen; a window made larger by the user keeps its size.
    const QSize before = m_screen->size();
    const QSize wanted = m_screen->defaultSize();
    if (before == m_defaultSize || before.width() < wanted.width() ||
        before.height() < wanted.height()) {
        QSize size(wanted.width(), wanted.height() + menuBar()->sizeHint().height());
        if (const QScreen* shown = QWidget::screen())
            size = size.boundedTo(shown->availableGeometry().size());
        resize(size);
    }
    m_defaultSize = wanted;
}

bool MainWindow::install(std::unique_ptr<TovMainPerso> screen) {
    // The web server served the old store: it stops before the store closes.
    if (m_phone)
        m_phone->stopServer();
    std::unique_ptr<ReportForms> forms;
    if (Database* database = screen->database())
        guarded([&] { forms = std::make_unique<ReportForms>(*database); });
    // The old forms go before the old screen, whose store they read.
    m_forms.reset();
    if (m_screen != nullptr) {
        m_screen->close();
        delete m_screen;
    }
    m_screen = screen.release();
    m_forms = std::move(forms);
    if (m_forms)
        m_screen->setReportForms(m_forms.get());
    setCentralWidget(m_screen);
    m_screen->show();
    // The form keeps its design size; the menu bar stands above it.
    m_defaultSize = m_screen->defaultSize();
    // At start-up the window takes the form's default size; another base keeps the window's size.
    if (!m_installedOnce)
        resize(m_screen->width(), m_screen->height() + menuBar()->sizeHint().height());
    m_installedOnce = true;
    QString title = m_screen->windowTitle();
    if (m_screen->database() != nullptr)
        title += QStringLiteral(" - ") + QDir::toNativeSeparators(m_screen->database()->path());
    setWindowTitle(title);
    return true;
}

// A file's absolute path, or a server address as it is.
static QString locationOf(const QString& path) {
    return DatabaseLocation::looksLikeServer(path) ? path : QFileInfo(path).absoluteFilePath();
}

bool MainWindow::switchTo(const QString& path) {
    if (m_screen != nullptr)
        m_screen->postPendingChanges();
    auto screen = std::make_unique<TovMainPerso>(locationOf(path));
    if (!opened(*screen))
        return false; // its message has been shown; the window stays on its database
    // The editor edits the old store: it goes first, unless the user keeps its changes.
    if (!m_generators->closeEditor())
        return false;
    install(std::move(screen));
    m_generators->rebuild();
    remember(m_screen->database()->path());
    guarded([&] { setAliasTarget(m_screen->database()->path()); });
    return true;
}

QStringList MainWindow::recentDatabases() const {
    return QSettings().value(recentKey).toStringList();
}

void MainWindow::remember(const QString& path) {
    QStringList recent = recentDatabases();
    const QString absolute = locationOf(path);
    recent.removeAll(absolute);
    recent.prepend(absolute);
    QSettings().setValue(recentKey, recent.mid(0, recentCount));
}

void MainWindow::fillRecentMenu() {
    m_recent->clear();
    const QStringList recent = recentDatabases();
    if (recent.isEmpty())
        m_recent->addAction(QStringLiteral("(aucune)"))->setEnabled(false);
    for (const QString& path : recent)
        m_recent->addAction(QDir::toNativeSeparators(path), this,
                            [this, path] { openExisting(path); });
}

void MainWindow::playFromPhone() {
    if (!m_phone)
        m_phone = new PhoneServerDialog(this);
    m_phone->openOn(*m_screen);
}

void MainWindow::showToPlayers() {
    guarded([this] {
        if (!m_phone || !m_phone->isServing() || !m_screen->database()) {
            showMessage(QStringLiteral("Le serveur n'est pas démarré : ouvrez d'abord « Fichier › "
                                       "Jouer depuis un téléphone… »."));
            return;
        }
        auto* history = m_screen->findChild<HistoryWindow*>(QString(), Qt::FindDirectChildrenOnly);
        if (history && history->isVisible() && history->isActiveWindow()) {
            const QVector<HistoryEntry> selected = history->selectedEntries();
            if (selected.isEmpty()) {
                showMessage(QStringLiteral("Choisissez d'abord un texte dans l'historique."));
                return;
            }
            const History records(*m_screen->database());
            if (const auto entry = records.entry(selected.first().key))
                m_phone->showToPlayers(records.kindLabel(entry->key.kind), textLines(entry->text));
            return;
        }
        const auto* memo = m_screen->findChild<QPlainTextEdit*>(QStringLiteral("memPerso"));
        QStringList lines = memo ? memo->toPlainText().split(QLatin1Char('\n')) : QStringList();
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
            lines.removeLast();
        m_phone->showToPlayers(QString(), lines);
    });
}

void MainWindow::openDatabase() {
    const QString path =
        chooseFile(FileChoice::Open, QStringLiteral("Ouvrir une base"), databaseFilter);
    if (!path.isEmpty())
        openExisting(path);
}

bool MainWindow::openExisting(const QString& path) {
    // A file that does not exist is not created here: a typing error, or a base moved since it
    // was recent, would make a new one. A base on a server is made by its administrator.
    if (!DatabaseLocation::looksLikeServer(path) && !QFileInfo::exists(path)) {
        showMessage(
            QStringLiteral("La base %1 n'existe pas (« Nouvelle base… » la crée).").arg(path));
        return false;
    }
    return switchTo(path);
}

void MainWindow::openServerDatabase() {
    const QString current =
        m_screen && m_screen->database() ? m_screen->database()->path() : QString();
    const QString address =
        askServerBase(QStringLiteral("Ouvrir une base sur un serveur"), current);
    if (!address.isEmpty())
        openExisting(address);
}

void MainWindow::newDatabase() {
    QString path = chooseFile(FileChoice::Save, QStringLiteral("Nouvelle base"), databaseFilter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".db");
    if (QFileInfo::exists(path)) {
        showMessage(QStringLiteral("Le fichier %1 existe déjà : rien n'a été écrit.").arg(path));
        return;
    }
    switchTo(path);
}

void MainWindow::importTables() {
    if (m_screen->database() == nullptr)
        return;
    const QString path =
        chooseFile(FileChoice::Open, QStringLiteral("Importer des tables"), importFilter);
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showMessage(
            QStringLiteral("Impossible de lire le fichier %1 : %2").arg(path, file.errorString()));
        return;
    }
    showImportPreview(file.readAll(), QFileInfo(path).fileName(),
                      QFileInfo(path).completeBaseName());
}

void MainWindow::pasteTable() {
    if (m_screen->database() == nullptr)
        return;
    const QString text = QGuiApplication::clipboard()->text();
    if (text.trimmed().isEmpty()) {
        showMessage(QStringLiteral("Le presse-papiers ne contient pas de texte."));
        return;
    }
    showImportPreview(text.toUtf8(), QStringLiteral("presse-papiers"),
                      QStringLiteral("Table collée"));
}

void MainWindow::showImportPreview(const QByteArray& bytes, const QString& where,
                                   const QString& untitled) {
    m_screen->postPendingChanges();
    auto* dialog = new TableImportDialog(*m_screen->database(), bytes, where, untitled, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &TableImportDialog::imported, this, [this](const QString& summary) {
        m_screen->reloadTables();
        showMessage(summary);
    });
    dialog->open();
}

void MainWindow::exportTables() {
    Database* database = m_screen->database();
    if (database == nullptr)
        return;
    const QString path =
        chooseFile(FileChoice::Save, QStringLiteral("Exporter les tables"), tableFileFilter);
    if (path.isEmpty())
        return;
    m_screen->postPendingChanges();
    guarded([&] { showMessage(exportSummaryText(ov::exportTables(*database, path), path)); });
}

void MainWindow::checkTables() {
    if (Database* database = m_screen->database())
        guarded([&] { showMessage(checkReportText(ov::checkTables(*database))); });
}

void MainWindow::about() {
    showMessage(QStringLiteral("Orvanthe " OV_VERSION "\n\n"
                               "Tables aléatoires pondérées et générateurs de personnages, "
                               "trésors, rencontres et villages pour le meneur de jeu du jeu de "
                               "rôle Orvanthe.\n\nLicence : GPL-3.0 ou ultérieure."));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_generators->closeEditor()) {
        event->ignore();
        return;
    }
    rememberWindowGeometry(this, geometryKey);
    // The screen posts a pending change and closes its tables, as when it is a window itself.
    if (m_screen != nullptr)
        m_screen->close();
    QMainWindow::closeEvent(event);
}

} // namespace ov::ui
