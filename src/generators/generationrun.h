#pragma once
// The frame that the four generators share: count statement, grids, memo, header, storing.

#include "tables/clock.h"
#include "tables/database.h"
#include "tables/outputs.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace ov {

// Whoever watches a run (the main screen, or nobody for the command-line tool).
class RunHost {
public:
    virtual ~RunHost() = default;
    virtual void countClosed() {} // the count box goes empty
    virtual void gridsHidden() {} // both grids hidden and disabled
    virtual void memoCleared() {} // the memo emptied
    virtual void lineAdded(const QString& line) { Q_UNUSED(line); }
    // A line shown earlier changed: the header, when storing gave the record another number than
    // the one shown (another program stored a record meanwhile).
    virtual void lineReplaced(int index, const QString& line) {
        Q_UNUSED(index);
        Q_UNUSED(line);
    }
    virtual void gridsShown() {} // memo repainted, grids shown and enabled
    virtual void countReopened(qint64 count) { Q_UNUSED(count); }
    // Whether the count is shown: when not, it is not counted again after each run.
    virtual bool showsCount() const { return true; }
    // Whether the lines are shown as they come: when not, the header gets its number only when
    // the record is stored.
    virtual bool showsLines() const { return true; }
};

// Nobody watches the runs (the command-line tool): no grids, no memo, no count box.
class NoWatcher final : public RunHost {
public:
    bool showsCount() const override { return false; }
    bool showsLines() const override { return false; }
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
    // n := the number the record would get now; a stored record takes its own when it is
    // stored, and the header line follows it. A run that nobody watches reads nothing here: its
    // number is known when it is stored.
    int countRecords();
    void addHeader(); // lead-in + n + "- " + the short date
    void addLine(const QString& line);
    // Memo repainted, grids shown, the record appended and committed, the count reopened.
    void finish(const QString& stringValue);

    // switchCount, hideGrids, clearMemo and countRecords in a row.
    void begin();

    // After an error ended the run: grids shown again (unless finish already showed them) and the
    // count reopened; nothing more is stored.
    void recover();

    OutputKind kind() const { return m_kind; }
    int n() const; // the number of the stored record once stored
    const QString& dateText() const { return m_dateText; } // the date of the header line
    const QStringList& lines() const { return m_lines; }
    QString text() const;                                        // every line followed by CR LF
    const QString& storedValue() const { return m_storedValue; } // after the 9-character cut
    bool stored() const { return m_stored; }
    // The text was complete but storing it failed.
    bool storeFailed() const { return m_storing; }

private:
    void reopenCount();
    QString header() const;

    OutputKind m_kind;
    const Database& m_database;
    UnprintedCount& m_count;
    const Clock& m_clock;
    RunHost& m_host;
    bool m_store;
    mutable int m_n = 0;
    mutable bool m_numberPending = false; // counted only when the body or storing asks
    int m_headerIndex = -1;
    QDateTime m_created; // when the header was written
    QString m_dateText;
    QStringList m_lines;
    QString m_storedValue;
    bool m_stored = false;
    bool m_storing = false;
    bool m_countReopened = false;
    bool m_gridsShown = false;
    // The tables as the run found them, until the record is stored.
    std::optional<Database::ReadSnapshot> m_snapshot;
};

} // namespace ov
