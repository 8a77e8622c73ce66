#pragma once
// Tables written by other tools or typed by hand: the roll-table JSON that virtual tabletops
// export, a table typed from a book (« d6 Rumeurs », « 1-2 texte »), a plain list; our own CSV
// among them, each told from the others by its content. And the roll-table JSON written back.

#include "tables/tablefile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace ov {

class Database;

enum class TableFormat { Csv, RollTableJson, BookTable, PlainList };

// « tables CSV », « tables JSON de table virtuelle », …: the format as the messages name it.
QString tableFormatName(TableFormat format);

struct ForeignTables {
    TableFormat format = TableFormat::Csv;
    RandomTables tables; // without Ids, except in CSV
};

// Reads the text in whichever format it is. where names the source in the problems (a file's
// name, « presse-papiers »); untitled is the name of a table whose text gives none. Every problem
// is listed with its place; raises TableFileError. Ranges give the weights: their widths, in
// range order; ranges that overlap or leave a gap inside the die's span are refused, as are
// elements longer than the store's width (never cut) and texts holding control characters.
ForeignTables readForeignTables(const QByteArray& bytes, const QString& where,
                                const QString& untitled);

// Reads a file; a table without a title is named after the file.
ForeignTables readForeignTableFile(const QString& path);

// The first of base, then base cut and followed by 2, 3, … up to 9999, that is not taken; the
// Ids have the store's width.
QString freeTableId(const QString& base, const std::function<bool(const QString&)>& taken);

// Gives the tables the Id and the name asked for (only for a file of one table), then a free
// Id made from its name (lower-case letters without accents) to each table still without one.
// Checks the names' width. Returns one line per Id made: « Table « Rumeurs » : identifiant rume ».
// Raises TableFileError.
QStringList assignTableIds(RandomTables& tables, const Database& database, const QString& id,
                           const QString& name);

// Roll-table JSON: each table an object with its name, the formula 1dN (N its total weight),
// and one text result per element whose range follows the weights in draw order; one table as
// an object, several as an array. Elements of weight 0, never drawn, have no range and are left
// out.
QByteArray rollTableJson(const RandomTables& tables);

} // namespace ov
