#include "draftroutes.h"

#include "accesscodes.h"
#include "generators/generators.h"
#include "tables/database.h"
#include "tables/errors.h"

#include <QJsonArray>
#include <QJsonObject>

namespace ov::server {

void DraftBook::useCode(const QString& code) {
    if (code != m_code)
        m_drafts.clear();
    m_code = code;
}

QString DraftBook::add(std::unique_ptr<Draft> draft) {
    const QString token = newAccessCode();
    m_drafts.emplace_back(token, std::move(draft));
    while (m_drafts.size() > maxDrafts)
        m_drafts.pop_front();
    return token;
}

Draft* DraftBook::find(const QString& token) const {
    for (const auto& [key, draft] : m_drafts)
        if (sameCode(token.toUtf8(), key))
            return draft.get();
    return nullptr;
}

namespace {

QJsonObject draftJson(const QString& token, const Draft& draft, const QStringList& messages) {
    QJsonArray locked;
    for (int k = 0; k < draft.lines().size(); ++k)
        locked.append(draft.isLocked(k));
    return QJsonObject{{QStringLiteral("draft"), token},
                       {QStringLiteral("subject"), draft.subject()},
                       {QStringLiteral("lines"), QJsonArray::fromStringList(draft.lines())},
                       {QStringLiteral("locked"), locked},
                       {QStringLiteral("whole"), draft.rerollsWhole()},
                       {QStringLiteral("messages"), QJsonArray::fromStringList(messages)}};
}

Reply startDraft(RouteContext& context, const RouteRequest& request) {
    const Database& database = context.database();
    DraftBook& book = context.drafts();
    quint32 seed = 0;
    if (request.query.hasQueryItem(QStringLiteral("seed"))) {
        bool ok = false;
        const qulonglong given =
            request.query.queryItemValue(QStringLiteral("seed")).toULongLong(&ok);
        if (!ok || given > 0xFFFFFFFFull)
            return Reply::error(400, QStringLiteral("seed attend un entier de 0 à 4294967295"));
        seed = quint32(given);
    } else {
        seed = Draft::seedFrom(context.random());
    }
    const QString id = request.captures.value(0);
    std::unique_ptr<Draft> draft;
    try {
        if (const auto kind = outputKindFromName(id)) {
            draft = std::make_unique<Draft>(database, book.clock(), *kind, seed);
        } else {
            const auto generator = GeneratorStore(database).find(id);
            if (!generator)
                return Reply::error(404, QStringLiteral("Pas de générateur « %1 »").arg(id));
            draft = std::make_unique<Draft>(database, book.clock(), *generator, seed);
        }
    } catch (const Error& error) {
        return Reply::error(422, error.message());
    }
    const QStringList messages = draft->startMessages();
    Draft& shown = *draft;
    const QString token = book.add(std::move(draft));
    return Reply::json(draftJson(token, shown, messages));
}

// The draft of the request's token, open: otherwise the reply that says why not.
Draft* openDraft(RouteContext& context, const RouteRequest& request, Reply& refusal) {
    Draft* draft = context.drafts().find(request.captures.value(0));
    if (!draft)
        refusal = Reply::error(404, QStringLiteral("Ce brouillon n'existe pas ou plus."));
    else if (draft->isKept())
        refusal = Reply::error(410, QStringLiteral("Ce brouillon a déjà été gardé."));
    else
        return draft;
    return nullptr;
}

// An operation on one line of a draft, or on all when the route names none.
Reply change(RouteContext& context, const RouteRequest& request,
             const std::function<QStringList(Draft&, int)>& operation) {
    Reply refusal;
    Draft* draft = openDraft(context, request, refusal);
    if (!draft)
        return refusal;
    int line = -1;
    if (request.captures.size() > 1) {
        bool ok = false;
        line = request.captures.value(1).toInt(&ok);
        if (!ok)
            return Reply::error(400, QStringLiteral("Numéro de ligne invalide."));
    }
    try {
        const QStringList messages = operation(*draft, line);
        return Reply::json(draftJson(request.captures.value(0), *draft, messages));
    } catch (const Error& error) {
        return Reply::error(409, error.message());
    }
}

Reply keepDraft(RouteContext& context, const RouteRequest& request) {
    Reply refusal;
    Draft* draft = openDraft(context, request, refusal);
    if (!draft)
        return refusal;
    KeptDraft kept;
    try {
        kept = draft->keep();
    } catch (const Error& error) {
        return Reply::error(context.database().isReadOnly() ? 409 : 500, error.message());
    }
    context.recordStored();
    if (kept.kind) {
        RunReport report;
        report.kind = *kept.kind;
        report.id = kept.id;
        report.lines = kept.lines;
        report.type = kept.type;
        report.stored = true;
        return Reply::json(runJson(report));
    }
    PersonalRunReport report;
    report.generator = kept.generator;
    report.id = kept.id;
    report.lines = kept.lines;
    report.stored = true;
    return Reply::json(runJson(report));
}

QRegularExpression exactly(const char* pattern) {
    return QRegularExpression(QStringLiteral("^/api/draft/") + QLatin1String(pattern) +
                              QStringLiteral("$"));
}

} // namespace

std::vector<Route> draftRoutes() {
    const auto on = [](const char* pattern,
                       std::function<Reply(RouteContext&, const RouteRequest&)> handle) {
        return Route{"POST", exactly(pattern), Audience::GameMaster, true, std::move(handle)};
    };
    return {
        on("([^/]+)", startDraft),
        on("([^/]+)/reroll/([^/]+)",
           [](RouteContext& c, const RouteRequest& r) {
               return change(c, r, [](Draft& d, int k) { return d.reroll(k); });
           }),
        on("([^/]+)/reroll",
           [](RouteContext& c, const RouteRequest& r) {
               return change(c, r, [](Draft& d, int) { return d.rerollAll(); });
           }),
        on("([^/]+)/lock/([^/]+)",
           [](RouteContext& c, const RouteRequest& r) {
               return change(c, r, [](Draft& d, int k) {
                   d.setLocked(k, true);
                   return QStringList();
               });
           }),
        on("([^/]+)/unlock/([^/]+)",
           [](RouteContext& c, const RouteRequest& r) {
               return change(c, r, [](Draft& d, int k) {
                   d.setLocked(k, false);
                   return QStringList();
               });
           }),
        on("([^/]+)/keep", keepDraft),
    };
}

} // namespace ov::server
