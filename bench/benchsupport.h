#pragma once
// What every benchmark program shares: its main function and the peak memory reading.

namespace ovbench {

enum class Gui { No, Offscreen };

// Runs the benchmarks named on the command line, in folders of their own for the user's data and
// settings; with Gui::Offscreen, under a QApplication on the offscreen platform when no display
// is named. Returns the exit code of main.
int runBenchmarks(int argc, char** argv, Gui gui);

// The largest resident memory of the process so far, in megabytes.
double peakRssMegabytes();

} // namespace ovbench
