#include "session.h"

#include "tables/errors.h"

#include <QFileInfo>

namespace ov::cli {

std::unique_ptr<Database> openDatabase(const Options& options) {
    // A file named on the command line must exist: a typing error would otherwise store the
    // runs in a new database. Only init creates one; the alias creates its default one.
    if (options.has(QStringLiteral("--database"))) {
        const QString path = options.value(QStringLiteral("--database"));
        if (!DatabaseLocation::looksLikeServer(path) && !QFileInfo::exists(path))
            throw DatabaseError(
                QStringLiteral("La base %1 n'existe pas (orvanthe-cli init la crée).").arg(path));
    }
    auto database = options.has(QStringLiteral("--database"))
                        ? std::make_unique<Database>(options.value(QStringLiteral("--database")))
                        : Database::openAlias();
    database->requireAllTables();
    return database;
}

bool seedRandom(const Options& options, RandomSource& source) {
    if (!options.has(QStringLiteral("--seed"))) {
        source.seedFromClock();
        return true;
    }
    const auto seed = parseSeed(options.value(QStringLiteral("--seed")));
    if (!seed)
        return false;
    source.setState(*seed);
    return true;
}

} // namespace ov::cli
