#pragma once
// Helpers of the test programs: isolated user folders, temporary databases, table fixtures.

#include "tables/database.h"

#include <QPair>
#include <QString>
#include <QTemporaryDir>
#include <QVector>
#include <functional>
#include <memory>

namespace ovtest {

// Points XDG_DATA_HOME, XDG_CONFIG_HOME and HOME at a temporary folder for the whole program,
// so that no test touches the user's real data. Call it first in initTestCase().
QString isolateUserFolders();

// A new database file in its own temporary folder.
struct TempDatabase {
    TempDatabase();
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<ov::Database> db;
};

// Takes the history index out of a store (its tables and triggers), as in a file written before
// the store had it; a test sets the older version itself.
void dropHistoryIndex(const ov::Database& db);

// Removes every random table and element.
void clearRandomTables(const ov::Database& db);

// Adds a random table with its elements in order; the stored totals follow the elements.
void addTable(const ov::Database& db, const QString& id,
              const QVector<QPair<QString, double>>& elements, const QString& name = {});

// Adds a large random table in one transaction of prepared inserts: element i (from 0 to
// count - 1) has the text and the weight that element(i) gives.
void addLargeTable(const ov::Database& db, const QString& id, const QString& name, int count,
                   const std::function<QPair<QString, double>(int)>& element);

// Sets the stored totals of a table to chosen values.
void setTotals(const ov::Database& db, const QString& id, double count, double total);

} // namespace ovtest
