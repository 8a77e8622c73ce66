#include "runrecorder.h"

#include <memory>

namespace ovtest {

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
