#pragma once
// A verb of orvanthe-cli: parses its own arguments and writes to the streams it is given.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <memory>
#include <optional>
#include <vector>

namespace ov::cli {

// Exit statuses of the tool.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

struct Streams {
    QTextStream& out;
    QTextStream& err;
    bool errIsTerminal = false;
};

class Command {
public:
    virtual ~Command() = default;
    virtual QString name() const = 0;
    virtual QString usage() const = 0; // French, one or more lines "orvanthe-cli ..."
    // Runs with the arguments that follow the verb.
    virtual int run(const QStringList& args, Streams& io) = 0;
};

// Every verb of the tool, in the order the usage text lists them.
std::vector<std::unique_ptr<Command>> allCommands();

// Runs the tool on its arguments (without the program name).
int runTool(const QStringList& args, Streams& io);

// Options shared by several verbs.
class Options {
public:
    // Splits "--name value" and "--flag" options from positional arguments. Known value
    // options take the next argument. Returns an error text for an unknown or incomplete one.
    static std::optional<QString> parse(const QStringList& args, const QStringList& valueOptions,
                                        const QStringList& flags, Options& into);

    QStringList positional;
    bool has(const QString& name) const {
        return m_values.contains(name) || m_flags.contains(name);
    }
    QString value(const QString& name) const { return m_values.value(name); }

private:
    QHash<QString, QString> m_values;
    QStringList m_flags;
};

// Parses a --seed value: a whole number from 0 to 4294967295.
std::optional<quint32> parseSeed(const QString& text);

// Prints the usage error and the verb's usage; returns ExitUsage.
int usageError(Streams& io, const QString& problem, const Command& command);

} // namespace ov::cli
