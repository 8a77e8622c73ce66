#pragma once
// Bringing a folder of Paradox tables into the store: the random tables with their elements in
// draw order, then the generated records, all or nothing.

#include "tables/outputs.h"
#include "tables/tablefile.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace ov {

class Database;

// What a folder holds, read and checked, before anything is written.
struct ParadoxFolder {
    QString folder;
    RandomTables tables; // elements in the order of the element table's primary index
    struct Records {
        OutputKind kind;
        QString file;
        QVector<StoredRecord> records;
    };
    QVector<Records> outputs; // only the output tables the folder has
    QStringList staleTotals;  // tables whose stored NbrElement or TotProba were wrong
    QStringList skipped;      // rows left out, each with its file, row and reason
    QStringList notes;        // output tables missing, texts cut to their widths
};

// Reads OVmaster.db, OVslave.DB and the output tables present (file names in any case). Raises
// ParadoxError for a missing or damaged file, naming it.
ParadoxFolder readParadoxFolder(const QString& folder);

struct ParadoxImportReport {
    ParadoxFolder read;
    int replacedTables = 0;
    bool written = false; // false for a dry run
    // The report in French, one fact per line.
    QString text() const;
};

// Writes what the folder holds in one transaction. Table Ids that the database already has, and
// output tables that already hold records, are refused (TableConflictError) unless the mode is
// Replace, which puts the folder's tables and records in their place. A dry run checks and
// reports the same and writes nothing. Raises ParadoxError, TableConflictError or DatabaseError;
// nothing is written when it raises.
ParadoxImportReport importParadoxFolder(const Database& database, const QString& folder,
                                        ImportMode mode, bool dryRun);

} // namespace ov
