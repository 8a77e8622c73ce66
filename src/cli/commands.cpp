#include "command.h"

namespace ov::cli {

// One line per verb here, one in allCommands(): the verb is then parsed, listed and explained.
std::unique_ptr<Command> makeInitCommand();
std::unique_ptr<Command> makeDrawCommand();
std::unique_ptr<Command> makeGenerateCommand();
std::unique_ptr<Command> makePrintCommand();
std::unique_ptr<Command> makeTablesExportCommand();
std::unique_ptr<Command> makeTablesImportCommand();
std::unique_ptr<Command> makeTablesCheckCommand();
std::unique_ptr<Command> makeTablesListCommand();
std::unique_ptr<Command> makeTablesShowCommand();
std::vector<std::unique_ptr<Command>> makeGeneratorsCommands();
std::unique_ptr<Command> makeFrenchCommand();
std::unique_ptr<Command> makeImportParadoxCommand();
std::vector<std::unique_ptr<Command>> makeHistoryCommands();
std::unique_ptr<Command> makeCopyDatabaseCommand();
std::unique_ptr<Command> makeServeCommand();

std::vector<std::unique_ptr<Command>> allCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(makeInitCommand());
    commands.push_back(makeDrawCommand());
    commands.push_back(makeGenerateCommand());
    commands.push_back(makePrintCommand());
    commands.push_back(makeTablesExportCommand());
    commands.push_back(makeTablesImportCommand());
    commands.push_back(makeTablesCheckCommand());
    commands.push_back(makeTablesListCommand());
    commands.push_back(makeTablesShowCommand());
    for (auto& command : makeGeneratorsCommands())
        commands.push_back(std::move(command));
    commands.push_back(makeFrenchCommand());
    commands.push_back(makeImportParadoxCommand());
    for (auto& command : makeHistoryCommands())
        commands.push_back(std::move(command));
    commands.push_back(makeCopyDatabaseCommand());
    commands.push_back(makeServeCommand());
    return commands;
}

} // namespace ov::cli
