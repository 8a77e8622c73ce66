#include "mainscreen.h"

#include "designscale.h"
#include "navigator.h"
#include "paradoximportaction.h"
#include "reportforms.h"
#include "reports/reportdefinition.h"
#include "tablecursor.h"
#include "tables/database.h"
#include "tables/errors.h"
#include "tables/maintenance.h"
#include "tables/tabledraw.h"
#include "templates/personalgeneration.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlRecord>
#include <QStyle>
#include <QTableView>

namespace ov::ui {

namespace {

const QString masterFont = QStringLiteral("MS Sans Serif");
const QString buttonFont = QStringLiteral("Tahoma");

// Column widths follow the fields' display widths, in characters.
void setDisplayWidth(QTableView* grid, const QString& field, int characters) {
    auto* model = qobject_cast<QSqlTableModel*>(grid->model());
    if (!model)
        return;
    const int column = model->fieldIndex(field);
    if (column < 0)
        return;
    const QFontMetrics metrics = grid->fontMetrics();
    const int padding = metrics.horizontalAdvance(QStringLiteral("00"));
    const int forText = metrics.horizontalAdvance(QLatin1Char('0')) * characters;
    const int forTitle = grid->horizontalHeader()->fontMetrics().horizontalAdvance(field);
    grid->setColumnWidth(column, qMax(forText, forTitle) + padding);
}

// The text column takes the width that the other visible columns leave.
void fillWidth(QTableView* grid, const QString& field) {
    auto* model = qobject_cast<QSqlTableModel*>(grid->model());
    if (!model || model->fieldIndex(field) < 0)
        return;
    const int column = model->fieldIndex(field);
    int available = grid->width() - 2 * grid->frameWidth() -
                    grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid);
    for (int c = 0; c < model->columnCount(); ++c)
        if (c != column && !grid->isColumnHidden(c))
            available -= grid->columnWidth(c);
    grid->setColumnWidth(column, qMax(available, grid->fontMetrics().horizontalAdvance(field)));
}

void hideField(QTableView* grid, const QString& field) {
    auto* model = qobject_cast<QSqlTableModel*>(grid->model());
    if (model && model->fieldIndex(field) >= 0)
        grid->setColumnHidden(model->fieldIndex(field), true);
}

} // namespace

TovMainPerso::TovMainPerso(const QString& databasePath, QWidget* parent)
    : QWidget(parent), m_path(databasePath) {
    setObjectName(QStringLiteral("ovMainPerso"));
    setWindowTitle(QStringLiteral("Orvanthe Main Screen"));
    m_scale = designScale(this);
    setFont(designFont(masterFont, 14, false, m_scale));
    resize(scaled(1000, m_scale), scaled(700, m_scale));

    m_master = new TableCursor(QStringLiteral("tblMaster_"), QStringLiteral("OVmaster"), this);
    m_slave = new TableCursor(QStringLiteral("tblSlave_"), QStringLiteral("OVslave"), this);
    for (OutputKind kind : allOutputKinds) {
        const OutputTable& table = outputTable(kind);
        m_outputs[int(kind)] = new TableCursor(
            QStringLiteral("tbl") + table.textField + QLatin1Char('_'), table.table, this);
    }

    buildControls();
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

void TovMainPerso::buildControls() {
    const auto place = [this](QWidget* widget, const char* name, int x, int y, int w, int h) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(scaledRect(x, y, w, h, m_scale));
    };
    const auto button = [&](const char* name, const QString& caption, int x, int y, int w, int h) {
        auto* created = new QPushButton(caption, this);
        place(created, name, x, y, w, h);
        return created;
    };
    const auto edit = [&](const char* name, int x, int y, int w, int h) {
        auto* created = new QLineEdit(this);
        place(created, name, x, y, w, h);
        return created;
    };
    const auto grid = [&](const char* name, int x, int y, int w, int h) {
        auto* created = new QTableView(this);
        place(created, name, x, y, w, h);
        created->verticalHeader()->hide();
        created->verticalHeader()->setDefaultSectionSize(created->fontMetrics().height() + 6);
        created->horizontalHeader()->setSectionsMovable(true);
        created->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        created->setSelectionBehavior(QAbstractItemView::SelectItems);
        created->setSelectionMode(QAbstractItemView::SingleSelection);
        created->setEditTriggers(QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
        created->setTabKeyNavigation(true);
        created->installEventFilter(this);
        return created;
    };
    const auto label = [&](const char* name, const QString& caption, int x, int y) {
        auto* created = new QLabel(caption, this);
        created->setObjectName(QString::fromLatin1(name));
        created->adjustSize();
        created->move(scaled(x, m_scale), scaled(y, m_scale));
    };

    dbgMaster = grid("dbgMaster", 15, 120, 370, 481);
    dbnMaster = new DbNavigator({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next,
                                 DbNavigator::Last, DbNavigator::Delete, DbNavigator::Post,
                                 DbNavigator::Cancel, DbNavigator::Refresh},
                                this);
    place(dbnMaster, "dbnMaster", 61, 610, 280, 31);
    edtID = edit("edtID", 126, 15, 60, 24);
    edtNom = edit("edtNom", 126, 44, 163, 24);
    btnNouvelleTable =
        button("btnNouvelleTable", QStringLiteral("&Nouvelle Table"), 124, 73, 104, 31);
    btnFin = button("btnFin", QStringLiteral("FIN"), 413, 12, 53, 38);
    btnFin->setFont(designFont(masterFont, 15, true, m_scale));
    dbgSlave = grid("dbgSlave", 650, 120, 267, 481);
    dbnEsclave = new DbNavigator({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next,
                                  DbNavigator::Last, DbNavigator::Delete, DbNavigator::Edit,
                                  DbNavigator::Post, DbNavigator::Cancel, DbNavigator::Refresh},
                                 this);
    place(dbnEsclave, "dbnEsclave", 651, 610, 270, 31);
    edtElem = edit("edtElem", 554, 15, 392, 24);
    edtProba = edit("edtProba", 554, 44, 53, 24);
    btnAjouter = button("btnAjouter", QStringLiteral("&Ajouter"), 554, 72, 68, 31);
    btnPerso = button("btnPerso", QStringLiteral("&Perso"), 408, 328, 110, 40);
    btnPerso->setFont(designFont(buttonFont, 23, true, m_scale));
    memPerso = new QPlainTextEdit(this);
    place(memPerso, "memPerso", 422, 376, 195, 225);
    memPerso->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memPerso->setWordWrapMode(QTextOption::WordWrap);
    memPerso->setTabChangesFocus(true);
    memPerso->setPlainText(QStringLiteral("memPerso"));
    btnImprimePerso = button("btnImprimePerso", QStringLiteral("Impression"), 529, 328, 100, 40);
    dbePersoNonImprime = edit("dbePersoNonImprime", 524, 124, 31, 24);
    dbePersoNonImprime->setReadOnly(true);
    dbePersoNonImprime->setFocusPolicy(Qt::ClickFocus);
    btnRafraichir = button("btnRafraichir", QStringLiteral("Rafraîchir"), 232, 74, 89, 31);
    btnTresor = button("btnTresor", QStringLiteral("&Trésor"), 408, 272, 110, 40);
    btnTresor->setFont(designFont(buttonFont, 23, true, m_scale));
    btnImprimeTresor = button("btnImprimeTresor", QStringLiteral("Impression"), 529, 272, 100, 40);
    btnRencontre = button("btnRencontre", QStringLiteral("&Rencontre"), 408, 216, 110, 40);
    btnRencontre->setFont(designFont(buttonFont, 20, true, m_scale));
    btnPrintRencontre =
        button("btnPrintRencontre", QStringLiteral("Impression"), 529, 216, 100, 40);
    btnVillage = button("btnVillage", QStringLiteral("&Village"), 408, 168, 110, 40);
    btnVillage->setFont(designFont(buttonFont, 20, true, m_scale));
    btnImprimeVillage =
        button("btnImprimeVillage", QStringLiteral("Impression"), 529, 168, 100, 40);
    for (QPushButton* print :
         {btnImprimePerso, btnImprimeTresor, btnPrintRencontre, btnImprimeVillage})
        print->setFont(designFont(masterFont, 17, true, m_scale));

    label("lblID", QStringLiteral("ID"), 103, 22);
    label("lblNom", QStringLiteral("Nom"), 89, 52);
    label("lblElement", QStringLiteral("Element"), 495, 22);
    label("lblProbabilite", QStringLiteral("Probabilité"), 480, 51);
    label("lblAImprimer", QStringLiteral("A imprimer"), 440, 128);

    const QList<QWidget*> tabOrder{dbgMaster,
                                   dbnMaster,
                                   edtID,
                                   edtNom,
                                   btnNouvelleTable,
                                   btnFin,
                                   dbgSlave,
                                   dbnEsclave,
                                   edtElem,
                                   edtProba,
                                   btnAjouter,
                                   btnPerso,
                                   memPerso,
                                   btnImprimePerso,
                                   btnRafraichir,
                                   btnTresor,
                                   btnImprimeTresor,
                                   btnRencontre,
                                   btnPrintRencontre,
                                   btnVillage,
                                   btnImprimeVillage};
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    m_master->showIn(
        dbgMaster,
        [](const Database& db, QObject* parent) -> StoreTableModel* {
            return new MasterModel(db, parent);
        },
        [](QTableView* view) {
            setDisplayWidth(view, QStringLiteral("Id"), 4);
            setDisplayWidth(view, QStringLiteral("NbrElement"), 3);
            setDisplayWidth(view, QStringLiteral("TotProba"), 3);
            fillWidth(view, QStringLiteral("Nom"));
        });
    m_slave->showIn(
        dbgSlave,
        [](const Database& db, QObject* parent) -> StoreTableModel* {
            return new ElementModel(db, parent);
        },
        [](QTableView* view) {
            hideField(view, QStringLiteral("ID"));
            hideField(view, QStringLiteral("rowid"));
            setDisplayWidth(view, QStringLiteral("Proba"), 3);
            fillWidth(view, QStringLiteral("Element"));
        });
}

void TovMainPerso::wire() {
    connect(btnNouvelleTable, &QPushButton::clicked, this, &TovMainPerso::btnNouvelleTableClick);
    connect(btnAjouter, &QPushButton::clicked, this, &TovMainPerso::btnAjouterClick);
    connect(btnRafraichir, &QPushButton::clicked, this, &TovMainPerso::btnRafraichirClick);
    connect(btnPerso, &QPushButton::clicked, this, &TovMainPerso::btnPersoClick);
    connect(btnTresor, &QPushButton::clicked, this, &TovMainPerso::btnTresorClick);
    connect(btnRencontre, &QPushButton::clicked, this, &TovMainPerso::btnRencontreClick);
    connect(btnVillage, &QPushButton::clicked, this, &TovMainPerso::btnVillageClick);
    connect(btnImprimePerso, &QPushButton::clicked, this, &TovMainPerso::btnImprimePersoClick);
    connect(btnImprimeTresor, &QPushButton::clicked, this, &TovMainPerso::btnImprimeTresorClick);
    connect(btnPrintRencontre, &QPushButton::clicked, this, &TovMainPerso::btnPrintRencontreClick);
    connect(btnImprimeVillage, &QPushButton::clicked, this, &TovMainPerso::btnImprimeVillageClick);
    connect(btnFin, &QPushButton::clicked, this, &TovMainPerso::btnFinClick);

    connect(dbgMaster, &QTableView::clicked, this, &TovMainPerso::dbgMasterCellClick);
    connect(dbgMaster->horizontalHeader(), &QHeaderView::sectionMoved, this,
            &TovMainPerso::dbgMasterColumnMoved);
    connect(m_master, &TableCursor::columnEntered, this, &TovMainPerso::dbgMasterColEnter);
    connect(dbnMaster, &DbNavigator::clicked, this, &TovMainPerso::dbnMasterClick);

    // The master's events: before edit and after post read the element table again.
    connect(m_master, &TableCursor::editStarting, this, &TovMainPerso::tblMaster_AfterDelete);
    connect(m_master, &TableCursor::posted, this, &TovMainPerso::tblMaster_AfterDelete);
    // An element posted in the grid changes its table's totals in the store.
    connect(m_slave, &TableCursor::posted, this,
            [this] { guarded([this] { refreshMasterTotals(); }); });

    dbnMaster->bind(
        m_master, [this] { deleteCurrentTable(); }, nullptr);
    dbnEsclave->bind(
        m_slave, [this] { deleteCurrentElement(); }, [this] { editCurrentCell(dbgSlave); });
}

void TovMainPerso::setReportForms(ReportForms* forms) {
    m_reports = forms;
    if (forms)
        connect(forms, &ReportForms::countRefreshed, this,
                [this](qint64 count) { countReopened(count); });
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
    m_maintenance = std::make_unique<TableMaintenance>(*m_db);
    m_draw = std::make_unique<TableDraw>(*m_db, m_dice);
    m_count = std::make_unique<UnprintedCount>(*m_db);
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

void TovMainPerso::openCount() {
    m_count->open();
    countReopened(m_count->value());
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
        openCount();
        move(0, 0);
        resize(scaled(1000, m_scale), scaled(700, m_scale));
        m_random.seedFromClock();
    });
}

void TovMainPerso::postPendingEdits() {
    m_master->post();
    m_slave->post();
}

void TovMainPerso::commitOpenEditors() {
    // A cell editor still open hands its text to the grid, as leaving the cell would, however
    // the window is closed (FIN, the title bar, the end of the program).
    for (QTableView* grid : {dbgMaster, dbgSlave}) {
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
        openCount();
    });
}

void TovMainPerso::btnFinClick() {
    closeTables();
    close();
    QCoreApplication::quit();
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
    standOnTable(id, result);
    return true;
}

void TovMainPerso::standOnTable(const QString& id, const QString& element) {
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

void TovMainPerso::filterElements(const QString& id) {
    m_slave->setFilter(ElementModel::tableFilter(id));
}

void TovMainPerso::SlaveRefresh() {
    m_master->requireOpen();
    m_slave->requireOpen();
    filterElements(m_master->value(QStringLiteral("Id")).toString());
}

// ---- The master grid's refresh points ----

void TovMainPerso::refreshPoint() {
    // Moving in an empty grid of a closed table is no action: nothing to refresh.
    guarded([this] {
        if (m_master->isOpen() && m_slave->isOpen())
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
    if (watched == dbgMaster && event->type() == QEvent::FocusIn) {
        // Entering the grid from another control; the window's own activations are not entries,
        // except the first one, when the screen comes up.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool activation =
            reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        if (!activation || !m_masterEnteredOnce) {
            m_masterEnteredOnce = true;
            dbgMasterEnter();
        }
    } else if ((watched == dbgMaster || watched == dbgSlave) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // The key-down handler runs before the grid moves.
        if (watched == dbgMaster)
            dbgMasterKeyDown();
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::ControlModifier) {
            guarded([&] {
                TableCursor* cursor = watched == dbgMaster ? m_master : m_slave;
                cursor->requireOpen();
                if (cursor->row() < 0 || !askToDelete())
                    return;
                if (watched == dbgMaster)
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

void TovMainPerso::tblMaster_AfterDelete() {
    guarded([this] { m_slave->refresh(); });
}

void TovMainPerso::tblMaster_BeforeDelete() {
    const int current = m_master->row();
    if (current < 0)
        return;
    m_maintenance->deleteElements(m_master->model()->keyOf(current).toString());
    m_slave->refresh();
}

void TovMainPerso::deleteCurrentTable() {
    m_master->requireOpen();
    m_slave->requireOpen();
    const int place = m_master->row();
    if (place < 0)
        return;
    m_master->cancel();
    m_slave->post();
    const QString id = m_master->model()->keyOf(place).toString();
    try {
        m_db->transaction([&] {
            tblMaster_BeforeDelete();
            m_maintenance->deleteTableRow(id);
        });
    } catch (const Error&) {
        // Nothing was deleted: the element grid shows the elements again.
        guarded([this] { m_slave->refresh(); });
        throw;
    }
    m_master->refreshAt(place);
    tblMaster_AfterDelete();
}

void TovMainPerso::deleteCurrentElement() {
    m_slave->requireOpen();
    const int place = m_slave->row();
    if (place < 0)
        return;
    m_slave->cancel();
    m_maintenance->deleteElement(m_slave->model()->keyOf(place).toLongLong());
    m_slave->refreshAt(place);
    refreshMasterTotals();
}

void TovMainPerso::editCurrentCell(QTableView* grid) {
    const QModelIndex current = grid->currentIndex();
    if (!current.isValid())
        return;
    grid->setFocus(Qt::OtherFocusReason);
    grid->edit(current);
}

void TovMainPerso::refreshMasterTotals() {
    if (m_master->isOpen() && !m_master->isDirty())
        m_master->refresh();
}

void TovMainPerso::btnNouvelleTableClick() {
    guarded([this] {
        const QString id = edtID->text();
        const QString name = edtNom->text();
        if (id.isEmpty() || name.isEmpty()) {
            showMessage(maintenance::enterValues());
            return;
        }
        m_master->requireOpen();
        const QString key = TableMaintenance::tableKey(id);
        if (m_master->locate(key)) {
            showMessage(maintenance::tableExists());
            return;
        }
        if (const Refusal refusal = m_maintenance->createTable(id, name)) {
            showMessage(*refusal);
            return;
        }
        m_master->refresh();
        m_master->locate(key);
        // After insert and after post.
        tblMaster_AfterDelete();
        edtID->clear();
        edtNom->clear();
        edtElem->setFocus(Qt::OtherFocusReason);
    });
}

void TovMainPerso::btnAjouterClick() {
    guarded([this] {
        if (!m_master->isOpen())
            showMessage(maintenance::masterInactive());
        else if (m_master->recNo() < 1)
            showMessage(maintenance::noTableSelected());
        else if (edtElem->text().isEmpty() || edtProba->text().isEmpty())
            showMessage(maintenance::enterElementValues());
        else {
            postPendingEdits();
            AjouterElement(m_master->value(QStringLiteral("Id")).toString(), edtElem->text(),
                           edtProba->text());
        }
    });
    edtElem->setFocus(Qt::OtherFocusReason);
}

void TovMainPerso::AjouterElement(const QString& id, const QString& element,
                                  const QString& weight) {
    m_slave->requireOpen();
    postPendingEdits();
    if (m_maintenance->elementExists(id, element)) {
        showMessage(maintenance::elementExists());
        return;
    }
    filterElements(id);
    if (const Refusal refusal = m_maintenance->addElement(id, element, weight)) {
        showMessage(*refusal);
        return;
    }
    // The new element is the table's last one in insertion order.
    m_slave->refresh();
    m_slave->last();
    edtElem->clear();
    edtProba->clear();
    // The store has already counted the element in its table's totals.
    refreshMasterTotals();
}

void TovMainPerso::btnRafraichirClick() {
    guarded([this] {
        m_master->requireOpen();
        m_slave->requireOpen();
        postPendingEdits();
        m_maintenance->recount();
        m_master->refresh();
        m_master->last();
        SlaveRefresh();
    });
}

// ---- Generators and print runs ----

void TovMainPerso::runGenerator(OutputKind kind) {
    guarded([&] {
        m_master->requireOpen();
        m_slave->requireOpen();
        outputCursor(kind)->requireOpen();
        postPendingEdits();
        Generation generation(*m_db, *m_count, *m_clock, *m_draw, m_sink);
        m_lastRun = generation.run(kind, *this);
        // The grids stand where the run's draws left them: on the element drawn last.
        if (!m_lastRun.lastTable.isEmpty())
            standOnTable(m_lastRun.lastTable, m_lastRun.lastElement);
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

void TovMainPerso::requirePrinting() {
    if (!m_count)
        throw DatabaseError(
            QStringLiteral("Impression impossible : la base de données n'est pas ouverte."));
    if (!m_reports)
        throw DatabaseError(QStringLiteral(
            "Impression impossible : les formulaires d'impression n'ont pas pu être créés."));
}

void TovMainPerso::printRun(OutputKind kind) {
    guarded([&] {
        requirePrinting();
        postPendingEdits();
        m_reports->print(kind, *m_count, this);
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
        PersonalGeneration generation(*m_db, *m_count, *m_clock, *m_draw, m_sink);
        m_lastPersonalRun = generation.run(generator, *this);
    });
}

void TovMainPerso::printPersonalResults(const QString& id) {
    guarded([&] {
        const PersonalGenerator generator = storedGenerator(id);
        requirePrinting();
        postPendingEdits();
        m_reports->print(personalReportDefinition(generator.id, generator.nom), *m_count, this);
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

// ---- What a generation run shows ----

void TovMainPerso::countClosed() {
    dbePersoNonImprime->clear();
}

void TovMainPerso::gridsHidden() {
    for (QTableView* grid : {dbgMaster, dbgSlave}) {
        grid->hide();
        grid->setEnabled(false);
    }
}

void TovMainPerso::memoCleared() {
    memPerso->clear();
}

void TovMainPerso::lineAdded(const QString& line) {
    memPerso->appendPlainText(line);
}

void TovMainPerso::gridsShown() {
    memPerso->viewport()->update();
    for (QTableView* grid : {dbgSlave, dbgMaster}) {
        grid->show();
        grid->setEnabled(true);
    }
}

void TovMainPerso::countReopened(qint64 count) {
    dbePersoNonImprime->setText(QString::number(count));
}

} // namespace ov::ui
