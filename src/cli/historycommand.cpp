// The verb history: lists, searches, shows, exports, unprints and deletes generated texts.

#include "command.h"
#include "history/history.h"
#include "reports/reportfonts.h"
#include "session.h"
#include "tables/clock.h"
#include "tables/errors.h"
#include "tables/historyindex.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ov::cli {

namespace {

constexpr int defaultLimit = 50;

// A bad argument: the message of a usage error.
struct UsageProblem {
    QString text;
};

QString plural(qsizetype count, const QString& singular, const QString& pluralForm) {
    return QString::number(count) + QLatin1Char(' ') + (count > 1 ? pluralForm : singular);
}

// A built-in kind in any case, with or without accents, or the Id of a personal generator in any
// case: the kind as the history names it.
QString requireKind(const History& history, const QString& name) {
    const auto kind = history.kindNamed(name);
    if (!kind) {
        QStringList kinds;
        for (const HistorySource& source : historySources())
            if (source.hasFixedKind())
                kinds << source.kind;
        throw UsageProblem{QStringLiteral("genre inconnu : %1 (%2 ou l'Id d'un générateur"
                                          " personnel)")
                               .arg(name, kinds.join(QLatin1Char('|')))};
    }
    return *kind;
}

// A day as 2026-12-01 or 01/12/2026.
QDate parseDay(const QString& option, const QString& text) {
    QDate day = QDate::fromString(text, Qt::ISODate);
    if (!day.isValid())
        day = QDate::fromString(text, QStringLiteral("dd/MM/yyyy"));
    if (!day.isValid())
        throw UsageProblem{QStringLiteral("date invalide pour %1 : %2 (AAAA-MM-JJ ou JJ/MM/AAAA)")
                               .arg(option, text)};
    return day;
}

// A record is designated by its number n, or by #ROWID when several records share that number.
QVector<HistoryKey> resolveKeys(const History& history, const QString& kind,
                                const QStringList& ids) {
    if (ids.isEmpty())
        throw UsageProblem{QStringLiteral("donnez au moins un numéro de texte")};
    QVector<HistoryKey> keys;
    for (const QString& id : ids) {
        bool ok = false;
        if (id.startsWith(QLatin1Char('#'))) {
            const qint64 rowid = id.mid(1).toLongLong(&ok);
            if (!ok || !history.entry({kind, rowid}))
                throw Error(QStringLiteral("Aucun texte %1 à la ligne %2.").arg(kind, id));
            keys.append({kind, rowid});
            continue;
        }
        const int n = id.toInt(&ok);
        if (!ok)
            throw UsageProblem{QStringLiteral("numéro invalide : ") + id};
        const QVector<HistoryKey> found = history.keysWithNumber(kind, n);
        if (found.isEmpty())
            throw Error(QStringLiteral("Aucun texte %1 numéro %2.").arg(kind, id));
        if (found.size() > 1) {
            QStringList rows;
            for (const HistoryKey& key : found)
                rows << QStringLiteral("#") + QString::number(key.rowid);
            throw Error(QStringLiteral("Plusieurs textes %1 portent le numéro %2 (%3) : "
                                       "désignez-en un par #ligne.")
                            .arg(kind, id, rows.join(QStringLiteral(", "))));
        }
        if (!keys.contains(found.first()))
            keys.append(found.first());
    }
    return keys;
}

QString listLine(const HistoryEntry& entry) {
    QString when = entry.created;
    if (!entry.createdTime.isEmpty())
        when += QLatin1Char(' ') + entry.createdTime.left(5);
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(entry.key.kind, -9)
        .arg(entry.n, 5)
        .arg(when, -16)
        .arg(entry.printed.isEmpty() ? QStringLiteral("non imprimé") : entry.printed, -11)
        .arg(entry.title);
}

QJsonArray listJson(const QVector<HistoryEntry>& entries) {
    QJsonArray array;
    for (const HistoryEntry& entry : entries)
        array.append(entryJson(entry, false));
    return array;
}

// One action of history: list, show, search, export, unprint or delete.
class HistoryCommand : public Command {
public:
    explicit HistoryCommand(QString action) : m_action(std::move(action)) {}

    VerbDeclaration declaration() const override {
        const OptionDeclaration kind{
            QStringLiteral("kind"), QStringLiteral("GENRE"),
            QStringLiteral("seulement les textes de ce genre (perso, tresor, "
                           "rencontre, village, ou l'Id d'un générateur personnel)"),
            QStringLiteral("tous les genres")};
        const OptionDeclaration limit{QStringLiteral("limit"), QStringLiteral("N"),
                                      QStringLiteral("nombre de textes listés au plus"),
                                      QString::number(defaultLimit)};
        const OptionDeclaration json{QStringLiteral("json"), QString(),
                                     QStringLiteral("écrit la liste en JSON"),
                                     QStringLiteral("une ligne par texte")};
        const QString numbers =
            QStringLiteral("GENRE : perso, tresor, rencontre, village, ou l'Id d'un générateur "
                           "personnel.\nID : le numéro du texte, ou #LIGNE quand plusieurs "
                           "textes ont ce numéro.");
        if (m_action == QLatin1String("list"))
            return {QStringLiteral("history list"),
                    QString(),
                    QStringLiteral("Liste les textes générés, du plus récent au plus ancien."),
                    QStringLiteral("Les dates s'écrivent AAAA-MM-JJ ou JJ/MM/AAAA."),
                    {kind,
                     {QStringLiteral("unprinted"), QString(),
                      QStringLiteral("seulement les textes qui attendent l'impression"),
                      QStringLiteral("imprimés ou non")},
                     {QStringLiteral("printed"), QString(),
                      QStringLiteral("seulement les textes imprimés"),
                      QStringLiteral("imprimés ou non")},
                     {QStringLiteral("since"), QStringLiteral("DATE"),
                      QStringLiteral("seulement les textes créés ce jour-là ou après"), QString()},
                     {QStringLiteral("until"), QStringLiteral("DATE"),
                      QStringLiteral("seulement les textes créés ce jour-là ou avant"), QString()},
                     limit,
                     json,
                     databaseOption()},
                    {QStringLiteral("orvanthe-cli history list"),
                     QStringLiteral("orvanthe-cli history list --kind village --unprinted")}};
        if (m_action == QLatin1String("search"))
            return {QStringLiteral("history search"),
                    QStringLiteral("MOTS..."),
                    QStringLiteral("Cherche les textes générés qui contiennent tous ces mots."),
                    QStringLiteral("Les accents et les majuscules ne comptent pas ; un mot trouve "
                                   "aussi les mots qui commencent par lui."),
                    {kind, limit, json, databaseOption()},
                    {QStringLiteral("orvanthe-cli history search epee"),
                     QStringLiteral("orvanthe-cli history search roche noire --kind village")}};
        if (m_action == QLatin1String("show"))
            return {QStringLiteral("history show"),
                    QStringLiteral("GENRE ID"),
                    QStringLiteral("Écrit un texte généré en entier."),
                    numbers,
                    {databaseOption()},
                    {QStringLiteral("orvanthe-cli history show perso 12"),
                     QStringLiteral("orvanthe-cli history show village 3")}};
        if (m_action == QLatin1String("export"))
            return {
                QStringLiteral("history export"),
                QStringLiteral("GENRE ID..."),
                QStringLiteral("Exporte des textes générés en texte, Markdown, JSON ou PDF."),
                numbers,
                {{QStringLiteral("format"), QStringLiteral("FORMAT"),
                  QStringLiteral("txt, md, json ou pdf (obligatoire)"), QString()},
                 {QStringLiteral("output"), QStringLiteral("FICHIER"),
                  QStringLiteral("le fichier à écrire (- : la sortie standard)"),
                  QStringLiteral("la sortie standard, sauf en pdf"), false, QStringLiteral("o")},
                 {QStringLiteral("no-stamp"), QString(),
                  QStringLiteral("un PDF ne marque pas les textes imprimés"),
                  QStringLiteral("les textes du PDF sont marqués imprimés")},
                 databaseOption()},
                {QStringLiteral("orvanthe-cli history export perso 12 --format md"),
                 QStringLiteral("orvanthe-cli history export tresor 3 4 --format pdf -o t.pdf")}};
        if (m_action == QLatin1String("unprint"))
            return {QStringLiteral("history unprint"),
                    QStringLiteral("GENRE ID..."),
                    QStringLiteral("Remet des textes imprimés parmi ceux qui attendent "
                                   "l'impression."),
                    numbers,
                    {databaseOption()},
                    {QStringLiteral("orvanthe-cli history unprint perso 12"),
                     QStringLiteral("orvanthe-cli history unprint village 3 4")}};
        return {QStringLiteral("history delete"),
                QStringLiteral("GENRE ID..."),
                QStringLiteral("Supprime des textes générés de la base."),
                numbers + QStringLiteral("\nSans --yes, la commande liste les textes et ne "
                                         "supprime rien."),
                {{QStringLiteral("yes"), QString(), QStringLiteral("supprime vraiment"),
                  QStringLiteral("rien n'est supprimé")},
                 databaseOption()},
                {QStringLiteral("orvanthe-cli history delete perso 12"),
                 QStringLiteral("orvanthe-cli history delete perso 12 --yes")}};
    }

    int run(const Options& options, Streams& io) override {
        const QString& action = m_action;
        try {
            checkOptions(action, options);
            auto database = openDatabase(options);
            const History history(*database);
            if (action == QLatin1String("list") || action == QLatin1String("search"))
                return list(history, action == QLatin1String("search"), options, io);
            const QString kind = requireKind(history, options.positional.value(0));
            const QVector<HistoryKey> keys = resolveKeys(history, kind, options.positional.mid(1));
            if (action == QLatin1String("show"))
                return show(history, keys, io);
            if (action == QLatin1String("export"))
                return exportTexts(history, keys, options, io);
            if (action == QLatin1String("unprint")) {
                const int changed = history.unprint(keys);
                io.out << QStringLiteral("%1 marqué(s) non imprimé(s).\n")
                              .arg(plural(changed, QStringLiteral("texte"),
                                          QStringLiteral("textes")));
                return ExitOk;
            }
            return remove(history, keys, options.has(QStringLiteral("--yes")), io);
        } catch (const UsageProblem& problem) {
            return usageError(io, problem.text, *this);
        } catch (const Error& error) {
            io.err << error.message() << '\n';
        }
        return ExitFailure;
    }

private:
    static void checkOptions(const QString& action, const Options& options) {
        if (options.has(QStringLiteral("--printed")) && options.has(QStringLiteral("--unprinted")))
            throw UsageProblem{QStringLiteral("--printed et --unprinted s'excluent")};
        if (options.has(QStringLiteral("--limit"))) {
            bool ok = false;
            const int limit = options.value(QStringLiteral("--limit")).toInt(&ok);
            if (!ok || limit < 1)
                throw UsageProblem{QStringLiteral("--limit attend un nombre entier positif")};
        }
        if (action == QLatin1String("list") && !options.positional.isEmpty())
            throw UsageProblem{QStringLiteral("argument en trop : ") + options.positional.first()};
        if (action == QLatin1String("search") &&
            searchWords(options.positional.join(QLatin1Char(' '))).isEmpty())
            throw UsageProblem{QStringLiteral("donnez au moins un mot à chercher")};
        if (action == QLatin1String("show") && options.positional.size() != 2)
            throw UsageProblem{QStringLiteral("donnez un genre et un numéro")};
        if (action == QLatin1String("export")) {
            const QString format = options.value(QStringLiteral("--format"));
            if (!exportFormatFromName(format) && format != QLatin1String("pdf"))
                throw UsageProblem{QStringLiteral("--format attend txt, md, json ou pdf")};
            if (format == QLatin1String("pdf") &&
                options.value(QStringLiteral("--output")).isEmpty())
                throw UsageProblem{QStringLiteral("le format pdf demande -o FICHIER (ou -o -)")};
        }
        (void)parseDays(options);
    }

    static QPair<QDate, QDate> parseDays(const Options& options) {
        QPair<QDate, QDate> days;
        if (options.has(QStringLiteral("--since")))
            days.first =
                parseDay(QStringLiteral("--since"), options.value(QStringLiteral("--since")));
        if (options.has(QStringLiteral("--until")))
            days.second =
                parseDay(QStringLiteral("--until"), options.value(QStringLiteral("--until")));
        return days;
    }

    static int list(const History& history, bool search, const Options& options, Streams& io) {
        HistoryFilter filter;
        if (options.has(QStringLiteral("--kind")))
            filter.kind = requireKind(history, options.value(QStringLiteral("--kind")));
        if (options.has(QStringLiteral("--printed")))
            filter.printed = PrintedFilter::Printed;
        else if (options.has(QStringLiteral("--unprinted")))
            filter.printed = PrintedFilter::Unprinted;
        std::tie(filter.since, filter.until) = parseDays(options);
        if (search)
            filter.words = options.positional.join(QLatin1Char(' '));
        const int limit = options.has(QStringLiteral("--limit"))
                              ? options.value(QStringLiteral("--limit")).toInt()
                              : defaultLimit;
        const QVector<HistoryEntry> entries = history.page(filter, limit);
        if (options.has(QStringLiteral("--json"))) {
            io.out << QString::fromUtf8(QJsonDocument(listJson(entries)).toJson());
            return ExitOk;
        }
        for (const HistoryEntry& entry : entries)
            io.out << listLine(entry) << '\n';
        if (entries.isEmpty())
            io.out << QStringLiteral("Aucun texte.\n");
        return ExitOk;
    }

    static int show(const History& history, const QVector<HistoryKey>& keys, Streams& io) {
        for (const HistoryEntry& entry : history.entries(keys))
            io.out << exportEntries({entry}, ExportFormat::Text);
        return ExitOk;
    }

    static int exportTexts(const History& history, const QVector<HistoryKey>& keys,
                           const Options& options, Streams& io) {
        const QString path = options.value(QStringLiteral("--output"));
        const QString format = options.value(QStringLiteral("--format"));
        if (format == QLatin1String("pdf"))
            return exportPdf(history, keys, path, !options.has(QStringLiteral("--no-stamp")), io);
        const QVector<HistoryEntry> entries = history.entries(keys);
        const QString text = exportEntries(entries, *exportFormatFromName(format));
        if (path.isEmpty() || isStandardOutput(path)) {
            io.out << text;
            return ExitOk;
        }
        if (const QString problem = writeExportFile(history.database(), text, path);
            !problem.isEmpty()) {
            io.err << problem << '\n';
            return ExitFailure;
        }
        io.out << QStringLiteral("%1 exporté(s) dans %2\n")
                      .arg(
                          plural(entries.size(), QStringLiteral("texte"), QStringLiteral("textes")),
                          path);
        return ExitOk;
    }

    // The reprint of the tool: the reports of the print runs in a PDF file; the texts that had no
    // print date receive today's.
    static int exportPdf(const History& history, const QVector<HistoryKey>& selected,
                         const QString& path, bool stamp, Streams& io) {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
            io.err << QStringLiteral("L'impression demande une application graphique"
                                     " (QGuiApplication).\n");
            return ExitFailure;
        }
        ensureReportFonts();
        const Clock clock;
        const QVector<HistoryKey> keys = history.present(selected);
        const QVector<ReportDocument> reports = historyReports(history, keys, clock.now());
        // « - »: the whole PDF on standard output, made before its first byte goes out; what was
        // done goes to standard error.
        const bool toStandardOutput = isStandardOutput(path);
        QString problem;
        if (toStandardOutput) {
            problem = writeStandardOutputWhole(
                [&](QIODevice& device) { return writeReportsPdf(reports, device); }, io);
        } else {
            problem = writeReportsPdf(history.database(), reports, path);
        }
        if (!problem.isEmpty()) {
            io.err << problem << '\n';
            return ExitFailure;
        }
        QTextStream& report = toStandardOutput ? io.err : io.out;
        report << QStringLiteral("%1 dans %2\n")
                      .arg(plural(keys.size(), QStringLiteral("texte"), QStringLiteral("textes")),
                           toStandardOutput ? QStringLiteral("la sortie standard") : path);
        if (stamp) {
            const QDate today = clock.now().date();
            report << QStringLiteral("%1 marqué(s) imprimé(s) le %2\n")
                          .arg(plural(history.stampUnprinted(keys, today), QStringLiteral("texte"),
                                      QStringLiteral("textes")),
                               printDateStamp(today));
        }
        return ExitOk;
    }

    static int remove(const History& history, const QVector<HistoryKey>& keys, bool confirmed,
                      Streams& io) {
        if (!confirmed) {
            for (const HistoryEntry& entry : history.entries(keys))
                io.err << listLine(entry) << '\n';
            io.err << (keys.size() > 1
                           ? QStringLiteral("Rien n'a été supprimé : ajoutez --yes pour supprimer"
                                            " ces %1 textes.\n")
                                 .arg(keys.size())
                           : QStringLiteral("Rien n'a été supprimé : ajoutez --yes pour supprimer"
                                            " ce texte.\n"));
            return ExitFailure;
        }
        const int removed = history.remove(keys);
        io.out << QStringLiteral("%1 supprimé(s).\n")
                      .arg(plural(removed, QStringLiteral("texte"), QStringLiteral("textes")));
        return ExitOk;
    }

    QString m_action;
};

} // namespace

std::vector<std::unique_ptr<Command>> makeHistoryCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    for (const char* action : {"list", "show", "search", "export", "unprint", "delete"})
        commands.push_back(std::make_unique<HistoryCommand>(QString::fromLatin1(action)));
    return commands;
}

} // namespace ov::cli
