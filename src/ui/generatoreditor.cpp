#include "generatoreditor.h"
#include "viewsettings.h"

#include "import/generatorbundle.h"
#include "messages.h"
#include "tables/database.h"
#include "templateedit.h"
#include "templatehelp.h"
#include "templatehighlighter.h"
#include "templates/generatoredits.h"
#include "templates/personalgeneration.h"
#include "templates/templatetokens.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCollator>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSettings>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

namespace ov::ui {

namespace {

const QString geometryKey = QStringLiteral("editeurGenerateurs/geometrie");
constexpr int lineRole = Qt::UserRole;
constexpr int columnRole = Qt::UserRole + 1;

const QString newTemplate =
    QStringLiteral("# Une ligne qui commence par # est un commentaire.\n"
                   "Un trésor de {2d6*10} pièces d'or et [une épée|un bouclier|une potion]\n");

QStringList chooseWithDialog(QWidget* parent, bool save, const QString& suggested) {
    if (save) {
        const QString filter = QStringLiteral("Générateurs (*.ovgen)");
        const QString path = QFileDialog::getSaveFileName(
            parent, QStringLiteral("Exporter le générateur"), suggested, filter);
        return path.isEmpty() ? QStringList() : QStringList{path};
    }
    return QFileDialog::getOpenFileNames(
        parent, QStringLiteral("Importer des générateurs"), QString(),
        QStringLiteral("Générateurs (*.ovgen *.ovpack);;Générateurs seuls (*.ovgen);;"
                       "Générateurs avec leurs tables (*.ovpack)"));
}

QLabel* buddyLabel(const QString& caption, QWidget* buddy) {
    auto* label = new QLabel(caption);
    label->setBuddy(buddy);
    return label;
}

} // namespace

GeneratorEditor::GeneratorEditor(const Database& database, QWidget* parent)
    : QWidget(parent, Qt::Window), m_database(database) {
    setObjectName(QStringLiteral("frmGenerateurs"));
    setWindowTitle(QStringLiteral("Générateurs personnels[*]"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_seeds.seedFromClock();
    m_chooseFiles = [this](bool save, const QString& suggested) {
        return chooseWithDialog(this, save, suggested);
    };
    buildControls();
    followZoom(this);
    readTables();
    resize(900, 640);
    restoreGeometry(QSettings().value(geometryKey).toByteArray());
    setSeed(m_seeds.next(1000000u));
    reloadList(QString());
}

GeneratorEditor::~GeneratorEditor() = default;

void GeneratorEditor::buildControls() {
    auto* splitter = new QSplitter(Qt::Horizontal, this);

    // The list and what is done to it.
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    lstGenerateurs = new QListWidget;
    lstGenerateurs->setObjectName(QStringLiteral("lstGenerateurs"));
    leftLayout->addWidget(buddyLabel(QStringLiteral("&Générateurs"), lstGenerateurs));
    leftLayout->addWidget(lstGenerateurs);
    const auto button = [&](const char* name, const QString& caption, const QKeySequence& keys,
                            const std::function<void()>& slot) {
        auto* created = new QPushButton(caption);
        created->setObjectName(QString::fromLatin1(name));
        if (!keys.isEmpty()) {
            created->setToolTip(caption.section(QLatin1Char('&'), 0, 0) +
                                caption.section(QLatin1Char('&'), 1) + QStringLiteral(" (") +
                                keys.toString(QKeySequence::NativeText) + QLatin1Char(')'));
            auto* shortcut = new QShortcut(keys, this);
            connect(shortcut, &QShortcut::activated, created, &QPushButton::click);
        }
        connect(created, &QPushButton::clicked, this, slot);
        return created;
    };
    auto* buttons = new QGridLayout;
    buttons->addWidget(button("btnNouveau", QStringLiteral("&Nouveau"), QKeySequence::New,
                              [this] { newGenerator(); }),
                       0, 0);
    buttons->addWidget(button("btnDupliquer", QStringLiteral("&Dupliquer"),
                              QKeySequence(Qt::CTRL | Qt::Key_D), [this] { duplicateGenerator(); }),
                       0, 1);
    buttons->addWidget(button("btnRenommer", QStringLiteral("Renommer"), QKeySequence(Qt::Key_F2),
                              [this] { renameGenerator(); }),
                       1, 0);
    buttons->addWidget(button("btnSupprimer", QStringLiteral("&Supprimer"), QKeySequence(),
                              [this] { deleteGenerator(); }),
                       1, 1);
    buttons->addWidget(button("btnImporter", QStringLiteral("Im&porter…"), QKeySequence::Open,
                              [this] { importGenerators(); }),
                       2, 0);
    buttons->addWidget(button("btnExporter", QStringLiteral("E&xporter…"),
                              QKeySequence(Qt::CTRL | Qt::Key_E), [this] { exportGenerator(); }),
                       2, 1);
    leftLayout->addLayout(buttons);
    auto* deleteKey = new QShortcut(QKeySequence::Delete, lstGenerateurs);
    deleteKey->setContext(Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, [this] { deleteGenerator(); });
    splitter->addWidget(left);

    // The generator, its check and its preview.
    auto* right = new QWidget;
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto* form = new QFormLayout;
    edtId = new QLineEdit;
    edtId->setObjectName(QStringLiteral("edtId"));
    edtId->setMaxLength(20);
    edtNomGenerateur = new QLineEdit;
    edtNomGenerateur->setObjectName(QStringLiteral("edtNomGenerateur"));
    edtNomGenerateur->setMaxLength(60);
    form->addRow(buddyLabel(QStringLiteral("&Id"), edtId), edtId);
    form->addRow(buddyLabel(QStringLiteral("N&om"), edtNomGenerateur), edtNomGenerateur);
    // The generator's key in the menu: pinned to a number, or the first free one (« Aucun »).
    edtRaccourci = new QSpinBox;
    edtRaccourci->setObjectName(QStringLiteral("edtRaccourci"));
    edtRaccourci->setRange(0, 9);
    edtRaccourci->setPrefix(QStringLiteral("Ctrl+"));
    edtRaccourci->setSpecialValueText(QStringLiteral("Aucun"));
    form->addRow(buddyLabel(QStringLiteral("Racco&urci"), edtRaccourci), edtRaccourci);
    chkFrancais = new QCheckBox(QStringLiteral("Français : élisions et &contractions sur chaque "
                                               "ligne (« à le » → « au », « la épée » → "
                                               "« l'épée »)"));
    chkFrancais->setObjectName(QStringLiteral("chkFrancais"));
    form->addRow(QString(), chkFrancais);
    rightLayout->addLayout(form);

    auto* vertical = new QSplitter(Qt::Vertical);
    auto* top = new QWidget;
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    edtModele = new TemplateEdit;
    edtModele->setObjectName(QStringLiteral("edtModele"));
    m_highlighter = new TemplateHighlighter(edtModele->document());
    auto* modelHeader = new QHBoxLayout;
    modelHeader->addWidget(buddyLabel(QStringLiteral("&Modèle"), edtModele));
    modelHeader->addStretch();
    auto* help = new QLabel(QStringLiteral("<a href=\"aide\">Le langage des modèles</a> (F1)"));
    help->setObjectName(QStringLiteral("lblAide"));
    connect(help, &QLabel::linkActivated, this, &GeneratorEditor::showHelp);
    modelHeader->addWidget(help);
    topLayout->addLayout(modelHeader);
    topLayout->addWidget(edtModele, 3);
    lstErreurs = new QListWidget;
    lstErreurs->setObjectName(QStringLiteral("lstErreurs"));
    lstErreurs->setMaximumHeight(lstErreurs->fontMetrics().height() * 5);
    topLayout->addWidget(buddyLabel(QStringLiteral("&Erreurs"), lstErreurs));
    topLayout->addWidget(lstErreurs, 1);
    vertical->addWidget(top);

    auto* bottom = new QWidget;
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    auto* seedRow = new QHBoxLayout;
    edtGraine = new QSpinBox;
    edtGraine->setObjectName(QStringLiteral("edtGraine"));
    edtGraine->setRange(0, 999999999);
    lblApercu = new QLabel;
    memApercu = new QPlainTextEdit;
    memApercu->setObjectName(QStringLiteral("memApercu"));
    memApercu->setReadOnly(true);
    memApercu->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    memApercu->setTabChangesFocus(true);
    seedRow->addWidget(buddyLabel(QStringLiteral("&Aperçu"), memApercu));
    seedRow->addStretch();
    seedRow->addWidget(buddyLabel(QStringLiteral("G&raine"), edtGraine));
    seedRow->addWidget(edtGraine);
    btnRelancer = button("btnRelancer", QStringLiteral("Re&lancer"), QKeySequence(Qt::Key_F5),
                         [this] { drawAgain(); });
    seedRow->addWidget(btnRelancer);
    bottomLayout->addLayout(seedRow);
    bottomLayout->addWidget(memApercu);
    bottomLayout->addWidget(lblApercu);
    vertical->addWidget(bottom);
    rightLayout->addWidget(vertical, 1);

    auto* closing = new QHBoxLayout;
    closing->addStretch();
    closing->addWidget(button("btnEnregistrer", QStringLiteral("Enregis&trer"), QKeySequence::Save,
                              [this] { saveGenerator(); }));
    closing->addWidget(
        button("btnFermer", QStringLiteral("&Fermer"), QKeySequence::Close, [this] { close(); }));
    rightLayout->addLayout(closing);
    splitter->addWidget(right);
    splitter->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
    connect(helpKey, &QShortcut::activated, this, &GeneratorEditor::showHelp);

    m_previewTimer = new QTimer(this);
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(previewDelay);
    connect(m_previewTimer, &QTimer::timeout, this, &GeneratorEditor::updatePreview);
    connect(lstGenerateurs, &QListWidget::currentRowChanged, this, &GeneratorEditor::rowChanged);
    for (QLineEdit* edit : {edtId, edtNomGenerateur})
        connect(edit, &QLineEdit::textChanged, this, &GeneratorEditor::fieldsChanged);
    connect(edtModele, &QPlainTextEdit::textChanged, this, &GeneratorEditor::fieldsChanged);
    connect(chkFrancais, &QCheckBox::toggled, this, &GeneratorEditor::fieldsChanged);
    connect(edtRaccourci, &QSpinBox::valueChanged, this, &GeneratorEditor::fieldsChanged);
    connect(edtGraine, &QSpinBox::valueChanged, this, &GeneratorEditor::updatePreview);
    connect(lstErreurs, &QListWidget::itemClicked, this, &GeneratorEditor::errorClicked);
    connect(lstErreurs, &QListWidget::itemActivated, this, &GeneratorEditor::errorClicked);

    setTabOrder(lstGenerateurs, edtId);
    setTabOrder(edtId, edtNomGenerateur);
    setTabOrder(edtNomGenerateur, edtRaccourci);
    setTabOrder(edtRaccourci, chkFrancais);
    setTabOrder(chkFrancais, edtModele);
    setTabOrder(edtModele, lstErreurs);
    setTabOrder(lstErreurs, memApercu);
    setTabOrder(memApercu, edtGraine);
    setTabOrder(edtGraine, btnRelancer);
}

// ---- The list ----

void GeneratorEditor::reloadList(const QString& selectId) {
    QList<PersonalGenerator> generators;
    guarded([&] { generators = GeneratorStore(m_database).list(); });
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(generators.begin(), generators.end(),
                     [&](const PersonalGenerator& a, const PersonalGenerator& b) {
                         return collator.compare(a.nom, b.nom) < 0;
                     });
    m_loading = true;
    lstGenerateurs->clear();
    int row = generators.isEmpty() ? -1 : 0;
    for (const PersonalGenerator& generator : generators) {
        auto* item = new QListWidgetItem(generator.nom + QStringLiteral("  (") + generator.id +
                                         QLatin1Char(')'));
        item->setData(Qt::UserRole, generator.id);
        if (generator.id.compare(selectId, Qt::CaseInsensitive) == 0)
            row = lstGenerateurs->count();
        lstGenerateurs->addItem(item);
    }
    lstGenerateurs->setCurrentRow(row);
    m_loading = false;
    load(row < 0 ? PersonalGenerator() : generators.at(row));
}

bool GeneratorEditor::select(const QString& id) {
    for (int row = 0; row < lstGenerateurs->count(); ++row)
        if (lstGenerateurs->item(row)
                ->data(Qt::UserRole)
                .toString()
                .compare(id, Qt::CaseInsensitive) == 0) {
            lstGenerateurs->setCurrentRow(row);
            return currentId().compare(id, Qt::CaseInsensitive) == 0;
        }
    return false;
}

void GeneratorEditor::rowChanged() {
    if (m_loading)
        return;
    QListWidgetItem* item = lstGenerateurs->currentItem();
    const QString id = item ? item->data(Qt::UserRole).toString() : QString();
    if (id == m_stored.id)
        return;
    if (!settleChanges()) {
        // The user stays on the generator being edited.
        m_loading = true;
        for (int row = 0; row < lstGenerateurs->count(); ++row)
            if (lstGenerateurs->item(row)->data(Qt::UserRole).toString() == m_stored.id)
                lstGenerateurs->setCurrentRow(row);
        m_loading = false;
        return;
    }
    reloadList(id);
}

void GeneratorEditor::load(const PersonalGenerator& generator) {
    m_stored = generator;
    m_loading = true;
    edtId->setText(generator.id);
    edtNomGenerateur->setText(generator.nom);
    edtRaccourci->setValue(generator.raccourci);
    edtModele->setPlainText(generator.modele);
    chkFrancais->setChecked(generator.francais);
    m_loading = false;
    const bool editing = !generator.id.isEmpty();
    for (QWidget* field : {static_cast<QWidget*>(edtId), static_cast<QWidget*>(edtNomGenerateur),
                           static_cast<QWidget*>(edtRaccourci), static_cast<QWidget*>(chkFrancais),
                           static_cast<QWidget*>(edtModele)})
        field->setEnabled(editing);
    setWindowModified(false);
    updateCheck();
    updatePreview();
}

PersonalGenerator GeneratorEditor::edited() const {
    // The options that have no field here are kept as stored.
    PersonalGenerator generator = m_stored;
    generator.id = edtId->text().trimmed();
    generator.nom = edtNomGenerateur->text();
    generator.modele = edtModele->toPlainText();
    generator.raccourci = edtRaccourci->value();
    generator.modified = {};
    generator.francais = chkFrancais->isChecked();
    return generator;
}

bool GeneratorEditor::isDirty() const {
    if (m_stored.id.isEmpty())
        return false;
    const PersonalGenerator now = edited();
    return now.id != m_stored.id || now.nom != m_stored.nom || now.modele != m_stored.modele ||
           now.raccourci != m_stored.raccourci || now.francais != m_stored.francais;
}

bool GeneratorEditor::settleChanges() {
    if (!isDirty())
        return true;
    const QString question = QStringLiteral("Le générateur « %1 » a été modifié. Enregistrer les"
                                            " modifications ?")
                                 .arg(m_stored.id);
    switch (
        askChoice(question, {QStringLiteral("&Enregistrer"), QStringLiteral("&Ne pas enregistrer"),
                             QStringLiteral("Annuler")})) {
    case 0:
        return saveGenerator();
    case 1:
        load(m_stored);
        return true;
    default:
        break;
    }
    return false;
}

// ---- Actions on generators ----

void GeneratorEditor::newGenerator() {
    if (!settleChanges())
        return;
    guarded([&] {
        const GeneratorStore store(m_database);
        // A new generator writes French that reads right unless told otherwise.
        PersonalGenerator generator{freeGeneratorId(store, QStringLiteral("nouveau")),
                                    QStringLiteral("Nouveau générateur"),
                                    newTemplate,
                                    {}};
        generator.francais = true;
        store.save({generator}, false);
        reloadList(generator.id);
        Q_EMIT generatorsChanged();
        edtNomGenerateur->setFocus(Qt::OtherFocusReason);
        edtNomGenerateur->selectAll();
    });
}

void GeneratorEditor::duplicateGenerator() {
    if (m_stored.id.isEmpty() || !settleChanges())
        return;
    guarded([&] {
        const GeneratorStore store(m_database);
        PersonalGenerator copy = m_stored;
        copy.id = freeGeneratorId(store, m_stored.id.left(14) + QStringLiteral("-copie"));
        copy.nom = m_stored.nom.left(52) + QStringLiteral(" (copie)");
        copy.raccourci = 0; // the key stays with the original
        store.save({copy}, false);
        reloadList(copy.id);
        Q_EMIT generatorsChanged();
    });
}

void GeneratorEditor::renameGenerator() {
    if (m_stored.id.isEmpty())
        return;
    edtId->setFocus(Qt::OtherFocusReason);
    edtId->selectAll();
}

void GeneratorEditor::deleteGenerator() {
    if (m_stored.id.isEmpty())
        return;
    guarded([&] {
        const GeneratorStore store(m_database);
        const int results = store.resultCount(m_stored.id);
        if (!askConfirmation(QStringLiteral("Supprimer le générateur « %1 » et ses %2"
                                            " résultat(s) ?")
                                 .arg(m_stored.id)
                                 .arg(results)))
            return;
        store.remove(m_stored.id);
        m_stored = PersonalGenerator();
        reloadList(QString());
        Q_EMIT generatorsChanged();
    });
}

void GeneratorEditor::importGenerators() {
    if (!settleChanges())
        return;
    // Bundles come one by one, each with its tables; generator files together.
    QStringList paths;
    for (const QString& path : m_chooseFiles(false, QString())) {
        if (QFileInfo(path).suffix().compare(QStringLiteral("ovpack"), Qt::CaseInsensitive) == 0)
            importBundle(path);
        else
            paths.append(path);
    }
    if (paths.isEmpty())
        return;
    guarded([&] {
        const GeneratorStore store(m_database);
        const QList<PersonalGenerator> generators = readGeneratorFiles(paths);
        QStringList existing;
        for (const PersonalGenerator& generator : generators)
            if (store.find(generator.id))
                existing.append(generator.id);
        const bool replace =
            !existing.isEmpty() &&
            askConfirmation(QStringLiteral("Ces générateurs existent déjà : %1. Les remplacer ?")
                                .arg(existing.join(QStringLiteral(", "))));
        if (!existing.isEmpty() && !replace)
            return;
        try {
            store.save(generators, replace);
        } catch (const Error& error) {
            throw Error(error.message() + QStringLiteral("\nRien n'a été importé."));
        }
        reloadList(generators.isEmpty() ? QString() : generators.first().id);
        Q_EMIT generatorsChanged();
        showMessage(QStringLiteral("%1 générateur(s) importé(s)").arg(generators.size()));
    });
}

void GeneratorEditor::importBundle(const QString& path) {
    guarded([&] {
        const GeneratorBundle bundle = readBundleFile(path);
        BundleImport done;
        try {
            done = ov::importBundle(m_database, bundle, BundleClash::Refuse);
        } catch (const TableConflictError& clash) {
            const int choice = askChoice(
                clash.message() + QStringLiteral("\nLes renommer (les nouveaux prennent d'autres "
                                                 "identifiants) ou remplacer ceux de la base ?"),
                {QStringLiteral("&Renommer"), QStringLiteral("Rem&placer"),
                 QStringLiteral("&Annuler")});
            if (choice != 0 && choice != 1)
                return;
            done = ov::importBundle(m_database, bundle,
                                    choice == 0 ? BundleClash::Rename : BundleClash::Replace);
        } catch (const Error& error) {
            throw Error(error.message() + QStringLiteral("\nRien n'a été importé."));
        }
        readTables();
        reloadList(done.generatorId);
        Q_EMIT tablesChanged();
        Q_EMIT generatorsChanged();
        showMessage(bundleImportText(done).join(u'\n'));
    });
}

void GeneratorEditor::exportGenerator() {
    if (m_stored.id.isEmpty() || !settleChanges())
        return;
    const QStringList paths = m_chooseFiles(true, m_stored.id + QStringLiteral(".ovgen"));
    if (paths.isEmpty())
        return;
    guarded([&] { writeGeneratorFile(m_stored, paths.first()); });
}

bool GeneratorEditor::saveGenerator() {
    if (m_stored.id.isEmpty())
        return true;
    const PersonalGenerator generator = edited();
    Template parsed;
    if (auto error = Template::parse(generator.modele, parsed)) {
        showMessage(QStringLiteral("Le modèle n'est pas enregistré : ") + error->message());
        edtModele->goTo(error->line, error->column);
        return false;
    }
    bool saved = false;
    guarded([&] {
        saveEditedGenerator(m_database, m_stored.id, generator);
        saved = true;
    });
    if (!saved)
        return false;
    reloadList(generator.id);
    Q_EMIT generatorsChanged();
    return true;
}

// ---- Check and preview ----

void GeneratorEditor::fieldsChanged() {
    // Colours changed by the check come back as a change of the document: nothing was typed.
    if (m_loading || m_checking)
        return;
    setWindowModified(isDirty());
    updateCheck();
    m_previewTimer->start();
}

void GeneratorEditor::readTables() {
    QStringList ids;
    guarded([&] {
        QSqlQuery query = m_database.run(QStringLiteral("SELECT Id FROM OVmaster ORDER BY Id"));
        while (query.next())
            ids.append(query.value(0).toString());
    });
    edtModele->setTableIds(ids);
    m_highlighter->setTables(QSet<QString>(ids.begin(), ids.end()));
}

void GeneratorEditor::updateCheck() {
    const QScopedValueRollback checking(m_checking, true);
    lstErreurs->clear();
    if (m_stored.id.isEmpty()) {
        m_highlighter->setError(std::nullopt);
        return;
    }
    const PersonalGenerator generator = edited();
    GeneratorCheck check;
    guarded([&] { check = checkGenerator(m_database, generator); });
    m_highlighter->setError(check.error);
    const auto add = [this](const QString& text, int line, int column) {
        auto* item = new QListWidgetItem(text, lstErreurs);
        item->setData(lineRole, line);
        item->setData(columnRole, column);
    };
    if (check.error)
        add(check.error->message(), check.error->line, check.error->column);
    if (auto problem = idProblem(generator.id))
        add(*problem, 0, 0);
    if (auto problem = nomProblem(generator.nom))
        add(*problem, 0, 0);
    if (check.error)
        return;
    // Each warning names a table: it points at the table's first place in the template.
    const QStringList lines = Template::splitLines(generator.modele);
    const QVector<QSet<QString>> known = rememberedNamesByLine(generator.modele);
    for (const QString& warning : check.warnings) {
        int line = 0, column = 0;
        for (int i = 0; i < lines.size() && line == 0; ++i) {
            QSet<QString> names = known.at(i);
            for (const TemplateToken& token : templateLineTokens(lines.at(i), names))
                if (token.kind == TemplateToken::Kind::Table &&
                    warning.endsWith(QLatin1Char('"') + token.text + QLatin1Char('"'))) {
                    line = i + 1;
                    column = token.start + 1;
                    break;
                }
        }
        add(line > 0 ? QStringLiteral("Ligne %1, colonne %2 : attention, %3")
                           .arg(line)
                           .arg(column)
                           .arg(warning)
                     : QStringLiteral("Attention, ") + warning,
            line, column);
    }
}

void GeneratorEditor::errorClicked(QListWidgetItem* item) {
    const int line = item->data(lineRole).toInt();
    if (line > 0)
        edtModele->goTo(line, item->data(columnRole).toInt());
}

quint32 GeneratorEditor::seed() const {
    return quint32(edtGraine->value());
}

void GeneratorEditor::setSeed(quint32 seed) {
    edtGraine->setValue(int(seed % 1000000000u));
}

void GeneratorEditor::drawAgain() {
    setSeed(m_seeds.next(1000000000u));
}

void GeneratorEditor::updatePreview() {
    m_previewTimer->stop();
    if (m_stored.id.isEmpty()) {
        memApercu->clear();
        lblApercu->clear();
        return;
    }
    PersonalGenerator generator = edited();
    // The header shows the stored generator's numbering even while its Id is being changed.
    generator.id = m_stored.id;
    const PersonalRunReport report = previewGenerator(m_database, generator, seed(), *m_clock);
    if (report.error) {
        lblApercu->setText(QStringLiteral("Aperçu non mis à jour : ") + *report.error);
        return;
    }
    QString text = report.lines.join(QLatin1Char('\n'));
    for (const QString& message : report.messages)
        text += QStringLiteral("\n⚠ ") + message;
    memApercu->setPlainText(text);
    lblApercu->setText(QStringLiteral("Aperçu de la graine %1, jamais enregistré").arg(seed()));
}

void GeneratorEditor::showHelp() {
    showTemplateHelp(this);
}

// ---- The window ----

void GeneratorEditor::changeEvent(QEvent* event) {
    // The tables may have changed on the main screen meanwhile (not read again once the
    // connection is lost: the message of its loss, closed, would bring the window back here).
    if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
        !m_database.connectionLost()) {
        readTables();
        updateCheck();
    }
    QWidget::changeEvent(event);
}

void GeneratorEditor::closeEvent(QCloseEvent* event) {
    if (!settleChanges()) {
        event->ignore();
        return;
    }
    QSettings().setValue(geometryKey, saveGeometry());
    QWidget::closeEvent(event);
}

} // namespace ov::ui
