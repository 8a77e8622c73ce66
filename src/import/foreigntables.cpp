#include "foreigntables.h"

#include "tables/database.h"
#include "tables/textrules.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <optional>

namespace ov {

namespace {

constexpr int maxListedProblems = 20;

// Problems of one source, each with its place: « rumeurs.txt, ligne 4 : … ».
class Problems {
public:
    explicit Problems(QString where) : m_where(std::move(where)) {}
    void add(const QString& place, const QString& text) {
        const QString line = place.isEmpty()
                                 ? QStringLiteral("%1 : %2").arg(m_where, text)
                                 : QStringLiteral("%1, %2 : %3").arg(m_where, place, text);
        if (m_list.size() < maxListedProblems)
            m_list.append(line);
        else
            ++m_more;
    }
    void raiseIfAny() const {
        if (m_list.isEmpty())
            return;
        QStringList all = m_list;
        if (m_more > 0)
            all.append(QStringLiteral("… et %1 autre(s) problème(s)").arg(m_more));
        throw TableFileError(all);
    }

private:
    QString m_where;
    QStringList m_list;
    int m_more = 0;
};

QString lineAt(int line) {
    return QStringLiteral("ligne %1").arg(line);
}

QString tooLong(const QString& text) {
    return QStringLiteral("élément trop long (%1 caractères, %2 au plus) : %3")
        .arg(characterCount(text))
        .arg(width::Element)
        .arg(quoted(text.left(width::Element) + QStringLiteral("…")));
}

// A die as a table's heading or formula writes it: « d6 », « 1d20 », « 2d6+1 ».
struct Die {
    qint64 low = 1;
    qint64 high = 1;
    int faces = 0;
};

std::optional<Die> dieOf(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{0,3})[dD](\\d{1,6})\\s*(?:([+-])\\s*(\\d{1,6}))?\\s*$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 count = match.captured(1).isEmpty() ? 1 : match.captured(1).toLongLong();
    const int faces = match.captured(2).toInt();
    if (count < 1 || faces < 1)
        return std::nullopt;
    qint64 shift = match.captured(4).toLongLong();
    if (match.captured(3) == QLatin1String("-"))
        shift = -shift;
    return Die{count + shift, count * faces + shift, faces};
}

// One result of a table with its range of rolls, and how the problems name it.
struct RangedEntry {
    qint64 low = 0;
    qint64 high = 0;
    QString text;
    QString place;
    QString label() const { return QStringLiteral("%1 de %2").arg(range(), quoted(text.left(30))); }
    QString range() const {
        return low == high ? QString::number(low) : QStringLiteral("%1-%2").arg(low).arg(high);
    }
};

QString rangeText(qint64 low, qint64 high) {
    return low == high ? QString::number(low) : QStringLiteral("%1-%2").arg(low).arg(high);
}

// The elements of a table whose results have ranges: weights from their widths, in range order.
// Ranges upside down, overlapping, leaving a gap or going beyond the span are refused.
QVector<TableElement> elementsFromRanges(QVector<RangedEntry> entries, std::optional<Die> span,
                                         const QString& table, Problems& problems) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const RangedEntry& a, const RangedEntry& b) { return a.low < b.low; });
    QVector<TableElement> elements;
    const RangedEntry* previous = nullptr;
    for (const RangedEntry& entry : entries) {
        if (entry.low > entry.high) {
            problems.add(entry.place,
                         QStringLiteral("plage %1-%2 à l'envers").arg(entry.low).arg(entry.high));
            continue;
        }
        if (span && (entry.low < span->low || entry.high > span->high))
            problems.add(entry.place, QStringLiteral("plage %1 hors des jets possibles (%2)")
                                          .arg(rangeText(entry.low, entry.high),
                                               rangeText(span->low, span->high)));
        if (previous && entry.low <= previous->high)
            problems.add(entry.place, QStringLiteral("la plage %1 chevauche la plage %2")
                                          .arg(entry.label(), previous->label()));
        else if (previous && entry.low > previous->high + 1)
            problems.add(entry.place, QStringLiteral("aucun résultat pour %1, entre la plage %2 "
                                                     "et la plage %3")
                                          .arg(rangeText(previous->high + 1, entry.low - 1),
                                               previous->label(), entry.label()));
        else if (!previous && span && entry.low > span->low)
            problems.add(entry.place, QStringLiteral("aucun résultat pour %1 (trou au début)")
                                          .arg(rangeText(span->low, entry.low - 1)));
        if (entry.high - entry.low + 1 > maxElementWeight)
            problems.add(entry.place, QStringLiteral("plage %1 trop large (le poids d'un élément "
                                                     "va jusqu'à %2)")
                                          .arg(entry.range())
                                          .arg(maxElementWeight));
        if (!previous || entry.high > previous->high)
            previous = &entry;
        elements.append(TableElement{entry.text, double(entry.high - entry.low + 1)});
    }
    if (previous && span && previous->high < span->high)
        problems.add(previous->place, QStringLiteral("aucun résultat pour %1 (trou à la fin)")
                                          .arg(rangeText(previous->high + 1, span->high)));
    if (entries.isEmpty())
        problems.add(QString(),
                     QStringLiteral("la table %1 n'a aucun résultat").arg(quoted(table)));
    return elements;
}

// ---- Roll-table JSON ----

// HTML reduced to its text: tags dropped, entities read, blanks gathered into one space.
QString textOfHtml(const QString& html) {
    static const QRegularExpression breaks(
        QStringLiteral("<\\s*(br|/p|/div|/li|/h\\d|/tr|/td)\\b[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression entities(QStringLiteral("&(#\\d{1,7}|#[xX][0-9a-fA-F]{1,6}|"
                                                            "amp|lt|gt|quot|apos|nbsp);"));
    QString text = html;
    text.replace(breaks, QStringLiteral(" "));
    text.remove(tags);
    QString decoded;
    qsizetype from = 0;
    for (auto it = entities.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        decoded += text.mid(from, match.capturedStart() - from);
        const QString name = match.captured(1);
        if (name.startsWith(QLatin1Char('#'))) {
            const bool hex = name.size() > 1 &&
                             (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'));
            const uint code = name.mid(hex ? 2 : 1).toUInt(nullptr, hex ? 16 : 10);
            if (code <= 0x10FFFF) {
                const char32_t c = code;
                decoded += QString::fromUcs4(&c, 1);
            }
        } else {
            static const QHash<QString, QString> named{
                {QStringLiteral("amp"), QStringLiteral("&")},
                {QStringLiteral("lt"), QStringLiteral("<")},
                {QStringLiteral("gt"), QStringLiteral(">")},
                {QStringLiteral("quot"), QStringLiteral("\"")},
                {QStringLiteral("apos"), QStringLiteral("'")},
                {QStringLiteral("nbsp"), QStringLiteral(" ")}};
            decoded += named.value(name);
        }
        from = match.capturedEnd();
    }
    decoded += text.mid(from);
    static const QRegularExpression blanks(QStringLiteral("[ \\t\\r\\n]+"));
    return decoded.replace(blanks, QStringLiteral(" ")).trimmed();
}

bool looksLikeHtml(const QString& text) {
    static const QRegularExpression tag(QStringLiteral("<[a-zA-Z/][^>]*>|&[#a-zA-Z0-9]+;"));
    return text.contains(tag);
}

// Line and column (from 1) of an offset in a text.
std::pair<int, int> lineAndColumn(const QString& text, qsizetype offset) {
    offset = qBound(qsizetype(0), offset, text.size());
    const qsizetype lineStart = text.lastIndexOf(QLatin1Char('\n'), offset - 1) + 1;
    return {int(text.left(lineStart).count(QLatin1Char('\n'))) + 1, int(offset - lineStart) + 1};
}

// The place of an escape that writes a control character (other than tab) in a JSON text: in a
// text that parses, a backslash only ever begins an escape inside a string.
QString controlEscapePlace(const QString& source, char16_t wanted) {
    for (qsizetype i = 0; i + 1 < source.size(); ++i) {
        if (source.at(i) != QLatin1Char('\\'))
            continue;
        const QChar kind = source.at(i + 1);
        char16_t code = 0xFFFF;
        if (kind == QLatin1Char('u') && i + 5 < source.size())
            code = char16_t(source.mid(i + 2, 4).toUShort(nullptr, 16));
        else if (kind == QLatin1Char('n'))
            code = u'\n';
        else if (kind == QLatin1Char('r'))
            code = u'\r';
        else if (kind == QLatin1Char('b'))
            code = u'\b';
        else if (kind == QLatin1Char('f'))
            code = u'\f';
        if (code == wanted) {
            const auto [line, column] = lineAndColumn(source, i);
            return QStringLiteral("ligne %1, colonne %2").arg(line).arg(column);
        }
        ++i;
    }
    return QString();
}

// The line where a JSON string value is written, found by its text as the JSON writer spells it;
// 0 when it is written otherwise.
int lineOfJsonString(const QString& source, const QString& value) {
    QByteArray written = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    written = written.mid(1, written.size() - 2);
    const qsizetype at = source.indexOf(QString::fromUtf8(written));
    return at < 0 ? 0 : lineAndColumn(source, at).first;
}

bool isTextResult(const QJsonValue& type) {
    if (type.isUndefined() || type.isNull())
        return true;
    if (type.isDouble())
        return type.toInt() == 0;
    return type.toString().compare(QLatin1String("text"), Qt::CaseInsensitive) == 0;
}

RandomTable rollTableFrom(const QJsonObject& object, int number, const QString& source,
                          const QString& untitled, Problems& problems) {
    RandomTable table;
    table.name = object.value(QLatin1String("name")).toString().trimmed();
    if (table.name.isEmpty())
        table.name = untitled;
    const QString tableName = QStringLiteral("table %1").arg(quoted(table.name));
    const QJsonValue formula = object.value(QLatin1String("formula"));
    std::optional<Die> span = dieOf(formula.toString());
    if (!formula.toString().trimmed().isEmpty() && !span)
        problems.add(tableName, QStringLiteral("formule %1 non comprise (« 1d6 », « 2d10+1 » "
                                               "sont comprises)")
                                    .arg(quoted(formula.toString())));
    const QJsonValue results = object.value(QLatin1String("results"));
    if (!results.isArray()) {
        problems.add(tableName,
                     QStringLiteral("pas de liste « results » (table n° %1)").arg(number));
        return table;
    }
    QVector<RangedEntry> entries;
    const QJsonArray list = results.toArray();
    for (int r = 0; r < list.size(); ++r) {
        const QJsonObject result = list.at(r).toObject();
        // Older exports keep the text (or the name of a document) in « text »; newer ones name
        // the result and describe it in HTML.
        QString text;
        QString written;
        const QString name = result.value(QLatin1String("name")).toString();
        const QString description = result.value(QLatin1String("description")).toString();
        if (result.contains(QLatin1String("text"))) {
            written = result.value(QLatin1String("text")).toString();
            text = looksLikeHtml(written) ? textOfHtml(written) : written;
        } else if (isTextResult(result.value(QLatin1String("type")))) {
            written = description.isEmpty() ? name : description;
            text = description.isEmpty() ? name : textOfHtml(description);
        } else {
            written = name.isEmpty() ? description : name;
            text = name.isEmpty() ? textOfHtml(description) : name;
        }
        const int line = lineOfJsonString(source, written);
        const QString place =
            QStringLiteral("%1%2, résultat %3")
                .arg(line > 0 ? lineAt(line) + QStringLiteral(", ") : QString(), tableName)
                .arg(r + 1);
        const QJsonArray range = result.value(QLatin1String("range")).toArray();
        const auto whole = [](const QJsonValue& value) {
            const double number = value.toDouble(0.5);
            return value.isDouble() && number == std::trunc(number) && std::fabs(number) < 1e12;
        };
        if (range.size() != 2 || !whole(range.at(0)) || !whole(range.at(1))) {
            problems.add(place, QStringLiteral("« range » doit donner deux nombres entiers "
                                               "[de, à]"));
            continue;
        }
        if (const int at = firstControlCharacter(text); at >= 0) {
            const QString escape = controlEscapePlace(source, text.at(at).unicode());
            problems.add(escape.isEmpty() ? place : escape + QStringLiteral(", ") + tableName,
                         controlCharacterText(text.at(at)));
            continue;
        }
        if (characterCount(text) > width::Element) {
            problems.add(place, tooLong(text));
            continue;
        }
        const qint64 low = qint64(range.at(0).toDouble());
        const qint64 high = qint64(range.at(1).toDouble());
        entries.append(RangedEntry{low, high, text, place});
    }
    if (!span && !entries.isEmpty()) {
        // Without a formula, the rolls go from the lowest range to the highest.
        Die all{entries.first().low, entries.first().high, 0};
        for (const RangedEntry& entry : entries) {
            all.low = std::min(all.low, entry.low);
            all.high = std::max(all.high, entry.high);
        }
        span = all;
    }
    table.elements = elementsFromRanges(entries, span, table.name, problems);
    return table;
}

RandomTables readRollTableJson(const QJsonDocument& document, const QString& source,
                               const QString& untitled, Problems& problems) {
    QJsonArray objects;
    if (document.isArray())
        objects = document.array();
    else
        objects.append(document.object());
    RandomTables tables;
    for (int n = 0; n < objects.size(); ++n) {
        if (!objects.at(n).isObject()) {
            problems.add(
                QString(),
                QStringLiteral("l'élément n° %1 de la liste n'est pas une table").arg(n + 1));
            continue;
        }
        tables.append(rollTableFrom(objects.at(n).toObject(), n + 1, source, untitled, problems));
    }
    return tables;
}

// ---- Tables typed from a book, plain lists ----

struct TextLine {
    int number = 0;
    QString text;
};

// « 1-2 texte », « 1–2. texte », « 7 texte »: the range and the text.
std::optional<RangedEntry> bookEntry(const QString& line, bool hundred) {
    static const QRegularExpression pattern(QStringLiteral(
        "^\\s*(\\d{1,9})(?:\\s*[-\\x{2013}\\x{2014}]\\s*(\\d{1,9}))?\\s*[.:)]?\\s+(\\S.*?)\\s*$"));
    const auto match = pattern.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    const auto number = [hundred](const QString& digits) {
        return hundred && digits == QLatin1String("00") ? qint64(100) : digits.toLongLong();
    };
    const qint64 low = number(match.captured(1));
    const qint64 high = match.captured(2).isEmpty() ? low : number(match.captured(2));
    return RangedEntry{low, high, match.captured(3), QString()};
}

// The cells of a Markdown table row « | 1-2 | texte | », or nothing.
std::optional<QStringList> markdownCells(const QString& line) {
    const QString row = line.trimmed();
    if (!row.startsWith(QLatin1Char('|')))
        return std::nullopt;
    QString inner = row.mid(1);
    if (inner.endsWith(QLatin1Char('|')))
        inner.chop(1);
    QStringList cells;
    for (const QString& cell : inner.split(QLatin1Char('|')))
        cells.append(cell.trimmed());
    return cells;
}

bool isMarkdownRule(const QStringList& cells) {
    static const QRegularExpression rule(QStringLiteral("^:?-{1,}:?$"));
    return std::all_of(cells.begin(), cells.end(),
                       [](const QString& cell) { return rule.match(cell).hasMatch(); });
}

// A heading line: « d6 Rumeurs », « 1d20 : Rencontres », « ## d100 Trésors ».
std::optional<std::pair<Die, QString>> dieHeading(const QString& line) {
    static const QRegularExpression pattern(QStringLiteral(
        "^[#\\s]*(\\d{0,3}[dD]\\d{1,6})(?:\\s*[:.\\-\\x{2013}\\x{2014}]?\\s+(.*?))?\\s*$"));
    const auto match = pattern.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    const auto die = dieOf(match.captured(1));
    if (!die)
        return std::nullopt;
    return std::pair{*die, match.captured(2)};
}

QString headingTitle(QString line) {
    static const QRegularExpression marks(QStringLiteral("^[#\\s]+"));
    return line.remove(marks).trimmed();
}

RandomTable readTypedTable(const QVector<TextLine>& lines, const QString& untitled,
                           TableFormat& format, Problems& problems) {
    RandomTable table;
    std::optional<Die> die;
    int first = 0; // the first line after the headings
    // Headings: a title, a die with or without a title, in either order; a Markdown table's
    // header and rule rows.
    for (; first < lines.size() && first < 4; ++first) {
        const QString& text = lines.at(first).text;
        const auto cells = markdownCells(text);
        if (cells && isMarkdownRule(*cells))
            continue;
        const QString lead = cells ? cells->value(0) : text;
        if (bookEntry(lead + QStringLiteral(" x"), false))
            break; // the first entry
        if (const auto heading = dieHeading(lead); heading && !die) {
            die = heading->first;
            const QString title = cells ? cells->value(1) : heading->second;
            if (!title.trimmed().isEmpty() && table.name.isEmpty())
                table.name = title.trimmed();
            continue;
        }
        if (cells)
            continue; // a header row: « | Jet | Résultat | »
        if (!table.name.isEmpty() || die)
            break;
        table.name = headingTitle(text);
    }
    if (table.name.isEmpty())
        table.name = untitled;
    const bool hundred = !die || die->faces == 100;
    // A book table has a die heading, or its first entry is a range beginning at 1.
    const auto entryOf = [&](const QString& text) -> std::optional<RangedEntry> {
        if (const auto cells = markdownCells(text)) {
            if (cells->size() < 2)
                return std::nullopt;
            auto entry = bookEntry(cells->at(0) + QStringLiteral(" x"), hundred);
            if (entry)
                entry->text = cells->mid(1).join(QStringLiteral(" ")).trimmed();
            return entry;
        }
        return bookEntry(text, hundred);
    };
    const auto firstEntry = first < lines.size() ? entryOf(lines.at(first).text) : std::nullopt;
    format = die || (firstEntry && firstEntry->low == 1) ? TableFormat::BookTable
                                                         : TableFormat::PlainList;
    if (format == TableFormat::PlainList) {
        // A plain list: the title, then one element a line.
        static const QRegularExpression bullet(QStringLiteral("^\\s*(?:[-*\\x{2022}]\\s+)?"));
        for (int n = lines.isEmpty() ? 0 : 1; n < lines.size(); ++n) {
            QString text = lines.at(n).text;
            text.remove(bullet);
            text = text.trimmed();
            if (characterCount(text) > width::Element)
                problems.add(lineAt(lines.at(n).number), tooLong(text));
            else
                table.elements.append(TableElement{text, 1});
        }
        if (lines.isEmpty())
            table.name = untitled;
        else
            table.name = headingTitle(lines.first().text);
        if (table.elements.isEmpty())
            problems.add(QString(), QStringLiteral("aucun élément sous le titre (une liste a un "
                                                   "titre, puis un élément par ligne)"));
        return table;
    }
    QVector<RangedEntry> entries;
    for (int n = first; n < lines.size(); ++n) {
        const TextLine& line = lines.at(n);
        if (const auto cells = markdownCells(line.text); cells && isMarkdownRule(*cells))
            continue;
        auto entry = entryOf(line.text);
        if (!entry) {
            problems.add(lineAt(line.number),
                         QStringLiteral("%1 n'est pas de la forme « 1-2 texte », « 3 texte » ou "
                                        "« | 1-2 | texte | »")
                             .arg(quoted(line.text.trimmed())));
            continue;
        }
        if (characterCount(entry->text) > width::Element) {
            problems.add(lineAt(line.number), tooLong(entry->text));
            continue;
        }
        entry->place = lineAt(line.number);
        entries.append(*entry);
    }
    if (!die && !entries.isEmpty()) {
        Die all{entries.first().low, entries.first().high, 0};
        for (const RangedEntry& entry : entries)
            all.high = std::max(all.high, entry.high);
        die = all;
    }
    table.elements = elementsFromRanges(entries, die, table.name, problems);
    return table;
}

// Whether the first line is our CSV header: the four columns, in any order.
bool isOurCsv(const QString& firstLine) {
    QString header = firstLine;
    header.remove(QLatin1Char('"'));
    QStringList fields =
        header.split(header.contains(QLatin1Char(',')) ? QLatin1Char(',') : QLatin1Char(';'));
    for (QString& field : fields)
        field = field.trimmed().toLower();
    fields.sort();
    return fields == QStringList{QStringLiteral("element"), QStringLiteral("id"),
                                 QStringLiteral("nom"), QStringLiteral("proba")};
}

} // namespace

QString tableFormatName(TableFormat format) {
    switch (format) {
    case TableFormat::Csv:
        return QStringLiteral("tables CSV d'Orvanthe");
    case TableFormat::RollTableJson:
        return QStringLiteral("tables JSON de table de jeu virtuelle");
    case TableFormat::BookTable:
        return QStringLiteral("table recopiée d'un livre");
    case TableFormat::PlainList:
        return QStringLiteral("liste simple");
    }
    return QString();
}

ForeignTables readForeignTables(const QByteArray& bytes, const QString& where,
                                const QString& untitled) {
    Problems problems(where);
    QByteArray content = bytes;
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    // Lines are decoded one by one, so that a bad sequence is told on its line.
    QVector<TextLine> lines;
    QString whole;
    Problems undecoded(where);
    const QList<QByteArray> raw = content.split('\n');
    for (int n = 0; n < raw.size(); ++n) {
        QByteArray bytesOfLine = raw.at(n);
        if (bytesOfLine.endsWith('\r'))
            bytesOfLine.chop(1);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = decoder.decode(bytesOfLine);
        if (decoder.hasError())
            undecoded.add(lineAt(n + 1), QStringLiteral("texte qui n'est pas en UTF-8"));
        if (n > 0)
            whole += QLatin1Char('\n');
        whole += line;
        if (!line.trimmed().isEmpty())
            lines.append(TextLine{n + 1, line});
    }
    ForeignTables result;
    if (!lines.isEmpty() && isOurCsv(lines.first().text)) {
        // Our own files keep the reader's own messages.
        result.format = TableFormat::Csv;
        result.tables = parseTableFile(bytes);
        return result;
    }
    undecoded.raiseIfAny();
    const QString start = whole.trimmed();
    if (start.startsWith(QLatin1Char('{')) || start.startsWith(QLatin1Char('['))) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(whole.toUtf8(), &error);
        if (error.error == QJsonParseError::NoError) {
            result.format = TableFormat::RollTableJson;
            result.tables = readRollTableJson(document, whole, untitled, problems);
            problems.raiseIfAny();
            return result;
        }
        if (start.startsWith(QLatin1Char('{'))) {
            // The offset counts bytes of the UTF-8 text.
            const QString before = QString::fromUtf8(whole.toUtf8().left(error.offset));
            const auto [line, column] = lineAndColumn(before, before.size());
            problems.add(QStringLiteral("ligne %1, colonne %2").arg(line).arg(column),
                         QStringLiteral("JSON incorrect : ") + error.errorString());
            problems.raiseIfAny();
        }
    }
    for (const TextLine& line : lines) {
        if (const int at = firstControlCharacter(line.text); at >= 0)
            problems.add(QStringLiteral("ligne %1, colonne %2").arg(line.number).arg(at + 1),
                         controlCharacterText(line.text.at(at)));
    }
    problems.raiseIfAny();
    if (lines.isEmpty()) {
        problems.add(QString(), QStringLiteral("aucune table : le texte est vide"));
        problems.raiseIfAny();
    }
    result.tables.append(readTypedTable(lines, untitled, result.format, problems));
    problems.raiseIfAny();
    return result;
}

ForeignTables readForeignTableFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TableFileError({QStringLiteral("Impossible de lire le fichier %1 : %2")
                                  .arg(path, file.errorString())});
    return readForeignTables(file.readAll(), QFileInfo(path).fileName(),
                             QFileInfo(path).completeBaseName());
}

QString freeTableId(const QString& base, const std::function<bool(const QString&)>& taken) {
    const QString stem = base.left(width::TableId);
    if (!stem.isEmpty() && !taken(stem))
        return stem;
    for (int n = 2; n <= 9999; ++n) {
        const QString digits = QString::number(n);
        const QString id = stem.left(width::TableId - int(digits.size())) + digits;
        if (!taken(id))
            return id;
    }
    throw TableFileError({QStringLiteral("plus d'identifiant libre pour %1").arg(quoted(base))});
}

QStringList assignTableIds(RandomTables& tables, const Database& database, const QString& id,
                           const QString& name) {
    if ((!id.isEmpty() || !name.isEmpty()) && tables.size() != 1)
        throw TableFileError({QStringLiteral("--id et --nom ne valent que pour un fichier d'une "
                                             "seule table ; celui-ci en a %1")
                                  .arg(tables.size())});
    QStringList problems;
    if (!id.isEmpty()) {
        if (characterCount(id) > width::TableId || firstControlCharacter(id) >= 0 ||
            id.trimmed() != id)
            problems.append(QStringLiteral("identifiant %1 incorrect (1 à %2 caractères, sans "
                                           "blanc autour)")
                                .arg(quoted(id))
                                .arg(width::TableId));
        tables.first().id = id;
    }
    if (!name.isEmpty())
        tables.first().name = name;
    QSet<QString> taken;
    database.forEachRow(QStringLiteral("SELECT Id FROM OVmaster"), {}, [&](const QSqlQuery& row) {
        taken.insert(row.value(0).toString().toLower());
        return true;
    });
    for (const RandomTable& table : tables)
        taken.insert(table.id.toLower());
    QStringList made;
    for (RandomTable& table : tables) {
        if (characterCount(table.name) > width::TableName || firstControlCharacter(table.name) >= 0)
            problems.append(QStringLiteral("nom de table %1 trop long ou incorrect (%2 caractères "
                                           "au plus) : --nom en donne un autre")
                                .arg(quoted(table.name))
                                .arg(width::TableName));
        if (!table.id.isEmpty())
            continue;
        QString letters;
        for (const QChar c : table.name.normalized(QString::NormalizationForm_D))
            if (c.isLetter() && c.unicode() < 0x80)
                letters += c.toLower();
        table.id = freeTableId(
            letters.isEmpty() ? QStringLiteral("t") : letters,
            [&](const QString& candidate) { return taken.contains(candidate.toLower()); });
        taken.insert(table.id);
        made.append(QStringLiteral("Table %1 : identifiant %2").arg(quoted(table.name), table.id));
    }
    if (!problems.isEmpty())
        throw TableFileError(problems);
    return made;
}

QByteArray rollTableJson(const RandomTables& tables) {
    QJsonArray all;
    for (const RandomTable& table : tables) {
        QJsonArray results;
        qint64 next = 1;
        for (const TableElement& element : table.elements) {
            const qint64 weight = roundHalfEven(element.weight);
            if (weight <= 0)
                continue;
            QJsonObject result;
            result.insert(QStringLiteral("type"), QStringLiteral("text"));
            result.insert(QStringLiteral("text"), element.text);
            result.insert(QStringLiteral("weight"), weight);
            result.insert(QStringLiteral("range"), QJsonArray{next, next + weight - 1});
            result.insert(QStringLiteral("drawn"), false);
            results.append(result);
            next += weight;
        }
        QJsonObject object;
        object.insert(QStringLiteral("name"), table.name.isEmpty() ? table.id : table.name);
        object.insert(QStringLiteral("description"), QString());
        object.insert(QStringLiteral("formula"),
                      next > 1 ? QStringLiteral("1d%1").arg(next - 1) : QString());
        object.insert(QStringLiteral("replacement"), true);
        object.insert(QStringLiteral("displayRoll"), true);
        object.insert(QStringLiteral("results"), results);
        all.append(object);
    }
    if (all.size() == 1)
        return QJsonDocument(all.first().toObject()).toJson(QJsonDocument::Indented);
    return QJsonDocument(all).toJson(QJsonDocument::Indented);
}

} // namespace ov
