#include "generatorruns.h"

#include "mainform.h"
#include "reportforms.h"
#include "reports/reportdefinition.h"
#include "tables/errors.h"
#include "tables/outputs.h"
#include "templates/personalgeneration.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>

namespace ov::ui {

GeneratorRuns::GeneratorRuns(MainForm& form, QObject* parent) : QObject(parent), m_form(form) {}

void GeneratorRuns::useStore(const Database& database, UnprintedCount& count, TableDraw& draw) {
    m_database = &database;
    m_count = &count;
    m_draw = &draw;
}

void GeneratorRuns::showCount() {
    m_count->open();
    countReopened(m_count->value());
}

void GeneratorRuns::setReportForms(ReportForms* forms) {
    if (m_reports)
        disconnect(m_reports, nullptr, this, nullptr);
    m_reports = forms;
    if (forms)
        connect(forms, &ReportForms::countRefreshed, this,
                [this](qint64 count) { countReopened(count); });
}

const RunReport& GeneratorRuns::run(OutputKind kind) {
    Generation generation(*m_database, *m_count, *m_clock, *m_draw, m_sink);
    m_lastRun = generation.run(kind, *this);
    return m_lastRun;
}

void GeneratorRuns::requirePrintable() const {
    if (!m_count)
        throw DatabaseError(
            QStringLiteral("Impression impossible : la base de données n'est pas ouverte."));
    if (!m_reports)
        throw DatabaseError(QStringLiteral(
            "Impression impossible : les formulaires d'impression n'ont pas pu être créés."));
}

void GeneratorRuns::print(OutputKind kind, QWidget* parent) {
    requirePrintable();
    m_reports->print(kind, *m_count, parent);
}

const PersonalRunReport& GeneratorRuns::runPersonal(const PersonalGenerator& generator) {
    PersonalGeneration generation(*m_database, *m_count, *m_clock, *m_draw, m_sink);
    m_lastPersonalRun = generation.run(generator, *this);
    return m_lastPersonalRun;
}

void GeneratorRuns::drawExpanded(const QString& table, const QString& name) {
    PersonalRun run(*m_database, *m_clock, *m_draw, m_sink);
    const std::optional<QString> text = run.expandDraw(table);
    if (!text)
        return;
    memoCleared();
    lineAdded(tableDrawTitle(table, name));
    lineAdded(*text);
}

QString tableDrawTitle(const QString& table, const QString& name) {
    return name.isEmpty() ? QStringLiteral("Tirage sur la table %1 :").arg(table)
                          : QStringLiteral("Tirage sur la table %1 (%2) :").arg(table, name);
}

void GeneratorRuns::printPersonal(const PersonalGenerator& generator, QWidget* parent) {
    requirePrintable();
    m_reports->print(personalReportDefinition(generator.id, generator.nom), *m_count, parent);
}

// ---- What a run shows ----

void GeneratorRuns::countClosed() {
    m_form.dbePersoNonImprime->clear();
}

void GeneratorRuns::gridsHidden() {
    for (QTableView* grid : {m_form.dbgMaster, m_form.dbgSlave}) {
        grid->hide();
        grid->setEnabled(false);
    }
}

void GeneratorRuns::memoCleared() {
    m_form.memPerso->clear();
}

void GeneratorRuns::lineAdded(const QString& line) {
    m_form.memPerso->appendPlainText(line);
}

void GeneratorRuns::lineReplaced(int index, const QString& line) {
    const QTextBlock block = m_form.memPerso->document()->findBlockByNumber(index);
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(line);
}

void GeneratorRuns::gridsShown() {
    m_form.memPerso->viewport()->update();
    for (QTableView* grid : {m_form.dbgSlave, m_form.dbgMaster}) {
        grid->show();
        grid->setEnabled(true);
    }
}

void GeneratorRuns::countReopened(qint64 count) {
    m_form.dbePersoNonImprime->setText(QString::number(count));
}

} // namespace ov::ui
