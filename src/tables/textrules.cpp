#include "textrules.h"

#include "errors.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ov {

qint64 roundHalfEven(double value) {
    // A value beyond the range of the result is held at its end; not a number counts as 0.
    if (std::isnan(value))
        return 0;
    constexpr double limit = 9.0e18;
    return static_cast<qint64>(std::nearbyint(std::clamp(value, -limit, limit))); // ties to even
}

std::optional<int> parseElementWeight(const QString& text) {
    const std::optional<int> value = parseInteger(text);
    if (!value || *value < 0 || *value > maxElementWeight)
        return std::nullopt;
    return value;
}

bool isElementWeight(double value) {
    return value >= 0 && value <= maxElementWeight && value == std::floor(value);
}

QString controlCharacterText(QChar c) {
    return QStringLiteral("caractère de contrôle U+%1 interdit")
        .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0'));
}

QString controlCharacterProblem(const QString& text, qsizetype index) {
    return QStringLiteral("%1 (caractère %2)")
        .arg(controlCharacterText(text.at(index)))
        .arg(characterCount(text.left(index)) + 1);
}

QString elementWeightRule() {
    return QStringLiteral("un nombre entier de 0 à 1 000 000 000");
}

QString cutToWidth(const QString& text, int width) {
    // Count characters, not UTF-16 units, so that a character outside the BMP is never split.
    if (text.size() <= width)
        return text;
    int units = 0;
    for (int chars = 0; chars < width && units < text.size(); ++chars)
        units += (text.at(units).isHighSurrogate() && units + 1 < text.size()) ? 2 : 1;
    return text.left(units);
}

int characterCount(const QString& text) {
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
            ++count;
    return count;
}

int firstControlCharacter(const QString& text, LineEnds lineEnds) {
    const bool endsAllowed = lineEnds == LineEnds::Allowed;
    for (int i = 0; i < int(text.size()); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x20 && c != u'\t' && !(endsAllowed && (c == u'\n' || c == u'\r')))
            return i;
    }
    return -1;
}

QString quoted(const QString& text) {
    return QStringLiteral("« ") + text + QStringLiteral(" »");
}

std::optional<int> parseInteger(const QString& text) {
    int i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    if (i == text.size())
        return std::nullopt;

    qint64 value = 0;
    const auto overflow = [&value] { return value > qint64(std::numeric_limits<int>::max()) + 1; };
    if (text.at(i) == QLatin1Char('$')) {
        ++i;
        if (i == text.size())
            return std::nullopt;
        for (; i < text.size(); ++i) {
            const char16_t c = text.at(i).unicode();
            int digit = 0;
            if (c >= u'0' && c <= u'9')
                digit = c - u'0';
            else if (c >= u'a' && c <= u'f')
                digit = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F')
                digit = c - u'A' + 10;
            else
                return std::nullopt;
            value = value * 16 + digit;
            if (value > 0xFFFFFFFFLL)
                return std::nullopt;
        }
        // Hexadecimal text names the 32-bit pattern: $FFFFFFFF is -1.
        return static_cast<int>(static_cast<quint32>(value));
    }

    bool negative = false;
    if (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (overflow())
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

int toInteger(const QString& text) {
    if (const auto value = parseInteger(text))
        return *value;
    throw ConversionError(QLatin1Char('\'') + text +
                          QStringLiteral("' is not a valid integer value"));
}

} // namespace ov
