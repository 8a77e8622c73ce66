#pragma once
// A draft: a run shown but not stored, in which lines are re-rolled or locked until it is kept
// (stored as a run would be) or thrown away. The window and the server share it.

#include "tables/clock.h"
#include "tables/outputs.h"
#include "tables/random.h"
#include "tables/tabledraw.h"
#include "templates/expander.h"
#include "templates/personalgenerator.h"

#include <QStringList>
#include <QVector>
#include <functional>
#include <optional>
#include <variant>

namespace ov {

class Database;

// What a kept draft stored.
struct KeptDraft {
    std::optional<OutputKind> kind; // a built-in generator's; none for a personal one
    QString generator;              // the personal generator's Id
    int id = 0;                     // the record number taken at the keep
    QStringList lines;              // the header, with that number, then the body
    QString type;                   // a built-in record's 9-character field
};

class Draft {
public:
    // A draft of a built-in generator, of a personal generator, or of one table's draw, from
    // its own random source seeded with seed. The first texts are those of a run from that seed.
    // A run that fails raises Error with its message.
    Draft(const Database& database, const Clock& clock, OutputKind kind, quint32 seed);
    Draft(const Database& database, const Clock& clock, const PersonalGenerator& generator,
          quint32 seed);
    // The table's Id and the line above the drawn text.
    Draft(const Database& database, const Clock& clock, const QString& table, const QString& title,
          quint32 seed);

    // A draft's seed taken from a longer-lived source (the window's, the server's), which moves
    // on: mixed, so that two drafts in a row do not follow one sequence a step apart.
    static quint32 seedFrom(RandomSource& source);

    Draft(const Draft&) = delete;
    Draft& operator=(const Draft&) = delete;

    // Line 0 is the header; lines 1 and on are the body.
    const QStringList& lines() const { return m_lines; }
    bool isLocked(int line) const;
    bool isKept() const { return m_kept; }
    // A built-in generator's draft is re-rolled whole and has no lock.
    bool rerollsWhole() const { return std::holds_alternative<OutputKind>(m_source); }
    // What the draft is of: a built-in kind's name, a personal generator's Id, or a table's Id.
    QString subject() const;
    std::optional<OutputKind> kind() const;
    // The messages of the draws of the first run.
    const QStringList& startMessages() const { return m_startMessages; }

    // Every operation below raises Error with a French message, changing nothing, when it is
    // refused; the messages of failed draws are returned.

    // Line k again, from the values remembered before it; every later unlocked line that uses a
    // value it sets, again, in order.
    QStringList reroll(int line);
    // Every unlocked line again, in order.
    QStringList rerollAll();
    void setLocked(int line, bool locked);
    // Stores the draft as a run stores its record; the number is taken now and the header shows
    // it. A draft is kept once.
    KeptDraft keep();

private:
    struct BodyLine {
        int templateLine = 0; // its line in the parsed template
        NameUse names;        // as written, and as found in its last expansion
        Expander::Values set; // the values its last expansion set
        bool locked = false;
    };
    struct Personal {
        PersonalGenerator generator;
        Template parsed;
    };
    struct TableDrawOf {
        QString table;
    };

    void requireOpen() const;
    void requireBodyLine(int line) const;
    QStringList runBuiltIn();
    // Expands body line k (1-based) from the values before it; returns the names it set or had
    // set before.
    QSet<QString> expandBody(int k, Expander& expander);
    Expander::Values valuesBefore(int k) const;
    // Runs an operation on the personal lines; a failure leaves the lines as they were.
    QStringList changeLines(const std::function<void(Expander&)>& change);

    const Database& m_database;
    const Clock& m_clock;
    RandomSource m_random;
    Dice m_dice{m_random};
    TableDraw m_draw;
    std::variant<OutputKind, Personal, TableDrawOf> m_source;
    QStringList m_lines;
    QVector<BodyLine> m_body; // personal generators: one per body line
    QString m_type;           // built-in: the 9-character field of the last run
    QStringList m_startMessages;
    bool m_kept = false;
};

} // namespace ov
