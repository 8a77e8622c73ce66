#pragma once
// The frame that the four generators share: count statement, grids, memo, header, storing.

#include "tables/clock.h"
#include "tables/database.h"
#include "tables/outputs.h"

#include <QString>
#include <QStringList>

namespace ov {

// Whoever watches a run (the main screen, or nobody for the command-line tool).
class RunHost {
public:
    virtual ~RunHost() = default;
    virtual void countClosed() {} // the count box goes empty
    virtual void gridsHidden() {} // both grids hidden and disabled
    virtual void memoCleared() {} // the memo emptied
    virtual void lineAdded(const QString& line) { Q_UNUSED(line); }
    virtual void gridsShown() {} // memo repainted, grids shown and enabled
    virtual void countReopened(qint64 count) { Q_UNUSED(count); }
    // Whether the count is shown: when not, it is not counted again after each run.
    virtual bool showsCount() const { return true; }
};

// Nobody watches the runs (the command-line tool): no grids, no memo, no count box.
class NoWatcher final : public RunHost {
public:
    bool showsCount() const override { return false; }
};

// A run reads the store in one read snapshot, from its start until it stores its record: its
// draws see the tables as they were when it began.
class GenerationRun {
public:
    GenerationRun(OutputKind kind, const Database& database, UnprintedCount& count,
                  const Clock& clock, RunHost& host, bool store = true);

    // The steps of a run, which a generator calls in its own order.
    void switchCount(); // the count statement becomes this kind's, and the count closes
    void hideGrids();   // grids hidden and disabled
    void clearMemo();   // memo emptied
    int countRecords(); // n := the record number (taken for this run when it stores)
    void addHeader();   // lead-in + n + "- " + the short date
    void addLine(const QString& line);
    // Memo repainted, grids shown, the record appended and committed, the count reopened.
    void finish(const QString& stringValue);

    // switchCount, hideGrids, clearMemo and countRecords in a row.
    void begin();

    // After an error ended the run: grids shown again (unless finish already showed them) and the
    // count reopened; nothing more is stored.
    void recover();

    OutputKind kind() const { return m_kind; }
    int n() const { return m_n; }
    const QString& dateText() const { return m_dateText; } // the date of the header line
    const QStringList& lines() const { return m_lines; }
    QString text() const;                                        // every line followed by CR LF
    const QString& storedValue() const { return m_storedValue; } // after the 9-character cut
    bool stored() const { return m_stored; }
    // The text was complete but storing it failed.
    bool storeFailed() const { return m_storing; }

private:
    void reopenCount();

    OutputKind m_kind;
    const Database& m_database;
    UnprintedCount& m_count;
    const Clock& m_clock;
    RunHost& m_host;
    bool m_store;
    int m_n = 0;
    QString m_dateText;
    QStringList m_lines;
    QString m_storedValue;
    bool m_stored = false;
    bool m_storing = false;
    bool m_numberTaken = false;
    bool m_gridsShown = false;
    Database::ReadSnapshot m_snapshot;
};

} // namespace ov
