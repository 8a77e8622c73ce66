#include "reportforms.h"

#include "messages.h"
#include "preview.h"
#include "reports/reportfonts.h"
#include "reports/reportform.h"
#include "tables/database.h"
#include "tables/errors.h"

namespace ov::ui {

ReportForms::ReportForms(const Database& database, QObject* parent)
    : QObject(parent), m_database(database), m_clock(std::make_shared<Clock>()) {
    ensureReportFonts();
    setPreviewPresenter(std::make_unique<WindowPreviewPresenter>());
    for (OutputKind kind : allOutputKinds) {
        auto form = std::make_unique<ReportForm>(database, kind);
        // A table missing at start-up is reported by the main screen; the cursor opens again
        // when its report is asked for, and its message is shown then.
        try {
            form->cursor().open();
        } catch (const Error&) {
        }
        m_forms[static_cast<size_t>(kind)] = std::move(form);
    }
}

ReportForms::~ReportForms() = default;

ReportForm& ReportForms::form(OutputKind kind) {
    return *m_forms[static_cast<size_t>(kind)];
}

void ReportForms::setPreviewPresenter(std::unique_ptr<PreviewPresenter> presenter) {
    m_presenter = std::move(presenter);
    // Printing to a file never writes over the store.
    m_presenter->setOutputCheck(
        [database = &m_database](const QString& path) { return database->ownFileRefusal(path); });
}

void ReportForms::setClock(std::shared_ptr<const Clock> clock) {
    m_clock = clock ? std::move(clock) : std::make_shared<Clock>();
}

void ReportForms::print(OutputKind kind, UnprintedCount& count, QWidget* parent) {
    guarded([&] {
        const ReportDocument document = form(kind).build(m_clock->now());
        m_presenter->present(document, parent, [this, kind] { afterPrint(kind); });
    });
    refreshCount(count);
}

void ReportForms::print(const ReportDefinition& definition, UnprintedCount& count,
                        QWidget* parent) {
    guarded([&] {
        ReportForm form(m_database, definition);
        const ReportDocument document = form.build(m_clock->now());
        m_presenter->present(document, parent,
                             [&] { guarded([&] { form.afterPrint(m_clock->now().date()); }); });
    });
    refreshCount(count);
}

void ReportForms::refreshCount(UnprintedCount& count) {
    guarded([&] {
        count.close();
        count.open();
        Q_EMIT countRefreshed(count.value());
    });
}

void ReportForms::afterPrint(OutputKind kind) {
    guarded([&] {
        switch (kind) {
        case OutputKind::Perso:
            qrePersoAfterPrint();
            break;
        case OutputKind::Tresor:
            ovTresorReportAfterPrint();
            break;
        case OutputKind::Rencontre:
            qreRencontreAfterPrint();
            break;
        case OutputKind::Village:
            qreVillageAfterPrint();
            break;
        }
    });
}

void ReportForms::stamp(OutputKind kind) {
    form(kind).afterPrint(m_clock->now().date());
}

void ReportForms::qrePersoAfterPrint() {
    stamp(OutputKind::Perso);
}

void ReportForms::ovTresorReportAfterPrint() {
    stamp(OutputKind::Tresor);
}

void ReportForms::qreRencontreAfterPrint() {
    stamp(OutputKind::Rencontre);
}

void ReportForms::qreVillageAfterPrint() {
    stamp(OutputKind::Village);
}

} // namespace ov::ui
