#pragma once
// Scripted generator runs: one shared store, and a run's steps and draws recorded in one list.

#include "generators/generationrun.h"
#include "scripteddraws.h"
#include "tables/clock.h"
#include "tables/outputs.h"
#include "testsupport.h"

#include <QDateTime>
#include <QStringList>

namespace ovtest {

// Records each step the frame tells its host: "count closed", "grids hidden", "memo cleared",
// "line <text>", "line <index> now <text>", "grids shown", "count <n>" (the count shown again
// with n).
class EventHost : public ov::RunHost {
public:
    explicit EventHost(QStringList& events) : m_events(events) {}
    void countClosed() override { m_events.append(QStringLiteral("count closed")); }
    void gridsHidden() override { m_events.append(QStringLiteral("grids hidden")); }
    void memoCleared() override { m_events.append(QStringLiteral("memo cleared")); }
    void lineAdded(const QString& line) override {
        m_events.append(QStringLiteral("line ") + line);
    }
    void lineReplaced(int index, const QString& line) override {
        m_events.append(QStringLiteral("line %1 now ").arg(index) + line);
    }
    void gridsShown() override { m_events.append(QStringLiteral("grids shown")); }
    void countReopened(qint64 count) override {
        m_events.append(QStringLiteral("count ") + QString::number(count));
    }

private:
    QStringList& m_events;
};

// Scripted draws that also write each call, as their log() spells it, into the list of events.
class TracedDraws : public ScriptedDraws {
public:
    explicit TracedDraws(QStringList& events) : m_events(events) {}
    bool OV(const QString& id, QString& result) override {
        const bool drawn = ScriptedDraws::OV(id, result);
        m_events.append(log().last());
        return drawn;
    }
    int D(int n) override {
        const int value = ScriptedDraws::D(n);
        m_events.append(log().last());
        return value;
    }
    int D4() override {
        const int value = ScriptedDraws::D4();
        m_events.append(log().last());
        return value;
    }

private:
    QStringList& m_events;
};

// One database for the whole program, emptied of random tables and records at each call.
TempDatabase& freshStore();
// Closes that database; call it from cleanupTestCase(), while the application still stands.
void closeSharedStore();

// One run of a generator body on the fresh store at a fixed time, with scripted draws: the
// frame's steps and the draws go into events, in order.
struct RecordedRun {
    using Body = void (*)(ov::GenerationRun&, ov::Draws&);
    RecordedRun(ov::OutputKind kind, const QDateTime& time, Body body);

    // Runs the body once and keeps its lines.
    void go();

    TempDatabase& t = freshStore();
    ov::UnprintedCount count;
    ov::FixedClock clock;
    QStringList events;
    EventHost host;
    TracedDraws draws;
    QStringList lines;

private:
    ov::OutputKind m_kind;
    Body m_body;
};

} // namespace ovtest
