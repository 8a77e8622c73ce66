#pragma once
// The schema step that adds the tables of personal generators and of their results.

namespace ov {

class Database;

// A step of the schema (see schemaSteps()): creates OVgenerateur (Id, Nom, Modele, DateModif) and
// OVresultat (Generateur, Id, Texte, DateCreation, DateImprime), inside the caller's transaction.
void addGeneratorTables(const Database& database);

} // namespace ov
