#pragma once
// Text and number rules shared by every subsystem: rounding, field widths, integer conversion.

#include <QString>
#include <optional>

namespace ov {

// Rounds to the nearest whole number, an exact half going to the even neighbour.
qint64 roundHalfEven(double value);

// Cuts a text to a field width counted in characters.
QString cutToWidth(const QString& text, int width);

// Characters, not UTF-16 units: a pair of surrogates is one character.
int characterCount(const QString& text);

// The index of the first NUL or other C0 control character (U+0000 to U+001F) other than tab,
// or -1 when the text has none: no text that enters the store holds one. A text of several lines
// (a template, a generator file) passes lineEnds to allow line feed and carriage return too.
enum class LineEnds { Refused, Allowed };
int firstControlCharacter(const QString& text, LineEnds lineEnds = LineEnds::Refused);

// A name or a value inside a French message: « text ».
QString quoted(const QString& text);

// Integer conversion: leading blanks, then an optional sign and decimal digits, or "$" and
// hexadecimal digits; nothing may follow. Returns nothing when the text is no number.
std::optional<int> parseInteger(const QString& text);

// The same, raising ConversionError "'text' is not a valid integer value" on failure.
int toInteger(const QString& text);

// "caractère de contrôle U+0007 interdit": the one wording of a character that no stored text may
// hold, wherever it comes from.
QString controlCharacterText(QChar c);

// "caractère de contrôle U+0007 interdit (caractère 3)": the character at that index, counted
// from 1 in characters.
QString controlCharacterProblem(const QString& text, qsizetype index);

// Element weights: a whole number from 0 (an element that is never drawn) to maxElementWeight.
// Every place where a weight is entered or imported accepts only these.
inline constexpr int maxElementWeight = 1000000000;
std::optional<int> parseElementWeight(const QString& text);
bool isElementWeight(double value);
// What a weight must be, for the messages: "un nombre entier de 0 à 1 000 000 000".
QString elementWeightRule();

// Field widths of the store, in characters.
namespace width {
inline constexpr int TableId = 4;
inline constexpr int TableName = 40;
inline constexpr int Element = 60;
inline constexpr int RecordType = 9;
inline constexpr int PrintDate = 8;
} // namespace width

} // namespace ov
