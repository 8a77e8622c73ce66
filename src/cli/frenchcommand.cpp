// The verb french: a phrase as the French post-pass of a generator writes it.

#include "command.h"
#include "templates/frenchpass.h"
#include "templates/template.h"

namespace ov::cli {

namespace {

class FrenchCommand : public Command {
public:
    VerbDeclaration declaration() const override {
        return {QStringLiteral("french"),
                QStringLiteral("TEXTE..."),
                QStringLiteral("Écrit TEXTE comme l'écrit un générateur « Français: oui »."),
                QStringLiteral("Élisions et contractions (« à le » → « au », « le arbre » → "
                               "« l'arbre ») ; les mots donnés sont joints par une espace, chaque "
                               "ligne est traitée à part. Aucune base n'est ouverte."),
                {},
                {QStringLiteral("orvanthe-cli french \"Enseigne : À le Ivre Sanglier\""),
                 QStringLiteral("orvanthe-cli french de le or et de les haches")}};
    }
    int run(const Options& options, Streams& io) override {
        if (options.positional.isEmpty())
            return usageError(io, QStringLiteral("donnez le texte à écrire"), *this);
        for (const QString& line : Template::splitLines(options.positional.join(QLatin1Char(' '))))
            io.out << frenchPostPass(line) << '\n';
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeFrenchCommand() {
    return std::make_unique<FrenchCommand>();
}

} // namespace ov::cli
