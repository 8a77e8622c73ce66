#pragma once
// What the verbs generate, draw and print do for personal generators and expanded draws.

#include "command.h"
#include "reports/reportdefinition.h"
#include "tables/random.h"

#include <optional>

namespace ov {
class Database;
}

namespace ov::cli {

// Runs a personal generator count times, as generate does for the built-ins. An Id that names
// no generator is a usage error of the command.
int generatePersonal(const QString& id, int count, RandomSource& source, bool store, bool json,
                     const Options& options, Streams& io, const Command& command);

// Draws one element from a table and expands it; nothing is stored.
int drawExpanded(const QString& table, RandomSource& source, const Options& options, Streams& io);

// The report of a personal generator's results, or nothing when no generator has that Id.
std::optional<ReportDefinition> personalReport(const Database& database, const QString& id);

} // namespace ov::cli
