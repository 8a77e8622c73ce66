// The verb tables: export, import and check of the random tables.

#include "command.h"
#include "session.h"
#include "tables/errors.h"
#include "tables/tablecheck.h"
#include "tables/tablefile.h"

#include <QFileInfo>

namespace ov::cli {

namespace {

QString plural(int count, const QString& singular, const QString& pluralForm) {
    return QString::number(count) + QLatin1Char(' ') + (count > 1 ? pluralForm : singular);
}

class TablesCommand : public Command {
public:
    QString name() const override { return QStringLiteral("tables"); }
    QString usage() const override {
        return QStringLiteral("orvanthe-cli tables export FICHIER [--database FICHIER]\n"
                              "  orvanthe-cli tables import FICHIER [--database FICHIER] "
                              "[--replace]\n"
                              "  orvanthe-cli tables check [--database FICHIER]");
    }

    int run(const QStringList& args, Streams& io) override {
        if (args.isEmpty())
            return usageError(io, QStringLiteral("donnez une action : export, import ou check"),
                              *this);
        const QString action = args.first();
        const bool isImport = action == QStringLiteral("import");
        if (action != QStringLiteral("export") && !isImport && action != QStringLiteral("check"))
            return usageError(io, QStringLiteral("action inconnue : ") + action, *this);

        Options options;
        const QStringList flags =
            isImport ? QStringList{QStringLiteral("--replace")} : QStringList{};
        if (auto problem =
                Options::parse(args.mid(1), {QStringLiteral("--database")}, flags, options))
            return usageError(io, *problem, *this);
        const int wanted = action == QStringLiteral("check") ? 0 : 1;
        if (options.positional.size() < wanted)
            return usageError(io, QStringLiteral("le fichier des tables manque"), *this);
        if (options.positional.size() > wanted)
            return usageError(io, QStringLiteral("argument en trop : ") + options.positional.last(),
                              *this);
        try {
            // A file to import is read whole before the database is opened.
            const RandomTables incoming =
                isImport ? readTableFile(options.positional.first()) : RandomTables{};
            auto database = openDatabase(options);
            if (action == QStringLiteral("export"))
                return exportTables(*database, options.positional.first(), io);
            if (isImport)
                return importTables(*database, incoming, options.has(QStringLiteral("--replace")),
                                    io);
            return checkTables(*database, io);
        } catch (const TableConflictError& error) {
            io.err << error.message() << '\n'
                   << QStringLiteral("Rien n'a été importé ; --replace remplace les tables qui "
                                     "existent déjà.\n");
        } catch (const TableFileError& error) {
            io.err << error.message() << '\n' << QStringLiteral("Rien n'a été importé.\n");
        } catch (const Error& error) {
            io.err << error.message() << '\n';
            if (isImport)
                io.err << QStringLiteral("Rien n'a été importé.\n");
        }
        return ExitFailure;
    }

private:
    static int exportTables(const Database& database, const QString& path, Streams& io) {
        if (const QString refusal = database.ownFileRefusal(path); !refusal.isEmpty()) {
            io.err << refusal << '\n';
            return ExitFailure;
        }
        const RandomTables tables = loadRandomTables(database);
        writeTableFile(path, tables);
        int elements = 0;
        for (const RandomTable& table : tables)
            elements += int(table.elements.size());
        io.out << QStringLiteral("Exporté : %1, %2 dans %3\n")
                      .arg(plural(int(tables.size()), QStringLiteral("table"),
                                  QStringLiteral("tables")),
                           plural(elements, QStringLiteral("élément"), QStringLiteral("éléments")),
                           path);
        return ExitOk;
    }

    static int importTables(const Database& database, const RandomTables& tables, bool replace,
                            Streams& io) {
        const ImportSummary summary =
            ov::importTables(database, tables, replace ? ImportMode::Replace : ImportMode::AddOnly);
        io.out << QStringLiteral("Importé : %1, %2")
                      .arg(
                          plural(summary.tables, QStringLiteral("table"), QStringLiteral("tables")),
                          plural(summary.elements, QStringLiteral("élément"),
                                 QStringLiteral("éléments")));
        if (summary.replaced > 0)
            io.out << QStringLiteral(" (%1)").arg(plural(summary.replaced,
                                                         QStringLiteral("table remplacée"),
                                                         QStringLiteral("tables remplacées")));
        io.out << '\n';
        return ExitOk;
    }

    static int checkTables(const Database& database, Streams& io) {
        const QVector<CheckFinding> findings = ov::checkTables(database);
        for (const CheckFinding& finding : findings)
            io.out << finding.message << '\n';
        if (findings.isEmpty()) {
            io.out << QStringLiteral("Aucun problème : les tables des quatre générateurs sont "
                                     "complètes.\n");
            return ExitOk;
        }
        io.out << (findings.size() > 1
                       ? QStringLiteral("%1 problèmes trouvés.\n").arg(findings.size())
                       : QStringLiteral("1 problème trouvé.\n"));
        return ExitFailure;
    }
};

} // namespace

std::unique_ptr<Command> makeTablesCommand() {
    return std::make_unique<TablesCommand>();
}

} // namespace ov::cli
