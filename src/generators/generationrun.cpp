#include "generationrun.h"

#include "tables/database.h"
#include "tables/errors.h"
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
    // A run that will store its record takes its number now, so that the header line and the
    // stored Id agree whoever else is generating.
    if (m_store && !m_numberTaken) {
        m_n = takeRecordNumber(m_database, m_kind);
        m_numberTaken = true;
    } else if (!m_store) {
        m_n = nextRecordNumber(m_database, m_kind);
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
        if (!m_numberTaken)
            countRecords();
        m_storing = true;
        appendRecord(m_database, m_kind, m_n, text(), m_storedValue, m_clock.now());
        m_storing = false;
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
    m_snapshot.end(); // before the write that gives the number back
    if (m_numberTaken && !m_stored) {
        try {
            giveBackRecordNumber(m_database, m_kind, m_n);
        } catch (const Error&) {
            // The number stays taken: the next record gets the one after it.
        }
    }
    if (!m_gridsShown) {
        m_gridsShown = true;
        m_host.gridsShown();
    }
    reopenCount();
}

} // namespace ov
