#pragma once
// The template of a personal generator, parsed once into a tree of pieces and expressions.

#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace ov {

// The first syntax error of a template: physical line and column, both from 1.
struct TemplateError {
    int line = 0;
    int column = 0;
    QString text; // « crochet fermant manquant », ...

    // « Ligne 3, colonne 14 : crochet fermant manquant »
    QString message() const;
};

// An integer expression inside { }.
struct Expression {
    enum class Kind { Number, Dice, Name, Negate, Add, Subtract, Multiply };
    Kind kind = Kind::Number;
    qint64 number = 0;                       // Number
    int count = 0;                           // Dice: how many
    int faces = 0;                           // Dice: of how many faces
    QString name;                            // Name: a remembered value
    std::unique_ptr<Expression> left, right; // right alone for Negate
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
    static std::optional<TemplateError> parseText(const QString& text, QSet<QString>& known,
                                                  Pieces& into);

    // Splits a text at CR LF, CR and LF; a line end at the very end adds no empty line.
    static QStringList splitLines(const QString& text);

    const std::vector<TemplateLine>& lines() const { return m_lines; }
    // The tables that the template draws from, each once, in reading order.
    const QStringList& tables() const { return m_tables; }

private:
    std::vector<TemplateLine> m_lines;
    QStringList m_tables;
};

} // namespace ov
