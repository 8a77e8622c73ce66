#include "navigator.h"

#include "messages.h"
#include "tablecursor.h"

#include <QToolButton>

namespace ov::ui {

namespace {
struct ButtonLook {
    const char* objectName;
    const char* glyph;
    const char* hint;
};

ButtonLook lookOf(DbNavigator::Button button) {
    switch (button) {
    case DbNavigator::First:
        return {"nbFirst", "|◄", "Premier"};
    case DbNavigator::Prior:
        return {"nbPrior", "◄", "Précédent"};
    case DbNavigator::Next:
        return {"nbNext", "►", "Suivant"};
    case DbNavigator::Last:
        return {"nbLast", "►|", "Dernier"};
    case DbNavigator::Delete:
        return {"nbDelete", "−", "Supprimer"};
    case DbNavigator::Edit:
        return {"nbEdit", "▲", "Modifier"};
    case DbNavigator::Post:
        return {"nbPost", "✔", "Valider"};
    case DbNavigator::Cancel:
        return {"nbCancel", "✖", "Annuler"};
    case DbNavigator::Refresh:
        return {"nbRefresh", "↻", "Rafraîchir"};
    }
    return {"", "", ""};
}
} // namespace

DbNavigator::DbNavigator(const QList<Button>& buttons, QWidget* parent)
    : QWidget(parent), m_buttons(buttons) {
    setFocusPolicy(Qt::TabFocus);
    for (Button which : m_buttons) {
        const ButtonLook look = lookOf(which);
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromUtf8(look.objectName));
        button->setText(QString::fromUtf8(look.glyph));
        button->setToolTip(QString::fromUtf8(look.hint));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, which] { press(which); });
        m_widgets.append(button);
    }
    updateButtons();
}

void DbNavigator::bind(TableCursor* cursor, std::function<void()> deleteRow,
                       std::function<void()> editRow) {
    m_cursor = cursor;
    m_deleteRow = std::move(deleteRow);
    m_editRow = std::move(editRow);
    connect(cursor, &TableCursor::stateChanged, this, &DbNavigator::updateButtons);
    updateButtons();
}

QToolButton* DbNavigator::button(Button which) const {
    const int place = int(m_buttons.indexOf(which));
    return place < 0 ? nullptr : m_widgets.at(place);
}

void DbNavigator::updateButtons() {
    const bool open = m_cursor && m_cursor->isOpen();
    for (QToolButton* button : m_widgets)
        button->setEnabled(open);
}

void DbNavigator::press(Button which) {
    guarded([&] {
        act(which);
        Q_EMIT clicked(which);
    });
}

void DbNavigator::act(Button which) {
    if (!m_cursor)
        return;
    m_cursor->requireOpen();
    switch (which) {
    case First:
        m_cursor->first();
        break;
    case Prior:
        m_cursor->prior();
        break;
    case Next:
        m_cursor->next();
        break;
    case Last:
        m_cursor->last();
        break;
    case Delete:
        if (m_cursor->row() >= 0 && askConfirmation(deleteQuestion()) && m_deleteRow)
            m_deleteRow();
        break;
    case Edit:
        if (m_editRow)
            m_editRow();
        break;
    case Post:
        m_cursor->post();
        break;
    case Cancel:
        m_cursor->cancel();
        break;
    case Refresh:
        m_cursor->refresh();
        break;
    }
}

void DbNavigator::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int count = int(m_widgets.size());
    if (count == 0)
        return;
    // The buttons share the width evenly, the remainder going to the first ones.
    const int base = width() / count;
    int extra = width() % count;
    int x = 0;
    for (QToolButton* button : m_widgets) {
        const int w = base + (extra > 0 ? 1 : 0);
        if (extra > 0)
            --extra;
        button->setGeometry(x, 0, w, height());
        x += w;
    }
}

} // namespace ov::ui
