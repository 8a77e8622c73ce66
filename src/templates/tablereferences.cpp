#include "tablereferences.h"

#include "template.h"
#include "templatetokens.h"

#include <algorithm>

namespace ov {

namespace {

// Where each line begins in the text, with the line ends the parser knows (CR LF, CR, LF).
QVector<int> lineStarts(const QString& text) {
    QVector<int> starts{0};
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            starts.append(i + 1);
    }
    return starts;
}

QString renamed(const QString& text, std::vector<TableReference> references,
                const QHash<QString, QString>& renames) {
    const QVector<int> starts = lineStarts(text);
    // From the end, so that the places still to change stay where they were.
    std::sort(references.begin(), references.end(), [](const auto& a, const auto& b) {
        return std::tie(a.line, a.index) > std::tie(b.line, b.index);
    });
    QString result = text;
    for (const TableReference& reference : references) {
        const auto found = renames.constFind(reference.table);
        if (found != renames.constEnd())
            result.replace(starts.at(reference.line - 1) + reference.index,
                           int(reference.table.size()), *found);
    }
    return result;
}

} // namespace

QSet<QString> rememberedNames(const QString& source, const QStringList& texts) {
    QSet<QString> known;
    for (const QString& line : Template::splitLines(source))
        templateLineTokens(line, known);
    for (const QString& text : texts)
        templateLineTokens(text, known);
    return known;
}

QStringList tablesNamedInText(const QString& text, const QSet<QString>& known) {
    QSet<QString> names = known;
    Pieces pieces;
    std::vector<TableReference> references;
    QStringList tables;
    if (Template::parseText(text, names, pieces, &references))
        return tables;
    for (const TableReference& reference : references)
        if (!tables.contains(reference.table))
            tables.append(reference.table);
    return tables;
}

QString renameTablesInTemplate(const QString& source, const QHash<QString, QString>& renames) {
    Template parsed;
    if (Template::parse(source, parsed))
        return source;
    return renamed(source, parsed.tableReferences(), renames);
}

QString renameTablesInText(const QString& text, const QSet<QString>& known,
                           const QHash<QString, QString>& renames) {
    QSet<QString> names = known;
    Pieces pieces;
    std::vector<TableReference> references;
    if (Template::parseText(text, names, pieces, &references))
        return text;
    return renamed(text, references, renames);
}

} // namespace ov
