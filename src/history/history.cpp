#include "history.h"

#include "reports/reportdefinition.h"
#include "tables/clock.h"
#include "tables/database.h"
#include "tables/errors.h"
#include "tables/historyindex.h"
#include "tables/outputs.h"
#include "tables/savefile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPdfWriter>
#include <QRegularExpression>
#include <functional>

namespace ov {

namespace {

constexpr int keysPerStatement = 400; // well under the engine's limit of bound values

// The text of each record, read only for the rows a page returns.
QString textColumn() {
    QString column = QStringLiteral("CASE h.kind");
    QString results;
    for (const HistorySource& source : historySources()) {
        const QString text = QStringLiteral("(SELECT %1 FROM %2 WHERE rowid = h.rec)")
                                 .arg(source.textField, source.table);
        if (source.hasFixedKind())
            column += QStringLiteral(" WHEN '%1' THEN ").arg(source.kind) + text;
        else
            results = text;
    }
    return column + QStringLiteral(" ELSE ") + results + QStringLiteral(" END");
}

// The columns of an entry, the name of a result's generator with them.
QString entryColumns() {
    return QStringLiteral("h.hid, h.kind, h.rec, h.n, h.created, h.createdTime, h.printed, ") +
           textColumn() + QStringLiteral(", (SELECT Nom FROM OVgenerateur WHERE Id = h.kind)");
}

QString labelOf(const QString& kind, const QVariant& nom) {
    if (isBuiltInHistoryKind(kind) || nom.isNull())
        return historyKindLabel(kind);
    return nom.toString();
}

HistoryEntry entryFrom(const QSqlQuery& query, bool withText) {
    HistoryEntry entry;
    entry.position = query.value(0).toLongLong();
    entry.key = {query.value(1).toString(), query.value(2).toLongLong()};
    entry.kindLabel = labelOf(entry.key.kind, query.value(8));
    entry.n = query.value(3).toInt();
    entry.created = query.value(4).toString();
    entry.createdTime = query.value(5).toString();
    entry.printed = query.value(6).toString();
    const QString text = query.value(7).toString();
    entry.title = recordTitle(entry.key.kind, text);
    if (withText)
        entry.text = text;
    return entry;
}

// Runs statement (with "%1" for the table, "%2" for the list of marks and "%3" for the condition
// that keeps a generator's results) on the rowids of each kind, by slices, in one transaction.
// Returns the rows changed.
int onKeys(const Database& database, const QVector<HistoryKey>& keys, const QString& statement,
           const QVariantList& leading = {}) {
    QStringList kinds;
    for (const HistoryKey& key : keys)
        if (!kinds.contains(key.kind))
            kinds.append(key.kind);
    int changed = 0;
    database.transaction([&] {
        for (const QString& kind : kinds) {
            const HistorySource& source = historySourceOf(kind);
            QVariantList rowids;
            for (const HistoryKey& key : keys)
                if (key.kind == kind)
                    rowids.append(key.rowid);
            const QString condition =
                source.hasFixedKind()
                    ? QString()
                    : QStringLiteral(" AND %1 = ?").arg(source.kindOf(source.table));
            for (qsizetype from = 0; from < rowids.size(); from += keysPerStatement) {
                const QVariantList slice = rowids.mid(from, keysPerStatement);
                QStringList marks(slice.size(), QStringLiteral("?"));
                QVariantList values = leading + slice;
                if (!source.hasFixedKind())
                    values.append(kind);
                const QSqlQuery query = database.run(
                    statement.arg(source.table, marks.join(QLatin1Char(',')), condition), values);
                changed += query.numRowsAffected();
            }
        }
    });
    return changed;
}

QString markdownFence(const QString& text) {
    QString fence = QStringLiteral("```");
    while (text.contains(fence))
        fence += QLatin1Char('`');
    return fence;
}

QString headingOf(const HistoryEntry& entry) {
    QString heading = entry.kindLabel + QLatin1Char(' ') + QString::number(entry.n) +
                      QStringLiteral(" du ") + entry.created;
    if (!entry.createdTime.isEmpty())
        heading += QStringLiteral(" à ") + entry.createdTime.left(5);
    return heading;
}

} // namespace

QString historyKindLabel(const QString& kind) {
    if (kind == QLatin1String("perso"))
        return QStringLiteral("Personnage");
    if (kind == QLatin1String("tresor"))
        return QStringLiteral("Trésor");
    if (kind == QLatin1String("rencontre"))
        return QStringLiteral("Rencontre");
    if (kind == QLatin1String("village"))
        return QStringLiteral("Village");
    return kind;
}

QStringList textLines(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.split(breaks);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString recordTitle(const QString& kind, const QString& text) {
    // A list reads thousands of texts: the patterns run over the text as it is, without
    // splitting it into lines.
    if (kind == QLatin1String("village")) {
        static const QRegularExpression name(QStringLiteral("NOM\\(([^\\r\\n]*?)\\)_"));
        const QString found = name.match(text).captured(1).trimmed();
        if (!found.isEmpty())
            return found;
    } else if (kind == QLatin1String("perso")) {
        static const QRegularExpression ageSex(
            QStringLiteral("AGE:([^\\r\\n]*?) SEXE:([^\\r\\n]*?) CEL:"));
        const auto match = ageSex.match(text);
        if (match.hasMatch())
            return QStringLiteral("AGE:") + match.captured(1) + QStringLiteral(" SEXE:") +
                   match.captured(2);
    }
    // The first line after the header with a letter or a digit, its underscores dropped.
    static const QRegularExpression lineBreak(QStringLiteral("\\r\\n|\\n|\\r"));
    static const QRegularExpression something(QStringLiteral("[\\p{L}\\p{N}]"));
    const auto header = lineBreak.match(text);
    if (!header.hasMatch())
        return text.trimmed();
    const qsizetype found = text.indexOf(something, header.capturedEnd());
    if (found < 0)
        return text.left(header.capturedStart()).trimmed();
    const qsizetype start = std::max(text.lastIndexOf(QLatin1Char('\n'), found),
                                     text.lastIndexOf(QLatin1Char('\r'), found)) +
                            1;
    const qsizetype end = text.indexOf(lineBreak, found);
    static const QRegularExpression rules(QStringLiteral("_{2,}"));
    static const QRegularExpression opening(QStringLiteral("^[_ ]+"));
    QString line = text.mid(start, (end < 0 ? text.size() : end) - start);
    line.replace(rules, QStringLiteral(" "));
    return line.simplified().remove(opening);
}

QStringList searchWords(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[^\\p{L}\\p{N}\\p{M}]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

namespace {

// One character without its accent, case folded; characters outside the basic plane stay.
QChar folded(QChar c) {
    if (c.unicode() < 0x80 || c.isSurrogate())
        return c.toCaseFolded();
    const QString base = QString(c).normalized(QString::NormalizationForm_D);
    return base.isEmpty() ? c : base.at(0).toCaseFolded();
}

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c.isMark();
}

} // namespace

QVector<QPair<int, int>> wordMatches(const QString& text, const QStringList& words) {
    QVector<QString> wanted;
    for (const QString& word : words) {
        QString f;
        for (QChar c : word.normalized(QString::NormalizationForm_C))
            if (!c.isMark())
                f += folded(c);
        if (!f.isEmpty())
            wanted.append(f);
    }
    QVector<QPair<int, int>> matches;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isWordCharacter(text.at(i)) || (i > 0 && isWordCharacter(text.at(i - 1))))
            continue;
        int longest = 0;
        for (const QString& word : wanted) {
            if (i + word.size() > text.size())
                continue;
            qsizetype k = 0;
            while (k < word.size() && folded(text.at(i + k)) == word.at(k))
                ++k;
            if (k == word.size())
                longest = qMax(longest, int(k));
        }
        if (longest > 0)
            matches.append({int(i), longest});
    }
    return matches;
}

History::History(const Database& database) : m_database(database) {}

QVector<HistoryEntry> History::page(const HistoryFilter& filter, int limit, qint64 before,
                                    bool withText) const {
    const QString columns = entryColumns();
    QStringList conditions;
    QVariantList values;
    const QStringList words = searchWords(filter.words);
    QString from = QStringLiteral(" FROM ovHistory h");
    QString order = QStringLiteral(" ORDER BY h.hid DESC");
    if (!words.isEmpty()) {
        catchUpHistoryWords(m_database);
        // The word index leads, newest first, so that a page stops as soon as it is full.
        from = QStringLiteral(" FROM ovHistoryText CROSS JOIN ovHistory h");
        conditions << m_database.dialect().historyMatchCondition()
                   << QStringLiteral("h.hid = ovHistoryText.rowid");
        values << m_database.dialect().historyMatchValue(words);
        order = QStringLiteral(" ORDER BY ovHistoryText.rowid DESC");
        if (before > 0) {
            conditions << QStringLiteral("ovHistoryText.rowid < ?");
            values << before;
        }
    } else if (before > 0) {
        conditions << QStringLiteral("h.hid < ?");
        values << before;
    }
    if (!filter.kind.isEmpty()) {
        conditions << QStringLiteral("h.kind = ?");
        values << filter.kind;
    }
    if (filter.printed == PrintedFilter::Printed)
        conditions << QStringLiteral("h.printed IS NOT NULL");
    else if (filter.printed == PrintedFilter::Unprinted)
        conditions << QStringLiteral("h.printed IS NULL");
    if (filter.since.isValid()) {
        conditions << QStringLiteral("h.created >= ?");
        values << filter.since.toString(Qt::ISODate);
    }
    if (filter.until.isValid()) {
        conditions << QStringLiteral("h.created <= ?");
        values << filter.until.toString(Qt::ISODate);
    }
    const QString where =
        conditions.isEmpty() ? QString()
                             : QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    values << limit;
    QSqlQuery query = m_database.run(QStringLiteral("SELECT ") + columns + from + where + order +
                                         QStringLiteral(" LIMIT ?"),
                                     values);
    QVector<HistoryEntry> page;
    page.reserve(qMin(limit, 1000));
    while (query.next())
        page.append(entryFrom(query, withText));
    return page;
}

std::optional<QString> History::kindNamed(const QString& name) const {
    if (const auto kind = outputKindFromName(name))
        return outputTable(*kind).name;
    for (const auto& [kind, label] : kinds())
        if (kind.compare(name, Qt::CaseInsensitive) == 0)
            return kind;
    return std::nullopt;
}

QString History::kindLabel(const QString& kind) const {
    if (isBuiltInHistoryKind(kind))
        return historyKindLabel(kind);
    return labelOf(kind, m_database.scalar(QStringLiteral("SELECT Nom FROM OVgenerateur"
                                                          " WHERE Id = ?"),
                                           {kind}));
}

QVector<QPair<QString, QString>> History::kinds() const {
    QVector<QPair<QString, QString>> builtIn;
    for (const HistorySource& source : historySources())
        if (source.hasFixedKind())
            builtIn.append({source.kind, historyKindLabel(source.kind)});
    // The generators, then the kinds the index holds that none of them has, read by one step of
    // the index per kind rather than by a walk through every record.
    QVector<QPair<QString, QString>> personal;
    QSqlQuery generators = m_database.run(QStringLiteral("SELECT Id, Nom FROM OVgenerateur"));
    while (generators.next())
        personal.append({generators.value(0).toString(), generators.value(1).toString()});
    QSqlQuery indexed = m_database.run(
        QStringLiteral("WITH RECURSIVE k(kind) AS (SELECT min(kind) FROM ovHistory UNION ALL"
                       " SELECT (SELECT min(kind) FROM ovHistory WHERE kind > k.kind) FROM k"
                       " WHERE k.kind IS NOT NULL)"
                       " SELECT kind FROM k WHERE kind IS NOT NULL"
                       " AND NOT EXISTS (SELECT 1 FROM OVgenerateur WHERE Id = k.kind)"));
    while (indexed.next()) {
        const QString kind = indexed.value(0).toString();
        if (!isBuiltInHistoryKind(kind))
            personal.append({kind, kind});
    }
    std::sort(personal.begin(), personal.end(), [](const auto& a, const auto& b) {
        const int byName = a.second.localeAwareCompare(b.second);
        return byName != 0 ? byName < 0 : a.first < b.first;
    });
    return builtIn + personal;
}

QVector<HistoryEntry> History::entries(const QVector<HistoryKey>& keys) const {
    QVector<HistoryEntry> found;
    found.reserve(keys.size());
    for (const HistoryKey& key : keys) {
        QSqlQuery query =
            m_database.run(QStringLiteral("SELECT ") + entryColumns() +
                               QStringLiteral(" FROM ovHistory h WHERE h.kind = ? AND h.rec = ?"),
                           {key.kind, key.rowid});
        if (query.next())
            found.append(entryFrom(query, true));
    }
    return found;
}

std::optional<HistoryEntry> History::entry(const HistoryKey& key) const {
    const QVector<HistoryEntry> found = entries({key});
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

QVector<HistoryKey> History::keysWithNumber(const QString& kind, int n) const {
    // The record's own table finds the number through its index (the history has none on it);
    // the history keeps the texts' order.
    const HistorySource* builtIn = historySource(kind);
    QSqlQuery query = m_database.run(
        QStringLiteral("SELECT h.rec FROM %1 t JOIN ovHistory h ON h.kind = ? AND h.rec = t.rowid"
                       " WHERE %2t.Id = ? ORDER BY h.hid")
            .arg(builtIn ? builtIn->table : QStringLiteral("OVresultat"),
                 builtIn ? QString() : QStringLiteral("t.Generateur = ? AND ")),
        builtIn ? QVariantList{kind, n} : QVariantList{kind, kind, n});
    QVector<HistoryKey> keys;
    while (query.next())
        keys.append({kind, query.value(0).toLongLong()});
    return keys;
}

QVector<HistoryKey> History::present(const QVector<HistoryKey>& keys) const {
    QVector<HistoryKey> found;
    for (const HistoryKey& key : keys)
        if (m_database
                .scalar(QStringLiteral("SELECT count(*) FROM ovHistory WHERE kind = ? AND rec = ?"),
                        {key.kind, key.rowid})
                .toInt() > 0)
            found.append(key);
    return found;
}

std::optional<HistoryKey> History::latest() const {
    QSqlQuery query =
        m_database.run(QStringLiteral("SELECT kind, rec FROM ovHistory ORDER BY hid DESC LIMIT 1"));
    if (!query.next())
        return std::nullopt;
    return HistoryKey{query.value(0).toString(), query.value(1).toLongLong()};
}

int History::unprint(const QVector<HistoryKey>& keys) const {
    return onKeys(m_database, keys,
                  QStringLiteral("UPDATE %1 SET DateImprime = NULL"
                                 " WHERE DateImprime IS NOT NULL AND rowid IN (%2)%3"));
}

int History::remove(const QVector<HistoryKey>& keys) const {
    return onKeys(m_database, keys, QStringLiteral("DELETE FROM %1 WHERE rowid IN (%2)%3"));
}

int History::stampUnprinted(const QVector<HistoryKey>& keys, const QDate& day) const {
    return onKeys(m_database, keys,
                  QStringLiteral("UPDATE %1 SET DateImprime = ?"
                                 " WHERE DateImprime IS NULL AND rowid IN (%2)%3"),
                  {printDateStamp(day)});
}

std::optional<ExportFormat> exportFormatFromName(const QString& name) {
    if (name == QLatin1String("txt"))
        return ExportFormat::Text;
    if (name == QLatin1String("md"))
        return ExportFormat::Markdown;
    if (name == QLatin1String("json"))
        return ExportFormat::Json;
    return std::nullopt;
}

QJsonObject entryJson(const HistoryEntry& entry, bool withLines) {
    QJsonObject object;
    object[QStringLiteral("kind")] = entry.key.kind;
    object[QStringLiteral("kindLabel")] = entry.kindLabel;
    object[QStringLiteral("rowid")] = entry.key.rowid;
    object[QStringLiteral("n")] = entry.n;
    object[QStringLiteral("created")] = entry.created;
    object[QStringLiteral("createdTime")] =
        entry.createdTime.isEmpty() ? QJsonValue() : QJsonValue(entry.createdTime);
    object[QStringLiteral("printed")] =
        entry.printed.isEmpty() ? QJsonValue() : QJsonValue(entry.printed);
    object[QStringLiteral("title")] = entry.title;
    if (withLines)
        object[QStringLiteral("lines")] = QJsonArray::fromStringList(textLines(entry.text));
    return object;
}

QString exportEntries(const QVector<HistoryEntry>& entries, ExportFormat format) {
    QString out;
    if (format == ExportFormat::Json) {
        QJsonArray array;
        for (const HistoryEntry& entry : entries)
            array.append(entryJson(entry, true));
        return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
    }
    for (const HistoryEntry& entry : entries) {
        const QStringList lines = textLines(entry.text);
        if (format == ExportFormat::Markdown) {
            // A fenced block keeps every line, its blanks and its underscores as they are.
            const QString fence = markdownFence(entry.text);
            if (!out.isEmpty())
                out += QLatin1Char('\n');
            out += QStringLiteral("## ") + headingOf(entry) + QStringLiteral("\n\n") +
                   QStringLiteral("**") + entry.title + QStringLiteral("**\n\n") + fence +
                   QStringLiteral("text\n") + lines.join(QLatin1Char('\n')) + QLatin1Char('\n') +
                   fence + QLatin1Char('\n');
        } else {
            if (!out.isEmpty())
                out += QLatin1Char('\n');
            out += lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
        }
    }
    return out;
}

QVector<ReportDocument> historyReports(const QVector<HistoryEntry>& entries, const QDateTime& at) {
    QStringList kinds;
    for (const HistoryEntry& entry : entries)
        if (!kinds.contains(entry.key.kind))
            kinds.append(entry.key.kind);
    QVector<ReportDocument> reports;
    for (const QString& kind : kinds) {
        QVector<ReportRow> rows;
        QString label;
        for (const HistoryEntry& entry : entries)
            if (entry.key.kind == kind) {
                rows.append({entry.key.rowid, entry.text});
                label = entry.kindLabel.isEmpty() ? kind : entry.kindLabel;
            }
        const HistorySource* builtIn = historySource(kind);
        reports.append(ReportDocument(builtIn ? reportDefinition(*outputKindFromName(kind))
                                              : personalReportDefinition(kind, label),
                                      std::move(rows), at));
    }
    return reports;
}

QVector<ReportDocument> historyReports(const History& history, const QVector<HistoryKey>& keys,
                                       const QDateTime& at) {
    QStringList kinds;
    QHash<QString, QVector<HistoryKey>> keysOfKind;
    for (const HistoryKey& key : history.present(keys)) {
        if (!keysOfKind.contains(key.kind))
            kinds.append(key.kind);
        keysOfKind[key.kind].append(key);
    }
    QVector<ReportDocument> reports;
    for (const QString& kind : kinds) {
        auto ofKind = std::make_shared<const QVector<HistoryKey>>(keysOfKind.value(kind));
        const auto read = [&history, ofKind](const std::function<void(ReportRow)>& take) {
            constexpr qsizetype chunk = 256;
            for (qsizetype from = 0; from < ofKind->size(); from += chunk)
                for (const HistoryEntry& entry : history.entries(ofKind->mid(from, chunk)))
                    take({entry.key.rowid, entry.text});
        };
        const HistorySource* builtIn = historySource(kind);
        reports.append(ReportDocument(builtIn
                                          ? reportDefinition(*outputKindFromName(kind))
                                          : personalReportDefinition(kind, history.kindLabel(kind)),
                                      ofKind->size(), read, at));
    }
    return reports;
}

QString historyKindOfReport(const ReportDefinition& definition) {
    return definition.rowCondition.isEmpty() ? outputTable(definition.kind).name
                                             : definition.rowConditionValue.toString();
}

namespace {

// Writes what write puts into the device into the file, whole or not at all, unless the file is
// one of the store's own.
QString writeOutput(const Database& database, const QString& path,
                    const std::function<QString(QIODevice&)>& write) {
    if (QString refusal = database.ownFileRefusal(path); !refusal.isEmpty())
        return refusal;
    OutputFile file(path);
    if (!file.open())
        return cannotWriteMessage(path, file.errorString());
    if (const QString failure = write(file.device()); !failure.isEmpty()) {
        file.cancel();
        return cannotWriteMessage(path, failure);
    }
    if (const QString failure = file.commit(); !failure.isEmpty())
        return cannotWriteMessage(path, failure);
    return {};
}

} // namespace

QString writeReportsPdf(const Database& database, const QVector<ReportDocument>& reports,
                        const QString& path) {
    return writeOutput(database, path,
                       [&](QIODevice& device) { return writeReportsPdf(reports, device); });
}

QString writeReportsPdf(const QVector<ReportDocument>& reports, QIODevice& device) {
    QPdfWriter writer(&device);
    writer.setCreator(QStringLiteral("Orvanthe"));
    writer.setTitle(QStringLiteral("Historique Orvanthe"));
    QVector<const ReportDocument*> documents;
    for (const ReportDocument& report : reports)
        documents.append(&report);
    return printReports(documents, writer) == 0 ? QStringLiteral("aucune page") : QString();
}

QString writeExportFile(const Database& database, const QString& text, const QString& path) {
    return writeOutput(database, path, [&](QIODevice& device) {
        return device.write(text.toUtf8()) < 0 ? device.errorString() : QString();
    });
}

} // namespace ov
