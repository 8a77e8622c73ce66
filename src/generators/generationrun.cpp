#include "generationrun.h"

#include "tables/database.h"
#include "tables/errors.h"
#include "tables/textrules.h"

namespace ov {

GenerationRun::GenerationRun(OutputKind kind, const Database& database, UnprintedCount& count,
                             const Clock& clock, RunHost& host, bool store)
    : m_kind(kind), m_database(database), m_count(count), m_clock(clock), m_host(host),
      m_store(store) {
    m_snapshot.emplace(database);
}

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
    // Unless someone watches the lines, a stored record's number is read only when it is taken.
    m_numberPending = m_store && !m_host.showsLines();
    if (!m_numberPending)
        m_n = nextRecordNumber(m_database, m_kind);
    return m_n;
}

int GenerationRun::n() const {
    // A body that asks for the number before it is taken reads it in the run's snapshot.
    if (m_numberPending && m_snapshot) {
        m_n = nextRecordNumber(m_database, m_kind);
        m_numberPending = false;
    }
    return m_n;
}

void GenerationRun::begin() {
    switchCount();
    hideGrids();
    clearMemo();
    countRecords();
}

void GenerationRun::addHeader() {
    // The clock is read once: the stored record's date is the one its header shows.
    m_created = m_clock.now();
    m_dateText = shortDate(m_created.date());
    m_headerIndex = int(m_lines.size());
    addLine(header());
}

QString GenerationRun::header() const {
    return outputTable(m_kind).headerLeadIn + QString::number(m_n) + QStringLiteral("- ") +
           m_dateText;
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
    m_snapshot.reset();
    m_gridsShown = true;
    m_host.gridsShown();
    m_storedValue = cutToWidth(stringValue, width::RecordType);
    if (m_store) {
        const int shown = m_n;
        m_storing = true;
        m_n = appendRecord(
            m_database, m_kind,
            [this](int number) {
                m_n = number;
                if (m_headerIndex >= 0)
                    m_lines[m_headerIndex] = header();
                return text();
            },
            m_storedValue, m_headerIndex >= 0 ? m_created : m_clock.now(),
            m_host.showsCount() ? &m_count : nullptr);
        m_numberPending = false;
        m_storing = false;
        m_stored = true;
        m_countReopened = m_host.showsCount() && m_count.isOpen(); // where the record was stored
        if (m_headerIndex >= 0 && m_n != shown && m_host.showsLines())
            m_host.lineReplaced(m_headerIndex, m_lines.at(m_headerIndex));
    }
    reopenCount();
}

void GenerationRun::reopenCount() {
    if (!m_host.showsCount())
        return;
    if (!m_countReopened)
        m_count.open();
    m_host.countReopened(m_count.value());
}

void GenerationRun::recover() {
    m_snapshot.reset();
    if (!m_gridsShown) {
        m_gridsShown = true;
        m_host.gridsShown();
    }
    reopenCount();
}

} // namespace ov
