#include "templatetokens.h"

#include "frenchpass.h"
#include "template.h"
#include "templatechars.h"

namespace ov {

namespace {

using namespace templatechars;

bool isOpen(QChar c) {
    return c == QLatin1Char('[') || c == QLatin1Char('{');
}
bool isClose(QChar c) {
    return c == QLatin1Char(']') || c == QLatin1Char('}');
}

class LineScanner {
public:
    LineScanner(const QString& line, QSet<QString>& known) : s(line), m_known(known) {}

    QList<TemplateToken> tokens;

    void text(int from, int to) {
        int i = from;
        while (i < to) {
            const QChar c = s.at(i);
            if (c == QLatin1Char('\\')) {
                add(TemplateToken::Kind::Escape, i, qMin(i + 2, to));
                i += 2;
            } else if (isOpen(c)) {
                const int close = closing(i, to);
                add(TemplateToken::Kind::Syntax, i, i + 1);
                // Beyond the nesting that a template may have, nothing is coloured: the scan
                // never goes deeper than a valid line.
                if (m_depth < maxNesting) {
                    ++m_depth;
                    if (c == QLatin1Char('['))
                        bracket(i + 1, close);
                    else
                        brace(i + 1, close);
                    --m_depth;
                }
                if (close < to)
                    add(TemplateToken::Kind::Syntax, close, close + 1);
                i = close + 1;
            } else {
                if (isClose(c))
                    add(TemplateToken::Kind::Syntax, i, i + 1);
                ++i;
            }
        }
    }

private:
    void add(TemplateToken::Kind kind, int from, int to) {
        if (to > from)
            tokens.append({kind, from, to - from, s.mid(from, to - from)});
    }

    // The bracket that closes the one at open, or to when none does.
    int closing(int open, int to) const {
        int depth = 0;
        for (int j = open; j < to; ++j) {
            const QChar c = s.at(j);
            if (c == QLatin1Char('\\'))
                ++j;
            else if (isOpen(c))
                ++depth;
            else if (isClose(c) && --depth == 0)
                return j;
        }
        return to;
    }

    int topLevel(int from, int to, QChar wanted) const {
        int depth = 0;
        for (int j = from; j < to; ++j) {
            const QChar c = s.at(j);
            if (c == QLatin1Char('\\'))
                ++j;
            else if (isOpen(c))
                ++depth;
            else if (isClose(c))
                --depth;
            else if (depth == 0 && c == wanted)
                return j;
        }
        return -1;
    }

    // The name between from and to, blanks around it left out: its bounds.
    std::pair<int, int> trimmed(int from, int to) const {
        while (from < to && isBlank(s.at(from)))
            ++from;
        while (to > from && isBlank(s.at(to - 1)))
            --to;
        return {from, to};
    }

    void bracket(int from, int to) {
        if (topLevel(from, to, QLatin1Char('|')) >= 0) {
            int start = from;
            const QSet<QString> before = m_known;
            QSet<QString> after = m_known;
            for (int bar = topLevel(start, to, QLatin1Char('|'));;
                 bar = topLevel(start, to, QLatin1Char('|'))) {
                const int end = bar < 0 ? to : bar;
                m_known = before;
                text(start, end);
                after.unite(m_known);
                if (bar < 0)
                    break;
                add(TemplateToken::Kind::Syntax, bar, bar + 1);
                start = bar + 1;
            }
            m_known = after;
            return;
        }
        if (const int equals = topLevel(from, to, QLatin1Char('=')); equals >= 0) {
            const auto [a, b] = trimmed(from, equals);
            add(TemplateToken::Kind::Remembered, a, b);
            add(TemplateToken::Kind::Syntax, equals, equals + 1);
            const auto [c, d] = trimmed(equals + 1, to);
            add(TemplateToken::Kind::Table, c, d);
            m_known.insert(s.mid(a, b - a));
            return;
        }
        if (const int star = topLevel(from, to, QLatin1Char('*')); star >= 0) {
            const auto [a, b] = trimmed(from, star);
            add(TemplateToken::Kind::Table, a, b);
            add(TemplateToken::Kind::Syntax, star, star + 1);
            auto [c, d] = trimmed(star + 1, to);
            if (d > c && s.at(d - 1) == QLatin1Char('!')) {
                add(TemplateToken::Kind::Syntax, d - 1, d);
                d = trimmed(c, d - 1).second;
            }
            if (c < d && s.at(c) == QLatin1Char('{')) {
                const int close = closing(c, d);
                add(TemplateToken::Kind::Syntax, c, c + 1);
                brace(c + 1, close);
                if (close < d)
                    add(TemplateToken::Kind::Syntax, close, close + 1);
            } else {
                add(TemplateToken::Kind::Number, c, d);
            }
            return;
        }
        if (const int colon = topLevel(from, to, QLatin1Char(':')); colon >= 0) {
            const auto [a, b] = trimmed(from, colon);
            add(TemplateToken::Kind::Table, a, b);
            add(TemplateToken::Kind::Syntax, colon, colon + 1);
            const auto [c, d] = trimmed(colon + 1, to);
            add(TemplateToken::Kind::Remembered, c, d);
            return;
        }
        const auto [a, b] = trimmed(from, to);
        const QString name = s.mid(a, b - a);
        add(m_known.contains(name) ? TemplateToken::Kind::Remembered : TemplateToken::Kind::Table,
            a, b);
    }

    void brace(int from, int to) {
        if (article(from, to))
            return;
        int i = from;
        bool keeping = false; // a name followed by = is the one remembered
        while (i < to) {
            const QChar c = s.at(i);
            if (isDigit(c)) {
                int j = i;
                while (j < to && isDigit(s.at(j)))
                    ++j;
                if (j < to && s.at(j) == QLatin1Char('d')) {
                    ++j;
                    while (j < to && isDigit(s.at(j)))
                        ++j;
                    add(TemplateToken::Kind::Dice, i, j);
                } else {
                    add(TemplateToken::Kind::Number, i, j);
                }
                i = j;
            } else if (c.isLetter()) {
                int j = i;
                while (j < to && isNameChar(s.at(j)))
                    ++j;
                const QString word = s.mid(i, j - i);
                bool die = word.size() > 1 && word.at(0) == QLatin1Char('d');
                for (int k = 1; die && k < word.size(); ++k)
                    die = isDigit(word.at(k));
                if (die) {
                    add(TemplateToken::Kind::Dice, i, j);
                } else {
                    add(TemplateToken::Kind::Remembered, i, j);
                    int k = j;
                    while (k < to && isBlank(s.at(k)))
                        ++k;
                    if (!keeping && k < to && s.at(k) == QLatin1Char('=')) {
                        keeping = true;
                        m_known.insert(word);
                    }
                }
                i = j;
            } else {
                if (!isBlank(c))
                    add(TemplateToken::Kind::Syntax, i, i + 1);
                ++i;
            }
        }
    }

    // {le x}: the word, blanks, a name and nothing else.
    bool article(int from, int to) {
        const auto [a, b] = trimmed(from, to);
        int word = a;
        while (word < b && isNameChar(s.at(word)))
            ++word;
        int name = word;
        while (name < b && isBlank(s.at(name)))
            ++name;
        if (name == word || name == b || !s.at(name).isLetter() ||
            !agreeingArticle(s.mid(a, word - a), Gender::None))
            return false;
        for (int j = name; j < b; ++j)
            if (!isNameChar(s.at(j)))
                return false;
        add(TemplateToken::Kind::Article, a, word);
        add(TemplateToken::Kind::Remembered, name, b);
        return true;
    }

    const QString& s;
    QSet<QString>& m_known;
    int m_depth = 0; // brackets open around the part being scanned
};

} // namespace

QList<TemplateToken> templateLineTokens(const QString& line, QSet<QString>& known) {
    if (isComment(line))
        return {{TemplateToken::Kind::Comment, 0, int(line.size()), line}};
    LineScanner scanner(line, known);
    scanner.text(0, int(line.size()));
    const TaggedText tagged = splitGenderTag(line);
    if (tagged.tag != Gender::None) {
        const int at = int(line.lastIndexOf(QLatin1Char('@')));
        scanner.tokens.append({TemplateToken::Kind::Tag, at, int(line.size()) - at, line.mid(at)});
    }
    return scanner.tokens;
}

QVector<QSet<QString>> rememberedNamesByLine(const QString& source) {
    QVector<QSet<QString>> names;
    QSet<QString> known;
    for (const QString& line : Template::splitLines(source)) {
        names.append(known);
        templateLineTokens(line, known);
    }
    return names;
}

} // namespace ov
