#pragma once
// The main screen TovMainPerso: grids of the random tables, edit boxes, generators, memo, count.

#include "generators/generationrun.h"
#include "generators/generators.h"
#include "messages.h"
#include "tables/clock.h"
#include "tables/outputs.h"
#include "tables/random.h"
#include "templates/personalgenerator.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace ov {
class Database;
class TableDraw;
class TableMaintenance;
class UnprintedCount;
} // namespace ov

namespace ov::ui {

class DbNavigator;
class ReportForms;
class TableCursor;

class TovMainPerso : public QWidget, private RunHost {
    Q_OBJECT
public:
    // Builds the screen and runs FormCreate on the database file (empty: the alias "OV").
    explicit TovMainPerso(const QString& databasePath = QString(), QWidget* parent = nullptr);
    ~TovMainPerso() override;

    // The store, or null when it could not be opened.
    Database* database() const { return m_db.get(); }
    // The data objects.
    TableCursor* tblMaster_() const { return m_master; }
    TableCursor* tblSlave_() const { return m_slave; }
    TableCursor* outputCursor(OutputKind kind) const;
    // The unprinted-count query, or null when the store could not be opened.
    UnprintedCount* queCount() const { return m_count.get(); }

    RandomSource& randomSource() { return m_random; }
    // The clock of generated dates; the system clock unless a test sets one.
    void setClock(const Clock* clock) { m_clock = clock ? clock : &m_systemClock; }
    // The report forms that the "Impression" buttons use.
    void setReportForms(ReportForms* forms);
    ReportForms* reportForms() const { return m_reports; }
    // What the last generator run did.
    const RunReport& lastRun() const { return m_lastRun; }

    // A personal generator's run, as a generator button's: the memo shows the result, which is
    // stored, and the count follows that generator's unprinted results.
    void runPersonalGenerator(const QString& id);
    // The print run of a personal generator's results, as an "Impression" button's.
    void printPersonalResults(const QString& id);
    // What the last personal generator run did.
    const PersonalRunReport& lastPersonalRun() const { return m_lastPersonalRun; }

    // Draws from the table into result, leaving the grids on that table and element; a failed
    // draw shows its message, leaves result and the grids as they were and returns false.
    bool OV(const QString& id, QString& result);
    int D(int n);
    int D4();
    // The element grid shows the elements of the current master row, from the first.
    void SlaveRefresh();
    // Adds an element to a table (its checks, then the element; the totals follow).
    void AjouterElement(const QString& id, const QString& element, const QString& weight);

public Q_SLOTS:
    void FormCreate();
    void btnNouvelleTableClick();
    void btnAjouterClick();
    void btnRafraichirClick();
    void btnPersoClick();
    void btnTresorClick();
    void btnRencontreClick();
    void btnVillageClick();
    void btnImprimePersoClick();
    void btnImprimeTresorClick();
    void btnPrintRencontreClick();
    void btnImprimeVillageClick();
    void btnFinClick();
    // « Fichier › Importer une base Paradox… »: a folder chosen by the user is imported, then
    // the grids and the count are read again.
    void importParadoxBase();
    void dbgMasterCellClick();
    void dbgMasterColumnMoved();
    void dbgMasterColEnter();
    void dbgMasterEnter();
    void dbgMasterKeyDown();
    void dbnMasterClick();
    // The cascade before a master row goes: its elements deleted, the element table read again.
    void tblMaster_BeforeDelete();
    // The element table read again.
    void tblMaster_AfterDelete();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void wire();
    void openStore();
    void openCount();
    void closeTables();
    void postPendingEdits();
    void runGenerator(OutputKind kind);
    void printRun(OutputKind kind);
    void requirePrinting();
    PersonalGenerator storedGenerator(const QString& id) const;
    void filterElements(const QString& id);
    void refreshPoint();
    void standOnTable(const QString& id, const QString& element = QString());
    void deleteCurrentTable();
    void deleteCurrentElement();
    void editCurrentCell(QTableView* grid);
    void commitOpenEditors();
    std::unique_ptr<Database> openInsteadOfMissingFolder(const MissingFolderError& missing);
    void refreshMasterTotals();
    bool askToDelete();

    // RunHost
    void countClosed() override;
    void gridsHidden() override;
    void memoCleared() override;
    void lineAdded(const QString& line) override;
    void gridsShown() override;
    void countReopened(qint64 count) override;

    QString m_path;
    double m_scale = 1.0;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<TableMaintenance> m_maintenance;
    std::unique_ptr<TableDraw> m_draw;
    std::unique_ptr<UnprintedCount> m_count;
    RandomSource m_random;
    Dice m_dice{m_random};
    Clock m_systemClock;
    const Clock* m_clock = &m_systemClock;
    WindowMessageSink m_sink;
    ReportForms* m_reports = nullptr;
    RunReport m_lastRun;
    PersonalRunReport m_lastPersonalRun;
    bool m_masterEnteredOnce = false;

    TableCursor* m_master = nullptr;
    TableCursor* m_slave = nullptr;
    TableCursor* m_outputs[4] = {};

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
