// Personal generators on the command line: generate ID, draw ID --expand, and the verb generators
// (list, show, check, import, export, delete).

#include "personalcommands.h"

#include "import/generatorbundle.h"
#include "session.h"
#include "tables/errors.h"
#include "templates/personalgenerator.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ov::cli {

namespace {

QString noGenerator(const QString& id) {
    return QStringLiteral("Pas de générateur « %1 »").arg(id);
}

} // namespace

int generatePersonal(const QString& id, int count, RandomSource& source, bool store, bool json,
                     const Options& options, Streams& io, const Command& command) {
    try {
        auto database = openDatabase(options);
        const GeneratorStore generators(*database);
        const auto generator = generators.find(id);
        if (!generator)
            return usageError(io, QStringLiteral("type inconnu : ") + id, command);
        Dice dice(source);
        TableDraw draw(*database, dice);
        const Clock clock;
        StreamMessageSink messages(io.err);
        PersonalRun run(*database, clock, draw, messages);
        for (int i = 0; i < count; ++i) {
            const PersonalRunReport report = run.run(*generator, store);
            if (json) {
                io.out << QString::fromUtf8(
                              QJsonDocument(runJson(report)).toJson(QJsonDocument::Compact))
                       << '\n';
            } else if (!report.error) {
                if (i > 0)
                    io.out << '\n';
                for (const QString& line : report.lines)
                    io.out << line << '\n';
            }
            io.out.flush();
            if (report.error)
                return ExitFailure;
        }
    } catch (const Error& error) {
        io.err << error.message() << '\n';
        return ExitFailure;
    }
    return ExitOk;
}

int drawExpanded(const QString& table, RandomSource& source, const Options& options, Streams& io) {
    try {
        auto database = openDatabase(options);
        Dice dice(source);
        TableDraw draw(*database, dice);
        const Clock clock;
        StreamMessageSink messages(io.err);
        PersonalRun run(*database, clock, draw, messages);
        const auto text = run.expandDraw(table);
        if (!text)
            return ExitFailure;
        io.out << *text << '\n';
    } catch (const Error& error) {
        io.err << error.message() << '\n';
        return ExitFailure;
    }
    return ExitOk;
}

std::optional<ReportDefinition> personalReport(const Database& database, const QString& id) {
    const auto generator = GeneratorStore(database).find(id);
    if (!generator)
        return std::nullopt;
    return personalReportDefinition(generator->id, generator->nom);
}

namespace {

// One action of generators: list, show, check, import, export or delete.
class GeneratorsCommand : public Command {
public:
    explicit GeneratorsCommand(QString action) : m_action(std::move(action)) {}

    VerbDeclaration declaration() const override {
        if (m_action == QLatin1String("list"))
            return {QStringLiteral("generators list"),
                    QString(),
                    QStringLiteral("Liste les générateurs personnels et leurs nombres de "
                                   "résultats."),
                    QString(),
                    {databaseOption()},
                    {QStringLiteral("orvanthe-cli generators list"),
                     QStringLiteral("orvanthe-cli generators list --database campagne.db")}};
        if (m_action == QLatin1String("show"))
            return {QStringLiteral("generators show"),
                    QStringLiteral("ID"),
                    QStringLiteral("Écrit un générateur personnel comme son fichier .ovgen."),
                    QString(),
                    {databaseOption()},
                    {QStringLiteral("orvanthe-cli generators show auberge"),
                     QStringLiteral("orvanthe-cli generators show auberge > auberge.ovgen")}};
        if (m_action == QLatin1String("check"))
            return {QStringLiteral("generators check"),
                    QStringLiteral("[ID]"),
                    QStringLiteral("Vérifie un générateur personnel, ou tous, sur les tables de "
                                   "la base."),
                    QStringLiteral("Le code de retour est 1 quand un modèle est incorrect."),
                    {databaseOption()},
                    {QStringLiteral("orvanthe-cli generators check"),
                     QStringLiteral("orvanthe-cli generators check auberge")}};
        if (m_action == QLatin1String("import"))
            return {QStringLiteral("generators import"),
                    QStringLiteral("FICHIER..."),
                    QStringLiteral("Ajoute à la base les générateurs de fichiers .ovgen, ou un "
                                   "générateur et ses tables d'un paquet .ovpack."),
                    QStringLiteral("Un fichier incorrect fait tout refuser : rien n'est écrit.\n"
                                   "Une table du paquet identique à celle de la base est gardée ; "
                                   "une table différente sous le même identifiant fait tout "
                                   "refuser, sauf avec --rename ou --replace."),
                    {{QStringLiteral("replace"), QString(),
                      QStringLiteral("remplace les générateurs (et les tables d'un paquet) qui "
                                     "existent déjà"),
                      QStringLiteral("un générateur qui existe déjà fait tout refuser")},
                     {QStringLiteral("rename"), QString(),
                      QStringLiteral("paquet : donne des identifiants libres aux tables et au "
                                     "générateur qui diffèrent de ceux de la base, et réécrit le "
                                     "modèle et les textes"),
                      QStringLiteral("une table différente fait tout refuser")},
                     databaseOption()},
                    {QStringLiteral("orvanthe-cli generators import *.ovgen --replace"),
                     QStringLiteral("orvanthe-cli generators import taverne.ovpack --rename")}};
        if (m_action == QLatin1String("export"))
            return {QStringLiteral("generators export"),
                    QStringLiteral("ID..."),
                    QStringLiteral("Écrit des générateurs personnels dans des fichiers .ovgen."),
                    QStringLiteral("Avec --with-tables, chaque générateur va dans ID.ovpack avec "
                                   "toutes les tables qu'il nomme, directement ou par les textes "
                                   "de leurs éléments."),
                    {{QStringLiteral("output"), QStringLiteral("DOSSIER"),
                      QStringLiteral("le dossier où écrire les fichiers"),
                      QStringLiteral("le dossier courant"), false, QStringLiteral("o")},
                     {QStringLiteral("with-tables"), QString(),
                      QStringLiteral("écrit un paquet .ovpack : le générateur et ses tables"),
                      QStringLiteral("le générateur seul, en .ovgen")},
                     databaseOption()},
                    {QStringLiteral("orvanthe-cli generators export auberge taverne -o modeles"),
                     QStringLiteral("orvanthe-cli generators export taverne --with-tables")}};
        return {QStringLiteral("generators delete"),
                QStringLiteral("ID"),
                QStringLiteral("Supprime un générateur personnel et ses résultats."),
                QString(),
                {databaseOption()},
                {QStringLiteral("orvanthe-cli generators delete auberge"),
                 QStringLiteral("orvanthe-cli generators delete auberge --database campagne.db")}};
    }

    int run(const Options& options, Streams& io) override {
        const QString& action = m_action;
        const QStringList& rest = options.positional;
        int (GeneratorsCommand::*verb)(const GeneratorStore&, const Options&, Streams&) = nullptr;
        bool countOk = false;
        if (action == QStringLiteral("list")) {
            verb = &GeneratorsCommand::list;
            countOk = rest.isEmpty();
        } else if (action == QStringLiteral("show")) {
            verb = &GeneratorsCommand::show;
            countOk = rest.size() == 1;
        } else if (action == QStringLiteral("check")) {
            verb = &GeneratorsCommand::check;
            countOk = rest.size() <= 1;
        } else if (action == QStringLiteral("import")) {
            verb = &GeneratorsCommand::import;
            countOk = !rest.isEmpty();
        } else if (action == QStringLiteral("export")) {
            verb = &GeneratorsCommand::exportFiles;
            countOk = !rest.isEmpty();
        } else {
            verb = &GeneratorsCommand::remove;
            countOk = rest.size() == 1;
        }
        if (!countOk)
            return usageError(io, QStringLiteral("nombre d'arguments incorrect pour ") + action,
                              *this);
        try {
            auto database = openDatabase(options);
            const GeneratorStore store(*database);
            m_database = database.get();
            return (this->*verb)(store, options, io);
        } catch (const Error& error) {
            io.err << error.message() << '\n';
            return ExitFailure;
        }
    }

private:
    int list(const GeneratorStore& store, const Options&, Streams& io) {
        for (const PersonalGenerator& generator : store.list())
            io.out << generator.id << '\t' << generator.nom << '\t'
                   << QStringLiteral("%1 résultat(s)").arg(store.resultCount(generator.id)) << '\n';
        return ExitOk;
    }

    static std::optional<PersonalGenerator> find(const GeneratorStore& store, const QString& id,
                                                 Streams& io) {
        const auto generator = store.find(id);
        if (!generator)
            io.err << noGenerator(id) << '\n';
        return generator;
    }

    int show(const GeneratorStore& store, const Options& options, Streams& io) {
        const auto generator = find(store, options.positional.first(), io);
        if (!generator)
            return ExitFailure;
        io.out << generatorFileText(*generator);
        if (!generator->modele.endsWith(QLatin1Char('\n')) &&
            !generator->modele.endsWith(QLatin1Char('\r')))
            io.out << '\n';
        return ExitOk;
    }

    int check(const GeneratorStore& store, const Options& options, Streams& io) {
        QList<PersonalGenerator> generators;
        if (options.positional.isEmpty()) {
            generators = store.list();
        } else {
            const auto generator = find(store, options.positional.first(), io);
            if (!generator)
                return ExitFailure;
            generators.append(*generator);
        }
        int status = ExitOk;
        for (const PersonalGenerator& generator : generators) {
            const GeneratorCheck result = checkGenerator(*m_database, generator);
            if (result.error) {
                io.out << generator.id << QStringLiteral(" : ") << result.error->message() << '\n';
                status = ExitFailure;
                continue;
            }
            if (result.warnings.isEmpty())
                io.out << generator.id << QStringLiteral(" : correct\n");
            for (const QString& warning : result.warnings)
                io.out << generator.id << QStringLiteral(" : attention, ") << warning << '\n';
        }
        return status;
    }

    int import(const GeneratorStore& store, const Options& options, Streams& io) {
        const bool rename = options.has(QStringLiteral("--rename"));
        const bool replace = options.has(QStringLiteral("--replace"));
        if (rename && replace)
            return usageError(io, QStringLiteral("--rename et --replace s'excluent"), *this);
        if (options.positional.first().endsWith(QStringLiteral(".ovpack"), Qt::CaseInsensitive))
            return importBundles(options, io);
        if (rename)
            return usageError(io, QStringLiteral("--rename ne vaut que pour un paquet .ovpack"),
                              *this);
        QList<PersonalGenerator> generators;
        try {
            generators = readGeneratorFiles(options.positional);
        } catch (const Error& error) {
            io.err << error.message() << '\n' << QStringLiteral("Rien n'a été importé.\n");
            return ExitFailure;
        }
        try {
            store.save(generators, options.has(QStringLiteral("--replace")));
        } catch (const Error& error) {
            io.err << error.message() << '\n' << QStringLiteral("Rien n'a été importé.\n");
            return ExitFailure;
        }
        io.out << QStringLiteral("%1 générateur(s) importé(s)\n").arg(generators.size());
        return ExitOk;
    }

    int importBundles(const Options& options, Streams& io) {
        if (options.positional.size() != 1)
            return usageError(io, QStringLiteral("un seul paquet .ovpack à la fois"), *this);
        const BundleClash clash = options.has(QStringLiteral("--rename"))    ? BundleClash::Rename
                                  : options.has(QStringLiteral("--replace")) ? BundleClash::Replace
                                                                             : BundleClash::Refuse;
        try {
            const BundleImport done =
                importBundle(*m_database, readBundleFile(options.positional.first()), clash);
            for (const QString& line : bundleImportText(done))
                io.out << line << '\n';
            return ExitOk;
        } catch (const TableConflictError& error) {
            io.err << error.message() << '\n'
                   << QStringLiteral("Rien n'a été importé ; --rename donne d'autres "
                                     "identifiants, --replace remplace.\n");
        } catch (const Error& error) {
            io.err << error.message() << '\n' << QStringLiteral("Rien n'a été importé.\n");
        }
        return ExitFailure;
    }

    int exportFiles(const GeneratorStore& store, const Options& options, Streams& io) {
        const QString folder = options.has(QStringLiteral("--output"))
                                   ? options.value(QStringLiteral("--output"))
                                   : QDir::currentPath();
        if (!QFileInfo(folder).isDir()) {
            io.err << QStringLiteral("Le dossier %1 n'existe pas.\n").arg(folder);
            return ExitFailure;
        }
        QList<PersonalGenerator> generators;
        for (const QString& id : options.positional) {
            const auto generator = find(store, id, io);
            if (!generator)
                return ExitFailure;
            generators.append(*generator);
        }
        const bool withTables = options.has(QStringLiteral("--with-tables"));
        for (const PersonalGenerator& generator : generators) {
            const QString path = QDir(folder).filePath(
                generator.id + (withTables ? QStringLiteral(".ovpack") : QStringLiteral(".ovgen")));
            try {
                if (withTables) {
                    const GeneratorBundle bundle = bundleOf(*m_database, generator.id);
                    for (const QString& id : bundle.missing)
                        io.err << QStringLiteral("Attention : la table « %1 » que nomme « %2 » "
                                                 "manque dans la base ; le paquet ne l'a pas.\n")
                                      .arg(id, generator.id);
                    writeBundleFile(bundle, path);
                } else {
                    writeGeneratorFile(generator, path);
                }
            } catch (const Error& error) {
                io.err << error.message() << '\n';
                return ExitFailure;
            }
            io.out << path << '\n';
        }
        return ExitOk;
    }

    int remove(const GeneratorStore& store, const Options& options, Streams& io) {
        const QString id = options.positional.first();
        const auto generator = find(store, id, io);
        if (!generator)
            return ExitFailure;
        const int results = store.remove(generator->id);
        io.out << QStringLiteral("Générateur « %1 » supprimé avec ses %2 résultat(s)\n")
                      .arg(generator->id)
                      .arg(results);
        return ExitOk;
    }

    QString m_action;
    const Database* m_database = nullptr;
};

} // namespace

std::vector<std::unique_ptr<Command>> makeGeneratorsCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    for (const char* action : {"list", "show", "check", "import", "export", "delete"})
        commands.push_back(std::make_unique<GeneratorsCommand>(QString::fromLatin1(action)));
    return commands;
}

} // namespace ov::cli
