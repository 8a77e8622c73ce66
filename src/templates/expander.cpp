#include "expander.h"

#include <algorithm>
#include <limits>

namespace ov {

namespace {

int clampToInt(qint64 value) {
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

// A text that cannot hold any expression is written as it stands without being parsed.
bool isPlain(const QString& text) {
    for (QChar c : text)
        if (c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char('{') ||
            c == QLatin1Char('}') || c == QLatin1Char('\\'))
            return false;
    return true;
}

} // namespace

QStringList Expander::expand(const Template& parsed) {
    QStringList lines;
    int number = 0;
    for (const TemplateLine& line : parsed.lines()) {
        ++number;
        if (!line.comment)
            lines.append(expandLine(line, number));
    }
    m_line = 0;
    return lines;
}

QString Expander::expandLine(const TemplateLine& line, int lineNumber, NameUse* use) {
    m_line = lineNumber;
    QString text;
    m_use = use;
    try {
        expandPieces(line.pieces, text, 0);
    } catch (...) {
        m_use = nullptr;
        throw;
    }
    m_use = nullptr;
    return m_french || line.holdsArticle ? frenchPostPass(text) : text;
}

Gender Expander::tagOf(const QString& name) const {
    if (m_use)
        m_use->uses.insert(name);
    const auto found = m_values.constFind(name);
    return found == m_values.constEnd() ? Gender::None : found->tag;
}

std::optional<QString> Expander::expandDraw(const QString& table) {
    QString text;
    if (!drawOne(table, text, 0))
        return std::nullopt;
    return text;
}

void Expander::write(QString& out, const QString& text) {
    if (m_keeping == 0) {
        m_written += text.size();
        if (m_written > maxCharacters)
            throw SizeExceeded();
    }
    out += text;
}

void Expander::countDraw() {
    if (m_drawCount >= maxDraws)
        throw SizeExceeded();
    ++m_drawCount;
}

void Expander::expandPieces(const Pieces& pieces, QString& out, int depth) {
    for (const Piece& piece : pieces)
        expandPiece(piece, out, depth);
}

void Expander::expandPiece(const Piece& piece, QString& out, int depth) {
    switch (piece.kind) {
    case Piece::Kind::Text:
        write(out, piece.text);
        break;
    case Piece::Kind::Draw:
        drawOne(piece.table, out, depth);
        break;
    case Piece::Kind::Repeat: {
        const qint64 count = evaluate(*piece.expression);
        if (piece.noRepeat) {
            pickWithoutRepeats(piece.table, count, out, depth);
            break;
        }
        for (qint64 i = 0; i < count; ++i) {
            if (i > 0)
                write(out, QStringLiteral(", "));
            drawOne(piece.table, out, depth);
        }
        break;
    }
    case Piece::Kind::Choice: {
        const int chosen = m_draws.D(int(piece.parts.size()));
        expandPieces(piece.parts.at(std::size_t(qBound(1, chosen, int(piece.parts.size())) - 1)),
                     out, depth);
        break;
    }
    case Piece::Kind::Number:
        write(out, QString::number(evaluate(*piece.expression)));
        break;
    case Piece::Kind::Recall: {
        if (m_use)
            m_use->uses.insert(piece.name);
        const auto found = m_values.constFind(piece.name);
        if (found != m_values.constEnd())
            write(out, found->isNumber ? QString::number(found->number) : found->text);
        break;
    }
    case Piece::Kind::KeepNumber: {
        Value value;
        value.isNumber = true;
        value.number = evaluate(*piece.expression);
        m_values.insert(piece.name, value);
        if (m_use)
            m_use->sets.insert(piece.name);
        break;
    }
    case Piece::Kind::KeepText: {
        Value value;
        ++m_keeping;
        try {
            drawOne(piece.table, value.text, depth, &value.tag);
        } catch (...) {
            --m_keeping;
            throw;
        }
        --m_keeping;
        m_values.insert(piece.name, value);
        if (m_use)
            m_use->sets.insert(piece.name);
        break;
    }
    case Piece::Kind::Article:
        write(out, agreeingArticle(piece.word, tagOf(piece.name)).value_or(piece.word));
        break;
    case Piece::Kind::Agree: {
        // The whole text is drawn and expanded first; only the form kept is written.
        QString expanded;
        ++m_keeping;
        try {
            drawOne(piece.table, expanded, depth);
        } catch (...) {
            --m_keeping;
            throw;
        }
        --m_keeping;
        write(out, agreeingForm(expanded, tagOf(piece.name)));
        break;
    }
    }
}

bool Expander::drawOne(const QString& table, QString& out, int depth, Gender* tag) {
    countDraw();
    if (depth == 0)
        m_rootTable = table;
    QString element;
    if (!m_draws.OV(table, element))
        return false; // the draw showed its message; an empty piece
    const TaggedText tagged = splitGenderTag(element);
    if (tag)
        *tag = tagged.tag;
    expandElement(table, tagged.text, out, depth + 1);
    return true;
}

void Expander::pickWithoutRepeats(const QString& table, qint64 count, QString& out, int depth) {
    if (count <= 0)
        return;
    countDraw();
    if (depth == 0)
        m_rootTable = table;
    std::vector<WeightedElement> deck;
    if (!m_draws.elements(table, deck))
        return;
    for (qint64 i = 0; i < count; ++i) {
        if (i > 0)
            countDraw();
        qint64 total = 0;
        for (const WeightedElement& element : deck)
            total += qMax<qint64>(element.weight, 0);
        if (total <= 0)
            return; // nothing left to pick
        const qint64 roll = m_draws.D(clampToInt(total));
        qint64 sum = 0;
        std::size_t k = 0;
        for (; k < deck.size(); ++k) {
            sum += qMax<qint64>(deck[k].weight, 0);
            if (deck[k].weight > 0 && sum >= roll)
                break;
        }
        if (k == deck.size()) // a roll above the total: the last element with a weight
            for (k = deck.size(); k-- > 0 && deck[k].weight <= 0;) {
            }
        const QString text = splitGenderTag(deck[k].text).text;
        deck.erase(deck.begin() + std::ptrdiff_t(k));
        if (i > 0)
            write(out, QStringLiteral(", "));
        expandElement(table, text, out, depth + 1);
    }
}

void Expander::expandElement(const QString& table, const QString& text, QString& out, int depth) {
    Q_UNUSED(table);
    if (depth >= maxDepth) {
        if (!m_depthShown) {
            m_depthShown = true;
            m_messages.showMessage(
                QStringLiteral("Trop de renvois imbriqués à partir de la table \"") + m_rootTable +
                QLatin1Char('"'));
        }
        return;
    }
    if (isPlain(text)) {
        write(out, text);
        return;
    }
    QSet<QString> known;
    for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it)
        known.insert(it.key());
    Pieces pieces;
    if (Template::parseText(text, known, pieces)) {
        write(out, text); // not a valid template: written as it stands
        return;
    }
    expandPieces(pieces, out, depth);
}

qint64 Expander::numberOf(const QString& name) const {
    if (m_use)
        m_use->uses.insert(name);
    const auto found = m_values.constFind(name);
    if (found == m_values.constEnd())
        return 0;
    if (found->isNumber)
        return found->number;
    bool ok = false;
    const qint64 number = found->text.toLongLong(&ok, 10);
    return ok ? number : 0;
}

qint64 Expander::evaluate(const Expression& e) {
    using Kind = Expression::Step::Kind;
    const auto overflow = [this] { return ArithmeticOverflow(m_line); };
    std::vector<qint64> values;
    values.reserve(e.steps.size());
    for (const Expression::Step& step : e.steps) {
        switch (step.kind) {
        case Kind::Number:
            values.push_back(step.number);
            break;
        case Kind::Dice: {
            qint64 total = 0;
            for (int i = 0; i < step.count; ++i)
                if (__builtin_add_overflow(total, qint64(m_draws.D(step.faces)), &total))
                    throw overflow();
            values.push_back(total);
            break;
        }
        case Kind::Name:
            values.push_back(numberOf(step.name));
            break;
        case Kind::Negate:
            if (__builtin_sub_overflow(qint64(0), values.back(), &values.back()))
                throw overflow();
            break;
        case Kind::Add:
        case Kind::Subtract:
        case Kind::Multiply: {
            const qint64 right = values.back();
            values.pop_back();
            qint64& left = values.back();
            const bool overflowed =
                step.kind == Kind::Add        ? __builtin_add_overflow(left, right, &left)
                : step.kind == Kind::Subtract ? __builtin_sub_overflow(left, right, &left)
                                              : __builtin_mul_overflow(left, right, &left);
            if (overflowed)
                throw overflow();
            break;
        }
        }
    }
    return values.empty() ? 0 : values.back();
}

} // namespace ov
