#include "mainform.h"

#include "designscale.h"
#include "navigator.h"
#include "tablecursor.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
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

void MainForm::setupUi(QWidget* form, QObject* gridEvents) {
    scale = designScale(form);
    form->setFont(designFont(masterFont, 14, false, scale));

    const auto place = [this](QWidget* widget, const char* name, int x, int y, int w, int h) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(scaledRect(x, y, w, h, scale));
    };
    const auto button = [&](const char* name, const QString& caption, int x, int y, int w, int h) {
        auto* created = new QPushButton(caption, form);
        place(created, name, x, y, w, h);
        return created;
    };
    const auto edit = [&](const char* name, int x, int y, int w, int h) {
        auto* created = new QLineEdit(form);
        place(created, name, x, y, w, h);
        return created;
    };
    const auto grid = [&](const char* name, int x, int y, int w, int h) {
        auto* created = new QTableView(form);
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
        created->installEventFilter(gridEvents);
        return created;
    };
    const auto label = [&](const char* name, const QString& caption, int x, int y) {
        auto* created = new QLabel(caption, form);
        created->setObjectName(QString::fromLatin1(name));
        created->adjustSize();
        created->move(scaled(x, scale), scaled(y, scale));
    };

    dbgMaster = grid("dbgMaster", 15, 120, 370, 481);
    dbnMaster = new DbNavigator({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next,
                                 DbNavigator::Last, DbNavigator::Delete, DbNavigator::Post,
                                 DbNavigator::Cancel, DbNavigator::Refresh},
                                form);
    place(dbnMaster, "dbnMaster", 61, 610, 280, 31);
    edtID = edit("edtID", 126, 15, 60, 24);
    edtNom = edit("edtNom", 126, 44, 163, 24);
    btnNouvelleTable =
        button("btnNouvelleTable", QStringLiteral("&Nouvelle Table"), 124, 73, 104, 31);
    btnFin = button("btnFin", QStringLiteral("FIN"), 413, 12, 53, 38);
    btnFin->setFont(designFont(masterFont, 15, true, scale));
    dbgSlave = grid("dbgSlave", 650, 120, 267, 481);
    dbnEsclave = new DbNavigator({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next,
                                  DbNavigator::Last, DbNavigator::Delete, DbNavigator::Edit,
                                  DbNavigator::Post, DbNavigator::Cancel, DbNavigator::Refresh},
                                 form);
    place(dbnEsclave, "dbnEsclave", 651, 610, 270, 31);
    edtElem = edit("edtElem", 554, 15, 392, 24);
    edtProba = edit("edtProba", 554, 44, 53, 24);
    btnAjouter = button("btnAjouter", QStringLiteral("&Ajouter"), 554, 72, 68, 31);
    btnPerso = button("btnPerso", QStringLiteral("&Perso"), 408, 328, 110, 40);
    btnPerso->setFont(designFont(buttonFont, 23, true, scale));
    memPerso = new QPlainTextEdit(form);
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
    btnTresor->setFont(designFont(buttonFont, 23, true, scale));
    btnImprimeTresor = button("btnImprimeTresor", QStringLiteral("Impression"), 529, 272, 100, 40);
    btnRencontre = button("btnRencontre", QStringLiteral("&Rencontre"), 408, 216, 110, 40);
    btnRencontre->setFont(designFont(buttonFont, 20, true, scale));
    btnPrintRencontre =
        button("btnPrintRencontre", QStringLiteral("Impression"), 529, 216, 100, 40);
    btnVillage = button("btnVillage", QStringLiteral("&Village"), 408, 168, 110, 40);
    btnVillage->setFont(designFont(buttonFont, 20, true, scale));
    btnImprimeVillage =
        button("btnImprimeVillage", QStringLiteral("Impression"), 529, 168, 100, 40);
    for (QPushButton* print :
         {btnImprimePerso, btnImprimeTresor, btnPrintRencontre, btnImprimeVillage})
        print->setFont(designFont(masterFont, 17, true, scale));

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
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void MainForm::showTables(TableCursor& master, TableCursor& elements) {
    master.showIn(
        dbgMaster,
        [](const Database& db, QObject* parent) -> StoreTableModel* {
            return new MasterModel(db, parent);
        },
        [](QTableView* view) {
            hideField(view, QStringLiteral("rowid")); // an engine that shows the order as a column
            setDisplayWidth(view, QStringLiteral("Id"), 4);
            setDisplayWidth(view, QStringLiteral("NbrElement"), 3);
            setDisplayWidth(view, QStringLiteral("TotProba"), 3);
            fillWidth(view, QStringLiteral("Nom"));
        });
    elements.showIn(
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

} // namespace ov::ui
