// The verbs init and draw.

#include "command.h"
#include "personalcommands.h"
#include "session.h"
#include "tables/errors.h"
#include "tables/tabledraw.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace ov::cli {

namespace {

class InitCommand : public Command {
public:
    VerbDeclaration declaration() const override {
        OptionDeclaration database = databaseOption();
        database.description = QStringLiteral("le fichier de la base à créer ; il ne doit pas "
                                              "exister");
        database.required = true;
        return {QStringLiteral("init"),
                QString(),
                QStringLiteral("Crée une base neuve avec les six tables et les tables de départ."),
                QStringLiteral("Un fichier qui existe déjà n'est jamais touché."),
                {database},
                {QStringLiteral("orvanthe-cli init --database campagne.db"),
                 QStringLiteral("orvanthe-cli init --database /media/cle/orvanthe.db")}};
    }
    int run(const Options& options, Streams& io) override {
        if (!options.positional.isEmpty())
            return usageError(
                io, QStringLiteral("argument en trop : ") + options.positional.first(), *this);
        const QString path = options.value(QStringLiteral("--database"));
        if (DatabaseLocation::looksLikeServer(path)) {
            // A base on a server is made by its administrator; init gives it its tables.
            try {
                const Database database(path);
                if (!database.wasCreated()) {
                    io.err << QStringLiteral("La base %1 a déjà ses tables : rien n'a été écrit.\n")
                                  .arg(database.path());
                    return ExitFailure;
                }
                io.out << QStringLiteral("Base créée : %1\n").arg(database.path());
            } catch (const Error& error) {
                io.err << error.message() << '\n';
                return ExitFailure;
            }
            return ExitOk;
        }
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
    VerbDeclaration declaration() const override {
        return {QStringLiteral("draw"),
                QStringLiteral("ID"),
                QStringLiteral("Tire au hasard un élément de la table ID, selon les poids."),
                QStringLiteral("Chaque tirage s'écrit sur une ligne ; rien n'est enregistré."),
                {databaseOption(),
                 seedOption(),
                 {QStringLiteral("count"), QStringLiteral("N"),
                  QStringLiteral("nombre de tirages, l'un après l'autre"), QStringLiteral("1")},
                 {QStringLiteral("json"), QString(),
                  QStringLiteral("écrit chaque tirage comme un objet JSON sur une ligne "
                                 "(id, element)"),
                  QStringLiteral("le texte seul")},
                 {QStringLiteral("expand"), QString(),
                  QStringLiteral("développe l'élément tiré comme le ferait un générateur "
                                 "personnel, sans rien enregistrer"),
                  QStringLiteral("l'élément tel qu'il est écrit dans la table")}},
                {QStringLiteral("orvanthe-cli draw yeux"),
                 QStringLiteral("orvanthe-cli draw yeux --count 5 --seed 42 --json")}};
    }
    int run(const Options& options, Streams& io) override {
        if (options.positional.size() != 1)
            return usageError(io, QStringLiteral("donnez un seul identifiant de table"), *this);
        int count = 1;
        if (options.has(QStringLiteral("--count"))) {
            const auto parsed = parseCount(options.value(QStringLiteral("--count")));
            if (!parsed)
                return usageError(io, QStringLiteral("--count attend un entier positif"), *this);
            count = *parsed;
        }
        RandomSource source;
        if (!seedRandom(options, source))
            return usageError(io, QStringLiteral("--seed attend un entier de 0 à 4294967295"),
                              *this);
        if (options.has(QStringLiteral("--expand"))) {
            if (count != 1 || options.has(QStringLiteral("--json")))
                return usageError(
                    io, QStringLiteral("--expand ne se combine ni avec --count ni avec --json"),
                    *this);
            return drawExpanded(options.positional.first(), source, options, io);
        }
        const QString id = options.positional.first();
        try {
            auto database = openDatabase(options);
            Dice dice(source);
            TableDraw draw(*database, dice);
            for (int i = 0; i < count; ++i) {
                const DrawOutcome outcome = draw.draw(id);
                if (!outcome.drawn()) {
                    io.err << outcome.message << '\n';
                    return ExitFailure;
                }
                if (options.has(QStringLiteral("--json"))) {
                    const QJsonObject object{{QStringLiteral("id"), id},
                                             {QStringLiteral("element"), outcome.text}};
                    io.out << QString::fromUtf8(
                                  QJsonDocument(object).toJson(QJsonDocument::Compact))
                           << '\n';
                } else {
                    io.out << outcome.text << '\n';
                }
            }
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
