// The verb copy-database: moves a whole campaign from one database to another.

#include "command.h"
#include "tables/copydatabase.h"
#include "tables/database.h"
#include "tables/databaselocation.h"
#include "tables/errors.h"

#include <QFileInfo>

namespace ov::cli {

namespace {

// A base on a server is named scheme://...; any other name is a file.
class CopyDatabaseCommand : public Command {
public:
    VerbDeclaration declaration() const override {
        return {
            QStringLiteral("copy-database"),
            QStringLiteral("SOURCE CIBLE"),
            QStringLiteral("Copie toute une campagne d'une base dans une autre : tables "
                           "aléatoires, textes générés, générateurs personnels et leurs "
                           "résultats."),
            QStringLiteral("Tout ou rien : après un échec, la base cible est telle qu'elle "
                           "était. Un fichier cible qui n'existe pas est créé, sans les tables "
                           "de départ : la copie s'écrit à côté et ne prend son nom qu'une fois "
                           "complète. Une base cible sur un serveur doit déjà exister (vide) : "
                           "elle n'est pas créée. Une base cible qui contient déjà des données "
                           "est refusée sans --replace."),
            {{QStringLiteral("replace"), QString(),
              QStringLiteral("met les données de la source à la place de celles de la cible"),
              QStringLiteral("une cible qui contient des données est refusée")}},
            {QStringLiteral("orvanthe-cli copy-database orvanthe.db /media/cle/campagne.db"),
             QStringLiteral("orvanthe-cli copy-database campagne.db orvanthe.db --replace")}};
    }

    int run(const Options& options, Streams& io) override {
        if (options.positional.size() < 2)
            return usageError(io, QStringLiteral("donnez la base à copier et la base où la copier"),
                              *this);
        if (options.positional.size() > 2)
            return usageError(io, QStringLiteral("argument en trop : ") + options.positional.last(),
                              *this);
        const QString fromName = options.positional.at(0);
        const QString toName = options.positional.at(1);
        const bool replace = options.has(QStringLiteral("--replace"));
        const bool onServer = DatabaseLocation::looksLikeServer(toName);
        bool reachingTarget = false; // the source is open, the target not yet
        try {
            // A missing source is a typing error, never a new base to copy from.
            if (!DatabaseLocation::looksLikeServer(fromName) && !QFileInfo::exists(fromName))
                throw DatabaseError(QStringLiteral("La base %1 n'existe pas.").arg(fromName));
            const Database from(fromName);
            CopyReport report;
            if (!onServer && !QFileInfo::exists(toName) && !QFileInfo(toName).isSymLink()) {
                report = copyDatabaseToNewFile(from, toName);
            } else {
                // An empty base on a server gets its schema in the copy's transaction.
                reachingTarget = true;
                const Database to(toName, Database::NewStore::SchemaLater);
                reachingTarget = false;
                report = copyDatabase(from, to, replace);
            }
            io.out << QStringLiteral("Base %1 copiée dans %2 :\n").arg(fromName, toName)
                   << report.text();
            return ExitOk;
        } catch (const Error& error) {
            io.err << error.message() << '\n' << QStringLiteral("Rien n'a été copié.\n");
            if (dynamic_cast<const TargetNotEmptyError*>(&error))
                io.err << QStringLiteral("--replace met les données de %1 à la place de celles"
                                         " de %2.\n")
                              .arg(fromName, toName);
            else if (onServer && reachingTarget)
                io.err << QStringLiteral("Une base cible sur un serveur doit déjà exister : "
                                         "copy-database ne la crée pas.\n");
        }
        return ExitFailure;
    }
};

} // namespace

std::unique_ptr<Command> makeCopyDatabaseCommand() {
    return std::make_unique<CopyDatabaseCommand>();
}

} // namespace ov::cli
