#include "command.h"

namespace ov::cli {

std::unique_ptr<Command> makeInitCommand();
std::unique_ptr<Command> makeDrawCommand();
std::unique_ptr<Command> makeGenerateCommand();
std::unique_ptr<Command> makePrintCommand();
std::unique_ptr<Command> makeTablesCommand();
std::unique_ptr<Command> makeGeneratorsCommand();
std::unique_ptr<Command> makeImportParadoxCommand();

std::vector<std::unique_ptr<Command>> allCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(makeInitCommand());
    commands.push_back(makeDrawCommand());
    commands.push_back(makeGenerateCommand());
    commands.push_back(makePrintCommand());
    commands.push_back(makeTablesCommand());
    commands.push_back(makeGeneratorsCommand());
    commands.push_back(makeImportParadoxCommand());
    return commands;
}

} // namespace ov::cli
