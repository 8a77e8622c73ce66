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
    QString name() const override { return QStringLiteral("print"); }
    QString usage() const override {
        return QStringLiteral("orvanthe-cli print perso|tresor|rencontre|village|ID --pdf FICHIER"
                              " [--no-stamp] [--database FICHIER]");
    }
    int run(const QStringList& args, Streams& io) override {
        Options options;
        if (auto problem =
                Options::parse(args, {QStringLiteral("--pdf"), QStringLiteral("--database")},
                               {QStringLiteral("--no-stamp")}, options))
            return usageError(io, *problem, *this);
        if (options.positional.size() != 1)
            return usageError(io, QStringLiteral("donnez un seul genre de rapport"), *this);
        // A built-in kind, or the Id of a personal generator, looked up once the base is open.
        const auto kind = outputKindFromName(options.positional.first());
        const QString path = options.value(QStringLiteral("--pdf"));
        if (!options.has(QStringLiteral("--pdf")) || path.isEmpty())
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
            const int pages = writePdf(document, path, io);
            if (pages == 0)
                return ExitFailure;
            io.out << QStringLiteral("%1 : %2 enregistrement(s) sur %3 page(s) dans %4\n")
                          .arg(document.definition().caption)
                          .arg(document.rows().size())
                          .arg(pages)
                          .arg(path);
            if (!stamp) {
                io.out << QStringLiteral("Aucune date d'impression enregistrée.\n");
            } else {
                const QDate today = clock.now().date();
                const int stamped = form.afterPrint(today);
                io.out << QStringLiteral("%1 enregistrement(s) marqué(s) imprimé(s) le %2\n")
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
    // Writes the whole file or nothing; returns the pages written, 0 after a failure.
    static int writePdf(const ReportDocument& document, const QString& path, Streams& io) {
        OutputFile file(path);
        if (!file.open()) {
            io.err << cannotWriteMessage(path, file.errorString()) << '\n';
            return 0;
        }
        int pages = 0;
        {
            QPdfWriter writer(&file.device());
            writer.setCreator(QStringLiteral("Orvanthe"));
            const ReportDefinition& definition = document.definition();
            writer.setTitle(definition.title.isEmpty() ? definition.caption : definition.title);
            pages = document.print(writer);
        }
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
