#pragma once
// The monospace editor of a template, which completes table Ids after "[", "*" or "=" (at once
// after two letters, or on Ctrl+Espace), and remembered names after an article "{le " or after
// ":" in brackets (at once after one letter, or on Ctrl+Espace).

#include <QPlainTextEdit>
#include <optional>

class QCompleter;
class QStringListModel;

namespace ov::ui {

class TemplateEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TemplateEdit(QWidget* parent = nullptr);

    void setTableIds(const QStringList& ids);
    QCompleter* completer() const { return m_completer; }
    // Puts the cursor at a line and a column, both from 1, and takes the focus.
    void goTo(int line, int column);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The part of a name just before the cursor, and whether it names a remembered value (else
    // a table), or nothing where no name is written.
    struct Prefix {
        QString text;
        bool remembered = false;
    };
    std::optional<Prefix> namePrefix() const;
    // The names remembered before the cursor: on the lines above and before it on its line.
    QStringList rememberedBeforeCursor() const;
    void insertCompletion(const QString& completion);

    QCompleter* m_completer = nullptr;
    QStringListModel* m_ids = nullptr; // what the completer offers now
    QStringList m_tableIds;
};

} // namespace ov::ui
