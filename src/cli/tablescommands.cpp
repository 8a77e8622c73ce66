// The verb tables and its actions: export, import, check, list and show of the random tables.

#include "command.h"
#include "import/foreigntables.h"
#include "session.h"
#include "tables/database.h"
#include "tables/errors.h"
#include "tables/savefile.h"
#include "tables/tablecheck.h"
#include "tables/tablefile.h"

#include <algorithm>

namespace ov::cli {

namespace {

QString elementCount(int count) {
    return QString::number(count) +
           (count > 1 ? QStringLiteral(" éléments") : QStringLiteral(" élément"));
}

// An action of tables: its file argument counted, the database opened, the failures reported.
class TablesAction : public Command {
public:
    int run(const Options& options, Streams& io) override {
        const int wanted = declaration().arguments.isEmpty() ? 0 : 1;
        if (options.positional.size() < wanted)
            return usageError(io, missingArgument(), *this);
        if (options.positional.size() > wanted)
            return usageError(io, QStringLiteral("argument en trop : ") + options.positional.last(),
                              *this);
        if (const auto problem = checkOptions(options))
            return usageError(io, *problem, *this);
        try {
            return act(options, io);
        } catch (const TableConflictError& error) {
            io.err << error.message() << '\n'
                   << QStringLiteral("Rien n'a été importé ; --replace remplace les tables qui "
                                     "existent déjà.\n");
        } catch (const TableFileError& error) {
            io.err << error.message() << '\n' << QStringLiteral("Rien n'a été importé.\n");
        } catch (const Error& error) {
            io.err << error.message() << '\n';
            if (name() == QLatin1String("tables import"))
                io.err << QStringLiteral("Rien n'a été importé.\n");
        }
        return ExitFailure;
    }

protected:
    virtual QString missingArgument() const {
        return QStringLiteral("le fichier des tables manque");
    }
    virtual std::optional<QString> checkOptions(const Options&) const { return std::nullopt; }
    virtual int act(const Options& options, Streams& io) = 0;
};

// The tables named by --table, in the order given (any case), or all of them.
RandomTables chosenTables(const Database& database, const QStringList& ids) {
    const RandomTables all = loadRandomTables(database);
    if (ids.isEmpty())
        return all;
    RandomTables chosen;
    for (const QString& id : ids) {
        const auto found = std::find_if(all.begin(), all.end(), [&](const RandomTable& table) {
            return table.id.compare(id, Qt::CaseInsensitive) == 0;
        });
        if (found == all.end())
            throw Error(QStringLiteral("Pas de table \"%1\" : rien n'a été écrit.").arg(id));
        chosen.append(*found);
    }
    return chosen;
}

class ExportAction : public TablesAction {
public:
    VerbDeclaration declaration() const override {
        return {QStringLiteral("tables export"),
                QStringLiteral("FICHIER"),
                QStringLiteral("Écrit les tables aléatoires dans un fichier CSV en UTF-8, ou en "
                               "JSON de table de jeu virtuelle."),
                QStringLiteral("« - » écrit le fichier sur la sortie standard ; le compte rendu "
                               "va alors sur la sortie d'erreur.\n"
                               "Le format foundry écrit une table par objet (plusieurs dans une "
                               "liste) : nom, formule 1dN, une plage de jets par élément selon "
                               "les poids."),
                {databaseOption(),
                 {QStringLiteral("format"), QStringLiteral("FORMAT"),
                  QStringLiteral("csv, ou foundry pour le JSON des tables de jeu virtuelles"),
                  QStringLiteral("csv")},
                 {QStringLiteral("table"), QStringLiteral("ID"),
                  QStringLiteral("n'écrit que cette table ; se répète"),
                  QStringLiteral("toutes les tables")}},
                {QStringLiteral("orvanthe-cli tables export - | grep yeux"),
                 QStringLiteral("orvanthe-cli tables export rumeurs.json --format foundry "
                                "--table rume")}};
    }

protected:
    std::optional<QString> checkOptions(const Options& options) const override {
        const QString format = options.value(QStringLiteral("--format"));
        if (options.has(QStringLiteral("--format")) && format != QLatin1String("csv") &&
            format != QLatin1String("foundry"))
            return QStringLiteral("format inconnu : %1 (csv ou foundry)").arg(format);
        return std::nullopt;
    }
    int act(const Options& options, Streams& io) override {
        const QString path = options.positional.first();
        auto database = openDatabase(options);
        if (!isStandardOutput(path))
            if (const QString refusal = database->ownFileRefusal(path); !refusal.isEmpty())
                throw Error(refusal);
        const RandomTables tables =
            chosenTables(*database, options.values(QStringLiteral("--table")));
        const QByteArray bytes =
            options.value(QStringLiteral("--format")) == QLatin1String("foundry")
                ? rollTableJson(tables)
                : tableFileBytes(tables);
        if (!isStandardOutput(path)) {
            writeWholeFile(path, bytes);
            io.out << exportSummaryText(summarize(tables), path) << '\n';
            return ExitOk;
        }
        writeStandardOutput(bytes, io);
        io.err << exportSummaryText(summarize(tables), QStringLiteral("la sortie standard"))
               << '\n';
        return ExitOk;
    }
};

class ImportAction : public TablesAction {
public:
    VerbDeclaration declaration() const override {
        return {QStringLiteral("tables import"),
                QStringLiteral("FICHIER"),
                QStringLiteral("Ajoute à la base les tables d'un fichier : CSV d'Orvanthe, JSON "
                               "de table de jeu virtuelle, table recopiée d'un livre ou liste."),
                QStringLiteral("Le format est reconnu au contenu, quelle que soit l'extension.\n"
                               "CSV : colonnes Id,Nom,Element,Proba séparées par des virgules, "
                               "ou par des points-virgules comme les écrivent les tableurs "
                               "français.\n"
                               "Table d'un livre : « d6 Rumeurs » puis « 1-2 texte », « 3 texte » "
                               "ou « | 4-6 | texte | » ; liste : un titre puis un élément par "
                               "ligne.\n"
                               "Une table sans identifiant en reçoit un libre, fait de son nom.\n"
                               "Un fichier incorrect est refusé en entier, avec le numéro de "
                               "chaque ligne fautive : rien n'est écrit."),
                {databaseOption(),
                 {QStringLiteral("id"), QStringLiteral("ID"),
                  QStringLiteral("l'identifiant de la table (fichier d'une seule table)"),
                  QStringLiteral("un identifiant libre fait du nom")},
                 {QStringLiteral("nom"), QStringLiteral("NOM"),
                  QStringLiteral("le nom de la table (fichier d'une seule table)"),
                  QStringLiteral("le titre du fichier")},
                 {QStringLiteral("replace"), QString(),
                  QStringLiteral("remplace les tables qui existent déjà dans la base"),
                  QStringLiteral("une table qui existe déjà fait tout refuser")},
                 {QStringLiteral("skip-existing"), QString(),
                  QStringLiteral("garde les tables qui existent déjà et n'ajoute que les "
                                 "nouvelles"),
                  QStringLiteral("une table qui existe déjà fait tout refuser")}},
                {QStringLiteral("orvanthe-cli tables import mes-tables.csv --replace"),
                 QStringLiteral("orvanthe-cli tables import rumeurs.txt --id rume")}};
    }

protected:
    std::optional<QString> checkOptions(const Options& options) const override {
        if (options.has(QStringLiteral("--replace")) &&
            options.has(QStringLiteral("--skip-existing")))
            return QStringLiteral("--replace et --skip-existing s'excluent");
        return std::nullopt;
    }
    int act(const Options& options, Streams& io) override {
        // The file is read whole before the database is opened.
        RandomTables incoming = readForeignTableFile(options.positional.first()).tables;
        auto database = openDatabase(options);
        const QStringList made =
            assignTableIds(incoming, *database, options.value(QStringLiteral("--id")),
                           options.value(QStringLiteral("--nom")));
        const ImportMode mode = options.has(QStringLiteral("--replace")) ? ImportMode::Replace
                                : options.has(QStringLiteral("--skip-existing"))
                                    ? ImportMode::SkipExisting
                                    : ImportMode::AddOnly;
        const QString summary = importSummaryText(importTables(*database, incoming, mode));
        for (const QString& line : made)
            io.out << line << '\n';
        io.out << summary << '\n';
        return ExitOk;
    }
};

class CheckAction : public TablesAction {
public:
    VerbDeclaration declaration() const override {
        return {QStringLiteral("tables check"),
                QString(),
                QStringLiteral("Signale les tables qui manquent aux quatre générateurs et les "
                               "éléments codés mal formés."),
                QStringLiteral("Le code de retour est 1 quand un problème est trouvé."),
                {databaseOption()},
                {QStringLiteral("orvanthe-cli tables check"),
                 QStringLiteral("orvanthe-cli tables check --database campagne.db")}};
    }

protected:
    int act(const Options& options, Streams& io) override {
        auto database = openDatabase(options);
        const QVector<CheckFinding> findings = ov::checkTables(*database);
        io.out << checkReportText(findings);
        return findings.isEmpty() ? ExitOk : ExitFailure;
    }
};

class ListAction : public TablesAction {
public:
    VerbDeclaration declaration() const override {
        return {QStringLiteral("tables list"),
                QString(),
                QStringLiteral("Liste les tables aléatoires : identifiant, nom, nombre "
                               "d'éléments et total des poids."),
                QStringLiteral("Une table par ligne, les colonnes séparées par des tabulations."),
                {databaseOption()},
                {QStringLiteral("orvanthe-cli tables list"),
                 QStringLiteral("orvanthe-cli tables list --database campagne.db | sort -k2")}};
    }

protected:
    int act(const Options& options, Streams& io) override {
        auto database = openDatabase(options);
        for (const RandomTable& table : loadRandomTables(*database)) {
            double total = 0;
            for (const TableElement& element : table.elements)
                total += element.weight;
            io.out << table.id << '\t' << table.name << '\t'
                   << elementCount(int(table.elements.size())) << '\t'
                   << QStringLiteral("total %1").arg(formatWeight(total)) << '\n';
        }
        return ExitOk;
    }
};

class ShowAction : public TablesAction {
public:
    VerbDeclaration declaration() const override {
        return {QStringLiteral("tables show"),
                QStringLiteral("ID"),
                QStringLiteral("Montre une table aléatoire : son nom, puis chaque élément avec "
                               "son poids, dans l'ordre du tirage."),
                QString(),
                {databaseOption()},
                {QStringLiteral("orvanthe-cli tables show yeux"),
                 QStringLiteral("orvanthe-cli tables show PNJ1 --database campagne.db")}};
    }

protected:
    QString missingArgument() const override {
        return QStringLiteral("donnez l'identifiant de la table");
    }
    int act(const Options& options, Streams& io) override {
        const QString id = options.positional.first();
        auto database = openDatabase(options);
        for (const RandomTable& table : loadRandomTables(*database)) {
            if (table.id.compare(id, Qt::CaseInsensitive) != 0)
                continue;
            io.out << table.id << QStringLiteral(" : ") << table.name << QStringLiteral(" (")
                   << elementCount(int(table.elements.size())) << QStringLiteral(")\n");
            for (const TableElement& element : table.elements)
                io.out << QStringLiteral("  ") << formatWeight(element.weight) << '\t'
                       << element.text << '\n';
            return ExitOk;
        }
        io.err << QStringLiteral("Pas de table \"%1\".\n").arg(id);
        return ExitFailure;
    }
};

} // namespace

std::unique_ptr<Command> makeTablesExportCommand() {
    return std::make_unique<ExportAction>();
}
std::unique_ptr<Command> makeTablesImportCommand() {
    return std::make_unique<ImportAction>();
}
std::unique_ptr<Command> makeTablesCheckCommand() {
    return std::make_unique<CheckAction>();
}
std::unique_ptr<Command> makeTablesListCommand() {
    return std::make_unique<ListAction>();
}
std::unique_ptr<Command> makeTablesShowCommand() {
    return std::make_unique<ShowAction>();
}

} // namespace ov::cli
