#pragma once
// The template of a personal generator, parsed once into a tree of pieces and expressions.

#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace ov {

// The first syntax error of a template: physical line and column, both from 1. A template refused
// whole (too long) has line and column 0.
struct TemplateError {
    int line = 0;
    int column = 0;
    QString text; // « crochet fermant manquant », ...

    // « Ligne 3, colonne 14 : crochet fermant manquant », or the text alone without a line.
    QString message() const;
    // « Générateur « id », ligne 3, colonne 14 : … », « Générateur « id », modèle trop long … »
    QString inGenerator(const QString& id) const;
};

// The limits of one line of a template, beyond which it is a syntax error.
inline constexpr int maxNesting = 64;    // brackets, braces and parentheses inside each other
inline constexpr int maxOperands = 1000; // numbers, dice and names of one expression

// An integer expression inside { }, flat in the order of its evaluation (postfix): an operand
// pushes its value, an operator takes the values pushed before it. Nothing in it is nested, so
// that no input can make its evaluation or its destruction deep.
struct Expression {
    struct Step {
        enum class Kind { Number, Dice, Name, Negate, Add, Subtract, Multiply };
        Kind kind = Kind::Number;
        qint64 number = 0; // Number
        int count = 0;     // Dice: how many
        int faces = 0;     // Dice: of how many faces
        QString name;      // Name: a remembered value
    };
    std::vector<Step> steps;
};

struct Piece;
using Pieces = std::vector<Piece>;

// One piece of an expanded line.
struct Piece {
    enum class Kind {
        Text,       // text: written as it is
        Draw,       // [table]
        Repeat,     // [table*count], [table*count!] when noRepeat
        Choice,     // [a|b|c]: one of parts
        Number,     // {expression}
        Recall,     // {name} or [name]: a remembered value
        KeepNumber, // {name = expression}
        KeepText,   // [name = table]
        Article,    // {le name}: the article that agrees with name's tag
        Agree,      // [table : name]: one draw, the form that agrees with name's tag
    };
    Kind kind = Kind::Text;
    QString text;                                 // Text
    QString table;                                // Draw, Repeat, KeepText, Agree
    QString name;                                 // Recall, KeepNumber, KeepText, Article, Agree
    QString word;                                 // Article: le, un, de, à, ce, Le, ...
    std::shared_ptr<const Expression> expression; // Number, KeepNumber, Repeat (the count)
    bool noRepeat = false;
    std::vector<Pieces> parts; // Choice
};

// Where a line names a table it draws from: the line (from 1) and the index of the Id in it.
struct TableReference {
    int line = 0;
    int index = 0;
    QString table;
};

struct TemplateLine {
    bool comment = false;
    bool holdsArticle = false; // an article {le x} stands somewhere in it, chosen or not
    Pieces pieces;
};

class Template {
public:
    // Parses a whole template; on a syntax error returns the first one in reading order.
    static std::optional<TemplateError> parse(const QString& source, Template& into);

    // Parses the text of a drawn element as one line, knowing the names remembered so far;
    // the names it remembers are added to known.
    // references, when given, receives where the text names tables.
    static std::optional<TemplateError>
    parseText(const QString& text, QSet<QString>& known, Pieces& into,
              std::vector<TableReference>* references = nullptr);

    // Splits a text at CR LF, CR and LF; a line end at the very end adds no empty line.
    static QStringList splitLines(const QString& text);

    const std::vector<TemplateLine>& lines() const { return m_lines; }
    // The tables that the template draws from, each once, in reading order.
    const QStringList& tables() const { return m_tables; }
    // Every place where it names a table, in reading order.
    const std::vector<TableReference>& tableReferences() const { return m_references; }

private:
    std::vector<TemplateLine> m_lines;
    QStringList m_tables;
    std::vector<TableReference> m_references;
};

} // namespace ov
