#include "session.h"

namespace ov::cli {

std::unique_ptr<Database> openDatabase(const Options& options) {
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
