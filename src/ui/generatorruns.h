#pragma once
// The generator runs and print jobs of the main screen, shown in its memo, grids and count box.

#include "generators/generators.h"
#include "messages.h"
#include "tables/clock.h"
#include "templates/personalgenerator.h"

#include <QObject>

class QWidget;

namespace ov {
class Database;
class TableDraw;
class UnprintedCount;
} // namespace ov

namespace ov::ui {

struct MainForm;
class ReportForms;

// The line above one table's draw in the memo: « Tirage sur la table id (Nom) : ».
QString tableDrawTitle(const QString& table, const QString& name);

class GeneratorRuns : public QObject, private RunHost {
    Q_OBJECT
public:
    explicit GeneratorRuns(MainForm& form, QObject* parent = nullptr);

    // The store the runs write to, its count query and its draw; none until the store is open.
    void useStore(const Database& database, UnprintedCount& count, TableDraw& draw);
    // The count box shows the count query's value.
    void showCount();

    // The clock of generated dates; the system clock unless a test sets one.
    void setClock(const Clock* clock) { m_clock = clock ? clock : &m_systemClock; }
    const Clock& clock() const { return *m_clock; }
    // The report forms of the print jobs.
    void setReportForms(ReportForms* forms);
    ReportForms* reportForms() const { return m_reports; }

    // One generator run; what it did.
    const RunReport& run(OutputKind kind);
    const RunReport& lastRun() const { return m_lastRun; }
    // A personal generator's run, as a built-in one: shown, stored, counted.
    const PersonalRunReport& runPersonal(const PersonalGenerator& generator);
    const PersonalRunReport& lastPersonalRun() const { return m_lastPersonalRun; }
    // One element of a table, expanded, in the memo under a line naming the table; not stored.
    // A failed draw shows its message and leaves the memo as it was.
    void drawExpanded(const QString& table, const QString& name);
    // Raises why no print job can start: no store, or no report forms.
    void requirePrintable() const;
    // The print job of a kind: its preview and, when printed, the stamps; parent hosts the preview.
    void print(OutputKind kind, QWidget* parent);
    // The print job of a personal generator's unprinted results.
    void printPersonal(const PersonalGenerator& generator, QWidget* parent);

private:
    // RunHost
    void countClosed() override;
    void gridsHidden() override;
    void memoCleared() override;
    void lineAdded(const QString& line) override;
    void lineReplaced(int index, const QString& line) override;
    void gridsShown() override;
    void countReopened(qint64 count) override;

    MainForm& m_form;
    const Database* m_database = nullptr;
    UnprintedCount* m_count = nullptr;
    TableDraw* m_draw = nullptr;
    Clock m_systemClock;
    const Clock* m_clock = &m_systemClock;
    WindowMessageSink m_sink;
    ReportForms* m_reports = nullptr;
    RunReport m_lastRun;
    PersonalRunReport m_lastPersonalRun;
};

} // namespace ov::ui
