#pragma once
// Random tables as a shareable UTF-8 CSV file: reading it with validation, writing it, importing
// it.

#include "errors.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ov {

class Database;

struct TableElement {
    QString text;
    double weight = 0;
    friend bool operator==(const TableElement&, const TableElement&) = default;
};

struct RandomTable {
    QString id;
    QString name;
    QVector<TableElement> elements; // in draw order
    int line = 0;                   // the file line where the table first appears; 0 otherwise
};

using RandomTables = QVector<RandomTable>;

// A file or an import refused as a whole: every problem found, most of them "ligne N : ...".
class TableFileError : public Error {
public:
    explicit TableFileError(QStringList problems);
    const QStringList& problems() const { return m_problems; }

private:
    QStringList m_problems;
};

// An import refused because tables of the file already exist in the database.
class TableConflictError : public TableFileError {
public:
    using TableFileError::TableFileError;
};

// The header row of the file: the four columns, which may stand in any order.
inline constexpr char tableFileHeader[] = "Id,Nom,Element,Proba";

// Reads the text of a table file, its fields separated by commas, or by semicolons when the header
// line has no comma. A line whose Element and Proba are both empty declares a table
// without elements. Raises TableFileError listing every problem with its line number.
RandomTables parseTableFile(const QByteArray& bytes);

// Reads a table file from disk (a Qt resource path works too).
RandomTables readTableFile(const QString& path);

// The text of a table file holding these tables, elements in draw order.
QByteArray formatTableFile(const RandomTables& tables);

// The bytes of a table file: a byte order mark, then the text.
QByteArray tableFileBytes(const RandomTables& tables);

// Writes a table file, replacing the file only once the whole text is written. Raises Error.
void writeTableFile(const QString& path, const RandomTables& tables);

// Every random table of the database, by Id, with its elements in draw order.
RandomTables loadRandomTables(const Database& database);

enum class ImportMode { AddOnly, Replace, SkipExisting };

struct ImportSummary {
    int tables = 0;
    int elements = 0;
    int replaced = 0; // tables that existed and were replaced
    int skipped = 0;  // tables that existed and were left as they were
};

// Adds the tables in one transaction and sets their totals from their elements. An Id that the
// database already has is refused (TableConflictError) unless the mode is Replace, which deletes
// the old table with its elements first, or SkipExisting, which keeps the old table. Nothing is
// written when anything fails.
ImportSummary importTables(const Database& database, const RandomTables& tables, ImportMode mode);

// "Importé : 2 tables, 5 éléments (1 table remplacée)": what an import did, in one line.
QString importSummaryText(const ImportSummary& summary);

struct ExportSummary {
    int tables = 0;
    int elements = 0;
};

// Writes every random table of the database to the file. Raises Error, writing nothing, when the
// file is the database itself or cannot be written.
ExportSummary exportTables(const Database& database, const QString& path);

// "Exporté : 2 tables, 5 éléments dans FILE": what an export did, in one line.
QString exportSummaryText(const ExportSummary& summary, const QString& where);

// The summary of the tables, for the exported file.
ExportSummary summarize(const RandomTables& tables);

// A weight as the file writes it: a whole number when it is one.
QString formatWeight(double weight);

} // namespace ov
