#include "template.h"
#include "frenchpass.h"
#include "tables/generatorfile.h"
#include "tables/textrules.h"
#include "templatechars.h"

namespace ov {

QString TemplateError::message() const {
    if (line == 0)
        return text;
    return QStringLiteral("Ligne %1, colonne %2 : %3").arg(line).arg(column).arg(text);
}

QString TemplateError::inGenerator(const QString& id) const {
    QString where = message();
    if (line > 0)
        where.replace(0, 1, QStringLiteral("l"));
    return QStringLiteral("Générateur « %1 », %2").arg(id, where);
}

namespace {

using namespace templatechars;

// The largest dice written literally.
constexpr int maxDiceCount = 1000;
constexpr int maxDiceFaces = 1000000;

bool isName(const QString& text) {
    if (text.isEmpty() || !text.at(0).isLetter())
        return false;
    for (QChar c : text)
        if (!isNameChar(c))
            return false;
    return true;
}

// "d" followed by digits alone: a die of one.
bool isBareDie(const QString& name) {
    if (name.size() < 2 || name.at(0) != QLatin1Char('d'))
        return false;
    for (int i = 1; i < name.size(); ++i)
        if (!isDigit(name.at(i)))
            return false;
    return true;
}

// Parses one line (or one element's text) into pieces; stops at the first error.
class LineParser {
public:
    LineParser(const QString& line, int lineNumber, QSet<QString>& known, QStringList* tables,
               std::vector<TableReference>* references = nullptr)
        : s(line), m_line(lineNumber), m_known(known), m_tables(tables), m_references(references) {}

    std::optional<TemplateError> error;
    bool sawArticle = false; // an article {le x} was read, in a choice part too

    bool parseSequence(int from, int to, Pieces& out) {
        QString text;
        auto flush = [&] {
            if (!text.isEmpty()) {
                Piece piece;
                piece.text = text;
                out.push_back(std::move(piece));
                text.clear();
            }
        };
        int i = from;
        while (i < to) {
            const QChar c = s.at(i);
            if (c == QLatin1Char('\\')) {
                if (i + 1 >= to)
                    return fail(i, QStringLiteral("barre oblique inverse à la fin"));
                text += s.at(i + 1);
                i += 2;
            } else if (c == QLatin1Char('[') || c == QLatin1Char('{')) {
                const int close = matchingClose(i);
                if (close < 0)
                    return false;
                flush();
                Piece piece;
                if (!(c == QLatin1Char('[') ? parseBracket(i, close, piece)
                                            : parseBrace(i, close, piece)))
                    return false;
                out.push_back(std::move(piece));
                i = close + 1;
            } else if (c == QLatin1Char(']')) {
                return fail(i, QStringLiteral("crochet ouvrant manquant"));
            } else if (c == QLatin1Char('}')) {
                return fail(i, QStringLiteral("accolade ouvrante manquante"));
            } else {
                text += c;
                ++i;
            }
        }
        flush();
        return true;
    }

private:
    bool fail(int index, const QString& text) {
        if (!error)
            error = TemplateError{m_line, index + 1, text};
        return false;
    }

    static QString missingClose(QChar open) {
        return open == QLatin1Char('[') ? QStringLiteral("crochet fermant manquant")
                                        : QStringLiteral("accolade fermante manquante");
    }

    // The index of the bracket that closes the one at open, or -1 with the error of the
    // innermost bracket left open, or of the first bracket or parenthesis nested too deep. The
    // bracket at open is counted as the first level: the brackets of a line are measured whole
    // when the parser meets them at its top level, before anything inside them is parsed.
    int matchingClose(int open) {
        struct Level {
            int at;         // index of the opening bracket
            int parens = 0; // parentheses open inside it, when it is a brace
        };
        std::vector<Level> stack{{open}};
        int depth = 1; // brackets, braces and parentheses open
        for (int j = open + 1; j < s.size(); ++j) {
            const QChar c = s.at(j);
            const bool inBrace = s.at(stack.back().at) == QLatin1Char('{');
            if (c == QLatin1Char('\\')) {
                ++j;
            } else if (c == QLatin1Char('[') || c == QLatin1Char('{') ||
                       (inBrace && c == QLatin1Char('('))) {
                if (++depth > maxNesting) {
                    fail(j, QStringLiteral("imbrication trop profonde"));
                    return -1;
                }
                if (c == QLatin1Char('('))
                    ++stack.back().parens;
                else
                    stack.push_back({j});
            } else if (inBrace && c == QLatin1Char(')')) {
                if (stack.back().parens > 0) {
                    --stack.back().parens;
                    --depth;
                }
            } else if (c == QLatin1Char(']') || c == QLatin1Char('}')) {
                const QChar top = s.at(stack.back().at);
                if ((top == QLatin1Char('[')) != (c == QLatin1Char(']'))) {
                    fail(stack.back().at, missingClose(top));
                    return -1;
                }
                depth -= 1 + stack.back().parens;
                stack.pop_back();
                if (stack.empty())
                    return j;
            }
        }
        fail(stack.back().at, missingClose(s.at(stack.back().at)));
        return -1;
    }

    // Positions of a character outside nested brackets and escapes, between from and to.
    std::vector<int> topLevel(int from, int to, QChar wanted) const {
        std::vector<int> found;
        int depth = 0;
        for (int j = from; j < to; ++j) {
            const QChar c = s.at(j);
            if (c == QLatin1Char('\\'))
                ++j;
            else if (c == QLatin1Char('[') || c == QLatin1Char('{'))
                ++depth;
            else if (c == QLatin1Char(']') || c == QLatin1Char('}'))
                --depth;
            else if (depth == 0 && c == wanted)
                found.push_back(j);
        }
        return found;
    }

    int skipBlanks(int from, int to) const {
        while (from < to && isBlank(s.at(from)))
            ++from;
        return from;
    }
    int trimEnd(int from, int to) const {
        while (to > from && isBlank(s.at(to - 1)))
            --to;
        return to;
    }

    // A name between from and to, blanks around it ignored; an empty one is « nom vide ».
    bool name(int from, int to, QString& out) {
        const int a = skipBlanks(from, to);
        const int b = trimEnd(a, to);
        if (a == b)
            return fail(a, QStringLiteral("nom vide"));
        out = s.mid(a, b - a);
        if (!isName(out))
            return fail(a, QStringLiteral("nom invalide"));
        return true;
    }

    void noteTable(const QString& table) {
        if (m_tables && !m_tables->contains(table))
            m_tables->append(table);
    }

    // The Id of a table between from and to, noted with its place in the line.
    bool tableName(int from, int to, Piece& piece) {
        if (!name(from, to, piece.table))
            return false;
        noteTable(piece.table);
        if (m_references)
            m_references->push_back({m_line, skipBlanks(from, to), piece.table});
        return true;
    }

    bool parseBracket(int open, int close, Piece& piece) {
        const int from = open + 1;
        const std::vector<int> bars = topLevel(from, close, QLatin1Char('|'));
        if (!bars.empty()) {
            piece.kind = Piece::Kind::Choice;
            const QSet<QString> before = m_known;
            QSet<QString> after = m_known;
            int start = from;
            for (std::size_t k = 0; k <= bars.size(); ++k) {
                const int end = k < bars.size() ? bars[k] : close;
                m_known = before;
                Pieces part;
                if (!parseSequence(start, end, part))
                    return false;
                after.unite(m_known);
                piece.parts.push_back(std::move(part));
                start = end + 1;
            }
            m_known = after;
            return true;
        }
        const std::vector<int> equals = topLevel(from, close, QLatin1Char('='));
        if (!equals.empty()) {
            const int e = equals.front();
            if (skipBlanks(from, e) == e)
                return fail(e, QStringLiteral("= sans nom"));
            if (!name(from, e, piece.name) || !tableName(e + 1, close, piece))
                return false;
            piece.kind = Piece::Kind::KeepText;
            m_known.insert(piece.name);
            return true;
        }
        const std::vector<int> stars = topLevel(from, close, QLatin1Char('*'));
        if (!stars.empty()) {
            const int m = stars.front();
            if (!tableName(from, m, piece))
                return false;
            piece.kind = Piece::Kind::Repeat;
            int a = skipBlanks(m + 1, close);
            int b = trimEnd(a, close);
            if (b > a && s.at(b - 1) == QLatin1Char('!')) {
                piece.noRepeat = true;
                b = trimEnd(a, b - 1);
            }
            if (a == b)
                return fail(a, QStringLiteral("nombre manquant"));
            if (s.at(a) == QLatin1Char('{')) {
                const int end = matchingClose(a);
                if (end < 0)
                    return false;
                if (end + 1 != b)
                    return fail(end + 1, QStringLiteral("nombre invalide"));
                Piece count;
                if (!parseBrace(a, end, count))
                    return false;
                if (count.kind == Piece::Kind::KeepNumber || count.kind == Piece::Kind::Article)
                    return fail(a, QStringLiteral("nombre invalide"));
                if (count.kind == Piece::Kind::Recall) {
                    auto named = std::make_shared<Expression>();
                    named->steps.resize(1);
                    named->steps.front().kind = Expression::Step::Kind::Name;
                    named->steps.front().name = count.name;
                    piece.expression = named;
                } else {
                    piece.expression = count.expression;
                }
                return true;
            }
            auto literal = std::make_shared<Expression>();
            literal->steps.resize(1);
            bool ok = true;
            for (int j = a; j < b && ok; ++j)
                ok = isDigit(s.at(j));
            if (ok)
                literal->steps.front().number = s.mid(a, b - a).toLongLong(&ok);
            if (!ok)
                return fail(a, QStringLiteral("nombre invalide"));
            piece.expression = literal;
            return true;
        }
        // [table : name]: a draw whose form agrees with a remembered value
        const std::vector<int> colons = topLevel(from, close, QLatin1Char(':'));
        if (!colons.empty()) {
            const int c = colons.front();
            if (!name(from, c, piece.table) || !name(c + 1, close, piece.name))
                return false;
            if (!m_known.contains(piece.name))
                return fail(skipBlanks(c + 1, close), unknownName(piece.name));
            piece.kind = Piece::Kind::Agree;
            noteTable(piece.table);
            return true;
        }
        if (!name(from, close, piece.table))
            return false;
        if (m_known.contains(piece.table)) {
            piece.kind = Piece::Kind::Recall;
            piece.name = piece.table;
            piece.table.clear();
            return true;
        }
        piece.kind = Piece::Kind::Draw;
        return tableName(from, close, piece);
    }

    // { } : an expression, a remembered value, or a number to remember.
    bool parseBrace(int open, int close, Piece& piece) {
        m_end = close;
        int p = skipBlanks(open + 1, close);
        if (p < close && s.at(p) == QLatin1Char('='))
            return fail(p, QStringLiteral("= sans nom"));
        // name = expression
        if (p < close && s.at(p).isLetter()) {
            int q = p;
            while (q < close && isNameChar(s.at(q)))
                ++q;
            const int r = skipBlanks(q, close);
            if (r < close && s.at(r) == QLatin1Char('=')) {
                piece.name = s.mid(p, q - p);
                if (isBareDie(piece.name))
                    return fail(r, QStringLiteral("expression invalide"));
                std::shared_ptr<Expression> value;
                if (!wholeExpression(r + 1, value))
                    return false;
                piece.kind = Piece::Kind::KeepNumber;
                piece.expression = value;
                m_known.insert(piece.name);
                return true;
            }
            // {le name}: an article that agrees with a remembered value
            if (r > q && r < close && agreeingArticle(s.mid(p, q - p), Gender::None) &&
                s.at(r).isLetter()) {
                int t = r;
                while (t < close && isNameChar(s.at(t)))
                    ++t;
                if (skipBlanks(t, close) == close) {
                    piece.word = s.mid(p, q - p);
                    piece.name = s.mid(r, t - r);
                    if (!m_known.contains(piece.name))
                        return fail(r, unknownName(piece.name));
                    piece.kind = Piece::Kind::Article;
                    sawArticle = true;
                    return true;
                }
            }
            // {name} alone writes the remembered value as it is
            if (r == close && !isBareDie(s.mid(p, q - p))) {
                piece.name = s.mid(p, q - p);
                if (!m_known.contains(piece.name))
                    return fail(p, unknownName(piece.name));
                piece.kind = Piece::Kind::Recall;
                return true;
            }
        }
        std::shared_ptr<Expression> value;
        if (!wholeExpression(open + 1, value))
            return false;
        piece.kind = Piece::Kind::Number;
        piece.expression = value;
        return true;
    }

    static QString unknownName(const QString& name) {
        return QStringLiteral("valeur retenue inconnue « ") + name + QStringLiteral(" »");
    }

    // The expression from `from` to the closing brace, read without recursion: each open
    // parenthesis is a group on a stack, and each group's operators wait on a stack of their own
    // until their right operand is read. The output is in the order of evaluation.
    bool wholeExpression(int from, std::shared_ptr<Expression>& out) {
        using Kind = Expression::Step::Kind;
        m_pos = skipBlanks(from, m_end);
        if (m_pos == m_end)
            return fail(m_pos, QStringLiteral("expression vide"));
        struct Group {
            int open = -1;               // its parenthesis; -1 for the whole expression
            bool negated = false;        // a '-' stands before it
            std::vector<Kind> operators; // waiting, the last on top
        };
        auto expression = std::make_shared<Expression>();
        auto& steps = expression->steps;
        const auto emit = [&steps](Kind kind) {
            Expression::Step step;
            step.kind = kind;
            steps.push_back(std::move(step));
        };
        const auto flush = [&emit](Group& group) {
            for (; !group.operators.empty(); group.operators.pop_back())
                emit(group.operators.back());
        };
        std::vector<Group> groups(1);
        int operands = 0;
        for (;;) {
            // An operand, a sign before it allowed.
            QChar c = peek();
            bool negated = false;
            if (c == QLatin1Char('+') || c == QLatin1Char('-')) {
                negated = c == QLatin1Char('-');
                ++m_pos;
                c = peek();
            }
            if (c == QLatin1Char('(')) {
                groups.push_back({m_pos, negated, {}});
                ++m_pos;
                continue;
            }
            if ((isDigit(c) || c.isLetter()) && ++operands > maxOperands)
                return fail(m_pos, QStringLiteral("expression trop longue"));
            Expression::Step step;
            if (!operand(step))
                return false;
            steps.push_back(std::move(step));
            if (negated)
                emit(Kind::Negate);
            // Then closing parentheses, until an operator or the end.
            for (;;) {
                c = peek();
                if (c == QLatin1Char('*') || c == QLatin1Char('+') || c == QLatin1Char('-')) {
                    ++m_pos;
                    std::vector<Kind>& waiting = groups.back().operators;
                    const bool product = c == QLatin1Char('*');
                    // Left to right: what waits with a precedence not lower goes first.
                    while (!waiting.empty() && (!product || waiting.back() == Kind::Multiply)) {
                        emit(waiting.back());
                        waiting.pop_back();
                    }
                    waiting.push_back(product                 ? Kind::Multiply
                                      : c == QLatin1Char('+') ? Kind::Add
                                                              : Kind::Subtract);
                    break;
                }
                Group& group = groups.back();
                if (groups.size() == 1) {
                    if (!c.isNull())
                        return fail(m_pos, QStringLiteral("expression invalide"));
                    flush(group);
                    out = std::move(expression);
                    return true;
                }
                if (c.isNull())
                    return fail(group.open, QStringLiteral("parenthèse fermante manquante"));
                if (c != QLatin1Char(')'))
                    return fail(m_pos, QStringLiteral("expression invalide"));
                ++m_pos;
                flush(group);
                const bool groupNegated = group.negated;
                groups.pop_back();
                if (groupNegated)
                    emit(Kind::Negate);
            }
        }
    }

    QChar peek() {
        m_pos = skipBlanks(m_pos, m_end);
        return m_pos < m_end ? s.at(m_pos) : QChar();
    }

    bool dice(int at, qint64 count, int facesFrom, int facesTo, Expression::Step& out) {
        bool ok = facesTo > facesFrom;
        const qint64 faces = ok ? s.mid(facesFrom, facesTo - facesFrom).toLongLong(&ok) : 0;
        if (!ok || count < 0 || count > maxDiceCount || faces < 1 || faces > maxDiceFaces)
            return fail(at, QStringLiteral("dés invalides"));
        out.kind = Expression::Step::Kind::Dice;
        out.count = int(count);
        out.faces = int(faces);
        return true;
    }

    // A number, a die or a remembered value.
    bool operand(Expression::Step& out) {
        const QChar c = peek();
        const int start = m_pos;
        if (c.isNull())
            return fail(m_pos, QStringLiteral("expression invalide"));
        if (isDigit(c)) {
            while (m_pos < m_end && isDigit(s.at(m_pos)))
                ++m_pos;
            bool ok = false;
            const qint64 number = s.mid(start, m_pos - start).toLongLong(&ok);
            if (m_pos < m_end && s.at(m_pos) == QLatin1Char('d')) {
                const int facesFrom = ++m_pos;
                while (m_pos < m_end && isDigit(s.at(m_pos)))
                    ++m_pos;
                if (!ok || (m_pos < m_end && isNameChar(s.at(m_pos))))
                    return fail(start, QStringLiteral("dés invalides"));
                return dice(start, number, facesFrom, m_pos, out);
            }
            if (!ok || (m_pos < m_end && isNameChar(s.at(m_pos))))
                return fail(start, QStringLiteral("nombre invalide"));
            out.kind = Expression::Step::Kind::Number;
            out.number = number;
            return true;
        }
        if (c.isLetter()) {
            while (m_pos < m_end && isNameChar(s.at(m_pos)))
                ++m_pos;
            const QString word = s.mid(start, m_pos - start);
            if (isBareDie(word))
                return dice(start, 1, start + 1, m_pos, out);
            if (!m_known.contains(word))
                return fail(start, unknownName(word));
            out.kind = Expression::Step::Kind::Name;
            out.name = word;
            return true;
        }
        return fail(m_pos, QStringLiteral("expression invalide"));
    }

    const QString& s;
    int m_line;
    QSet<QString>& m_known;
    QStringList* m_tables;
    std::vector<TableReference>* m_references;
    int m_pos = 0; // inside the expression being parsed
    int m_end = 0; // its closing brace
};

} // namespace

QStringList Template::splitLines(const QString& text) {
    QStringList lines;
    QString current;
    bool pending = false; // a line has begun or ended without being added
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            lines.append(current);
            current.clear();
            pending = false;
        } else {
            current += c;
            pending = true;
        }
    }
    if (pending)
        lines.append(current);
    return lines;
}

std::optional<TemplateError> Template::parse(const QString& source, Template& into) {
    // The whole text first: its size, before anything is split or parsed, then its characters.
    if (auto problem = templateSizeProblem(source))
        return TemplateError{0, 0, *problem};
    if (const int at = firstControlCharacter(source, LineEnds::Allowed); at >= 0) {
        const auto [line, column] = placeInText(source, at);
        return TemplateError{line, column, controlCharacterText(source.at(at))};
    }
    Template parsed;
    QSet<QString> known;
    const QStringList lines = splitLines(source);
    for (int i = 0; i < lines.size(); ++i) {
        TemplateLine line;
        line.comment = isComment(lines.at(i));
        if (!line.comment) {
            LineParser parser(lines.at(i), i + 1, known, &parsed.m_tables, &parsed.m_references);
            if (!parser.parseSequence(0, int(lines.at(i).size()), line.pieces))
                return parser.error;
            line.holdsArticle = parser.sawArticle;
        }
        parsed.m_lines.push_back(std::move(line));
    }
    into = std::move(parsed);
    return std::nullopt;
}

std::optional<TemplateError> Template::parseText(const QString& text, QSet<QString>& known,
                                                 Pieces& into,
                                                 std::vector<TableReference>* references) {
    QSet<QString> names = known;
    std::vector<TableReference> found;
    LineParser parser(text, 1, names, nullptr, references ? &found : nullptr);
    Pieces pieces;
    if (!parser.parseSequence(0, int(text.size()), pieces))
        return parser.error;
    if (references)
        *references = std::move(found);
    into = std::move(pieces);
    known = std::move(names);
    return std::nullopt;
}

} // namespace ov
