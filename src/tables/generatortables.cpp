#include "generatortables.h"

#include "database.h"

#include <QSqlRecord>
#include <QString>

namespace ov {

void addGeneratorTables(const Database& database) {
    static const char* const statements[] = {
        "CREATE TABLE OVgenerateur (Id TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
        " Nom TEXT NOT NULL, Modele TEXT NOT NULL, DateModif TEXT{rowid})",
        // One n per generator: a second writer of the same n fails instead of doubling it.
        "CREATE TABLE OVresultat (Generateur TEXT NOT NULL COLLATE NOCASE, Id INTEGER NOT NULL,"
        " Texte TEXT, DateCreation TEXT, DateImprime TEXT, UNIQUE (Generateur, Id){rowid})",
        "CREATE INDEX ixResultatUnprinted ON OVresultat (Generateur, DateImprime)"
        " WHERE DateImprime IS NULL",
    };
    const Dialect& dialect = database.dialect();
    for (const char* statement : statements)
        database.run(dialect.tableDefinition(QString::fromLatin1(statement)));
    for (const QString& statement :
         dialect.caseInsensitiveUnique(QStringLiteral("OVgenerateur"), QStringLiteral("Id")))
        database.run(statement);
}

void addGeneratorOptions(const Database& database) {
    // A file may already have them when its version was set back by hand.
    const QSqlRecord columns = database.connection().record(
        database.dialect().catalogName(QStringLiteral("OVgenerateur")));
    if (!columns.contains(QStringLiteral("Francais")))
        database.run(QStringLiteral(
            "ALTER TABLE OVgenerateur ADD COLUMN Francais INTEGER NOT NULL DEFAULT 0"));
    if (!columns.contains(QStringLiteral("Raccourci")))
        database.run(QStringLiteral("ALTER TABLE OVgenerateur ADD COLUMN Raccourci INTEGER"));
}

} // namespace ov
