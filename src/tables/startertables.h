#pragma once
// The French random tables that every new database starts with.

#include <QStringList>

namespace ov {

class Database;

// The table files of the starter set, compiled into the program, in the order they are loaded.
QStringList starterTableFiles();

// Loads the starter tables into a new, empty database (inside its creation transaction), through
// the same import as a user's table file.
void loadStarterTables(const Database& database);

// The personal generators of the starter set (.ovgen files compiled into the program).
QStringList starterGeneratorFiles();

// Loads them into a new database whose generator tables exist, inside its creation transaction.
// Their templates are checked by the tests of the starter set, not here.
void loadStarterGenerators(const Database& database);

} // namespace ov
