#include "mainscreen.h"

#include "designscale.h"
#include "draftmode.h"
#include "generatorruns.h"
#include "navigator.h"
#include "paradoximportaction.h"
#include "reportforms.h"
#include "tablecursor.h"
#include "tables/database.h"
#include "tables/tabledraw.h"
#include "viewsettings.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlRecord>
#include <QTableView>

namespace ov::ui {

TovMainPerso::TovMainPerso(const QString& databasePath, QWidget* parent)
    : QWidget(parent), m_path(databasePath) {
    setObjectName(QStringLiteral("ovMainPerso"));
    setWindowTitle(QStringLiteral("Orvanthe Main Screen"));

    m_master = new TableCursor(QStringLiteral("tblMaster_"), QStringLiteral("OVmaster"), this);
    m_slave = new TableCursor(QStringLiteral("tblSlave_"), QStringLiteral("OVslave"), this);
    for (OutputKind kind : allOutputKinds) {
        const OutputTable& table = outputTable(kind);
        m_outputs[int(kind)] = new TableCursor(
            QStringLiteral("tbl") + table.textField + QLatin1Char('_'), table.table, this);
    }

    ui.setupUi(this, this);
    resize(ui.defaultSize());
    ui.showTables(*m_master, *m_slave);
    m_runs = new GeneratorRuns(ui, this);
    m_drafts = new DraftMode(*this, ui, *m_runs);
    wire();
    FormCreate();
}

TovMainPerso::~TovMainPerso() {
    // A window that goes without being closed keeps what is being typed in a grid.
    if (m_master->isOpen() || m_slave->isOpen())
        closeTables();
    // The models hold statements of the store's connection: they go before the store.
    m_master->close();
    m_slave->close();
}

TableCursor* TovMainPerso::outputCursor(OutputKind kind) const {
    return m_outputs[int(kind)];
}

void TovMainPerso::setClock(const Clock* clock) {
    m_runs->setClock(clock);
}

void TovMainPerso::setReportForms(ReportForms* forms) {
    m_runs->setReportForms(forms);
}

ReportForms* TovMainPerso::reportForms() const {
    return m_runs->reportForms();
}

const RunReport& TovMainPerso::lastRun() const {
    return m_runs->lastRun();
}

const PersonalRunReport& TovMainPerso::lastPersonalRun() const {
    return m_runs->lastPersonalRun();
}

void TovMainPerso::wire() {
    connect(ui.btnNouvelleTable, &QPushButton::clicked, this, &TovMainPerso::btnNouvelleTableClick);
    connect(ui.btnAjouter, &QPushButton::clicked, this, &TovMainPerso::btnAjouterClick);
    connect(ui.btnRafraichir, &QPushButton::clicked, this, &TovMainPerso::btnRafraichirClick);
    connect(ui.btnPerso, &QPushButton::clicked, this, &TovMainPerso::btnPersoClick);
    connect(ui.btnTresor, &QPushButton::clicked, this, &TovMainPerso::btnTresorClick);
    connect(ui.btnRencontre, &QPushButton::clicked, this, &TovMainPerso::btnRencontreClick);
    connect(ui.btnVillage, &QPushButton::clicked, this, &TovMainPerso::btnVillageClick);
    connect(ui.btnImprimePerso, &QPushButton::clicked, this, &TovMainPerso::btnImprimePersoClick);
    connect(ui.btnImprimeTresor, &QPushButton::clicked, this, &TovMainPerso::btnImprimeTresorClick);
    connect(ui.btnPrintRencontre, &QPushButton::clicked, this,
            &TovMainPerso::btnPrintRencontreClick);
    connect(ui.btnImprimeVillage, &QPushButton::clicked, this,
            &TovMainPerso::btnImprimeVillageClick);
    connect(ui.btnFin, &QPushButton::clicked, this, &TovMainPerso::btnFinClick);

    connect(ui.dbgMaster, &QTableView::clicked, this, &TovMainPerso::dbgMasterCellClick);
    connect(ui.dbgMaster->horizontalHeader(), &QHeaderView::sectionMoved, this,
            &TovMainPerso::dbgMasterColumnMoved);
    connect(m_master, &TableCursor::columnEntered, this, &TovMainPerso::dbgMasterColEnter);
    connect(ui.dbnMaster, &DbNavigator::clicked, this, &TovMainPerso::dbnMasterClick);

    connect(m_master, &TableCursor::editStarting, this, &TovMainPerso::readElementsAgain);
    connect(m_master, &TableCursor::posted, this, &TovMainPerso::readElementsAgain);
    // An element posted in the grid changes its table's totals in the store.
    connect(m_slave, &TableCursor::posted, this, [this] { guarded([this] { totalsChanged(); }); });

    // Enter in an edit box does what the button beside it does.
    connect(ui.edtNom, &QLineEdit::returnPressed, this, &TovMainPerso::btnNouvelleTableClick);
    connect(ui.edtElem, &QLineEdit::returnPressed, this, &TovMainPerso::btnAjouterClick);
    connect(ui.edtProba, &QLineEdit::returnPressed, this, &TovMainPerso::btnAjouterClick);
    connect(&ViewSettings::instance(), &ViewSettings::zoomChanged, this, &TovMainPerso::setZoom);

    ui.dbnMaster->bind(
        m_master, [this] { deleteCurrentTable(); }, nullptr);
    ui.dbnEsclave->bind(
        m_slave, [this] { deleteCurrentElement(); }, [this] { editCurrentCell(ui.dbgSlave); });
}

// ---- Start-up and shut-down ----

void TovMainPerso::openStore() {
    if (m_db)
        return;
    if (!m_path.isEmpty()) {
        m_db = std::make_unique<Database>(m_path);
    } else {
        try {
            m_db = Database::openAlias(QStringLiteral("OV"));
        } catch (const MissingFolderError& missing) {
            m_db = openInsteadOfMissingFolder(missing);
            if (!m_db)
                return; // the window closes
        }
    }
    m_maintenance.useStore(*m_db);
    m_draw = std::make_unique<TableDraw>(*m_db, m_dice);
    m_count = std::make_unique<UnprintedCount>(*m_db);
    m_runs->useStore(*m_db, *m_count, *m_draw);
}

std::unique_ptr<Database>
TovMainPerso::openInsteadOfMissingFolder(const MissingFolderError& missing) {
    // The folder the alias file names is missing (a removable disk not plugged in): the user
    // chooses another file, a new base at that place, or to quit; nothing is created unasked.
    const QStringList answers{QStringLiteral("Choisir une autre base..."),
                              QStringLiteral("Créer une nouvelle base à cet endroit"),
                              QStringLiteral("Quitter")};
    for (;;) {
        const int answer = askChoice(missing.message(), answers);
        try {
            if (answer == 0) {
                const QString file = askDatabaseFile(QStringLiteral("Choisir une base Orvanthe"));
                if (!file.isEmpty())
                    return std::make_unique<Database>(file);
            } else if (answer == 1) {
                const QString folder = QFileInfo(missing.path()).absolutePath();
                if (!QDir().mkpath(folder))
                    throw DatabaseError(QStringLiteral("Impossible de créer le dossier %1.")
                                            .arg(QDir::toNativeSeparators(folder)));
                return std::make_unique<Database>(missing.path());
            } else {
                QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
                return nullptr;
            }
        } catch (const Error& error) {
            showMessage(error.message());
        }
    }
}

void TovMainPerso::FormCreate() {
    guarded([this] {
        // The first open reaches the store behind the alias.
        openStore();
        if (!m_db)
            return;
        m_master->open(*m_db);
        m_slave->open(*m_db);
        for (TableCursor* output : m_outputs)
            output->open(*m_db);
        m_runs->showCount();
        move(0, 0);
        resize(ui.defaultSize());
        m_random.seedFromClock();
    });
}

void TovMainPerso::commitOpenEditors() {
    // A cell editor still open hands its text to the grid, as leaving the cell would, however
    // the window is closed (FIN, the title bar, the end of the program).
    for (QTableView* grid : {ui.dbgMaster, ui.dbgSlave}) {
        if (grid == nullptr)
            continue;
        QAbstractItemDelegate* delegate = grid->itemDelegateForIndex(grid->currentIndex());
        const auto editors =
            grid->viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* editor : editors) {
            // The grid takes from an editor only what it opened itself.
            Q_EMIT delegate->commitData(editor);
            Q_EMIT delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
}

void TovMainPerso::closeTables() {
    commitOpenEditors();
    // A change still pending in a grid is posted, as leaving its row would.
    for (TableCursor* cursor : {m_master, m_slave})
        guarded([cursor] { cursor->post(); });
    m_master->close();
    m_slave->close();
    for (TableCursor* output : m_outputs)
        output->close();
}

void TovMainPerso::importParadoxBase() {
    guarded([this] {
        if (!m_db)
            return;
        postPendingEdits();
        const QString folder = chooseParadoxFolder(this);
        if (folder.isEmpty() || !importParadoxFolder(*m_db, folder))
            return;
        if (m_master->isOpen()) {
            m_master->refresh();
            m_master->first();
        }
        if (m_slave->isOpen())
            SlaveRefresh();
        for (TableCursor* output : m_outputs)
            if (output->isOpen())
                output->refresh();
        m_runs->showCount();
    });
}

void TovMainPerso::refreshRecords() {
    guarded([this] {
        for (TableCursor* output : m_outputs)
            if (output->isOpen())
                output->refresh();
        if (m_count)
            m_runs->showCount();
    });
}

void TovMainPerso::showText(const QStringList& lines) {
    ui.memPerso->clear();
    for (const QString& line : lines)
        ui.memPerso->appendPlainText(line);
}

void TovMainPerso::btnFinClick() {
    closeTables();
    close();
    QCoreApplication::quit();
}

void TovMainPerso::setZoom(double zoom) {
    ui.arrange(size(), designScale(this) * zoom);
}

double TovMainPerso::zoom() const {
    return ui.scale / designScale(this);
}

QSize TovMainPerso::defaultSize() const {
    return ui.defaultSize();
}

QRect TovMainPerso::designRect(const QRect& design) const {
    return scaledRect(design.x(), design.y(), design.width(), design.height(), ui.scale);
}

void TovMainPerso::resizeEvent(QResizeEvent* event) {
    ui.arrange(size(), ui.scale);
    QWidget::resizeEvent(event);
}

void TovMainPerso::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // As soon as the screen shows, active or not, the element grid stands on the table of the
    // master grid's row.
    if (!m_shownOnce) {
        m_shownOnce = true;
        refreshPoint();
    }
}

void TovMainPerso::closeEvent(QCloseEvent* event) {
    closeTables();
    QWidget::closeEvent(event);
}

// ---- Draw and dice ----

int TovMainPerso::D(int n) {
    return m_dice.D(n);
}

int TovMainPerso::D4() {
    return m_dice.D4();
}

bool TovMainPerso::OV(const QString& id, QString& result) {
    m_master->requireOpen();
    m_slave->requireOpen();
    postPendingEdits();
    // The same draw the generators make; then the grids move to what it drew.
    TableDraws draws(*m_draw, m_sink);
    if (!draws.OV(id, result))
        return false;
    standOnDrawn(id, result);
    return true;
}

void TovMainPerso::standOnDrawn(const QString& id, const QString& element) {
    if (!m_master->locate(id))
        return;
    SlaveRefresh();
    if (element.isEmpty())
        return;
    StoreTableModel* model = m_slave->model();
    model->fetchAll();
    const int column = model->fieldIndex(QStringLiteral("Element"));
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->record(row).value(column).toString() == element) {
            m_slave->setRow(row);
            return;
        }
    }
}

void TovMainPerso::SlaveRefresh() {
    m_master->requireOpen();
    m_slave->requireOpen();
    showElementsOf(m_master->value(QStringLiteral("Id")).toString());
}

// ---- The master grid's refresh points ----

void TovMainPerso::refreshPoint() {
    // Moving in an empty grid of a closed table is no action: nothing to refresh; nor after the
    // server closed the connection, which has been told already.
    guarded([this] {
        if (m_master->isOpen() && m_slave->isOpen() && !m_db->connectionLost())
            SlaveRefresh();
    });
}

void TovMainPerso::dbgMasterCellClick() {
    refreshPoint();
}

void TovMainPerso::dbgMasterColumnMoved() {
    refreshPoint();
}

void TovMainPerso::dbgMasterColEnter() {
    refreshPoint();
}

void TovMainPerso::dbgMasterEnter() {
    refreshPoint();
}

void TovMainPerso::dbgMasterKeyDown() {
    refreshPoint();
}

void TovMainPerso::dbnMasterClick() {
    refreshPoint();
}

bool TovMainPerso::eventFilter(QObject* watched, QEvent* event) {
    QTableView* master = ui.dbgMaster;
    if (watched == master && event->type() == QEvent::FocusIn) {
        // Entering the grid from another control; the window's own activations are not entries,
        // except the first one, when the screen comes up.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool activation =
            reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        if (!activation || !m_masterEnteredOnce) {
            m_masterEnteredOnce = true;
            dbgMasterEnter();
        }
    } else if ((watched == master || watched == ui.dbgSlave) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // The key-down handler runs before the grid moves.
        if (watched == master)
            dbgMasterKeyDown();
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
            guarded([&] {
                TableCursor* cursor = watched == master ? m_master : m_slave;
                cursor->requireOpen();
                if (cursor->row() < 0 || !askToDelete())
                    return;
                if (watched == master)
                    deleteCurrentTable();
                else
                    deleteCurrentElement();
            });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TovMainPerso::askToDelete() {
    return askConfirmation(DbNavigator::deleteQuestion());
}

// ---- Table maintenance ----

void TovMainPerso::readElementsAgain() {
    guarded([this] { elementsChanged(); });
}

void TovMainPerso::tblMaster_AfterDelete() {
    readElementsAgain();
}

void TovMainPerso::tblMaster_BeforeDelete() {
    const int current = m_master->row();
    if (current < 0)
        return;
    m_maintenance.deleteElementsOf(m_master->model()->keyOf(current).toString(), *this);
}

void TovMainPerso::deleteCurrentTable() {
    m_master->requireOpen();
    m_slave->requireOpen();
    const int place = m_master->row();
    if (place < 0)
        return;
    m_master->cancel();
    m_slave->post();
    m_maintenance.deleteTable(m_master->model()->keyOf(place).toString(), *this);
    m_master->refreshAt(place);
    tblMaster_AfterDelete();
}

void TovMainPerso::deleteCurrentElement() {
    m_slave->requireOpen();
    const int place = m_slave->row();
    if (place < 0)
        return;
    m_slave->cancel();
    m_maintenance.deleteElement(m_slave->model()->keyOf(place).toLongLong(), *this);
}

void TovMainPerso::editCurrentCell(QTableView* grid) {
    const QModelIndex current = grid->currentIndex();
    if (!current.isValid())
        return;
    grid->setFocus(Qt::OtherFocusReason);
    grid->edit(current);
}

void TovMainPerso::btnNouvelleTableClick() {
    guarded([this] {
        if (!m_maintenance.newTable(ui.edtID->text(), ui.edtNom->text(), *this))
            return;
        ui.edtID->clear();
        ui.edtNom->clear();
        // The element grid follows the new table, which the master grid stands on.
        SlaveRefresh();
        ui.edtElem->setFocus(Qt::OtherFocusReason);
    });
}

void TovMainPerso::btnAjouterClick() {
    guarded([this] {
        if (m_maintenance.addToCurrentTable(ui.edtElem->text(), ui.edtProba->text(), *this)) {
            ui.edtElem->clear();
            ui.edtProba->clear();
        }
    });
    ui.edtElem->setFocus(Qt::OtherFocusReason);
}

void TovMainPerso::AjouterElement(const QString& id, const QString& element,
                                  const QString& weight) {
    if (m_maintenance.addElement(id, element, weight, *this)) {
        ui.edtElem->clear();
        ui.edtProba->clear();
    }
}

void TovMainPerso::postPendingChanges() {
    for (TableCursor* cursor : {m_master, m_slave})
        if (cursor->isOpen())
            guarded([cursor] { cursor->post(); });
}

void TovMainPerso::reloadTables() {
    guarded([this] {
        if (!m_master->isOpen())
            return;
        m_master->refresh();
        SlaveRefresh();
    });
}

void TovMainPerso::btnRafraichirClick() {
    guarded([this] { m_maintenance.recount(*this); });
}

// ---- The grids as the maintenance actions see them ----

bool TovMainPerso::tablesOpen() const {
    return m_master->isOpen();
}

void TovMainPerso::requireTablesOpen() const {
    m_master->requireOpen();
}

void TovMainPerso::requireElementsOpen() const {
    m_slave->requireOpen();
}

void TovMainPerso::postPendingEdits() {
    m_master->post();
    m_slave->post();
}

std::optional<QString> TovMainPerso::currentTable() const {
    if (m_master->recNo() < 1)
        return std::nullopt;
    return m_master->value(QStringLiteral("Id")).toString();
}

bool TovMainPerso::standOnTable(const QString& key) {
    return m_master->locate(key);
}

void TovMainPerso::tablesChanged() {
    m_master->refresh();
}

void TovMainPerso::totalsChanged() {
    if (m_master->isOpen() && !m_master->isDirty())
        m_master->refresh();
}

void TovMainPerso::elementsChanged() {
    m_slave->refresh();
}

void TovMainPerso::showElementsOf(const QString& tableId) {
    m_slave->setFilter(ElementModel::tableFilter(tableId));
}

void TovMainPerso::standOnLastElement() {
    m_slave->refresh();
    m_slave->last();
}

void TovMainPerso::tablesRecounted() {
    m_master->refresh();
    m_master->last();
    SlaveRefresh();
}

// ---- Generators and print jobs ----

void TovMainPerso::runGenerator(OutputKind kind) {
    guarded([&] {
        m_master->requireOpen();
        m_slave->requireOpen();
        outputCursor(kind)->requireOpen();
        postPendingEdits();
        if (m_drafts->isOn())
            return m_drafts->start(kind);
        const RunReport& run = m_runs->run(kind);
        // The grids stand where the run's draws left them: on the element drawn last.
        if (!run.lastTable.isEmpty())
            standOnDrawn(run.lastTable, run.lastElement);
    });
}

void TovMainPerso::btnPersoClick() {
    runGenerator(OutputKind::Perso);
}

void TovMainPerso::btnTresorClick() {
    runGenerator(OutputKind::Tresor);
}

void TovMainPerso::btnRencontreClick() {
    runGenerator(OutputKind::Rencontre);
}

void TovMainPerso::btnVillageClick() {
    runGenerator(OutputKind::Village);
}

void TovMainPerso::printRun(OutputKind kind) {
    guarded([&] {
        m_runs->requirePrintable();
        postPendingEdits();
        m_runs->print(kind, this);
    });
}

void TovMainPerso::drawChosenTable() {
    guarded([&] {
        m_master->requireOpen();
        m_slave->requireOpen();
        postPendingEdits();
        const std::optional<QString> table = currentTable();
        if (!table) {
            showMessage(QStringLiteral("Choisissez d'abord une table dans la liste des tables."));
            return;
        }
        const QString name = m_master->value(QStringLiteral("Nom")).toString();
        if (m_drafts->isOn())
            return m_drafts->startTableDraw(*table, tableDrawTitle(*table, name));
        m_runs->drawExpanded(*table, name);
    });
}

PersonalGenerator TovMainPerso::storedGenerator(const QString& id) const {
    if (!m_db)
        throw DatabaseError(QStringLiteral("La base de données n'est pas ouverte."));
    const auto generator = GeneratorStore(*m_db).find(id);
    if (!generator)
        throw Error(QStringLiteral("Pas de générateur « %1 »").arg(id));
    return *generator;
}

void TovMainPerso::runPersonalGenerator(const QString& id) {
    guarded([&] {
        const PersonalGenerator generator = storedGenerator(id);
        m_master->requireOpen();
        m_slave->requireOpen();
        postPendingEdits();
        if (m_drafts->isOn())
            return m_drafts->start(generator);
        m_runs->runPersonal(generator);
    });
}

void TovMainPerso::printPersonalResults(const QString& id) {
    guarded([&] {
        const PersonalGenerator generator = storedGenerator(id);
        m_runs->requirePrintable();
        postPendingEdits();
        m_runs->printPersonal(generator, this);
    });
}

void TovMainPerso::btnImprimePersoClick() {
    printRun(OutputKind::Perso);
}

void TovMainPerso::btnImprimeTresorClick() {
    printRun(OutputKind::Tresor);
}

void TovMainPerso::btnPrintRencontreClick() {
    printRun(OutputKind::Rencontre);
}

void TovMainPerso::btnImprimeVillageClick() {
    printRun(OutputKind::Village);
}

} // namespace ov::ui
