#include "generators.h"

#include "perso.h"
#include "rencontre.h"
#include "tables/errors.h"
#include "tresor.h"
#include "village.h"

#include <QJsonArray>
#include <optional>

namespace ov {

GeneratorBody generatorBody(OutputKind kind) {
    switch (kind) {
    case OutputKind::Perso:
        return &generatePerso;
    case OutputKind::Tresor:
        return &generateTresor;
    case OutputKind::Rencontre:
        return &generateRencontre;
    case OutputKind::Village:
        return &generateVillage;
    }
    return &generatePerso;
}

QString notStoredMessage(const QString& reason) {
    return QStringLiteral("Ce texte n'a pas été enregistré. ") + reason;
}

RunReport Generation::run(OutputKind kind, RunHost& host, bool store) {
    return run(kind, generatorBody(kind), host, store);
}

RunReport Generation::run(OutputKind kind, const std::function<void(GenerationRun&, Draws&)>& body,
                          RunHost& host, bool store) {
    RecordingRelay relay(m_messages);
    TableDraws draws(m_draw, relay);
    RunReport report;
    report.kind = kind;
    std::optional<GenerationRun> started;
    try {
        started.emplace(kind, m_database, m_count, m_clock, host, store);
    } catch (const Error& error) {
        // The store could not even be read (a server gone): nothing began, nothing is stored.
        report.error = error.message();
        relay.showMessage(*report.error);
        report.messages = relay.messages;
        return report;
    }
    GenerationRun& run = *started;
    try {
        body(run, draws);
    } catch (const Error& error) {
        // A text that is complete but could not be kept must not pass for a stored one.
        report.error = run.storeFailed() ? notStoredMessage(error.message()) : error.message();
        relay.showMessage(*report.error);
        try {
            run.recover();
        } catch (const Error& again) {
            relay.showMessage(again.message());
        }
    }
    report.id = run.n();
    report.lines = run.lines();
    report.type = run.storedValue();
    report.messages = relay.messages;
    report.stored = run.stored();
    report.lastTable = draws.lastTable();
    report.lastElement = draws.lastElement();
    return report;
}

QJsonObject runJson(const RunReport& report) {
    QJsonObject object;
    object.insert(QStringLiteral("kind"), outputTable(report.kind).name);
    // A run that failed before its record was stored has no number to show.
    if (!report.error || report.stored)
        object.insert(QStringLiteral("id"), report.id);
    object.insert(QStringLiteral("lines"), QJsonArray::fromStringList(report.lines));
    object.insert(QStringLiteral("type"), report.type);
    object.insert(QStringLiteral("messages"), QJsonArray::fromStringList(report.messages));
    if (report.error)
        object.insert(QStringLiteral("error"), *report.error);
    return object;
}

} // namespace ov
