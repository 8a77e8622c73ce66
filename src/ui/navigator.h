#pragma once
// The navigator of a grid: a row of buttons that move through its table, delete, edit, post,
// cancel and refresh.

#include <QList>
#include <QWidget>
#include <functional>

class QToolButton;

namespace ov::ui {

class TableCursor;

class DbNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Delete, Edit, Post, Cancel, Refresh };
    Q_ENUM(Button)

    DbNavigator(const QList<Button>& buttons, QWidget* parent);

    // The table the buttons act on; Delete and Edit do what the owner of the grid says.
    void bind(TableCursor* cursor, std::function<void()> deleteRow, std::function<void()> editRow);

    QToolButton* button(Button which) const;
    const QList<Button>& buttons() const { return m_buttons; }

    // The question asked before Delete deletes.
    static QString deleteQuestion() { return QStringLiteral("Delete record?"); }

    // What pressing the button does; clicked follows unless the action failed.
    void press(Button which);

Q_SIGNALS:
    void clicked(ov::ui::DbNavigator::Button which);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void act(Button which);
    void updateButtons();

    QList<Button> m_buttons;
    QList<QToolButton*> m_widgets;
    TableCursor* m_cursor = nullptr;
    std::function<void()> m_deleteRow;
    std::function<void()> m_editRow;
};

} // namespace ov::ui
