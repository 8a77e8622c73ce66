#include "benchsupport.h"

#include "testsupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <memory>
#include <sys/resource.h>

namespace ovbench {

int runBenchmarks(int argc, char** argv, Gui gui) {
    std::unique_ptr<QCoreApplication> app;
    if (gui == Gui::Offscreen) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
            qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    ovtest::isolateUserFolders();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0; // kilobytes on Linux
}

} // namespace ovbench
