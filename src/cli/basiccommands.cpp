// The verbs init and draw.

#include "command.h"
#include "personalcommands.h"
#include "session.h"
#include "tables/errors.h"
#include "tables/tabledraw.h"

#include <QDir>
#include <QFileInfo>

namespace ov::cli {

namespace {

class InitCommand : public Command {
public:
    QString name() const override { return QStringLiteral("init"); }
    QString usage() const override {
        return QStringLiteral("orvanthe-cli init --database FICHIER");
    }
    int run(const QStringList& args, Streams& io) override {
        Options options;
        if (auto problem = Options::parse(args, {QStringLiteral("--database")}, {}, options))
            return usageError(io, *problem, *this);
        if (!options.positional.isEmpty())
            return usageError(
                io, QStringLiteral("argument en trop : ") + options.positional.first(), *this);
        if (!options.has(QStringLiteral("--database")))
            return usageError(io, QStringLiteral("--database est obligatoire"), *this);
        const QString path = options.value(QStringLiteral("--database"));
        if (QFileInfo::exists(path)) {
            io.err << QStringLiteral("Le fichier %1 existe déjà : rien n'a été écrit.\n").arg(path);
            return ExitFailure;
        }
        try {
            // The folder is made when it is missing: creating is what was asked.
            const QString folder = QFileInfo(path).absolutePath();
            if (!QDir().mkpath(folder))
                throw DatabaseError(QStringLiteral("Impossible de créer le dossier %1.")
                                        .arg(QDir::toNativeSeparators(folder)));
            Database database(path);
            io.out << QStringLiteral("Base créée : %1\n").arg(path);
        } catch (const Error& error) {
            io.err << error.message() << '\n';
            return ExitFailure;
        }
        return ExitOk;
    }
};

class DrawCommand : public Command {
public:
    QString name() const override { return QStringLiteral("draw"); }
    QString usage() const override {
        return QStringLiteral("orvanthe-cli draw ID [--expand] [--database FICHIER] [--seed N]");
    }
    int run(const QStringList& args, Streams& io) override {
        Options options;
        if (auto problem =
                Options::parse(args, {QStringLiteral("--database"), QStringLiteral("--seed")},
                               {QStringLiteral("--expand")}, options))
            return usageError(io, *problem, *this);
        if (options.positional.size() != 1)
            return usageError(io, QStringLiteral("donnez un seul identifiant de table"), *this);
        RandomSource source;
        if (!seedRandom(options, source))
            return usageError(io, QStringLiteral("--seed attend un entier de 0 à 4294967295"),
                              *this);
        if (options.has(QStringLiteral("--expand")))
            return drawExpanded(options.positional.first(), source, options, io);
        try {
            auto database = openDatabase(options);
            Dice dice(source);
            TableDraw draw(*database, dice);
            const DrawOutcome outcome = draw.draw(options.positional.first());
            if (!outcome.drawn()) {
                io.err << outcome.message << '\n';
                return ExitFailure;
            }
            io.out << outcome.text << '\n';
        } catch (const Error& error) {
            io.err << error.message() << '\n';
            return ExitFailure;
        }
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeInitCommand() {
    return std::make_unique<InitCommand>();
}

std::unique_ptr<Command> makeDrawCommand() {
    return std::make_unique<DrawCommand>();
}

} // namespace ov::cli
