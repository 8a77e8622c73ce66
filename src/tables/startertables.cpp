#include "startertables.h"

#include "database.h"
#include "errors.h"
#include "tablefile.h"

#include <QDir>
#include <QFileInfo>

// The set is compiled into the library as a resource, registered before its first use.
static void registerStarterResource() {
    Q_INIT_RESOURCE(starter_tables);
}

namespace ov {

QStringList starterTableFiles() {
    registerStarterResource();
    const QDir folder(QStringLiteral(":/starter"));
    QStringList files;
    for (const QString& name : folder.entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name))
        files.append(folder.filePath(name));
    return files;
}

void loadStarterTables(const Database& database) {
    const QStringList files = starterTableFiles();
    if (files.isEmpty())
        throw DatabaseError(QStringLiteral("Le jeu de tables de départ manque au programme."));
    database.transaction([&] {
        for (const QString& file : files) {
            try {
                importTables(database, readTableFile(file), ImportMode::AddOnly);
            } catch (const TableFileError& error) {
                throw DatabaseError(QStringLiteral("Jeu de tables de départ, fichier %1 :\n%2")
                                        .arg(QFileInfo(file).fileName(), error.message()));
            }
        }
    });
}

} // namespace ov
