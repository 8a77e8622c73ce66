#include "runrecorder.h"

#include <memory>

namespace ovtest {

void EventHost::countClosed() {
    m_events.append(QStringLiteral("count closed"));
}

void EventHost::gridsHidden() {
    m_events.append(QStringLiteral("grids hidden"));
}

void EventHost::memoCleared() {
    m_events.append(QStringLiteral("memo cleared"));
}

void EventHost::lineAdded(const QString& line) {
    m_events.append(QStringLiteral("line ") + line);
}

void EventHost::gridsShown() {
    m_events.append(QStringLiteral("grids shown"));
}

void EventHost::countReopened(qint64 count) {
    m_events.append(QStringLiteral("count ") + QString::number(count));
}

bool TracedDraws::OV(const QString& id, QString& result) {
    const bool drawn = ScriptedDraws::OV(id, result);
    m_events.append(log().last());
    return drawn;
}

int TracedDraws::D(int n) {
    const int value = ScriptedDraws::D(n);
    m_events.append(log().last());
    return value;
}

int TracedDraws::D4() {
    const int value = ScriptedDraws::D4();
    m_events.append(log().last());
    return value;
}

namespace {

std::unique_ptr<TempDatabase> sharedStore;

} // namespace

TempDatabase& freshStore() {
    if (!sharedStore)
        sharedStore = std::make_unique<TempDatabase>();
    const ov::Database& db = *sharedStore->db;
    clearRandomTables(db);
    for (const ov::OutputKind kind : ov::allOutputKinds)
        db.run(QStringLiteral("DELETE FROM ") + ov::outputTable(kind).table);
    return *sharedStore;
}

void closeSharedStore() {
    sharedStore.reset();
}

RecordedRun::RecordedRun(ov::OutputKind kind, const QDateTime& time, Body body)
    : count(*t.db), clock(time), host(events), draws(events), m_kind(kind), m_body(body) {}

void RecordedRun::go() {
    ov::GenerationRun run(m_kind, *t.db, count, clock, host);
    m_body(run, draws);
    lines = run.lines();
}

} // namespace ovtest
