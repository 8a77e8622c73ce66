#include "draftmode.h"

#include "designscale.h"
#include "generatorruns.h"
#include "mainform.h"
#include "mainscreen.h"
#include "messages.h"
#include "templates/personalgeneration.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTextBlock>

namespace ov::ui {

namespace {

const QString settingKey = QStringLiteral("generateurs/modeBrouillon");

} // namespace

bool DraftMode::remembered() {
    return QSettings().value(settingKey, false).toBool();
}

void DraftMode::remember(bool on) {
    QSettings().setValue(settingKey, on);
}

DraftMode::DraftMode(TovMainPerso& screen, MainForm& form, GeneratorRuns& runs)
    : QObject(&screen), m_screen(screen), m_form(form), m_runs(runs) {
    // The status line stands under the memo, only while draft mode is on.
    m_status = new QLabel(QStringLiteral("Brouillon — rien n'est enregistré"), &screen);
    m_status->setObjectName(QStringLiteral("lblBrouillon"));
    m_status->adjustSize();
    m_status->move(scaled(422, form.scale), scaled(605, form.scale));
    m_status->hide();
    addKey("actRelancerLigne", QStringLiteral("Relancer la ligne"),
           {QKeySequence(Qt::CTRL | Qt::Key_R)}, &DraftMode::rerollCurrentLine);
    addKey("actVerrouillerLigne", QStringLiteral("Verrouiller ou déverrouiller la ligne"),
           {QKeySequence(Qt::CTRL | Qt::Key_L)}, &DraftMode::toggleCurrentLock);
    addKey("actRelancerTout", QStringLiteral("Relancer tout"),
           {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)}, &DraftMode::rerollAll);
    addKey("actGarderBrouillon", QStringLiteral("Garder le brouillon"),
           {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
           &DraftMode::keep);
    addKey("actJeterBrouillon", QStringLiteral("Jeter le brouillon"),
           {QKeySequence(Qt::Key_Escape)}, &DraftMode::discard);
    setOn(remembered());
}

DraftMode::~DraftMode() = default;

QAction* DraftMode::addKey(const char* name, const QString& text, const QList<QKeySequence>& keys,
                           void (DraftMode::*slot)()) {
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setEnabled(false); // only while a draft is shown
    connect(action, &QAction::triggered, this, [this, slot] { guarded([&] { (this->*slot)(); }); });
    m_screen.addAction(action);
    m_keys.append(action);
    return action;
}

void DraftMode::setOn(bool on) {
    m_on = on;
    m_status->setVisible(on);
    if (!on && m_draft)
        discard();
}

quint32 DraftMode::nextSeed() {
    return Draft::seedFrom(m_screen.randomSource());
}

void DraftMode::start(OutputKind kind) {
    begin(std::make_unique<Draft>(*m_screen.database(), m_runs.clock(), kind, nextSeed()));
}

void DraftMode::start(const PersonalGenerator& generator) {
    begin(std::make_unique<Draft>(*m_screen.database(), m_runs.clock(), generator, nextSeed()));
}

void DraftMode::startTableDraw(const QString& table, const QString& title) {
    begin(std::make_unique<Draft>(*m_screen.database(), m_runs.clock(), table, title, nextSeed()));
}

void DraftMode::begin(std::unique_ptr<Draft> draft) {
    m_draft = std::move(draft);
    for (QAction* action : std::as_const(m_keys))
        action->setEnabled(true);
    // The memo holds the draft: it is read, not typed into, and its cursor chooses the line.
    QPlainTextEdit* memo = m_form.memPerso;
    memo->setReadOnly(true);
    memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    show(m_draft->startMessages());
    QTextCursor cursor(memo->document()->findBlockByNumber(m_draft->lines().size() > 1 ? 1 : 0));
    memo->setTextCursor(cursor);
    memo->setFocus();
}

int DraftMode::currentLine() const {
    return m_form.memPerso->textCursor().blockNumber();
}

void DraftMode::show(const QStringList& messages) {
    QPlainTextEdit* memo = m_form.memPerso;
    const int line = currentLine();
    memo->setPlainText(m_draft->lines().join(QLatin1Char('\n')));
    // Locked lines are marked by their background, their text left as it is.
    QList<QTextEdit::ExtraSelection> marks;
    for (int k = 1; k < m_draft->lines().size(); ++k) {
        if (!m_draft->isLocked(k))
            continue;
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(memo->document()->findBlockByNumber(k));
        mark.format.setBackground(QColor(0xff, 0xe0, 0x99));
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        marks.append(mark);
    }
    memo->setExtraSelections(marks);
    memo->setTextCursor(QTextCursor(memo->document()->findBlockByNumber(line)));
    for (const QString& message : messages)
        showMessage(message);
}

void DraftMode::rerollCurrentLine() {
    const int line = currentLine();
    show(m_draft->reroll(line == 0 && m_draft->rerollsWhole() ? 1 : line));
}

void DraftMode::toggleCurrentLock() {
    const int line = currentLine();
    m_draft->setLocked(line, !m_draft->isLocked(line));
    show({});
}

void DraftMode::rerollAll() {
    show(m_draft->rerollAll());
}

void DraftMode::keep() {
    const KeptDraft kept = m_draft->keep();
    show({});
    end();
    m_form.memPerso->setPlainText(kept.lines.join(QLatin1Char('\n')));
    // The count follows what was kept, as after a run that stores.
    if (UnprintedCount* count = m_screen.queCount()) {
        if (kept.kind)
            count->setStatement(unprintedCountStatement(*kept.kind));
        else
            count->countResultsOf(kept.generator);
        m_runs.showCount();
    }
}

void DraftMode::discard() {
    end();
    m_form.memPerso->clear();
}

void DraftMode::end() {
    m_draft.reset();
    for (QAction* action : std::as_const(m_keys))
        action->setEnabled(false);
    QPlainTextEdit* memo = m_form.memPerso;
    memo->setExtraSelections({});
    memo->setReadOnly(false);
    memo->setTextInteractionFlags(Qt::TextEditorInteraction);
}

} // namespace ov::ui
