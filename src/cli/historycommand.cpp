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
#include <QSaveFile>

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

QString requireKind(const QString& kind) {
    if (!historySource(kind)) {
        QStringList kinds;
        for (const HistorySource& source : historySources())
            kinds << source.kind;
        throw UsageProblem{
            QStringLiteral("genre inconnu : %1 (%2)").arg(kind, kinds.join(QLatin1Char('|')))};
    }
    return kind;
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
    for (const HistoryEntry& entry : entries) {
        QJsonObject object;
        object[QStringLiteral("kind")] = entry.key.kind;
        object[QStringLiteral("n")] = entry.n;
        object[QStringLiteral("rowid")] = entry.key.rowid;
        object[QStringLiteral("created")] = entry.created;
        object[QStringLiteral("createdTime")] =
            entry.createdTime.isEmpty() ? QJsonValue() : QJsonValue(entry.createdTime);
        object[QStringLiteral("printed")] =
            entry.printed.isEmpty() ? QJsonValue() : QJsonValue(entry.printed);
        object[QStringLiteral("title")] = entry.title;
        array.append(object);
    }
    return array;
}

class HistoryCommand : public Command {
public:
    QString name() const override { return QStringLiteral("history"); }
    QString usage() const override {
        return QStringLiteral(
            "orvanthe-cli history list [--kind GENRE] [--unprinted|--printed] [--since DATE]"
            " [--until DATE] [--limit N] [--json] [--database FICHIER]\n"
            "  orvanthe-cli history show GENRE ID [--database FICHIER]\n"
            "  orvanthe-cli history search MOTS... [--kind GENRE] [--limit N] [--json]"
            " [--database FICHIER]\n"
            "  orvanthe-cli history export GENRE ID... --format txt|md|json|pdf [-o FICHIER]"
            " [--no-stamp] [--database FICHIER]\n"
            "  orvanthe-cli history unprint GENRE ID... [--database FICHIER]\n"
            "  orvanthe-cli history delete GENRE ID... [--yes] [--database FICHIER]\n"
            "  (ID : le numéro du texte, ou #LIGNE quand plusieurs textes ont ce numéro)");
    }

    int run(const QStringList& args, Streams& io) override {
        if (args.isEmpty())
            return usageError(io,
                              QStringLiteral("donnez une action : list, show, search, export,"
                                             " unprint ou delete"),
                              *this);
        const QString action = args.first();
        static const QHash<QString, QPair<QStringList, QStringList>> accepted = {
            {QStringLiteral("list"),
             {{QStringLiteral("--kind"), QStringLiteral("--since"), QStringLiteral("--until"),
               QStringLiteral("--limit")},
              {QStringLiteral("--unprinted"), QStringLiteral("--printed"),
               QStringLiteral("--json")}}},
            {QStringLiteral("show"), {{}, {}}},
            {QStringLiteral("search"),
             {{QStringLiteral("--kind"), QStringLiteral("--limit")}, {QStringLiteral("--json")}}},
            {QStringLiteral("export"),
             {{QStringLiteral("--format"), QStringLiteral("--output")},
              {QStringLiteral("--no-stamp")}}},
            {QStringLiteral("unprint"), {{}, {}}},
            {QStringLiteral("delete"), {{}, {QStringLiteral("--yes")}}},
        };
        if (!accepted.contains(action))
            return usageError(io, QStringLiteral("action inconnue : ") + action, *this);

        QStringList rest = args.mid(1);
        for (QString& arg : rest)
            if (arg == QLatin1String("-o"))
                arg = QStringLiteral("--output");
        Options options;
        if (auto problem = Options::parse(
                rest, accepted[action].first + QStringList{QStringLiteral("--database")},
                accepted[action].second, options))
            return usageError(io, *problem, *this);
        try {
            checkOptions(action, options);
            auto database = openDatabase(options);
            const History history(*database);
            if (action == QLatin1String("list") || action == QLatin1String("search"))
                return list(history, action == QLatin1String("search"), options, io);
            const QString kind = requireKind(options.positional.value(0));
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
        if (options.has(QStringLiteral("--kind")))
            requireKind(options.value(QStringLiteral("--kind")));
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
                throw UsageProblem{QStringLiteral("le format pdf demande -o FICHIER")};
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
        filter.kind = options.value(QStringLiteral("--kind"));
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
        const QVector<HistoryEntry> entries = history.entries(keys);
        const QString path = options.value(QStringLiteral("--output"));
        const QString format = options.value(QStringLiteral("--format"));
        if (format == QLatin1String("pdf"))
            return exportPdf(history, entries, path, !options.has(QStringLiteral("--no-stamp")),
                             io);
        const QString text = exportEntries(entries, *exportFormatFromName(format));
        if (path.isEmpty()) {
            io.out << text;
            return ExitOk;
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
            io.err << QStringLiteral("Impossible d'écrire le fichier %1 : %2\n")
                          .arg(path, file.errorString());
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
    static int exportPdf(const History& history, const QVector<HistoryEntry>& entries,
                         const QString& path, bool stamp, Streams& io) {
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
            io.err << QStringLiteral("L'impression demande une application graphique"
                                     " (QGuiApplication).\n");
            return ExitFailure;
        }
        ensureReportFonts();
        const Clock clock;
        const QString problem = writeReportsPdf(historyReports(entries, clock.now()), path);
        if (!problem.isEmpty()) {
            io.err << problem << '\n';
            return ExitFailure;
        }
        io.out << QStringLiteral("%1 dans %2\n")
                      .arg(
                          plural(entries.size(), QStringLiteral("texte"), QStringLiteral("textes")),
                          path);
        if (stamp) {
            QVector<HistoryKey> keys;
            for (const HistoryEntry& entry : entries)
                keys << entry.key;
            const QDate today = clock.now().date();
            io.out << QStringLiteral("%1 marqué(s) imprimé(s) le %2\n")
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
};

} // namespace

std::unique_ptr<Command> makeHistoryCommand() {
    return std::make_unique<HistoryCommand>();
}

} // namespace ov::cli
