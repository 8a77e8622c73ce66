#pragma once
// The main screen TovMainPerso: the form's controls wired to the store, the table maintenance,
// the generator runs and the print jobs.

#include "generators/generators.h"
#include "mainform.h"
#include "messages.h"
#include "tables/clock.h"
#include "tables/maintenanceactions.h"
#include "tables/outputs.h"
#include "tables/random.h"
#include "templates/personalgenerator.h"

#include <QWidget>
#include <memory>

namespace ov {
class Database;
class TableDraw;
class UnprintedCount;
} // namespace ov

namespace ov::ui {

class DraftMode;
class GeneratorRuns;
class ReportForms;
class TableCursor;

// The form as a widget: a window of its own, or the central widget of a host under a menu bar.
class TovMainPerso : public QWidget, private TablesView {
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
    void setClock(const Clock* clock);
    // The report forms that the "Impression" buttons use.
    void setReportForms(ReportForms* forms);
    ReportForms* reportForms() const;
    // What the last generator run did.
    const RunReport& lastRun() const;

    // A personal generator's run, as a generator button's: the memo shows the result, which is
    // stored, and the count follows that generator's unprinted results.
    void runPersonalGenerator(const QString& id);
    // The print run of a personal generator's results, as an "Impression" button's.
    void printPersonalResults(const QString& id);
    // What the last personal generator run did.
    const PersonalRunReport& lastPersonalRun() const;
    // Draft mode: when on, runs fill the memo without storing until the draft is kept.
    DraftMode* drafts() const { return m_drafts; }

    // Draws from the table into result, leaving the grids on that table and element; a failed
    // draw shows its message, leaves result and the grids as they were and returns false.
    bool OV(const QString& id, QString& result);
    int D(int n);
    int D4();
    // The element grid shows the elements of the current master row, from the first.
    void SlaveRefresh();
    // Before the tables change behind the grids (an import, an export, another database): a
    // change pending in a grid is posted.
    void postPendingChanges();
    // After the tables changed behind the grids: both grids read them again.
    void reloadTables();
    // Adds an element to a table (its checks, then the element; the totals follow).
    void AjouterElement(const QString& id, const QString& element, const QString& weight);

    // « Tirer sur la table choisie »: one element of the current table, expanded as a personal
    // generator's template would be, in the memo under a line naming the table; nothing stored.
    void drawChosenTable();

    // The memo shows these lines, as a run leaves it.
    void showText(const QStringList& lines);

    // The form's default size at the current zoom, and a rectangle of design pixels at that zoom.
    QSize defaultSize() const;
    QRect designRect(const QRect& design) const;
    double zoom() const;

public Q_SLOTS:
    // Fonts and positions scaled by the zoom (1 = the design size), the room beyond the default
    // size still given to the memo and the grids.
    void setZoom(double zoom);
    // The output tables read again and the count reopened, after records changed elsewhere.
    void refreshRecords();
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
    // After a master row is deleted: the element table read again.
    void tblMaster_AfterDelete();
    // After a master row is inserted, before one is edited and after one is posted: the element
    // table read again.
    void readElementsAgain();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void wire();
    void openStore();
    void closeTables();
    void runGenerator(OutputKind kind);
    void printRun(OutputKind kind);
    void standOnDrawn(const QString& id, const QString& element);
    PersonalGenerator storedGenerator(const QString& id) const;
    void refreshPoint();
    void deleteCurrentTable();
    void deleteCurrentElement();
    void editCurrentCell(QTableView* grid);
    void commitOpenEditors();
    std::unique_ptr<Database> openInsteadOfMissingFolder(const MissingFolderError& missing);
    bool askToDelete();

    // TablesView: the two grids.
    bool tablesOpen() const override;
    void requireTablesOpen() const override;
    void requireElementsOpen() const override;
    void postPendingEdits() override;
    std::optional<QString> currentTable() const override;
    bool standOnTable(const QString& key) override;
    void tablesChanged() override;
    void totalsChanged() override;
    void elementsChanged() override;
    void showElementsOf(const QString& tableId) override;
    void standOnLastElement() override;
    void tablesRecounted() override;

    QString m_path;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<TableDraw> m_draw;
    std::unique_ptr<UnprintedCount> m_count;
    RandomSource m_random;
    Dice m_dice{m_random};
    WindowMessageSink m_sink;
    MaintenanceActions m_maintenance{m_sink};
    bool m_masterEnteredOnce = false;
    bool m_shownOnce = false;

    TableCursor* m_master = nullptr;
    TableCursor* m_slave = nullptr;
    TableCursor* m_outputs[4] = {};

    MainForm ui;
    GeneratorRuns* m_runs = nullptr;
    DraftMode* m_drafts = nullptr;
};

} // namespace ov::ui
