#include "routes.h"

#include "draftroutes.h"

#include "generators/generators.h"
#include "history/history.h"
#include "showstream.h"
#include "tables/database.h"
#include "tables/errors.h"
#include "tables/tabledraw.h"
#include "tables/textrules.h"
#include "templates/personalgenerator.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ov::server {

namespace {

constexpr int defaultHistoryLimit = 50;
constexpr int maxHistoryLimit = 500;

// The built-in generators as their buttons name them.
QString builtinLabel(OutputKind kind) {
    switch (kind) {
    case OutputKind::Perso:
        return QStringLiteral("Perso");
    case OutputKind::Tresor:
        return QStringLiteral("Trésor");
    case OutputKind::Rencontre:
        return QStringLiteral("Rencontre");
    case OutputKind::Village:
        return QStringLiteral("Village");
    }
    return {};
}

// Messages of a run answered to a client: they travel in the run's object.
class QuietMessages : public MessageSink {
public:
    void showMessage(const QString&) override {}
};

// The random source of a run: the seed of ?seed=N, or the server's own.
class RunSource {
public:
    RunSource(RouteContext& context, const QUrlQuery& query) : m_source(&context.random()) {
        if (query.hasQueryItem(QStringLiteral("seed"))) {
            bool ok = false;
            const qulonglong seed = query.queryItemValue(QStringLiteral("seed")).toULongLong(&ok);
            m_valid = ok && seed <= 0xFFFFFFFFull;
            m_own.setState(quint32(seed));
            m_source = &m_own;
        }
    }
    bool valid() const { return m_valid; }
    RandomSource& source() { return *m_source; }

private:
    RandomSource m_own;
    RandomSource* m_source;
    bool m_valid = true;
};

Reply badSeed() {
    return Reply::error(400, QStringLiteral("seed attend un entier de 0 à 4294967295"));
}

Reply generators(RouteContext& context, const RouteRequest&) {
    QJsonArray array;
    for (OutputKind kind : allOutputKinds)
        array.append(QJsonObject{{QStringLiteral("id"), outputTable(kind).name},
                                 {QStringLiteral("nom"), builtinLabel(kind)},
                                 {QStringLiteral("builtin"), true}});
    for (const PersonalGenerator& generator : GeneratorStore(context.database()).list())
        array.append(QJsonObject{{QStringLiteral("id"), generator.id},
                                 {QStringLiteral("nom"), generator.nom},
                                 {QStringLiteral("builtin"), false}});
    return Reply::json(array);
}

// A run that ended in an error: a read-only base is a conflict, anything else the server's.
Reply runFailure(RouteContext& context, const QString& message) {
    return Reply::error(context.database().isReadOnly() ? 409 : 500, message);
}

Reply generate(RouteContext& context, const RouteRequest& request) {
    RunSource source(context, request.query);
    if (!source.valid())
        return badSeed();
    const Database& database = context.database();
    const QString id = request.captures.value(0);
    Dice dice(source.source());
    TableDraw draw(database, dice);
    const Clock clock;
    QuietMessages messages;
    if (const auto kind = outputKindFromName(id)) {
        UnprintedCount unprinted(database);
        Generation generation(database, unprinted, clock, draw, messages);
        NoWatcher host;
        const RunReport report = generation.run(*kind, host, true);
        if (report.stored)
            context.recordStored();
        if (report.error)
            return runFailure(context, *report.error);
        return Reply::json(runJson(report));
    }
    const auto generator = GeneratorStore(database).find(id);
    if (!generator)
        return Reply::error(404, QStringLiteral("Pas de générateur « %1 »").arg(id));
    PersonalRun run(database, clock, draw, messages);
    const PersonalRunReport report = run.run(*generator, true);
    if (report.stored)
        context.recordStored();
    if (report.error)
        return runFailure(context, *report.error);
    return Reply::json(runJson(report));
}

Reply drawTable(RouteContext& context, const RouteRequest& request) {
    RunSource source(context, request.query);
    if (!source.valid())
        return badSeed();
    const QString table = request.captures.value(0);
    Dice dice(source.source());
    TableDraw draw(context.database(), dice);
    const Clock clock;
    RecordingMessageSink messages;
    PersonalRun run(context.database(), clock, draw, messages);
    const auto text = run.expandDraw(table);
    if (!text) {
        const QString message = messages.messages.value(0);
        return Reply::error(message == noTableMessage(table) ? 404 : 422, message);
    }
    return Reply::json(
        QJsonObject{{QStringLiteral("table"), table},
                    {QStringLiteral("text"), *text},
                    {QStringLiteral("messages"), QJsonArray::fromStringList(messages.messages)}});
}

Reply tables(RouteContext& context, const RouteRequest&) {
    QJsonArray array;
    context.database().forEachRow(
        QStringLiteral("SELECT Id, Nom FROM OVmaster ORDER BY Id"), {}, [&](const QSqlQuery& row) {
            array.append(QJsonObject{{QStringLiteral("id"), row.value(0).toString().trimmed()},
                                     {QStringLiteral("nom"), row.value(1).toString()}});
            return true;
        });
    return Reply::json(array);
}

Reply historyList(RouteContext& context, const RouteRequest& request) {
    const History history(context.database());
    HistoryFilter filter;
    const QString kind = request.query.queryItemValue(QStringLiteral("kind"), QUrl::FullyDecoded);
    if (!kind.isEmpty()) {
        const auto named = history.kindNamed(kind);
        if (!named)
            return Reply::error(404, QStringLiteral("Genre inconnu : %1").arg(kind));
        filter.kind = *named;
    }
    filter.words = request.query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
    if (const QString problem = clientTextProblem(filter.words); !problem.isEmpty())
        return Reply::error(400, problem);
    int limit = defaultHistoryLimit;
    if (request.query.hasQueryItem(QStringLiteral("limit"))) {
        bool ok = false;
        limit = request.query.queryItemValue(QStringLiteral("limit")).toInt(&ok);
        if (!ok || limit < 1 || limit > maxHistoryLimit)
            return Reply::error(
                400, QStringLiteral("limit attend un entier de 1 à %1").arg(maxHistoryLimit));
    }
    QJsonArray array;
    for (const HistoryEntry& entry : history.page(filter, limit))
        array.append(entryJson(entry, false));
    return Reply::json(array);
}

// The newest record of a kind that carries the number, with its text.
std::optional<HistoryEntry> record(const History& history, const QString& kindName,
                                   const QString& number, Reply& failure) {
    const auto kind = history.kindNamed(kindName);
    bool ok = false;
    const int n = number.toInt(&ok);
    if (kind && ok) {
        const QVector<HistoryKey> keys = history.keysWithNumber(*kind, n);
        if (!keys.isEmpty())
            if (auto entry = history.entry(keys.last()))
                return entry;
    }
    failure = Reply::error(404, QStringLiteral("Aucun texte %1 numéro %2.").arg(kindName, number));
    return std::nullopt;
}

Reply historyRecord(RouteContext& context, const RouteRequest& request) {
    const History history(context.database());
    Reply failure;
    const auto entry =
        record(history, request.captures.value(0), request.captures.value(1), failure);
    if (!entry)
        return failure;
    return Reply::json(entryJson(*entry, true));
}

// POST /api/show: {"kind", "n"} or {"text"}, and the lines to show, the header being 0.
Reply show(RouteContext& context, const RouteRequest& request) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return Reply::error(400, QStringLiteral("Le corps de la requête n'est pas un objet JSON."));
    const QJsonObject object = document.object();
    QString title;
    QStringList lines;
    if (object.contains(QStringLiteral("text"))) {
        const QString text = object.value(QStringLiteral("text")).toString();
        if (const QString problem = clientTextProblem(text); !problem.isEmpty())
            return Reply::error(400, problem);
        lines = text.split(QLatin1Char('\n'));
        for (QString& line : lines)
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
    } else {
        const History history(context.database());
        Reply failure;
        const QJsonValue n = object.value(QStringLiteral("n"));
        const auto entry =
            record(history, object.value(QStringLiteral("kind")).toString(),
                   n.isDouble() ? QString::number(n.toInteger()) : n.toString(), failure);
        if (!entry)
            return failure;
        // The kind's name only: the record's own title could tell a line left out.
        title = history.kindLabel(entry->key.kind);
        lines = textLines(entry->text);
    }
    if (object.contains(QStringLiteral("lines"))) {
        const QJsonValue chosen = object.value(QStringLiteral("lines"));
        if (!chosen.isArray())
            return Reply::error(400, QStringLiteral("« lines » attend une liste de positions."));
        QStringList kept;
        for (const QJsonValue& position : chosen.toArray()) {
            const qint64 i = position.isDouble() ? position.toInteger(-1) : -1;
            if (i < 0 || i >= lines.size())
                return Reply::error(400, QStringLiteral("Pas de ligne %1 dans ce texte.")
                                             .arg(position.isDouble()
                                                      ? QString::number(position.toDouble())
                                                      : QStringLiteral("?")));
            kept << lines.at(int(i));
        }
        lines = kept;
    }
    if (title.isEmpty())
        title = lines.value(0);
    const QJsonObject item{{QStringLiteral("title"), title},
                           {QStringLiteral("lines"), QJsonArray::fromStringList(lines)}};
    context.shows().show(item);
    return Reply::json(item);
}

Reply page(const char* file, const char* type) {
    return Reply::resource(QStringLiteral(":/web/") + QLatin1String(file), type);
}

QRegularExpression exactly(const char* pattern) {
    return QRegularExpression(QStringLiteral("^") + QLatin1String(pattern) + QStringLiteral("$"));
}

} // namespace

Reply Reply::json(const QJsonValue& value, int status) {
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    return {status, "application/json; charset=utf-8", document.toJson(QJsonDocument::Compact)};
}

Reply Reply::error(int status, const QString& message) {
    return json(QJsonObject{{QStringLiteral("erreur"), message}}, status);
}

Reply Reply::resource(const QString& path, const QByteArray& contentType) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return error(404, QStringLiteral("Cette page n'existe pas."));
    return {200, contentType, file.readAll()};
}

QString clientTextProblem(const QString& text) {
    if (const int at = firstControlCharacter(text, LineEnds::Allowed); at >= 0)
        return QStringLiteral("Le texte contient un %1.").arg(controlCharacterProblem(text, at));
    return {};
}

const std::vector<Route>& routes() {
    static const char* const html = "text/html; charset=utf-8";
    static const char* const js = "text/javascript; charset=utf-8";
    static const char* const css = "text/css; charset=utf-8";
    static const std::vector<Route> table = [] {
        std::vector<Route> all{
            // Pages: only the program's own, from its resources.
            {"GET", exactly("/"), Audience::GameMaster, false,
             [](RouteContext&, const RouteRequest&) { return page("index.html", html); }},
            {"GET", exactly("/app\\.js"), Audience::GameMaster, false,
             [](RouteContext&, const RouteRequest&) { return page("app.js", js); }},
            {"GET", exactly("/joueurs"), Audience::Players, false,
             [](RouteContext&, const RouteRequest&) { return page("joueurs.html", html); }},
            {"GET", exactly("/joueurs\\.js"), Audience::Players, false,
             [](RouteContext&, const RouteRequest&) { return page("joueurs.js", js); }},
            {"GET", exactly("/style\\.css"), Audience::Players, false,
             [](RouteContext&, const RouteRequest&) { return page("style.css", css); }},
            // No icon: an empty answer, so that browsers do not log a missing one.
            {"GET", exactly("/favicon\\.ico"), Audience::Players, false,
             [](RouteContext&, const RouteRequest&) {
                 return Reply{204, "image/x-icon", {}};
             }},
            // The game master's API.
            {"GET", exactly("/api/generators"), Audience::GameMaster, true, generators},
            {"POST", exactly("/api/generate/([^/]+)"), Audience::GameMaster, true, generate},
            {"GET", exactly("/api/tables"), Audience::GameMaster, true, tables},
            {"POST", exactly("/api/draw/([^/]+)"), Audience::GameMaster, true, drawTable},
            {"GET", exactly("/api/history"), Audience::GameMaster, true, historyList},
            {"GET", exactly("/api/history/([^/]+)/([^/]+)"), Audience::GameMaster, true,
             historyRecord},
            {"POST", exactly("/api/show"), Audience::GameMaster, true, show},
        };
        for (Route& route : draftRoutes())
            all.push_back(std::move(route));
        return all;
    }();
    return table;
}

} // namespace ov::server
