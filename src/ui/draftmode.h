#pragma once
// Draft mode of the main screen: runs fill the memo without storing; the line under the memo's
// cursor is re-rolled (Ctrl+R) or locked (Ctrl+L), everything unlocked re-rolled (Ctrl+Maj+R),
// the draft kept (Ctrl+Entrée) or thrown away (Échap).

#include "drafts/draft.h"

#include <QObject>
#include <memory>

class QAction;
class QLabel;

namespace ov::ui {

struct MainForm;
class GeneratorRuns;
class TovMainPerso;

class DraftMode : public QObject {
    Q_OBJECT
public:
    // Whether draft mode is on, as the user last left it (off at first).
    static bool remembered();
    static void remember(bool on);

    DraftMode(TovMainPerso& screen, MainForm& form, GeneratorRuns& runs);
    ~DraftMode() override;

    bool isOn() const { return m_on; }
    void setOn(bool on);
    // The draft shown, if any.
    const Draft* draft() const { return m_draft.get(); }

    // A run in draft mode: shown in the memo, stored only when kept. Raise Error when refused.
    void start(OutputKind kind);
    void start(const PersonalGenerator& generator);
    void startTableDraw(const QString& table, const QString& title);

public Q_SLOTS:
    void rerollCurrentLine();
    void toggleCurrentLock();
    void rerollAll();
    void keep();
    void discard();

private:
    QAction* addKey(const char* name, const QString& text, const QList<QKeySequence>& keys,
                    void (DraftMode::*slot)());
    void begin(std::unique_ptr<Draft> draft);
    void show(const QStringList& messages);
    void end();
    int currentLine() const;
    quint32 nextSeed();

    TovMainPerso& m_screen;
    MainForm& m_form;
    GeneratorRuns& m_runs;
    bool m_on = false;
    std::unique_ptr<Draft> m_draft;
    QLabel* m_status = nullptr;
    QList<QAction*> m_keys;
};

} // namespace ov::ui
