#include "mainform.h"

#include "designscale.h"
#include "navigator.h"
#include "tablecursor.h"
#include "viewsettings.h"

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
constexpr int designWidth = 1000;
constexpr int designHeight = 700;

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

void layOutMaster(QTableView* view) {
    hideField(view, QStringLiteral("rowid")); // an engine that shows the order as a column
    setDisplayWidth(view, QStringLiteral("Id"), 4);
    setDisplayWidth(view, QStringLiteral("NbrElement"), 3);
    setDisplayWidth(view, QStringLiteral("TotProba"), 3);
    fillWidth(view, QStringLiteral("Nom"));
}

void layOutElements(QTableView* view) {
    hideField(view, QStringLiteral("ID"));
    hideField(view, QStringLiteral("rowid"));
    setDisplayWidth(view, QStringLiteral("Proba"), 3);
    fillWidth(view, QStringLiteral("Element"));
}

} // namespace

void MainForm::setupUi(QWidget* host, QObject* gridEvents) {
    form = host;
    scale = designScale(form) * ViewSettings::instance().zoom();

    const auto place = [this](QWidget* widget, const char* name, int x, int y, int w, int h,
                              int follow = Fixed) {
        widget->setObjectName(QString::fromLatin1(name));
        placed.append({widget, QRect(x, y, w, h), follow, QString(), 0, false});
    };
    const auto button = [&](const char* name, const QString& caption, int x, int y, int w, int h,
                            int follow = Fixed) {
        auto* created = new QPushButton(caption, form);
        place(created, name, x, y, w, h, follow);
        return created;
    };
    const auto edit = [&](const char* name, int x, int y, int w, int h, int follow = Fixed) {
        auto* created = new QLineEdit(form);
        place(created, name, x, y, w, h, follow);
        return created;
    };
    const auto grid = [&](const char* name, int x, int y, int w, int h, int follow) {
        auto* created = new QTableView(form);
        place(created, name, x, y, w, h, follow);
        created->verticalHeader()->hide();
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
    const auto label = [&](const char* name, const QString& caption, int x, int y,
                           int follow = Fixed) {
        auto* created = new QLabel(caption, form);
        created->setObjectName(QString::fromLatin1(name));
        placed.append({created, QRect(x, y, 0, 0), follow, QString(), 0, false});
    };
    const auto font = [this](QWidget* widget, const QString& family, int pixels, bool bold) {
        for (Placed& p : placed)
            if (p.widget == widget) {
                p.family = family;
                p.fontPixels = pixels;
                p.bold = bold;
            }
    };

    dbgMaster = grid("dbgMaster", 15, 120, 370, 481, GrowMaster | GrowDown);
    dbnMaster = new DbNavigator({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next,
                                 DbNavigator::Last, DbNavigator::Delete, DbNavigator::Post,
                                 DbNavigator::Cancel, DbNavigator::Refresh},
                                form);
    place(dbnMaster, "dbnMaster", 61, 610, 280, 31, ShiftDown);
    edtID = edit("edtID", 126, 15, 60, 24);
    edtNom = edit("edtNom", 126, 44, 163, 24);
    btnNouvelleTable =
        button("btnNouvelleTable", QStringLiteral("&Nouvelle Table"), 124, 73, 104, 31);
    btnFin = button("btnFin", QStringLiteral("FIN"), 413, 12, 53, 38, ShiftMiddle);
    font(btnFin, masterFont, 15, true);
    dbgSlave = grid("dbgSlave", 650, 120, 267, 481, ShiftRight | GrowSlave | GrowDown);
    dbnEsclave = new DbNavigator({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next,
                                  DbNavigator::Last, DbNavigator::Delete, DbNavigator::Edit,
                                  DbNavigator::Post, DbNavigator::Cancel, DbNavigator::Refresh},
                                 form);
    place(dbnEsclave, "dbnEsclave", 651, 610, 270, 31, ShiftRight | ShiftDown);
    edtElem = edit("edtElem", 554, 15, 392, 24, ShiftRight);
    edtProba = edit("edtProba", 554, 44, 53, 24, ShiftRight);
    btnAjouter = button("btnAjouter", QStringLiteral("&Ajouter"), 554, 72, 68, 31, ShiftRight);
    btnPerso = button("btnPerso", QStringLiteral("&Perso"), 408, 328, 110, 40, ShiftMiddle);
    font(btnPerso, buttonFont, 23, true);
    memPerso = new QPlainTextEdit(form);
    place(memPerso, "memPerso", 422, 376, 195, 225, ShiftMaster | GrowMemo | GrowDown);
    memPerso->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memPerso->setWordWrapMode(QTextOption::WordWrap);
    memPerso->setTabChangesFocus(true);
    memPerso->setPlainText(QStringLiteral("memPerso"));
    btnImprimePerso =
        button("btnImprimePerso", QStringLiteral("Impression"), 529, 328, 100, 40, ShiftMiddle);
    dbePersoNonImprime = edit("dbePersoNonImprime", 524, 124, 31, 24, ShiftMiddle);
    dbePersoNonImprime->setReadOnly(true);
    dbePersoNonImprime->setFocusPolicy(Qt::ClickFocus);
    btnRafraichir = button("btnRafraichir", QStringLiteral("Rafraîchir"), 232, 74, 89, 31);
    btnTresor = button("btnTresor", QStringLiteral("&Trésor"), 408, 272, 110, 40, ShiftMiddle);
    font(btnTresor, buttonFont, 23, true);
    btnImprimeTresor =
        button("btnImprimeTresor", QStringLiteral("Impression"), 529, 272, 100, 40, ShiftMiddle);
    btnRencontre =
        button("btnRencontre", QStringLiteral("&Rencontre"), 408, 216, 110, 40, ShiftMiddle);
    font(btnRencontre, buttonFont, 20, true);
    btnPrintRencontre =
        button("btnPrintRencontre", QStringLiteral("Impression"), 529, 216, 100, 40, ShiftMiddle);
    btnVillage = button("btnVillage", QStringLiteral("&Village"), 408, 168, 110, 40, ShiftMiddle);
    font(btnVillage, buttonFont, 20, true);
    btnImprimeVillage =
        button("btnImprimeVillage", QStringLiteral("Impression"), 529, 168, 100, 40, ShiftMiddle);
    for (QPushButton* print :
         {btnImprimePerso, btnImprimeTresor, btnPrintRencontre, btnImprimeVillage})
        font(print, masterFont, 17, true);

    label("lblID", QStringLiteral("ID"), 103, 22);
    label("lblNom", QStringLiteral("Nom"), 89, 52);
    label("lblElement", QStringLiteral("Element"), 495, 22, ShiftRight);
    label("lblProbabilite", QStringLiteral("Probabilité"), 480, 51, ShiftRight);
    label("lblAImprimer", QStringLiteral("A imprimer"), 440, 128, ShiftMiddle);

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
    arrange(defaultSize(), scale);
}

QSize MainForm::defaultSize() const {
    return QSize(scaled(designWidth, scale), scaled(designHeight, scale));
}

void MainForm::arrange(QSize formSize, double newScale) {
    const bool rescaled = !qFuzzyCompare(newScale, scale) || !fontsSet;
    scale = newScale;
    if (rescaled) {
        form->setFont(designFont(masterFont, 14, false, scale));
        for (QTableView* grid : {dbgMaster, dbgSlave})
            grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    }
    // The room beyond the default size, in screen pixels.
    const QSize base = defaultSize();
    const int extraWidth = qMax(0, formSize.width() - base.width());
    const int extraHeight = qMax(0, formSize.height() - base.height());
    const int master = extraWidth / 5;
    const int slave = extraWidth / 5;
    const int memo = extraWidth - master - slave;

    for (const Placed& p : placed) {
        const QRect at =
            scaledRect(p.design.x(), p.design.y(), p.design.width(), p.design.height(), scale);
        int dx = 0;
        switch (p.follow & ShiftMask) {
        case ShiftMaster:
            dx = master;
            break;
        case ShiftMiddle:
            dx = master + memo / 2;
            break;
        case ShiftRight:
            dx = master + memo;
            break;
        default:
            break;
        }
        int width = at.width();
        if (p.follow & GrowMaster)
            width += master;
        if (p.follow & GrowMemo)
            width += memo;
        if (p.follow & GrowSlave)
            width += slave;
        const int dy = (p.follow & ShiftDown) ? extraHeight : 0;
        const int height = at.height() + ((p.follow & GrowDown) ? extraHeight : 0);

        if (auto* label = qobject_cast<QLabel*>(p.widget)) {
            if (rescaled)
                label->adjustSize();
            label->move(at.x() + dx, at.y() + dy);
            continue;
        }
        p.widget->setGeometry(at.x() + dx, at.y() + dy, width, height);
        if (auto* button = qobject_cast<QPushButton*>(p.widget); button && rescaled) {
            const int pixels = p.fontPixels > 0 ? p.fontPixels : 14;
            button->setFont(
                designFont(p.family.isEmpty() ? masterFont : p.family, pixels, p.bold, scale));
            // A caption wider than its button takes the largest size that fits.
            const int fitting = fittingPixelSize(*button, scaled(pixels, scale));
            if (fitting < button->font().pixelSize()) {
                QFont smaller = button->font();
                smaller.setPixelSize(fitting);
                button->setFont(smaller);
            }
        }
    }
    fontsSet = true;
    if (rescaled) {
        fitColumns();
    } else {
        fillWidth(dbgMaster, QStringLiteral("Nom"));
        fillWidth(dbgSlave, QStringLiteral("Element"));
    }
}

void MainForm::fitColumns() {
    layOutMaster(dbgMaster);
    layOutElements(dbgSlave);
}

void MainForm::showTables(TableCursor& master, TableCursor& elements) {
    master.showIn(
        dbgMaster,
        [](const Database& db, QObject* parent) -> StoreTableModel* {
            return new MasterModel(db, parent);
        },
        layOutMaster);
    elements.showIn(
        dbgSlave,
        [](const Database& db, QObject* parent) -> StoreTableModel* {
            return new ElementModel(db, parent);
        },
        layOutElements);
}

} // namespace ov::ui
