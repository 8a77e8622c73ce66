#pragma once
// The history index: one row per generated text of every output table and of the personal
// generators' results, and its word index (accents and case ignored), kept in step by triggers
// whoever writes.

#include <QString>
#include <QVariant>
#include <QVector>

namespace ov {

class Database;

// A table of generated texts that the history covers. Its rows have the fields Id (the number n),
// DateCreation and DateImprime (empty until printed), and one text field. The expressions are
// written over a row named {r} (NEW, OLD or the table's own row).
struct HistorySource {
    QString kind;           // the fixed kind of its rows (perso, village...); empty when each row
                            // says its kind in kindExpression
    QString table;          // OVperso, ...
    QString textField;      // Perso, ...
    QString kindExpression; // the kind of a row: '{kind}' or a field of the row
    QString dayExpression;  // the day of creation as an ISO date
    QString timeExpression; // the time of creation as stored (HH:MM:SS); empty when the table
                            // keeps only the day: a row written today then takes the time of its
                            // writing

    bool hasFixedKind() const { return !kind.isEmpty(); }
    // The kind of the row named row (NEW, OLD, the table's name...).
    QString kindOf(const QString& row) const {
        return QString(kindExpression).replace(QStringLiteral("{r}"), row);
    }
};

// The tables the history covers: the four output tables, then the results of the personal
// generators, whose kind is their generator's Id (never the name of a built-in kind).
const QVector<HistorySource>& historySources();
// The source of the rows of a kind: a built-in kind's own table, any other kind the results.
const HistorySource& historySourceOf(const QString& kind);
// The source of a built-in kind exactly as the index names it (perso, tresor...), or null.
const HistorySource* historySource(const QString& kind);
// True when kind is one of the built-in kinds as the index names them.
bool isBuiltInHistoryKind(const QString& kind);

// The schema step of the history: creates the index tables and the triggers of the four output
// tables, and indexes their existing rows, oldest first. Runs inside the caller's transaction when
// there is one.
void createHistoryIndex(const Database& database);

// The schema step that adds the personal generators' results to the index: their triggers and
// their existing rows; their kind follows a change of their generator's Id.
void addResultsToHistory(const Database& database);

// The schema step after which a new text waits for its words in ovHistoryPending, where the
// engine's word index costs more to write one text at a time than all the rest of storing it.
void deferHistoryWords(const Database& database);

// Puts the words of the texts that wait into the word index, in one transaction; a store that
// cannot be written gets a word index of this connection's own. Before any search by words.
void catchUpHistoryWords(const Database& database);

// Whether so many texts wait for their words that they are indexed now; read inside the storing
// transaction, it costs no read of its own.
bool historyWordsFallBehind(const Database& database);

// The same, once many texts wait: after storing, so that no search waits long.
void keepHistoryWordsUp(const Database& database);

// Adds one source to an existing index: its triggers, and its existing rows.
void addHistorySource(const Database& database, const HistorySource& source);

// Where a row of a source stands in the history: what the index knows that its table does not.
struct HistoryPlace {
    QVariant key;         // the row's value of Database::insertionOrder()
    qint64 position = 0;  // its place in the history, a larger one newer; 0 when not indexed
    QVariant createdTime; // the time of its creation, when the index has one
};

// The places of every row of the source's table, in the order of its rows (all 0 in a database
// without a history index).
QVector<HistoryPlace> historyPlaces(const Database& database, const HistorySource& source);

// Gives the history entry of the source's last row the time of creation that another store kept
// for it, when the source keeps only the day (the index's trigger then knows only the moment the
// row was written).
void setLastRowTime(const Database& database, const HistorySource& source,
                    const QVariant& createdTime);

} // namespace ov
