#include "command.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryFile>

namespace ov::cli {

namespace {

QString dashed(const QString& name) {
    return QStringLiteral("--") + name;
}

QString optionUsage(const OptionDeclaration& option) {
    QString text = dashed(option.name);
    if (!option.valueName.isEmpty())
        text += QLatin1Char(' ') + option.valueName;
    return option.required ? text : QLatin1Char('[') + text + QLatin1Char(']');
}

// The verbs whose name starts with the same word as this one: the actions of "tables".
QStringList familyUsages(const Command& command) {
    const QString verb = command.name().section(QLatin1Char(' '), 0, 0);
    QStringList usages;
    for (const auto& other : allCommands())
        if (other->name().section(QLatin1Char(' '), 0, 0) == verb)
            usages.append(other->usage());
    return usages;
}

// The text cut between words into lines of at most 79 characters, each after the indent.
QString wrapped(const QString& text, int indent) {
    constexpr int width = 79;
    QString result;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
                result += QString(indent, QLatin1Char(' ')) + line + QLatin1Char('\n');
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        result += QString(indent, QLatin1Char(' ')) + line + QLatin1Char('\n');
    }
    return result;
}

QString toolHelp(const std::vector<std::unique_ptr<Command>>& commands) {
    QString text = QStringLiteral(
        "Usage : orvanthe-cli COMMANDE [ARGUMENTS] [OPTIONS]\n\n"
        "Tables aléatoires et générateurs d'Orvanthe sans fenêtre, sur la même base que la\n"
        "fenêtre (l'alias OV, que désigne alias.ini) ou sur celle de --database.\n\n"
        "Commandes :\n");
    int width = 0;
    for (const auto& command : commands)
        width = qMax(width, int(command->name().size()));
    for (const auto& command : commands) {
        const VerbDeclaration declaration = command->declaration();
        text += QStringLiteral("  ") + declaration.name.leftJustified(width + 2) +
                wrapped(declaration.summary, width + 4).mid(width + 4);
    }
    text += QStringLiteral(
        "\nOptions :\n"
        "  -h, --help  affiche cette aide ; « orvanthe-cli help COMMANDE » ou\n"
        "              « orvanthe-cli COMMANDE --help » décrit une commande et ses options\n"
        "  --version   affiche la version de l'outil\n\n"
        "Exemples :\n"
        "  orvanthe-cli generate perso --count 3\n"
        "  orvanthe-cli help tables\n");
    return text;
}

// The help of every verb whose name is words (one word: the verb and its actions).
QString helpOf(const std::vector<std::unique_ptr<Command>>& commands, const QStringList& words) {
    QStringList texts;
    const QString wanted = words.join(QLatin1Char(' '));
    for (const auto& command : commands) {
        const QString name = command->name();
        if (name == wanted || name.section(QLatin1Char(' '), 0, 0) == wanted)
            texts.append(command->help());
    }
    return texts.join(QLatin1Char('\n'));
}

void printToolUsage(Streams& io, const std::vector<std::unique_ptr<Command>>& commands) {
    io.err << QStringLiteral("Usage : orvanthe-cli COMMANDE [OPTIONS]\n\nCommandes :\n");
    for (const auto& command : commands)
        io.err << QStringLiteral("  ") << command->usage() << '\n';
    io.err << QStringLiteral("\n« orvanthe-cli --help » décrit chaque commande.\n");
    io.err.flush();
}

int unknownVerb(Streams& io, const QString& verb,
                const std::vector<std::unique_ptr<Command>>& commands) {
    io.err << QStringLiteral("Erreur : commande inconnue : ") << verb << '\n';
    printToolUsage(io, commands);
    return ExitUsage;
}

// How the command line wrote an option that the parser names without its dashes.
QString asWritten(const QString& name, const QStringList& args) {
    for (const QString& arg : args)
        if (arg == QLatin1Char('-') + name)
            return arg;
    return dashed(name);
}

bool isHelp(const QString& arg) {
    return arg == QStringLiteral("--help") || arg == QStringLiteral("-h");
}

} // namespace

OptionDeclaration databaseOption() {
    return {QStringLiteral("database"), QStringLiteral("FICHIER"),
            QStringLiteral("la base SQLite sur laquelle travailler ; elle doit exister"),
            QStringLiteral("la base de la fenêtre, que désigne l'alias OV dans alias.ini")};
}

OptionDeclaration seedOption() {
    return {QStringLiteral("seed"), QStringLiteral("N"),
            QStringLiteral("état de départ des dés, de 0 à 4294967295 : la même graine sur les "
                           "mêmes tables donne le même résultat"),
            QStringLiteral("tiré de l'horloge")};
}

QString Command::usage() const {
    const VerbDeclaration verb = declaration();
    QString text = QStringLiteral("orvanthe-cli ") + verb.name;
    if (!verb.arguments.isEmpty())
        text += QLatin1Char(' ') + verb.arguments;
    for (const OptionDeclaration& option : verb.options)
        text += QLatin1Char(' ') + optionUsage(option);
    return text;
}

QString Command::help() const {
    const VerbDeclaration verb = declaration();
    QString text =
        QStringLiteral("Usage : ") + usage() + QStringLiteral("\n\n") + wrapped(verb.summary, 0);
    if (!verb.description.isEmpty())
        text += wrapped(verb.description, 0);
    text += QStringLiteral("\nOptions :\n");
    for (const OptionDeclaration& option : verb.options) {
        QString names = dashed(option.name);
        if (!option.valueName.isEmpty())
            names += QLatin1Char(' ') + option.valueName;
        if (!option.shortName.isEmpty())
            names += QStringLiteral(", -") + option.shortName +
                     (option.valueName.isEmpty() ? QString() : QLatin1Char(' ') + option.valueName);
        QString meaning = option.description;
        if (option.required)
            meaning += QStringLiteral(" (obligatoire)");
        else if (!option.defaultText.isEmpty())
            meaning += QStringLiteral(" ; par défaut : ") + option.defaultText;
        text += QStringLiteral("  ") + names + QLatin1Char('\n') + wrapped(meaning, 6);
    }
    text += QStringLiteral("  -h, --help\n      affiche cette aide\n\nExemples :\n");
    for (const QString& example : verb.examples)
        text += QStringLiteral("  ") + example + QLatin1Char('\n');
    return text;
}

std::optional<QString> parseArguments(const VerbDeclaration& declaration, const QStringList& args,
                                      Options& into, bool& helpAsked) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    for (const OptionDeclaration& option : declaration.options)
        parser.addOption(QCommandLineOption(option.shortName.isEmpty()
                                                ? QStringList{option.name}
                                                : QStringList{option.shortName, option.name},
                                            option.description, option.valueName));
    const bool parsed = parser.parse(QStringList{QStringLiteral("orvanthe-cli")} + args);
    helpAsked = parsed && parser.isSet(help);
    if (!parsed) {
        // A value option takes the next argument whatever it is, so only the last one can lack
        // its value.
        if (!parser.unknownOptionNames().isEmpty()) {
            return QStringLiteral("option inconnue : ") +
                   asWritten(parser.unknownOptionNames().first(), args);
        }
        for (const OptionDeclaration& option : declaration.options)
            if (!option.valueName.isEmpty() && !args.isEmpty() &&
                args.last() == dashed(option.name))
                return QStringLiteral("l'option %1 attend une valeur").arg(dashed(option.name));
        for (const OptionDeclaration& option : declaration.options)
            for (const QString& arg : args)
                if (option.valueName.isEmpty() && arg.startsWith(dashed(option.name) + u'='))
                    return QStringLiteral("l'option %1 ne prend pas de valeur")
                        .arg(dashed(option.name));
        return parser.errorText();
    }
    for (const OptionDeclaration& option : declaration.options) {
        if (!parser.isSet(option.name))
            continue;
        if (option.valueName.isEmpty())
            into.m_flags.append(dashed(option.name));
        else {
            into.m_values.insert(dashed(option.name), parser.values(option.name).constLast());
            into.m_lists.insert(dashed(option.name), parser.values(option.name));
        }
    }
    into.positional = parser.positionalArguments();
    return std::nullopt;
}

std::optional<quint32> parseSeed(const QString& text) {
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok, 10);
    if (!ok || value > 0xFFFFFFFFull || text.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return quint32(value);
}

std::optional<int> parseCount(const QString& text) {
    bool ok = false;
    const int count = text.toInt(&ok, 10);
    if (!ok || count < 1 || text.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return count;
}

int usageError(Streams& io, const QString& problem, const Command& command) {
    io.err << QStringLiteral("Erreur : ") << problem << '\n'
           << QStringLiteral("Usage : ") << familyUsages(command).join(QStringLiteral("\n  "))
           << '\n';
    io.err.flush();
    return ExitUsage;
}

void writeStandardOutput(const QByteArray& bytes, Streams& io) {
    if (io.binaryOut == nullptr) {
        io.out << QString::fromUtf8(bytes);
        io.out.flush();
        return;
    }
    io.out.flush();
    io.binaryOut->write(bytes);
}

QString writeStandardOutputWhole(const std::function<QString(QIODevice&)>& make, Streams& io) {
    QTemporaryFile made(QDir(QDir::tempPath()).filePath(QStringLiteral("orvanthe-XXXXXX")));
    if (!made.open())
        return made.errorString();
    if (QString failure = make(made); !failure.isEmpty())
        return failure;
    if (!made.flush() || !made.seek(0))
        return made.errorString();
    io.out.flush();
    constexpr qint64 piece = 64 * 1024;
    while (!made.atEnd()) {
        const QByteArray bytes = made.read(piece);
        if (bytes.isEmpty())
            return made.errorString();
        if (io.binaryOut == nullptr)
            io.out << QString::fromLatin1(bytes);
        else if (io.binaryOut->write(bytes) != bytes.size())
            return io.binaryOut->errorString();
    }
    io.out.flush();
    return {};
}

namespace {

// The words that may follow the words already typed, one per line, for the shell's completion;
// "@fichier" where a file or folder name comes. Answered from the verbs' declarations.
QStringList completions(const std::vector<std::unique_ptr<Command>>& commands,
                        const QStringList& typed) {
    QStringList verbs;
    for (const auto& command : commands) {
        const QString first = command->name().section(QLatin1Char(' '), 0, 0);
        if (!verbs.contains(first))
            verbs.append(first);
    }
    if (typed.isEmpty())
        return verbs + QStringList{QStringLiteral("help"), QStringLiteral("--help"),
                                   QStringLiteral("--version")};
    if (typed.first() == QLatin1String("help"))
        return typed.size() == 1 ? verbs : QStringList{};
    const Command* chosen = nullptr;
    QStringList actions;
    for (const auto& command : commands) {
        const QString name = command->name();
        if (name == typed.first() ||
            (typed.size() > 1 && name == typed.first() + QLatin1Char(' ') + typed.at(1)))
            chosen = command.get();
        else if (name.section(QLatin1Char(' '), 0, 0) == typed.first())
            actions.append(name.section(QLatin1Char(' '), 1));
    }
    if (chosen == nullptr)
        return typed.size() == 1 ? actions : QStringList{};
    const VerbDeclaration declaration = chosen->declaration();
    const auto namesFiles = [](const QString& text) {
        return text.contains(QRegularExpression(QStringLiteral("FICHIER|DOSSIER|SOURCE|CIBLE")));
    };
    for (const OptionDeclaration& option : declaration.options)
        if (!option.valueName.isEmpty() &&
            (typed.last() == QLatin1String("--") + option.name ||
             (!option.shortName.isEmpty() && typed.last() == QLatin1Char('-') + option.shortName)))
            return namesFiles(option.valueName) ? QStringList{QStringLiteral("@fichier")}
                                                : QStringList{};
    QStringList words;
    for (const OptionDeclaration& option : declaration.options)
        words.append(QLatin1String("--") + option.name);
    words.append(QStringLiteral("--help"));
    // The literal choices of the arguments (perso|tresor|...), and files where they name some.
    for (const QString& choice : declaration.arguments.split(
             QRegularExpression(QStringLiteral("[| ]")), Qt::SkipEmptyParts))
        if (choice != choice.toUpper())
            words.append(choice);
    if (namesFiles(declaration.arguments))
        words.append(QStringLiteral("@fichier"));
    return words;
}

} // namespace

int runTool(const QStringList& args, Streams& io) {
    const auto commands = allCommands();
    if (!args.isEmpty() && args.first() == QLatin1String("__complete")) {
        for (const QString& word : completions(commands, args.mid(1)))
            io.out << word << '\n';
        io.out.flush();
        return ExitOk;
    }
    const auto finish = [&](int status) {
        io.out.flush();
        io.err.flush();
        return status;
    };
    if (args.isEmpty()) {
        io.err << QStringLiteral("Erreur : aucune commande donnée.\n");
        printToolUsage(io, commands);
        return ExitUsage;
    }
    const QString& verb = args.first();
    if (verb == QStringLiteral("--version")) {
        io.out << QStringLiteral("orvanthe-cli " OV_VERSION "\n");
        return finish(ExitOk);
    }
    if (isHelp(verb) || verb == QStringLiteral("help")) {
        const QStringList words = args.mid(1);
        if (words.isEmpty()) {
            io.out << toolHelp(commands);
            return finish(ExitOk);
        }
        const QString text = helpOf(commands, words);
        if (text.isEmpty())
            return unknownVerb(io, words.join(QLatin1Char(' ')), commands);
        io.out << text;
        return finish(ExitOk);
    }

    // A verb, or a verb with actions ("tables export"): the longest name that the words give.
    const Command* family = nullptr;
    for (const auto& command : commands) {
        const QString name = command->name();
        if (name == verb)
            family = command.get();
        if (family == nullptr && name.section(QLatin1Char(' '), 0, 0) == verb)
            family = command.get();
    }
    if (family == nullptr)
        return unknownVerb(io, verb, commands);
    Command* chosen = nullptr;
    QStringList rest = args.mid(1);
    if (family->name() == verb) {
        chosen = const_cast<Command*>(family);
    } else {
        QStringList actions;
        for (const auto& command : commands)
            if (command->name().section(QLatin1Char(' '), 0, 0) == verb)
                actions.append(command->name().section(QLatin1Char(' '), 1));
        if (rest.isEmpty() || isHelp(rest.first())) {
            if (!rest.isEmpty()) {
                io.out << helpOf(commands, {verb});
                return finish(ExitOk);
            }
            const QString last = actions.takeLast();
            return usageError(io,
                              QStringLiteral("donnez une action : %1 ou %2")
                                  .arg(actions.join(QStringLiteral(", ")), last),
                              *family);
        }
        for (const auto& command : commands)
            if (command->name() == verb + QLatin1Char(' ') + rest.first())
                chosen = command.get();
        if (chosen == nullptr)
            return usageError(io, QStringLiteral("action inconnue : ") + rest.first(), *family);
        rest.removeFirst();
    }

    Options options;
    bool helpAsked = false;
    if (const auto problem = parseArguments(chosen->declaration(), rest, options, helpAsked))
        return usageError(io, *problem, *chosen);
    if (helpAsked) {
        io.out << chosen->help();
        return finish(ExitOk);
    }
    for (const OptionDeclaration& option : chosen->declaration().options)
        if (option.required && !options.has(dashed(option.name)))
            return usageError(io,
                              QStringLiteral("%1 est obligatoire")
                                  .arg(QStringList{dashed(option.name), option.valueName}
                                           .join(QLatin1Char(' '))
                                           .trimmed()),
                              *chosen);
    return finish(chosen->run(options, io));
}

} // namespace ov::cli
