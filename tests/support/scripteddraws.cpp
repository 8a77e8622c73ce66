#include "scripteddraws.h"

#include "tables/tabledraw.h"

namespace ovtest {

void ScriptedDraws::setTable(const QString& id, const QStringList& texts) {
    m_tables.insert(id, texts);
    m_next.insert(id, 0);
}

void ScriptedDraws::setWeightedTable(const QString& id,
                                     const QVector<QPair<QString, qint64>>& elements) {
    QStringList texts;
    QList<qint64> weights;
    for (const auto& element : elements) {
        texts.append(element.first);
        weights.append(element.second);
    }
    setTable(id, texts);
    m_weights.insert(id, weights);
}

bool ScriptedDraws::elements(const QString& id, std::vector<ov::WeightedElement>& result) {
    result.clear();
    const auto found = m_tables.constFind(id);
    if (found == m_tables.constEnd() || found->isEmpty()) {
        m_log.append(QStringLiteral("EL ") + id + QStringLiteral(" !"));
        m_messages.append(found == m_tables.constEnd() ? ov::noTableMessage(id)
                                                       : ov::noElementsMessage(id));
        return false;
    }
    m_log.append(QStringLiteral("EL ") + id);
    const QList<qint64> weights = m_weights.value(id);
    for (int i = 0; i < found->size(); ++i)
        result.push_back({found->at(i), i < weights.size() ? weights.at(i) : 1});
    return true;
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
