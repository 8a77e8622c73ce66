// The verb serve: the open base as a web page and a JSON API, until Ctrl+C.

#include "command.h"
#include "server/webserver.h"
#include "session.h"
#include "tables/errors.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace ov::cli {

namespace {

// SIGINT and SIGTERM end the event loop through a pipe that the loop watches.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

class ServeCommand : public Command {
public:
    VerbDeclaration declaration() const override {
        return {QStringLiteral("serve"),
                QString(),
                QStringLiteral("Sert la base comme une page web et une API JSON, pour jouer depuis "
                               "un téléphone et montrer des textes aux joueurs."),
                QStringLiteral(
                    "Écrit d'abord l'adresse du meneur avec son code d'accès, puis celle de "
                    "l'écran des joueurs avec le sien, et sert jusqu'à Ctrl+C. Les codes sont "
                    "gardés pour chaque base, de sorte qu'un marque-page reste bon."),
                {databaseOption(),
                 {QStringLiteral("port"), QStringLiteral("N"), QStringLiteral("port d'écoute"),
                  QString::number(server::defaultPort)},
                 {QStringLiteral("bind"), QStringLiteral("ADRESSE"),
                  QStringLiteral("adresse d'écoute ; 0.0.0.0 ouvre le serveur au réseau local"),
                  QStringLiteral("127.0.0.1, cet ordinateur seulement")},
                 {QStringLiteral("new-codes"), QString(),
                  QStringLiteral("remplace les codes d'accès de la base par de nouveaux"),
                  QStringLiteral("les codes déjà donnés restent bons")}},
                {QStringLiteral("orvanthe-cli serve"),
                 QStringLiteral("orvanthe-cli serve --bind 0.0.0.0 --port 8080 --new-codes")}};
    }

    int run(const Options& options, Streams& io) override {
        if (!options.positional.isEmpty())
            return usageError(
                io, QStringLiteral("argument en trop : ") + options.positional.first(), *this);
        quint16 port = server::defaultPort;
        if (options.has(QStringLiteral("--port"))) {
            bool ok = false;
            const uint value = options.value(QStringLiteral("--port")).toUInt(&ok);
            if (!ok || value < 1 || value > 65535)
                return usageError(io, QStringLiteral("--port attend un entier de 1 à 65535"),
                                  *this);
            port = quint16(value);
        }
        const QString bind = options.has(QStringLiteral("--bind"))
                                 ? options.value(QStringLiteral("--bind"))
                                 : QStringLiteral("127.0.0.1");
        std::unique_ptr<Database> database;
        server::AccessCodes codes;
        try {
            database = openDatabase(options);
            const QString base = server::baseIdentity(database->path());
            codes = options.has(QStringLiteral("--new-codes")) ? server::renewAccessCodes(base)
                                                               : server::accessCodesFor(base);
        } catch (const Error& error) {
            io.err << error.message() << '\n';
            return ExitFailure;
        }
        server::WebServer web(*database, codes);
        if (const QString problem = web.start(bind, port); !problem.isEmpty()) {
            io.err << problem << '\n';
            return ExitFailure;
        }
        const bool loopback = server::isLoopback(bind);
        const QString host = loopback                           ? bind
                             : bind == QLatin1String("0.0.0.0") ? server::localNetworkAddress()
                                                                : bind;
        io.out << QStringLiteral("Meneur : ") << web.gameMasterUrl(host) << '\n'
               << QStringLiteral("Joueurs : ") << web.playersUrl(host) << '\n';
        io.out.flush();
        if (!loopback)
            io.err << QStringLiteral("Attention : le serveur écoute sur %1 ; tous les appareils "
                                     "du réseau peuvent l'atteindre. Seul le code d'accès les "
                                     "arrête : ne le donnez qu'à la table.\n")
                          .arg(bind);
        io.err << QStringLiteral("Ctrl+C arrête le serveur.\n");
        io.err.flush();

        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
            io.err << QStringLiteral("Le serveur ne peut pas attendre Ctrl+C.\n");
            return ExitFailure;
        }
        QEventLoop loop;
        QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        struct sigaction oldInt = {}, oldTerm = {};
        sigaction(SIGINT, &action, &oldInt);
        sigaction(SIGTERM, &action, &oldTerm);
        loop.exec();
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
        web.stop();
        ::close(signalPipe[0]);
        ::close(signalPipe[1]);
        io.err << QStringLiteral("Serveur arrêté.\n");
        return ExitOk;
    }
};

} // namespace

std::unique_ptr<Command> makeServeCommand() {
    return std::make_unique<ServeCommand>();
}

} // namespace ov::cli
