#pragma once
// Expands a parsed template through the draws: tables that name tables, dice, remembered values.

#include "frenchpass.h"
#include "generators/draws.h"
#include "linenames.h"
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

    // A remembered value: a number, or a text (with the gender tag of the element it was drawn
    // from, for [name = table]).
    struct Value {
        bool isNumber = false;
        qint64 number = 0;
        QString text;
        Gender tag = Gender::None; // of the element drawn by [name = table]
    };
    using Values = QHash<QString, Value>;

    Expander(Draws& draws, MessageSink& messages) : m_draws(draws), m_messages(messages) {}

    // With french, every line gets the French post-pass; without, only the lines that hold an
    // article {le x}.
    void setFrench(bool french) { m_french = french; }

    // The body lines of a template, comments left out, each finished as expandLine finishes it.
    // Raises SizeExceeded and ArithmeticOverflow.
    QStringList expand(const Template& parsed);
    // One body line (line numbers from 1, for the overflow's message), from the values
    // remembered so far, which it changes: its pieces expanded, then the French post-pass when it
    // is due; the size limits count the characters before the post-pass. When use is given, the
    // names that the expansion set and read (in drawn texts too) are added to it. Raises
    // SizeExceeded and ArithmeticOverflow.
    QString expandLine(const TemplateLine& line, int lineNumber, NameUse* use = nullptr);
    // The values remembered so far; a line expanded later starts from them.
    const Values& values() const { return m_values; }
    void setValues(const Values& values) { m_values = values; }
    // One draw from a table, its element expanded as a template's would be; nothing when the
    // draw failed (its message shown). Raises SizeExceeded and ArithmeticOverflow.
    std::optional<QString> expandDraw(const QString& table);

private:
    void expandPieces(const Pieces& pieces, QString& out, int depth);
    void expandPiece(const Piece& piece, QString& out, int depth);
    bool drawOne(const QString& table, QString& out, int depth, Gender* tag = nullptr);
    Gender tagOf(const QString& name) const;
    void pickWithoutRepeats(const QString& table, qint64 count, QString& out, int depth);
    void expandElement(const QString& table, const QString& text, QString& out, int depth);
    void write(QString& out, const QString& text);
    void countDraw();
    qint64 evaluate(const Expression& e);
    qint64 numberOf(const QString& name) const;

    Draws& m_draws;
    MessageSink& m_messages;
    Values m_values;
    NameUse* m_use = nullptr; // the names of the line being expanded, when asked for
    int m_drawCount = 0;
    qint64 m_written = 0;
    int m_keeping = 0; // inside [name = table]: what is expanded there is not written yet
    bool m_depthShown = false;
    bool m_french = false;
    int m_line = 0;      // the template line being expanded, from 1
    QString m_rootTable; // the table drawn at depth 0
};

} // namespace ov
