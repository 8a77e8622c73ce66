#pragma once
// The monospace editor of a template, which completes table Ids after "[", "*" or "=" (at once
// after two letters, or on Ctrl+Espace).

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
    // The part of a table Id just before the cursor, or nothing where no table Id is written.
    std::optional<QString> tablePrefix() const;
    void insertCompletion(const QString& completion);

    QCompleter* m_completer = nullptr;
    QStringListModel* m_ids = nullptr;
};

} // namespace ov::ui
