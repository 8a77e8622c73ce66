#pragma once
// The history of generated texts: listing, searching, reading, unprinting, deleting, reprint
// stamps and exports, over the history index of every output table and of the personal
// generators' results.

#include "reports/reportdocument.h"

#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class QIODevice;

namespace ov {

class Database;

// One stored record: its kind (perso, tresor, rencontre, village, or the Id of the personal
// generator of a result, as stored) and its row in its table.
struct HistoryKey {
    QString kind;
    qint64 rowid = 0;
    bool operator==(const HistoryKey&) const = default;
};

enum class PrintedFilter { All, Printed, Unprinted };

struct HistoryFilter {
    QString kind; // empty: every kind; else a kind as the index names it (see History::kindNamed)
    PrintedFilter printed = PrintedFilter::All;
    QDate since;   // creation dates from this day, when valid
    QDate until;   // up to this day included, when valid
    QString words; // every word somewhere in the text, accents and case ignored
};

struct HistoryEntry {
    qint64 position = 0; // place in the history: a larger one is newer
    HistoryKey key;
    QString kindLabel; // « Personnage »..., or the Nom of a result's generator
    int n = 0;
    QString created;     // the creation date as stored (ISO)
    QString createdTime; // HH:MM:SS, when the record was written on its day of creation
    QString printed;     // the print date; empty when never printed
    QString title;       // the first meaningful line
    QString text;        // the whole text, when asked for
};

// The French name of a built-in kind: « Personnage », « Trésor »...; any other kind as it is
// (History::kindLabel knows the names of the generators).
QString historyKindLabel(const QString& kind);

// What a list shows of a record: the village's name, the character's age and sex, the treasure's
// object, or the first line after the header that says something.
QString recordTitle(const QString& kind, const QString& text);

// The words a search looks for, as typed (for highlighting them).
QStringList searchWords(const QString& text);

// Where the words stand in a text as the search finds them: each word at the start of a word of
// the text, accents and case ignored. Pairs of start and length, in the order of the text.
QVector<QPair<int, int>> wordMatches(const QString& text, const QStringList& words);

// The lines of a stored text, without their line breaks and without the break that ends it.
QStringList textLines(const QString& text);

class History {
public:
    explicit History(const Database& database);
    const Database& database() const { return m_database; }

    // The kind a name designates, as the index names it: a built-in kind in any case, with or
    // without its accents, or the Id of a personal generator in any case (also one that is gone
    // but left results). Nothing for any other name.
    std::optional<QString> kindNamed(const QString& name) const;
    // The French name of a kind: a built-in kind's, or the Nom of a generator (its Id when the
    // generator is gone).
    QString kindLabel(const QString& kind) const;
    // The kinds a filter offers, with their names: the built-in ones, then the personal
    // generators (those stored and those whose results remain), by name.
    QVector<QPair<QString, QString>> kinds() const;

    // Newest first: at most limit entries that pass the filter and stand before position before
    // (0: from the newest). Raises DatabaseError.
    QVector<HistoryEntry> page(const HistoryFilter& filter, int limit, qint64 before = 0,
                               bool withText = false) const;

    // The entries of the keys, with their texts, in the order given; a key that no longer
    // designates a record is left out.
    QVector<HistoryEntry> entries(const QVector<HistoryKey>& keys) const;
    std::optional<HistoryEntry> entry(const HistoryKey& key) const;

    // The records of a kind that carry the number n, oldest first.
    QVector<HistoryKey> keysWithNumber(const QString& kind, int n) const;
    // The keys whose records are still in the history, in the same order.
    QVector<HistoryKey> present(const QVector<HistoryKey>& keys) const;

    // The record generated last, of any kind.
    std::optional<HistoryKey> latest() const;

    // Each in one transaction: all the records or none. They return the records changed.
    int unprint(const QVector<HistoryKey>& keys) const;
    int remove(const QVector<HistoryKey>& keys) const;
    // The print stamp of a reprint: only the records that have no print date receive it.
    int stampUnprinted(const QVector<HistoryKey>& keys, const QDate& day) const;

private:
    const Database& m_database;
};

enum class ExportFormat { Text, Markdown, Json };

std::optional<ExportFormat> exportFormatFromName(const QString& name);

// A record as JSON: its kind and label, row, n, dates, title and, when asked, its lines.
QJsonObject entryJson(const HistoryEntry& entry, bool withLines);

// The records as a file of that format: text as stored; Markdown with a heading per record and
// its lines kept as they are; JSON with every field.
QString exportEntries(const QVector<HistoryEntry>& entries, ExportFormat format);

// The reports of the records, one per kind in the order the kinds first appear, each laid out
// as the print runs lay it out: a personal generator's results as `print ID` lays them out, with
// the generator's Nom in the title.
QVector<ReportDocument> historyReports(const QVector<HistoryEntry>& entries, const QDateTime& at);
// The same reports of the records with these keys, their texts read a few at a time as the
// reports are printed, so that a PDF of any length is written in the memory of a page.
QVector<ReportDocument> historyReports(const History& history, const QVector<HistoryKey>& keys,
                                       const QDateTime& at);

// The kind of the records of one of those reports.
QString historyKindOfReport(const ReportDefinition& definition);

// Writes the reports one after the other into one PDF file, the whole file or nothing. Returns
// an empty text, or the French message of the failure. The store's own files are refused.
QString writeReportsPdf(const Database& database, const QVector<ReportDocument>& reports,
                        const QString& path);

// Writes an export (exportEntries) into a file, the whole file or nothing, with the same
// refusal and the same return.
QString writeExportFile(const Database& database, const QString& text, const QString& path);
// The same reports into an open device (standard output); returns what went wrong, or nothing.
QString writeReportsPdf(const QVector<ReportDocument>& reports, QIODevice& device);

} // namespace ov
