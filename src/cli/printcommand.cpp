// The verb print: renders a report to a PDF file, a completed print job that stamps its records.

#include "command.h"
#include "personalcommands.h"
#include "reports/reportfonts.h"
#include "reports/reportform.h"
#include "session.h"
#include "tables/clock.h"
#include "tables/errors.h"
#include "tables/savefile.h"

#include <QDir>
#include <QGuiApplication>
#include <QPdfWriter>

namespace ov::cli {

namespace {

class PrintCommand : public Command {
public:
    VerbDeclaration declaration() const override {
        return {
            QStringLiteral("print"),
            QStringLiteral("perso|tresor|rencontre|village|ID"),
            QStringLiteral("Écrit en PDF le rapport A4 des textes qui attendent l'impression, "
                           "comme les boutons Impression de la fenêtre."),
            QStringLiteral("Un rapport écrit marque ses textes imprimés à la date du jour.\n"
                           "Le genre s'écrit en minuscules ou en majuscules, avec ou sans "
                           "accent (trésor). Avec l'identifiant ID d'un générateur personnel, le "
                           "rapport est celui de ses textes."),
            {{QStringLiteral("pdf"), QStringLiteral("FICHIER"),
              QStringLiteral("le fichier PDF à écrire ; « - » l'écrit sur la sortie standard"),
              QString(), true},
             {QStringLiteral("no-stamp"), QString(),
              QStringLiteral("ne marque pas les textes imprimés"),
              QStringLiteral("les textes sont marqués imprimés")},
             databaseOption()},
            {QStringLiteral("orvanthe-cli print perso --pdf persos.pdf"),
             QStringLiteral("orvanthe-cli print village --pdf - --no-stamp | lp")}};
    }
    int run(const Options& options, Streams& io) override {
        if (options.positional.size() != 1)
            return usageError(io, QStringLiteral("donnez un seul genre de rapport"), *this);
        // A built-in kind, or the Id of a personal generator, looked up once the base is open.
        const auto kind = outputKindFromName(options.positional.first());
        const QString path = options.value(QStringLiteral("--pdf"));
        if (path.isEmpty())
            return usageError(io, QStringLiteral("--pdf FICHIER est obligatoire"), *this);
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
            io.err << QStringLiteral("L'impression demande une application graphique"
                                     " (QGuiApplication).\n");
            return ExitFailure;
        }
        ensureReportFonts();
        try {
            auto database = openDatabase(options);
            if (const QString refusal = database->ownFileRefusal(path); !refusal.isEmpty()) {
                io.err << refusal << '\n';
                return ExitFailure;
            }
            const bool stamp = !options.has(QStringLiteral("--no-stamp"));
            if (stamp && database->isReadOnly()) {
                io.err << QStringLiteral("La base %1 est en lecture seule : les dates d'impression"
                                         " ne peuvent pas y être enregistrées. Rien n'a été"
                                         " imprimé ; --no-stamp imprime sans les enregistrer.\n")
                              .arg(QDir::toNativeSeparators(database->path()));
                return ExitFailure;
            }
            const Clock clock;
            std::optional<ReportDefinition> personal;
            if (!kind) {
                personal = personalReport(*database, options.positional.first());
                if (!personal)
                    return usageError(io,
                                      QStringLiteral("genre de rapport inconnu : ") +
                                          options.positional.first(),
                                      *this);
            }
            ReportForm form =
                kind ? ReportForm(*database, *kind) : ReportForm(*database, *personal);
            const ReportDocument document = form.build(clock.now());
            if (document.isEmpty()) {
                io.err << QStringLiteral("Rien à imprimer.\n");
                return ExitOk;
            }
            const bool toStandardOutput = isStandardOutput(path);
            const int pages = toStandardOutput ? writePdfToStandardOutput(document, io)
                                               : writePdf(document, path, io);
            if (pages == 0)
                return ExitFailure;
            // With the PDF on standard output, what was done goes to standard error.
            QTextStream& report = toStandardOutput ? io.err : io.out;
            report << QStringLiteral("%1 : %2 enregistrement(s) sur %3 page(s) dans %4\n")
                          .arg(document.definition().caption)
                          .arg(document.rowCount())
                          .arg(pages)
                          .arg(toStandardOutput ? QStringLiteral("la sortie standard") : path);
            if (!stamp) {
                report << QStringLiteral("Aucune date d'impression enregistrée.\n");
            } else {
                const QDate today = clock.now().date();
                const int stamped = form.afterPrint(today);
                report << QStringLiteral("%1 enregistrement(s) marqué(s) imprimé(s) le %2\n")
                              .arg(stamped)
                              .arg(printDateStamp(today));
            }
        } catch (const Error& error) {
            io.err << error.message() << '\n';
            return ExitFailure;
        }
        return ExitOk;
    }

private:
    static int printTo(const ReportDocument& document, QIODevice& device) {
        QPdfWriter writer(&device);
        writer.setCreator(QStringLiteral("Orvanthe"));
        const ReportDefinition& definition = document.definition();
        writer.setTitle(definition.title.isEmpty() ? definition.caption : definition.title);
        return document.print(writer);
    }

    // The whole PDF is made before its first byte goes out.
    static int writePdfToStandardOutput(const ReportDocument& document, Streams& io) {
        int pages = 0;
        const QString failure = writeStandardOutputWhole(
            [&](QIODevice& device) {
                pages = printTo(document, device);
                return pages == 0 ? QStringLiteral("aucune page") : QString();
            },
            io);
        if (!failure.isEmpty()) {
            io.err << QStringLiteral("Impossible d'écrire le rapport sur la sortie standard.\n");
            return 0;
        }
        return pages;
    }

    // Writes the whole file or nothing; returns the pages written, 0 after a failure.
    static int writePdf(const ReportDocument& document, const QString& path, Streams& io) {
        OutputFile file(path);
        if (!file.open()) {
            io.err << cannotWriteMessage(path, file.errorString()) << '\n';
            return 0;
        }
        const int pages = printTo(document, file.device());
        if (pages == 0) {
            file.cancel();
            io.err << cannotWriteMessage(path, file.errorString()) << '\n';
            return 0;
        }
        if (const QString failure = file.commit(); !failure.isEmpty()) {
            io.err << cannotWriteMessage(path, failure) << '\n';
            return 0;
        }
        return pages;
    }
};

} // namespace

std::unique_ptr<Command> makePrintCommand() {
    return std::make_unique<PrintCommand>();
}

} // namespace ov::cli
