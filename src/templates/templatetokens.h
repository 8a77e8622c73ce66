#pragma once
// The parts of a template line that an editor colours: tables, dice, numbers, remembered values,
// comments, escapes and the brackets that hold them, with their places in the line.

#include <QList>
#include <QSet>
#include <QString>
#include <QVector>

namespace ov {

struct TemplateToken {
    // Article: the word of {le x}; Tag: the gender tag that ends an element's text (" @f").
    enum class Kind { Comment, Table, Remembered, Dice, Number, Escape, Syntax, Article, Tag };
    Kind kind = Kind::Syntax;
    int start = 0; // index in the line
    int length = 0;
    QString text;
};

// The tokens of one line (or of an element's text), in reading order. known holds the names
// remembered before the line; the names the line remembers are added to it. The scan is lenient: a
// line with a syntax error still gives the tokens it can.
QList<TemplateToken> templateLineTokens(const QString& line, QSet<QString>& known);

// For each line of a template (split as the parser splits it), the names remembered before it.
QVector<QSet<QString>> rememberedNamesByLine(const QString& source);

} // namespace ov
