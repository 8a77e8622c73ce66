#include "tabledraw.h"

#include "database.h"
#include "textrules.h"

#include <QSqlQuery>

#include <algorithm>
#include <limits>

namespace ov {

QString noTableMessage(const QString& id) {
    return QStringLiteral("Pas de table \"") + id + QLatin1Char('"');
}

QString noElementsMessage(const QString& id) {
    return QStringLiteral("Aucun élément dans la table \"") + id + QLatin1Char('"');
}

static qint64 heldWeight(double stored) {
    return std::clamp<qint64>(roundHalfEven(stored), std::numeric_limits<int>::min(),
                              std::numeric_limits<int>::max());
}

static bool failed(const QString& id, bool exists, qint64 elementCount, DrawOutcome& outcome) {
    if (!exists) {
        outcome.status = DrawOutcome::Status::NoTable;
        outcome.message = noTableMessage(id);
        return true;
    }
    if (elementCount <= 0) {
        outcome.status = DrawOutcome::Status::NoElements;
        outcome.message = noElementsMessage(id);
        return true;
    }
    return false;
}

TableDraw::Table& TableDraw::table(const QString& id) {
    // The tables are read once and kept until any random table changes.
    const quint64 snapshot = m_database.readSnapshot();
    if (snapshot == 0 || snapshot != m_checkedSnapshot) {
        const qint64 version = m_database.randomTablesVersion();
        if (version != m_cachedVersion) {
            m_cache.clear();
            m_cachedVersion = version;
        }
        m_checkedSnapshot = snapshot;
    }
    auto found = m_cache.find(id);
    if (found != m_cache.end())
        return *found;

    Table table;
    m_database.forEachRow(QStringLiteral("SELECT NbrElement, TotProba FROM OVmaster WHERE Id = ?"),
                          {id}, [&](const QSqlQuery& master) {
                              table.exists = true;
                              table.elementCount = roundHalfEven(master.value(0).toDouble());
                              table.totalWeight = roundHalfEven(master.value(1).toDouble());
                              return false;
                          });
    table.nextRowId = std::numeric_limits<qint64>::min();
    return *m_cache.insert(id, std::move(table));
}

void TableDraw::readUntil(const QString& id, Table& t, qint64 roll) {
    m_database.forEachRow(QStringLiteral("SELECT rowid, Proba, Element FROM OVslave"
                                         " WHERE ID = ? AND rowid >= ? ORDER BY rowid"),
                          {id, t.nextRowId}, [&](const QSqlQuery& element) {
                              const qint64 rowId = element.value(0).toLongLong();
                              // Weights written by another program may be anything: each is
                              // held within the range of a roll, so that the sum never overflows.
                              t.runningSum += heldWeight(element.value(1).toDouble());
                              t.reach.push_back(t.reach.empty()
                                                    ? t.runningSum
                                                    : std::max(t.reach.back(), t.runningSum));
                              t.texts.append(element.value(2).toString());
                              if (rowId == std::numeric_limits<qint64>::max()) {
                                  t.complete = true;
                                  return false;
                              }
                              t.nextRowId = rowId + 1;
                              return t.reach.back() < roll;
                          });
    if (t.reach.empty() || t.reach.back() < roll)
        t.complete = true;
}

DrawOutcome TableDraw::draw(const QString& id) {
    // A draw outside a run still reads the version and the table as of one moment.
    const Database::ReadSnapshot snapshot(m_database);
    DrawOutcome outcome;
    Table& t = table(id);
    if (failed(id, t.exists, t.elementCount, outcome))
        return outcome;
    const qint64 total = std::clamp<qint64>(t.totalWeight, std::numeric_limits<int>::min(),
                                            std::numeric_limits<int>::max());
    const qint64 roll = m_dice.D(int(total));

    outcome.status = DrawOutcome::Status::Drawn;
    if (!t.complete && (t.reach.empty() || t.reach.back() < roll))
        readUntil(id, t, roll);
    if (t.reach.empty())
        return outcome; // stored count says elements exist but none is there: an empty text
    // The first element whose running sum reaches the roll, else the last one.
    const auto stop = std::lower_bound(t.reach.begin(), t.reach.end(), roll);
    const auto i = stop == t.reach.end() ? t.reach.size() - 1 : std::size_t(stop - t.reach.begin());
    outcome.text = t.texts.at(qsizetype(i));
    return outcome;
}

DrawOutcome TableDraw::elements(const QString& id, std::vector<WeightedElement>& result) {
    const Database::ReadSnapshot snapshot(m_database);
    DrawOutcome outcome;
    const Table& t = table(id);
    result.clear();
    if (failed(id, t.exists, t.elementCount, outcome))
        return outcome;
    outcome.status = DrawOutcome::Status::Drawn;
    m_database.forEachRow(
        QStringLiteral("SELECT Proba, Element FROM OVslave WHERE ID = ? ORDER BY rowid"), {id},
        [&](const QSqlQuery& element) {
            result.push_back(
                {element.value(1).toString(), heldWeight(element.value(0).toDouble())});
            return true;
        });
    return outcome;
}

} // namespace ov
