#pragma once
// The characters of the template language, for its parser and its colouring alike.

#include <QChar>
#include <QString>

namespace ov::templatechars {

inline bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

inline bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Names of tables and of remembered values: letters (accented ones too), digits and '_'.
inline bool isNameChar(QChar c) {
    return c.isLetter() || isDigit(c) || c == QLatin1Char('_');
}

// A line whose first non-blank character is '#' produces nothing.
inline bool isComment(const QString& line) {
    for (QChar c : line)
        if (!isBlank(c))
            return c == QLatin1Char('#');
    return false;
}

} // namespace ov::templatechars
