#pragma once
// A verb of orvanthe-cli: declares its arguments and options once (usage, help and parsing come
// from that declaration) and runs on what was parsed, writing to the streams it is given.

#include <QHash>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QVector>
#include <functional>
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
    // Standard output for bytes (a PDF written to "-"); null where there is none.
    QIODevice* binaryOut = nullptr;
};

// One option of a verb, as the help lists it.
struct OptionDeclaration {
    QString name;           // without dashes: "database"
    QString valueName;      // "FICHIER"; empty for a flag
    QString description;    // French, what it does
    QString defaultText;    // French, what happens without it; may be empty
    bool required = false;  // the usage shows it without brackets
    QString shortName = {}; // one letter also accepted after a single dash: "o" for -o
};

// What a verb declares about itself.
struct VerbDeclaration {
    QString name;        // "draw", or "tables export" for an action of a verb
    QString arguments;   // "ID", "perso|tresor|rencontre|village"; may be empty
    QString summary;     // French, one line
    QString description; // French, may hold several lines
    QVector<OptionDeclaration> options;
    QStringList examples; // full command lines
};

// Options shared by several verbs.
OptionDeclaration databaseOption();
OptionDeclaration seedOption();

// What the command line gave a verb.
class Options {
public:
    QStringList positional;
    bool has(const QString& name) const {
        return m_values.contains(name) || m_flags.contains(name);
    }
    QString value(const QString& name) const { return m_values.value(name); }
    // Every value of an option given several times, in order.
    QStringList values(const QString& name) const { return m_lists.value(name); }

private:
    friend std::optional<QString> parseArguments(const VerbDeclaration&, const QStringList&,
                                                 Options&, bool&);
    QHash<QString, QString> m_values; // by "--name"
    QHash<QString, QStringList> m_lists;
    QStringList m_flags; // "--name"
};

class Command {
public:
    virtual ~Command() = default;
    virtual VerbDeclaration declaration() const = 0;
    // Runs with what was parsed from the arguments that follow the verb.
    virtual int run(const Options& options, Streams& io) = 0;

    QString name() const { return declaration().name; }
    // "orvanthe-cli NAME ARGUMENTS [--option VALUE]...", from the declaration.
    QString usage() const;
    // The French help: usage, description, every option with its default, examples.
    QString help() const;
};

// Every verb of the tool, in the order the usage text lists them.
std::vector<std::unique_ptr<Command>> allCommands();

// Runs the tool on its arguments (without the program name).
int runTool(const QStringList& args, Streams& io);

// Parses the arguments of a verb with QCommandLineParser; sets helpAsked for -h or --help.
// Returns the problem, in French, of a command line that does not fit the declaration.
std::optional<QString> parseArguments(const VerbDeclaration& declaration, const QStringList& args,
                                      Options& into, bool& helpAsked);

// Parses a --seed value: a whole number from 0 to 4294967295.
std::optional<quint32> parseSeed(const QString& text);

// Parses a --count value: a whole number from 1 up.
std::optional<int> parseCount(const QString& text);

// Prints the usage error and the usage of the verb (of every action of a verb with actions);
// returns ExitUsage.
int usageError(Streams& io, const QString& problem, const Command& command);

// The file name that means standard output.
inline bool isStandardOutput(const QString& path) {
    return path == QLatin1String("-");
}

// Writes bytes to standard output (as UTF-8 text on io.out where there is no binary output).
void writeStandardOutput(const QByteArray& bytes, Streams& io);

// Makes a document with make, which returns an empty text or what failed, in a temporary file,
// then copies it to standard output: nothing goes out unless the whole document was made, and the
// document is never held in memory.
QString writeStandardOutputWhole(const std::function<QString(QIODevice&)>& make, Streams& io);

} // namespace ov::cli
