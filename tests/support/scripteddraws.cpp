#include "scripteddraws.h"

#include "tables/tabledraw.h"

namespace ovtest {

void ScriptedDraws::setTable(const QString& id, const QStringList& texts) {
    m_tables.insert(id, texts);
    m_next.insert(id, 0);
}

void ScriptedDraws::setEmptyTable(const QString& id) {
    m_tables.insert(id, {});
    m_next.insert(id, 0);
}

bool ScriptedDraws::OV(const QString& id, QString& result) {
    const auto found = m_tables.constFind(id);
    if (found == m_tables.constEnd() || found->isEmpty()) {
        m_log.append(QStringLiteral("OV ") + id + QStringLiteral(" !"));
        m_messages.append(found == m_tables.constEnd() ? ov::noTableMessage(id)
                                                       : ov::noElementsMessage(id));
        return false;
    }
    m_log.append(QStringLiteral("OV ") + id);
    int& next = m_next[id];
    result = found->at(qMin(next, int(found->size()) - 1));
    ++next;
    return true;
}

int ScriptedDraws::nextRoll(int low, int high, const QString& what) {
    if (m_rolls.isEmpty()) {
        m_exhausted = true;
        return 1;
    }
    const int value = m_rolls.takeFirst();
    if (value < low || value > high)
        m_badRolls.append(QStringLiteral("%1 = %2").arg(what).arg(value));
    return value;
}

int ScriptedDraws::D(int n) {
    const QString what = QStringLiteral("D ") + QString::number(n);
    m_log.append(what);
    return nextRoll(1, qMax(n, 1), what);
}

int ScriptedDraws::D4() {
    m_log.append(QStringLiteral("D4"));
    return nextRoll(1, 4, QStringLiteral("D4"));
}

} // namespace ovtest
