#pragma once
// The history index: one row per generated text of every output table, and its word index
// (accents and case ignored), kept in step by triggers whoever writes.

#include <QString>
#include <QVariant>
#include <QVector>

namespace ov {

class Database;

// A table of generated texts that the history covers. Its rows have the fields Id (the number n),
// DateCreation (an ISO date) and DateImprime (empty until printed), and one text field.
struct HistorySource {
    QString kind;      // the kind's name in the index and on the command line: perso, village...
    QString table;     // OVperso, ...
    QString textField; // Perso, ...
};

// The tables the history covers: the four output tables. A further table of texts is one more
// entry here, and a migration step that calls addHistorySource for it.
const QVector<HistorySource>& historySources();
const HistorySource* historySource(const QString& kind);

// The schema step of the history: creates the index tables and the triggers of every source,
// and indexes the existing rows, oldest first. Runs inside the caller's transaction when there is
// one.
void createHistoryIndex(const Database& database);

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
// for it (the index's trigger only knows the moment the row was written).
void setLastRowTime(const Database& database, const HistorySource& source,
                    const QVariant& createdTime);

} // namespace ov
