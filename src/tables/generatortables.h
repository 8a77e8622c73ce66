#pragma once
// The schema step that adds the tables of personal generators and of their results.

namespace ov {

class Database;

// The schema version that has these tables.
inline constexpr int generatorTablesVersion = 2;

// Creates OVgenerateur (Id, Nom, Modele, DateModif) and OVresultat (Generateur, Id, Texte,
// DateCreation, DateImprime), inside the caller's transaction.
void addGeneratorTables(const Database& database);

} // namespace ov
