#pragma once
// The weighted draw of one element from a named random table.

#include "random.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace ov {

class Database;

struct DrawOutcome {
    enum class Status { Drawn, NoTable, NoElements };
    Status status = Status::NoTable;
    QString text;    // the drawn element when Drawn
    QString message; // the message to show otherwise

    bool drawn() const { return status == Status::Drawn; }
};

// One element of a table with its weight, as picks without repeats see it.
struct WeightedElement {
    QString text;
    qint64 weight = 0;
};

// The message texts of a failed draw.
QString noTableMessage(const QString& id);
QString noElementsMessage(const QString& id);

class TableDraw {
public:
    TableDraw(const Database& database, Dice& dice) : m_database(database), m_dice(dice) {}

    // Finds the table, rolls D(TotProba) and walks the elements in insertion order until the
    // running sum of the weights reaches the roll; the last element ends the walk in any case.
    // A failed draw consumes no random number.
    DrawOutcome draw(const QString& id);

    // The table's elements with their weights, in insertion order, without a roll. Fails as
    // draw() does for a missing table or one whose stored count is 0.
    DrawOutcome elements(const QString& id, std::vector<WeightedElement>& result);

    Dice& dice() { return m_dice; }

private:
    struct Table {
        bool exists = false;
        qint64 elementCount = 0; // NbrElement as stored
        qint64 totalWeight = 0;  // TotProba as stored
        std::vector<qint64> weights;
        QStringList texts;
    };
    const Table& table(const QString& id);

    const Database& m_database;
    Dice& m_dice;
    QHash<QString, Table> m_cache;
    qint64 m_cachedVersion = -1;
};

} // namespace ov
