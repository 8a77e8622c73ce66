#pragma once
// What a generator sees of the tables and the dice: OV, D and D4, and a table's elements for
// picks without repeats.

#include "tables/messages.h"
#include "tables/tabledraw.h"

#include <QString>

namespace ov {

class Draws {
public:
    virtual ~Draws() = default;
    // Draws from the table into result; on failure shows the message, leaves result untouched,
    // and returns false.
    virtual bool OV(const QString& id, QString& result) = 0;
    virtual int D(int n) = 0;
    virtual int D4() = 0;
    // The table's elements with their weights in insertion order, for picks without repeats;
    // consumes no random number. On failure shows the message of a failed draw and returns false.
    virtual bool elements(const QString& id, std::vector<WeightedElement>& result) = 0;
};

// The real draws: the random tables of the database and the dice of one random source.
class TableDraws : public Draws {
public:
    TableDraws(TableDraw& draw, MessageSink& messages) : m_draw(draw), m_messages(messages) {}

    bool OV(const QString& id, QString& result) override {
        const DrawOutcome outcome = m_draw.draw(id);
        if (!outcome.drawn()) {
            m_messages.showMessage(outcome.message);
            return false;
        }
        result = outcome.text;
        m_lastTable = id;
        m_lastElement = outcome.text;
        return true;
    }
    int D(int n) override { return m_draw.dice().D(n); }
    bool elements(const QString& id, std::vector<WeightedElement>& result) override {
        const DrawOutcome outcome = m_draw.elements(id, result);
        if (!outcome.drawn()) {
            m_messages.showMessage(outcome.message);
            return false;
        }
        return true;
    }
    int D4() override { return m_draw.dice().D4(); }

    // The table of the last successful draw (empty before one).
    const QString& lastTable() const { return m_lastTable; }
    // The element of the last successful draw.
    const QString& lastElement() const { return m_lastElement; }

private:
    TableDraw& m_draw;
    MessageSink& m_messages;
    QString m_lastTable;
    QString m_lastElement;
};

// One draw into a fresh text, so that a failed draw leaves its place in a line empty.
inline QString drawn(Draws& draws, const QString& id) {
    QString text;
    draws.OV(id, text);
    return text;
}
inline QString drawn(Draws& draws, const char* id) {
    return drawn(draws, QString::fromLatin1(id));
}

} // namespace ov
