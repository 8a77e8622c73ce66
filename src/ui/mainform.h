#pragma once
// The controls of the main screen at their design positions, built onto the widget that hosts them.

#include <QList>

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

    double scale = 1.0;

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
