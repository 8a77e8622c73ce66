// The verb generate: generation runs as presses of a generator button, without a window.

#include "command.h"
#include "generators/generators.h"
#include "personalcommands.h"
#include "session.h"
#include "tables/errors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace ov::cli {

namespace {

// From this many runs on, a terminal shows how far the runs have gone.
constexpr int progressThreshold = 100;

// The progress line on standard error, which messages clear before they are written.
class ProgressLine : public MessageSink {
public:
    ProgressLine(QTextStream& err, bool shown) : m_err(err), m_shown(shown) {}

    void showMessage(const QString& text) override {
        clear();
        m_err << text << '\n';
        m_err.flush();
    }

    void update(int done, int total) {
        // About two hundred steps, however many runs.
        if (!m_shown || (done != total && done % qMax(1, total / 200) != 0))
            return;
        const QString text = QStringLiteral("Génération %1/%2").arg(done).arg(total);
        m_err << '\r' << text;
        if (text.size() < m_width)
            m_err << QString(m_width - text.size(), QLatin1Char(' '));
        m_width = int(text.size());
        m_err.flush();
    }

    void end() {
        if (m_width > 0) {
            m_err << '\n';
            m_err.flush();
            m_width = 0;
        }
    }

private:
    void clear() {
        if (m_width > 0) {
            m_err << '\r' << QString(m_width, QLatin1Char(' ')) << '\r';
            m_width = 0;
        }
    }

    QTextStream& m_err;
    bool m_shown;
    int m_width = 0; // characters of the progress line on screen
};

class GenerateCommand : public Command {
public:
    VerbDeclaration declaration() const override {
        return {
            QStringLiteral("generate"),
            QStringLiteral("perso|tresor|rencontre|village|ID"),
            QStringLiteral("Génère des textes comme les boutons Perso, Trésor, Rencontre et "
                           "Village de la fenêtre."),
            QStringLiteral(
                "Chaque texte s'écrit sur la sortie standard et s'ajoute à la base, "
                "où il attend l'impression.\nLe type s'écrit en minuscules ou en "
                "majuscules, avec ou sans accent (trésor). Avec l'identifiant ID d'un générateur "
                "personnel, c'est lui qui écrit les textes."),
            {databaseOption(),
             seedOption(),
             {QStringLiteral("count"), QStringLiteral("K"),
              QStringLiteral("nombre de textes à générer"), QStringLiteral("1")},
             {QStringLiteral("no-store"), QString(),
              QStringLiteral("n'enregistre rien dans la base"),
              QStringLiteral("chaque texte est enregistré")},
             {QStringLiteral("json"), QString(),
              QStringLiteral("écrit chaque texte comme un objet JSON sur une ligne (kind, id, "
                             "lines, type, messages)"),
              QStringLiteral("les lignes du texte, une ligne vide entre deux textes")}},
            {QStringLiteral("orvanthe-cli generate perso"),
             QStringLiteral("orvanthe-cli generate village --count 3 --seed 42 --no-store")}};
    }

    int run(const Options& options, Streams& io) override {
        if (options.positional.size() != 1)
            return usageError(io, QStringLiteral("donnez un seul type de texte à générer"), *this);
        const auto kind = outputKindFromName(options.positional.first());
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
        const bool store = !options.has(QStringLiteral("--no-store"));
        const bool json = options.has(QStringLiteral("--json"));
        if (!kind) // a personal generator, or a usage error
            return generatePersonal(options.positional.first(), count, source, store, json, options,
                                    io, *this);

        std::unique_ptr<Database> database;
        try {
            database = openDatabase(options);
        } catch (const Error& error) {
            io.err << error.message() << '\n';
            return ExitFailure;
        }

        ProgressLine progress(io.err, io.errIsTerminal && count >= progressThreshold);
        Dice dice(source);
        TableDraw draw(*database, dice);
        UnprintedCount unprinted(*database);
        const Clock clock;
        Generation generation(*database, unprinted, clock, draw, progress);
        NoWatcher host;

        int status = ExitOk;
        for (int i = 0; i < count; ++i) {
            const RunReport report = generation.run(*kind, host, store);
            if (json) {
                io.out << QString::fromUtf8(
                              QJsonDocument(runJson(report)).toJson(QJsonDocument::Compact))
                       << '\n';
            } else {
                if (i > 0)
                    io.out << '\n';
                for (const QString& line : report.lines)
                    io.out << line << '\n';
                // A text that was to be stored and is not says so, whether storing it failed
                // or an error (a lost connection) ended the run before.
                if (store && !report.stored && !report.lines.isEmpty())
                    io.out << QStringLiteral("(texte non enregistré)\n");
            }
            io.out.flush();
            progress.update(i + 1, count);
            if (report.error) {
                status = ExitFailure;
                break;
            }
        }
        progress.end();
        return status;
    }
};

} // namespace

std::unique_ptr<Command> makeGenerateCommand() {
    return std::make_unique<GenerateCommand>();
}

} // namespace ov::cli
