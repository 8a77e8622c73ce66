#include "tabledraw.h"

#include "database.h"
#include "textrules.h"

#include <algorithm>
#include <limits>

namespace ov {

QString noTableMessage(const QString& id) {
    return QStringLiteral("Pas de table \"") + id + QLatin1Char('"');
}

QString noElementsMessage(const QString& id) {
    return QStringLiteral("Aucun élément dans la table \"") + id + QLatin1Char('"');
}

const TableDraw::Table& TableDraw::table(const QString& id) {
    // The tables are read once and kept until any random table changes.
    const qint64 version = m_database.randomTablesVersion();
    if (version != m_cachedVersion) {
        m_cache.clear();
        m_cachedVersion = version;
    }
    auto found = m_cache.constFind(id);
    if (found != m_cache.constEnd())
        return *found;

    Table table;
    QSqlQuery master = m_database.run(
        QStringLiteral("SELECT NbrElement, TotProba FROM OVmaster WHERE Id = ?"), {id});
    if (master.next()) {
        table.exists = true;
        table.elementCount = roundHalfEven(master.value(0).toDouble());
        table.totalWeight = roundHalfEven(master.value(1).toDouble());
        QSqlQuery elements = m_database.run(
            QStringLiteral("SELECT Proba, Element FROM OVslave WHERE ID = ? ORDER BY rowid"), {id});
        while (elements.next()) {
            // Weights written by another program may be anything: each is held within the
            // range of a roll, so that the running sum never overflows.
            table.weights.push_back(std::clamp<qint64>(roundHalfEven(elements.value(0).toDouble()),
                                                       std::numeric_limits<int>::min(),
                                                       std::numeric_limits<int>::max()));
            table.texts.append(elements.value(1).toString());
        }
    }
    return *m_cache.insert(id, std::move(table));
}

DrawOutcome TableDraw::draw(const QString& id) {
    DrawOutcome outcome;
    const Table& t = table(id);
    if (!t.exists) {
        outcome.status = DrawOutcome::Status::NoTable;
        outcome.message = noTableMessage(id);
        return outcome;
    }
    if (t.elementCount <= 0) {
        outcome.status = DrawOutcome::Status::NoElements;
        outcome.message = noElementsMessage(id);
        return outcome;
    }
    const qint64 total = std::clamp<qint64>(t.totalWeight, std::numeric_limits<int>::min(),
                                            std::numeric_limits<int>::max());
    const qint64 roll = m_dice.D(int(total));

    outcome.status = DrawOutcome::Status::Drawn;
    if (t.weights.empty())
        return outcome; // stored count says elements exist but none is there: an empty text
    std::size_t i = 0;
    qint64 sum = t.weights[0];
    while (sum < roll && i + 1 < t.weights.size()) {
        ++i;
        sum += t.weights[i];
    }
    outcome.text = t.texts.at(int(i));
    return outcome;
}

} // namespace ov
