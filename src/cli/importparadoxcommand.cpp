// The verb import-paradox: brings a folder of Paradox tables into the database.

#include "command.h"
#include "import/paradoximport.h"
#include "session.h"
#include "tables/errors.h"

namespace ov::cli {

namespace {

class ImportParadoxCommand : public Command {
public:
    QString name() const override { return QStringLiteral("import-paradox"); }
    QString usage() const override {
        return QStringLiteral("orvanthe-cli import-paradox DOSSIER [--database FICHIER] "
                              "[--replace] [--dry-run]");
    }

    int run(const QStringList& args, Streams& io) override {
        Options options;
        if (auto problem =
                Options::parse(args, {QStringLiteral("--database")},
                               {QStringLiteral("--replace"), QStringLiteral("--dry-run")}, options))
            return usageError(io, *problem, *this);
        if (options.positional.isEmpty())
            return usageError(io, QStringLiteral("le dossier des tables Paradox manque"), *this);
        if (options.positional.size() > 1)
            return usageError(io, QStringLiteral("argument en trop : ") + options.positional.last(),
                              *this);
        try {
            auto database = openDatabase(options);
            const ParadoxImportReport report =
                importParadoxFolder(*database, options.positional.first(),
                                    options.has(QStringLiteral("--replace")) ? ImportMode::Replace
                                                                             : ImportMode::AddOnly,
                                    options.has(QStringLiteral("--dry-run")));
            io.out << report.text();
            return ExitOk;
        } catch (const TableConflictError& error) {
            io.err << error.message() << '\n'
                   << QStringLiteral("Rien n'a été importé ; --replace met les tables et les "
                                     "enregistrements du dossier à la place de ceux de la base.\n");
        } catch (const Error& error) {
            io.err << error.message() << '\n' << QStringLiteral("Rien n'a été importé.\n");
        }
        return ExitFailure;
    }
};

} // namespace

std::unique_ptr<Command> makeImportParadoxCommand() {
    return std::make_unique<ImportParadoxCommand>();
}

} // namespace ov::cli
