#pragma once
// Expands a parsed template through the draws: tables that name tables, dice, remembered values.

#include "generators/draws.h"
#include "tables/messages.h"
#include "template.h"

#include <QHash>
#include <QStringList>
#include <optional>

namespace ov {

// Raised when a run makes too many draws or writes too many characters.
class SizeExceeded : public std::exception {
public:
    const char* what() const noexcept override { return "size exceeded"; }
};

// Raised when arithmetic in an expression leaves the 64-bit range: a run never wraps.
class ArithmeticOverflow : public std::exception {
public:
    explicit ArithmeticOverflow(int line) : line(line) {}
    const char* what() const noexcept override { return "arithmetic overflow"; }
    int line; // the template line being expanded; 0 outside a template
};

// One run's expansion: its remembered values, its counts of draws and characters.
class Expander {
public:
    static constexpr int maxDepth = 13;             // a text is never expanded at this depth
    static constexpr int maxDraws = 10000;          // table draws and deck picks of one run
    static constexpr qint64 maxCharacters = 100000; // written on the body lines

    Expander(Draws& draws, MessageSink& messages) : m_draws(draws), m_messages(messages) {}

    // The body lines of a template, comments left out. Raises SizeExceeded and
    // ArithmeticOverflow.
    QStringList expand(const Template& parsed);
    // One draw from a table, its element expanded as a template's would be; nothing when the
    // draw failed (its message shown). Raises SizeExceeded and ArithmeticOverflow.
    std::optional<QString> expandDraw(const QString& table);

private:
    struct Value {
        bool isNumber = false;
        qint64 number = 0;
        QString text;
    };

    void expandPieces(const Pieces& pieces, QString& out, int depth);
    void expandPiece(const Piece& piece, QString& out, int depth);
    bool drawOne(const QString& table, QString& out, int depth);
    void pickWithoutRepeats(const QString& table, qint64 count, QString& out, int depth);
    void expandElement(const QString& table, const QString& text, QString& out, int depth);
    void write(QString& out, const QString& text);
    void countDraw();
    qint64 evaluate(const Expression& e);
    qint64 numberOf(const QString& name) const;

    Draws& m_draws;
    MessageSink& m_messages;
    QHash<QString, Value> m_values;
    int m_drawCount = 0;
    qint64 m_written = 0;
    int m_keeping = 0; // inside [name = table]: what is expanded there is not written yet
    bool m_depthShown = false;
    int m_line = 0;      // the template line being expanded, from 1
    QString m_rootTable; // the table drawn at depth 0
};

} // namespace ov
