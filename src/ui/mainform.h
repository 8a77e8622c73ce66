#pragma once
// The controls of the main screen at their design positions, built onto the widget that hosts them.

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

class QLineEdit;
class QObject;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QWidget;

namespace ov::ui {

class DbNavigator;
class TableCursor;

struct MainForm {
    // Creates every control as a child of form, named, placed and in tab order; the grids report
    // their focus and key events to gridEvents.
    void setupUi(QWidget* form, QObject* gridEvents);
    // The grids show the random tables: their columns and widths.
    void showTables(TableCursor& master, TableCursor& elements);

    // Places every control for the form's size at the scale (the screen's over the design
    // resolution, times the zoom): at the default size, or smaller, every control stands at its
    // design position; the room beyond goes to the memo first, then to the two grids, and the
    // controls beside them move along. The fonts follow the scale; a caption too wide for its
    // button takes the largest size that fits.
    void arrange(QSize formSize, double newScale);
    // The form's default size at the scale.
    QSize defaultSize() const;
    // The grids' columns fitted to their widths.
    void fitColumns();

    double scale = 1.0;

    // How a control follows the room beyond the default size.
    enum Follow {
        Fixed = 0,
        ShiftMaster = 1, // moves right by the master grid's growth
        ShiftMiddle = 2, // moves right by the master grid's and half the memo's growth
        ShiftRight = 3,  // moves right by the master grid's and the memo's growth
        ShiftMask = 3,
        GrowMaster = 4, // widens by the master grid's growth
        GrowMemo = 8,   // widens by the memo's growth
        GrowSlave = 16, // widens by the element grid's growth
        GrowDown = 32,  // heightens by the extra height
        ShiftDown = 64, // moves down by the extra height
    };
    struct Placed {
        QWidget* widget;
        QRect design; // a label: its corner only
        int follow;
        QString family; // empty: the form's font
        int fontPixels;
        bool bold;
    };
    QList<Placed> placed;
    QWidget* form = nullptr;
    bool fontsSet = false;

    QTableView* dbgMaster = nullptr;
    DbNavigator* dbnMaster = nullptr;
    QLineEdit* edtID = nullptr;
    QLineEdit* edtNom = nullptr;
    QPushButton* btnNouvelleTable = nullptr;
    QPushButton* btnFin = nullptr;
    QTableView* dbgSlave = nullptr;
    DbNavigator* dbnEsclave = nullptr;
    QLineEdit* edtElem = nullptr;
    QLineEdit* edtProba = nullptr;
    QPushButton* btnAjouter = nullptr;
    QPushButton* btnPerso = nullptr;
    QPlainTextEdit* memPerso = nullptr;
    QPushButton* btnImprimePerso = nullptr;
    QLineEdit* dbePersoNonImprime = nullptr;
    QPushButton* btnRafraichir = nullptr;
    QPushButton* btnTresor = nullptr;
    QPushButton* btnImprimeTresor = nullptr;
    QPushButton* btnRencontre = nullptr;
    QPushButton* btnPrintRencontre = nullptr;
    QPushButton* btnVillage = nullptr;
    QPushButton* btnImprimeVillage = nullptr;
};

} // namespace ov::ui
