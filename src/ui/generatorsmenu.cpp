#include "generatorsmenu.h"

#include "draftmode.h"
#include "generatoreditor.h"
#include "import/generatorbundle.h"
#include "mainscreen.h"
#include "messages.h"
#include "tables/database.h"
#include "templatehelp.h"
#include "templates/personalgenerator.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

namespace ov::ui {

namespace {

QString menuText(const QString& nom) {
    QString text = nom;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

GeneratorsMenu::GeneratorsMenu(QMenu* menu, std::function<TovMainPerso*()> screen,
                               QWidget* shortcutHost)
    : QObject(menu), m_menu(menu), m_screen(std::move(screen)), m_shortcutHost(shortcutHost) {
    if (m_menu->title().isEmpty())
        m_menu->setTitle(QStringLiteral("&Générateurs"));
    m_menu->setObjectName(QStringLiteral("mnuGenerateurs"));
    connect(m_menu, &QMenu::aboutToShow, this, &GeneratorsMenu::rebuild);
    rebuild();
}

void GeneratorsMenu::rebuild() {
    QList<PersonalGenerator> generators;
    TovMainPerso* screen = m_screen();
    if (Database* database = screen ? screen->database() : nullptr)
        guarded([&] { generators = GeneratorStore(*database).list(); });
    // French order whatever the user's locale: « Étal » between « Butin » and « Météo ».
    QCollator collator(QLocale(QLocale::French, QLocale::France));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(generators.begin(), generators.end(),
                     [&](const PersonalGenerator& a, const PersonalGenerator& b) {
                         return collator.compare(a.nom, b.nom) < 0;
                     });

    // The actions go with the menu's items, and so leave the screen too.
    for (QAction* action : m_menu->actions()) {
        if (action == m_manage || action == m_draftMode)
            continue;
        // Its key goes at once, so that the new item that takes it is not ambiguous.
        if (m_shortcutHost)
            m_shortcutHost->removeAction(action);
        action->setShortcut(QKeySequence());
        action->deleteLater();
    }
    // The submenu of print runs is the menu's child, which clearing the menu would leave.
    if (m_printMenu)
        m_printMenu->deleteLater();
    if (m_shareMenu)
        m_shareMenu->deleteLater();
    m_menu->clear();
    // Pinned numbers are kept; the others take the free numbers in the menu's order.
    const QList<int> numbers = shortcutNumbers(generators);
    for (int i = 0; i < generators.size(); ++i) {
        const PersonalGenerator& generator = generators.at(i);
        auto* action = new QAction(menuText(generator.nom), m_menu);
        action->setObjectName(QStringLiteral("actGenerateur_") + generator.id);
        if (numbers.at(i) > 0)
            action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + numbers.at(i))));
        const QString id = generator.id;
        connect(action, &QAction::triggered, this, [this, id] {
            if (TovMainPerso* screen = m_screen())
                screen->runPersonalGenerator(id);
        });
        m_menu->addAction(action);
        if (m_shortcutHost)
            m_shortcutHost->addAction(action);
    }
    if (!generators.isEmpty())
        m_menu->addSeparator();

    m_printMenu = m_menu->addMenu(QStringLiteral("&Imprimer les résultats de…"));
    m_printMenu->setObjectName(QStringLiteral("mnuImprimerResultats"));
    m_printMenu->setFont(m_menu->font()); // a window: the zoom's size does not reach it by itself
    for (const PersonalGenerator& generator : generators) {
        QAction* action = m_printMenu->addAction(menuText(generator.nom));
        action->setObjectName(QStringLiteral("actImprimer_") + generator.id);
        const QString id = generator.id;
        connect(action, &QAction::triggered, this, [this, id] {
            if (TovMainPerso* screen = m_screen())
                screen->printPersonalResults(id);
        });
    }
    m_printMenu->setEnabled(!generators.isEmpty());

    m_shareMenu = m_menu->addMenu(QStringLiteral("&Partager avec ses tables…"));
    m_shareMenu->setObjectName(QStringLiteral("mnuPartager"));
    m_shareMenu->setFont(m_menu->font());
    for (const PersonalGenerator& generator : generators) {
        QAction* action = m_shareMenu->addAction(menuText(generator.nom));
        action->setObjectName(QStringLiteral("actPartager_") + generator.id);
        const QString id = generator.id;
        connect(action, &QAction::triggered, this, [this, id] { shareWithTables(id); });
    }
    m_shareMenu->setEnabled(!generators.isEmpty());

    if (!m_manage) {
        m_manage = new QAction(QStringLiteral("G&érer les générateurs…"), this);
        m_manage->setObjectName(QStringLiteral("actGererGenerateurs"));
        m_manage->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
        connect(m_manage, &QAction::triggered, this, &GeneratorsMenu::openEditor);
        if (m_shortcutHost)
            m_shortcutHost->addAction(m_manage);
    }
    m_menu->addAction(m_manage);

    if (!m_draftMode) {
        m_draftMode = new QAction(QStringLiteral("Mode &brouillon"), this);
        m_draftMode->setObjectName(QStringLiteral("actModeBrouillon"));
        m_draftMode->setCheckable(true);
        m_draftMode->setChecked(DraftMode::remembered());
        m_draftMode->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
        connect(m_draftMode, &QAction::toggled, this, [this](bool on) {
            DraftMode::remember(on);
            if (TovMainPerso* screen = m_screen())
                screen->drafts()->setOn(on);
        });
        if (m_shortcutHost)
            m_shortcutHost->addAction(m_draftMode);
    }
    m_menu->addSeparator();
    m_menu->addAction(m_draftMode);
}

void GeneratorsMenu::openEditor() {
    guarded([&] {
        if (!m_editor) {
            TovMainPerso* screen = m_screen();
            Database* database = screen ? screen->database() : nullptr;
            if (!database)
                throw Error(QStringLiteral("La base de données n'est pas ouverte."));
            // The editor belongs to the screen, whose store it edits.
            m_editor = new GeneratorEditor(*database, screen);
            connect(m_editor, &GeneratorEditor::generatorsChanged, this, &GeneratorsMenu::rebuild);
            connect(m_editor, &GeneratorEditor::tablesChanged, screen, &TovMainPerso::reloadTables);
        }
        m_editor->show();
        m_editor->raise();
        m_editor->activateWindow();
    });
}

void GeneratorsMenu::shareWithTables(const QString& id) {
    TovMainPerso* screen = m_screen();
    Database* database = screen ? screen->database() : nullptr;
    if (!database)
        return;
    QString path =
        chooseFile(FileChoice::Save, QStringLiteral("Partager « %1 » avec ses tables").arg(id),
                   QStringLiteral("Paquets de générateur (*.ovpack)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".ovpack");
    guarded([&] {
        if (const QString refusal = database->ownFileRefusal(path); !refusal.isEmpty())
            throw Error(refusal);
        const GeneratorBundle bundle = bundleOf(*database, id);
        writeBundleFile(bundle, path);
        QString text = QStringLiteral("Le générateur « %1 » et ses %2 table(s) sont dans %3.")
                           .arg(bundle.generator.id)
                           .arg(bundle.tables.size())
                           .arg(QDir::toNativeSeparators(path));
        if (!bundle.missing.isEmpty())
            text += QStringLiteral("\nTables nommées mais absentes de la base : ") +
                    bundle.missing.join(QStringLiteral(", "));
        showMessage(text);
    });
}

bool GeneratorsMenu::closeEditor() {
    if (!m_editor)
        return true;
    if (!m_editor->close())
        return false;
    delete m_editor;
    return true;
}

QAction* addTemplateHelpAction(QMenu* menu, QWidget* parent) {
    QAction* action = menu->addAction(QStringLiteral("Le &langage des modèles"));
    action->setObjectName(QStringLiteral("actAideModeles"));
    QObject::connect(action, &QAction::triggered, parent, [parent] { showTemplateHelp(parent); });
    return action;
}

} // namespace ov::ui
