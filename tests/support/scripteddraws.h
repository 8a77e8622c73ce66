#pragma once
// Draws for generator tests: tables answer from a script and the dice give chosen values.

#include "generators/draws.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QVector>

namespace ovtest {

class ScriptedDraws : public ov::Draws {
public:
    // Each draw from the table hands out its next text; the last one repeats.
    void setTable(const QString& id, const QStringList& texts);
    // A table whose elements have these weights (for picks without repeats); plain draws hand
    // out its texts in order as setTable does.
    void setWeightedTable(const QString& id, const QVector<QPair<QString, qint64>>& elements);
    // A table that exists but has no elements.
    void setEmptyTable(const QString& id);
    // The next values of D and D4, consumed in call order. When the script runs out, D(n)
    // gives 1 and D4 gives 1, and exhausted() becomes true.
    void pushRolls(const QList<int>& values) { m_rolls += values; }

    bool OV(const QString& id, QString& result) override;
    int D(int n) override;
    int D4() override;
    bool elements(const QString& id, std::vector<ov::WeightedElement>& result) override;

    // Every call in order: "OV id" (a failed draw: "OV id !"), "D n", "D4", "EL id" ("EL id !").
    const QStringList& log() const { return m_log; }
    // The messages that the failed draws showed, in order.
    const QStringList& messages() const { return m_messages; }
    bool exhausted() const { return m_exhausted; }
    // A roll outside its die's range was scripted.
    const QStringList& badRolls() const { return m_badRolls; }
    int remainingRolls() const { return int(m_rolls.size()); }

private:
    int nextRoll(int low, int high, const QString& what);

    QHash<QString, QStringList> m_tables;
    QHash<QString, int> m_next;
    QHash<QString, QList<qint64>> m_weights;
    QList<int> m_rolls;
    QStringList m_log;
    QStringList m_messages;
    QStringList m_badRolls;
    bool m_exhausted = false;
};

} // namespace ovtest
