#include "startertables.h"

#include "database.h"

namespace ov {

void loadStarterTables(const Database& database) {
    // A small placeholder set until the full French starter set lands.
    struct Row {
        const char* id;
        const char* name;
        const char* element;
        int weight;
    };
    static const Row rows[] = {
        {"sexe", "Sexe", "Homme", 1},
        {"sexe", "Sexe", "Femme", 1},
        {"yeux", "Couleur des yeux", "bleus", 2},
        {"yeux", "Couleur des yeux", "verts", 1},
        {"yeux", "Couleur des yeux", "marron", 3},
    };
    for (const Row& row : rows) {
        const QString id = QString::fromUtf8(row.id);
        database.run(QStringLiteral("INSERT OR IGNORE INTO OVmaster (Id, Nom) VALUES (?, ?)"),
                     {id, QString::fromUtf8(row.name)});
        database.run(QStringLiteral("INSERT INTO OVslave (ID, Element, Proba) VALUES (?, ?, ?)"),
                     {id, QString::fromUtf8(row.element), row.weight});
    }
}

} // namespace ov
