#include "generators.h"

#include "perso.h"
#include "rencontre.h"
#include "tables/errors.h"
#include "tresor.h"
#include "village.h"

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

namespace {

// Passes messages on and keeps those of the current run.
class RecordingRelay : public MessageSink {
public:
    explicit RecordingRelay(MessageSink& target) : m_target(target) {}
    void showMessage(const QString& text) override {
        messages.append(text);
        m_target.showMessage(text);
    }
    QStringList messages;

private:
    MessageSink& m_target;
};

} // namespace

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
    GenerationRun run(kind, m_database, m_count, m_clock, host, store);
    RunReport report;
    report.kind = kind;
    try {
        body(run, draws);
    } catch (const Error& error) {
        // A text that is complete but could not be kept must not pass for a stored one.
        report.storeFailed = run.storeFailed();
        report.error = report.storeFailed ? notStoredMessage(error.message()) : error.message();
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

} // namespace ov
