#pragma once
// The schema steps of personal generators and of their results.

namespace ov {

class Database;

// A step of the schema (see schemaSteps()): creates OVgenerateur (Id, Nom, Modele, DateModif) and
// OVresultat (Generateur, Id, Texte, DateCreation, DateImprime), inside the caller's transaction.
void addGeneratorTables(const Database& database);

// The step that gives a generator its French post-pass flag (Francais, 0 or 1) and its pinned
// shortcut number (Raccourci, 1 to 9 or null).
void addGeneratorOptions(const Database& database);

} // namespace ov
