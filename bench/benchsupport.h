#pragma once
// What every benchmark program shares: its main function, the peak memory reading, and the plain
// inserts that storing runs are measured against.

#include "generators/generators.h"

#include <QList>
#include <QString>
#include <functional>

namespace benchmark {
class State;
}

namespace ov {
class Database;
}

namespace ovbench {

enum class Gui { No, Offscreen };

// Runs the benchmarks named on the command line, in folders of their own for the user's data and
// settings; with Gui::Offscreen, under a QApplication on the offscreen platform when no display
// is named. Returns the exit code of main.
int runBenchmarks(int argc, char** argv, Gui gui);

// Stores and folders that benchmarks share from one to the next are let go here, before the
// application object: a store closed after it crashes the program on its way out.
void releaseBeforeExit(std::function<void()> release);

// The largest resident memory of the process so far, in megabytes.
double peakRssMegabytes();

// A stored record as a run made it, for the inserts that follow its run.
struct StoredRecord {
    int id;
    QString text;
    QString type;
};
StoredRecord storedRecord(const ov::RunReport& report);

// Inserts the records into the output table of a kind by one prepared statement, each insert its
// own transaction, once per iteration of the state.
void insertRecords(benchmark::State& state, const ov::Database& database, ov::OutputKind kind,
                   const QList<StoredRecord>& records);

} // namespace ovbench
