// The verb import-paradox: brings a folder of Paradox tables into the database.

#include "command.h"
#include "import/paradoximport.h"
#include "session.h"
#include "tables/errors.h"

namespace ov::cli {

namespace {

class ImportParadoxCommand : public Command {
public:
    VerbDeclaration declaration() const override {
        return {QStringLiteral("import-paradox"),
                QStringLiteral("DOSSIER"),
                QStringLiteral("Apporte dans la base les tables Paradox d'un dossier : les tables "
                               "aléatoires et les textes déjà générés."),
                QStringLiteral("Rien n'est écrit quand le dossier est refusé ; le compte rendu dit "
                               "ce qui a été importé."),
                {databaseOption(),
                 {QStringLiteral("replace"), QString(),
                  QStringLiteral("met les tables et les enregistrements du dossier à la place de "
                                 "ceux de la base"),
                  QStringLiteral("ce que la base a déjà fait tout refuser")},
                 {QStringLiteral("dry-run"), QString(),
                  QStringLiteral("lit le dossier et dit ce qui serait importé, sans rien écrire"),
                  QStringLiteral("l'import est fait")}},
                {QStringLiteral("orvanthe-cli import-paradox /media/disquette/OV --dry-run"),
                 QStringLiteral("orvanthe-cli import-paradox ancien-OV --replace")}};
    }

    int run(const Options& options, Streams& io) override {
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
