#pragma once
// Moving a campaign: the data of one store copied into another, all of it or nothing.

#include "errors.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ov {

class Database;

// The tables that hold a campaign, in the order a copy writes them. The rest of a store is
// derived from them by the target's own rules: the history index, the totals' version counter,
// the record numbers being taken.
const QStringList& campaignTableNames();

// The target of a copy already holds data, and replacing it was not asked.
class TargetNotEmptyError : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

// What a copy wrote: each table with its number of rows.
struct CopyReport {
    QVector<QPair<QString, qint64>> rows;
    QString text() const; // French, one line per table
};

// Copies every campaign table of from into to, in one transaction on to: the random tables with
// their totals as they stand and their elements in their order, the generated records in their
// order with their numbers and dates (the history of the target lists them in the order and with
// the times of the source), the personal generators and their results. Columns are matched by
// name; a column that only one side has is left out. A target holding data is refused
// (TargetNotEmptyError) unless replace, and then its data goes in the same transaction. Raises
// DatabaseError; on failure the target is as it was.
// A target opened with Database::NewStore::SchemaLater gets its schema in that same transaction.
CopyReport copyDatabase(const Database& from, const Database& to, bool replace);

// Copies into a file that does not exist yet. The copy is written beside it under a name of its
// own and takes the file's name only when complete: a copy that fails or is killed never leaves
// a half-made base under that name. Raises DatabaseError.
CopyReport copyDatabaseToNewFile(const Database& from, const QString& path);

} // namespace ov
