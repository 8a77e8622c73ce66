#include "startertables.h"

#include "database.h"
#include "errors.h"
#include "generatorfile.h"
#include "tablefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
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

QStringList starterGeneratorFiles() {
    registerStarterResource();
    const QDir folder(QStringLiteral(":/starter/generators"));
    QStringList files;
    for (const QString& name :
         folder.entryList({QStringLiteral("*.ovgen")}, QDir::Files, QDir::Name))
        files.append(folder.filePath(name));
    return files;
}

void loadStarterGenerators(const Database& database) {
    const QDateTime now = QDateTime::currentDateTime();
    database.transaction([&] {
        for (const QString& path : starterGeneratorFiles()) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                throw DatabaseError(QStringLiteral("Générateur de départ illisible : ") + path);
            try {
                const PersonalGenerator generator =
                    readGeneratorFile(QString::fromUtf8(file.readAll()));
                // The header's options are kept, as an import keeps them.
                database.run(QStringLiteral("INSERT INTO OVgenerateur (Id, Nom, Modele, DateModif,"
                                            " Francais, Raccourci) VALUES (?, ?, ?, ?, ?, ?)"),
                             {generator.id, generator.nom, generator.modele,
                              now.toString(Qt::ISODate), int(generator.francais),
                              generator.raccourci > 0 ? QVariant(generator.raccourci)
                                                      : QVariant(QMetaType(QMetaType::Int))});
            } catch (const DatabaseError&) {
                throw;
            } catch (const Error& error) {
                throw DatabaseError(QStringLiteral("Générateur de départ %1 :\n%2")
                                        .arg(QFileInfo(path).fileName(), error.message()));
            }
        }
    });
}

} // namespace ov
