#pragma once
// Runs orvanthe-cli for the command-line tests, as a process or in this process.

#include "cli/command.h"
#include "tables/database.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>
#include <vector>

namespace ovtest {

// What one run of the tool gave back.
struct ToolResult {
    int exitCode = -1; // -1: the tool crashed or did not end within a minute
    QString out;
    QString err;
};

// The real tool ($OV_CLI) as a process, in the environment given or in this program's.
inline ToolResult
tool(const QStringList& args,
     const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(qEnvironmentVariable("OV_CLI"), args);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The tool in this process, with standard error on a terminal or not.
inline ToolResult inProcess(const QStringList& args, bool terminal = false) {
    ToolResult result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    ov::cli::Streams io{out, err, terminal};
    result.exitCode = ov::cli::runTool(args, io);
    out.flush();
    err.flush();
    return result;
}

// While the tools run, deletes the character with the smallest number through `history delete`,
// again and again, so that the count falls below numbers in use; how many it deleted.
inline int deleteWhileRunning(const QString& database,
                              const std::vector<std::unique_ptr<QProcess>>& tools) {
    int deleted = 0;
    const ov::Database db(database);
    for (const auto& process : tools) {
        while (!process->waitForFinished(40)) {
            const QVariant lowest = db.scalar(QStringLiteral("SELECT min(Id) FROM OVperso"));
            if (!lowest.isNull() &&
                inProcess({QStringLiteral("history"), QStringLiteral("delete"),
                           QStringLiteral("perso"), QString::number(lowest.toInt()),
                           QStringLiteral("--yes"), QStringLiteral("--database"), database})
                        .exitCode == 0)
                ++deleted;
        }
    }
    return deleted;
}

} // namespace ovtest
