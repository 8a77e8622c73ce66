#include "generationrun.h"

#include "tables/textrules.h"

namespace ov {

GenerationRun::GenerationRun(OutputKind kind, const Database& database, UnprintedCount& count,
                             const Clock& clock, RunHost& host, bool store)
    : m_kind(kind), m_database(database), m_count(count), m_clock(clock), m_host(host),
      m_store(store), m_snapshot(database) {}

void GenerationRun::switchCount() {
    m_count.setStatement(unprintedCountStatement(m_kind));
    m_count.close();
    m_host.countClosed();
}

void GenerationRun::hideGrids() {
    m_gridsShown = false;
    m_host.gridsHidden();
}

void GenerationRun::clearMemo() {
    m_lines.clear();
    m_host.memoCleared();
}

int GenerationRun::countRecords() {
    m_n = recordCount(m_database, m_kind);
    return m_n;
}

void GenerationRun::begin() {
    switchCount();
    hideGrids();
    clearMemo();
    countRecords();
}

void GenerationRun::addHeader() {
    m_dateText = shortDate(m_clock.now().date());
    addLine(outputTable(m_kind).headerLeadIn + QString::number(m_n) + QStringLiteral("- ") +
            m_dateText);
}

void GenerationRun::addLine(const QString& line) {
    m_lines.append(line);
    m_host.lineAdded(line);
}

QString GenerationRun::text() const {
    QString text;
    for (const QString& line : m_lines)
        text += line + QStringLiteral("\r\n");
    return text;
}

void GenerationRun::finish(const QString& stringValue) {
    m_snapshot.end();
    m_gridsShown = true;
    m_host.gridsShown();
    m_storedValue = cutToWidth(stringValue, width::RecordType);
    if (m_store) {
        appendRecord(m_database, m_kind, m_n, text(), m_storedValue, m_clock.now());
        m_stored = true;
    }
    reopenCount();
}

void GenerationRun::reopenCount() {
    if (!m_host.showsCount())
        return;
    m_count.open();
    m_host.countReopened(m_count.value());
}

void GenerationRun::recover() {
    m_snapshot.end();
    if (!m_gridsShown) {
        m_gridsShown = true;
        m_host.gridsShown();
    }
    reopenCount();
}

} // namespace ov
