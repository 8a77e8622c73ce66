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
    // A failed draw consumes no random number. The tables read are kept until they change; the
    // draws of one read snapshot (a generation run's) check that only once, any other draw each
    // time in a snapshot of its own.
    DrawOutcome draw(const QString& id);

    // The table's elements with their weights, in insertion order, without a roll. Fails as
    // draw() does for a missing table or one whose stored count is 0.
    DrawOutcome elements(const QString& id, std::vector<WeightedElement>& result);

    Dice& dice() { return m_dice; }

private:
    // A table as far as it has been read. Elements are read in insertion order only as far as
    // a roll needs them; the highest running sum up to each element read tells which element a
    // roll stops at without walking again.
    struct Table {
        bool exists = false;
        qint64 elementCount = 0;   // NbrElement as stored
        qint64 totalWeight = 0;    // TotProba as stored
        std::vector<qint64> reach; // the highest running sum up to each element read
        QStringList texts;
        qint64 runningSum = 0; // the sum of the weights read
        qint64 nextRowId = 0;  // where the reading goes on
        bool complete = false; // every element has been read
    };
    Table& table(const QString& id);
    // Reads on in insertion order until an element's running sum reaches the roll or the
    // elements end.
    void readUntil(const QString& id, Table& table, qint64 roll);

    const Database& m_database;
    Dice& m_dice;
    QHash<QString, Table> m_cache;
    qint64 m_cachedVersion = -1;
    quint64 m_checkedSnapshot = 0; // the read snapshot in which the version was last read
};

} // namespace ov
