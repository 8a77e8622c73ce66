#pragma once
// The random tables that every new database starts with.

namespace ov {

class Database;

// Loads the starter tables into a new, empty database (inside its creation transaction).
void loadStarterTables(const Database& database);

} // namespace ov
