#include "generatoredits.h"

#include "tables/database.h"
#include "tables/errors.h"

namespace ov {

void saveEditedGenerator(const Database& database, const QString& previousId,
                         const PersonalGenerator& generator) {
    const GeneratorStore store(database);
    if (previousId.isEmpty() || previousId == generator.id) {
        store.save({generator}, !previousId.isEmpty());
        return;
    }
    if (auto problem = idProblem(generator.id))
        throw Error(*problem);
    if (auto problem = nomProblem(generator.nom))
        throw Error(*problem);
    Template parsed;
    if (auto error = Template::parse(generator.modele, parsed))
        throw Error(error->message());
    database.transaction([&] {
        const auto other = store.find(generator.id);
        if (other && other->id.compare(previousId, Qt::CaseInsensitive) != 0)
            throw Error(QStringLiteral("Le générateur « %1 » existe déjà").arg(other->id));
        if (!store.find(previousId))
            throw Error(QStringLiteral("Pas de générateur « %1 »").arg(previousId));
        requireDistinctShortcuts(store.list(), {generator}, previousId);
        database.run(QStringLiteral("UPDATE OVgenerateur SET Id = ?, Nom = ?, Modele = ?,"
                                    " DateModif = ?, Francais = ?, Raccourci = ? WHERE Id = ?"),
                     {generator.id, generator.nom, generator.modele,
                      QDateTime::currentDateTime().toString(Qt::ISODate), int(generator.francais),
                      shortcutValue(generator), previousId});
        database.run(QStringLiteral("UPDATE OVresultat SET Generateur = ? WHERE Generateur = ?"),
                     {generator.id, previousId});
    });
}

QString freeGeneratorId(const GeneratorStore& store, const QString& base) {
    constexpr int maxLength = 20;
    for (int n = 1;; ++n) {
        const QString suffix = n == 1 ? QString() : QLatin1Char('-') + QString::number(n);
        const QString id = base.left(maxLength - int(suffix.size())) + suffix;
        if (!store.find(id))
            return id;
    }
}

} // namespace ov
