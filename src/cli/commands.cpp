#include "command.h"

namespace ov::cli {

std::unique_ptr<Command> makeInitCommand();
std::unique_ptr<Command> makeDrawCommand();

std::vector<std::unique_ptr<Command>> allCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    commands.push_back(makeInitCommand());
    commands.push_back(makeDrawCommand());
    return commands;
}

} // namespace ov::cli
