#include "command.h"

#include <QHash>

namespace ov::cli {

std::optional<QString> Options::parse(const QStringList& args, const QStringList& valueOptions,
                                      const QStringList& flags, Options& into) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg.startsWith(QStringLiteral("--"))) {
            if (valueOptions.contains(arg)) {
                if (i + 1 >= args.size())
                    return QStringLiteral("l'option %1 attend une valeur").arg(arg);
                into.m_values.insert(arg, args.at(++i));
            } else if (flags.contains(arg)) {
                into.m_flags.append(arg);
            } else {
                return QStringLiteral("option inconnue : %1").arg(arg);
            }
        } else {
            into.positional.append(arg);
        }
    }
    return std::nullopt;
}

std::optional<quint32> parseSeed(const QString& text) {
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok, 10);
    if (!ok || value > 0xFFFFFFFFull || text.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return quint32(value);
}

int usageError(Streams& io, const QString& problem, const Command& command) {
    io.err << QStringLiteral("Erreur : ") << problem << '\n'
           << QStringLiteral("Usage : ") << command.usage() << '\n';
    io.err.flush();
    return ExitUsage;
}

int runTool(const QStringList& args, Streams& io) {
    auto commands = allCommands();
    const auto printUsage = [&] {
        io.err << QStringLiteral("Usage : orvanthe-cli COMMANDE [OPTIONS]\n\nCommandes :\n");
        for (const auto& command : commands)
            io.err << QStringLiteral("  ") << command->usage() << '\n';
        io.err.flush();
    };
    if (args.isEmpty()) {
        io.err << QStringLiteral("Erreur : aucune commande donnée.\n");
        printUsage();
        return ExitUsage;
    }
    if (args.first() == QStringLiteral("--version")) {
        io.out << QStringLiteral("orvanthe-cli " OV_VERSION "\n");
        io.out.flush();
        return ExitOk;
    }
    for (const auto& command : commands) {
        if (command->name() == args.first()) {
            const int status = command->run(args.mid(1), io);
            io.out.flush();
            io.err.flush();
            return status;
        }
    }
    io.err << QStringLiteral("Erreur : commande inconnue : ") << args.first() << '\n';
    printUsage();
    return ExitUsage;
}

} // namespace ov::cli
