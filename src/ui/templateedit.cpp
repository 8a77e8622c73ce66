#include "templateedit.h"
#include "viewsettings.h"

#include "templates/frenchpass.h"
#include "templates/templatetokens.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextBlock>

namespace ov::ui {

TemplateEdit::TemplateEdit(QWidget* parent) : QPlainTextEdit(parent) {
    followZoom(this, QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(true);
    m_ids = new QStringListModel(this);
    m_completer = new QCompleter(m_ids, this);
    m_completer->setObjectName(QStringLiteral("cmpTables"));
    m_completer->setWidget(this);
    m_completer->setCompletionMode(QCompleter::PopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this,
            &TemplateEdit::insertCompletion);
}

void TemplateEdit::setTableIds(const QStringList& ids) {
    m_tableIds = ids;
    m_ids->setStringList(ids);
}

void TemplateEdit::goTo(int line, int column) {
    const QTextBlock block = document()->findBlockByNumber(qMax(0, line - 1));
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + qBound(0, column - 1, block.length() - 1));
    setTextCursor(cursor);
    centerCursor();
    setFocus(Qt::OtherFocusReason);
}

std::optional<TemplateEdit::Prefix> TemplateEdit::namePrefix() const {
    const QTextCursor cursor = textCursor();
    const QString before = cursor.block().text().left(cursor.positionInBlock());
    int start = int(before.size());
    while (start > 0 &&
           (before.at(start - 1).isLetterOrNumber() || before.at(start - 1) == QLatin1Char('_')))
        --start;
    const auto blanksBefore = [&](int at) {
        while (at > 0 &&
               (before.at(at - 1) == QLatin1Char(' ') || before.at(at - 1) == QLatin1Char('\t')))
            --at;
        return at;
    };
    const int mark = blanksBefore(start);
    if (mark == 0)
        return std::nullopt;
    const QChar c = before.at(mark - 1);
    if (c == QLatin1Char('[') || c == QLatin1Char('=') || c == QLatin1Char('*'))
        return Prefix{before.mid(start), false};
    // [table : name], inside an open bracket
    if (c == QLatin1Char(':') && before.lastIndexOf(QLatin1Char('[')) > before.lastIndexOf(u']'))
        return Prefix{before.mid(start), true};
    // {le name}: an article word right after the brace, then blanks
    if (mark < start && c.isLetter()) {
        int word = mark;
        while (word > 0 && before.at(word - 1).isLetter())
            --word;
        const int brace = blanksBefore(word);
        if (brace > 0 && before.at(brace - 1) == QLatin1Char('{') &&
            agreeingArticle(before.mid(word, mark - word), Gender::None))
            return Prefix{before.mid(start), true};
    }
    return std::nullopt;
}

QStringList TemplateEdit::rememberedBeforeCursor() const {
    const QTextCursor cursor = textCursor();
    const QVector<QSet<QString>> byLine = rememberedNamesByLine(toPlainText());
    const int line = cursor.blockNumber();
    QSet<QString> known = line < byLine.size() ? byLine.at(line) : QSet<QString>();
    templateLineTokens(cursor.block().text().left(cursor.positionInBlock()), known);
    QStringList names(known.cbegin(), known.cend());
    names.sort(Qt::CaseInsensitive);
    return names;
}

void TemplateEdit::insertCompletion(const QString& completion) {
    QTextCursor cursor = textCursor();
    const auto prefix = namePrefix();
    const int typed = prefix ? int(prefix->text.size()) : 0;
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, typed);
    cursor.insertText(completion);
    setTextCursor(cursor);
}

void TemplateEdit::keyPressEvent(QKeyEvent* event) {
    QAbstractItemView* popup = m_completer->popup();
    if (popup->isVisible()) {
        switch (event->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return:
        case Qt::Key_Tab:
        case Qt::Key_Escape:
        case Qt::Key_Backtab:
            event->ignore(); // the completer takes these
            return;
        default:
            break;
        }
    }
    const bool forced = event->key() == Qt::Key_Space && (event->modifiers() & Qt::ControlModifier);
    if (!forced)
        QPlainTextEdit::keyPressEvent(event);
    const std::optional<Prefix> prefix = namePrefix();
    const bool typed = !event->text().isEmpty() && event->text().at(0).isPrint();
    if (!prefix || (!forced && (!typed || prefix->text.size() < (prefix->remembered ? 1 : 2)))) {
        popup->hide();
        return;
    }
    m_ids->setStringList(prefix->remembered ? rememberedBeforeCursor() : m_tableIds);
    m_completer->setCompletionPrefix(prefix->text);
    if (m_completer->completionCount() == 0) {
        popup->hide();
        return;
    }
    popup->setCurrentIndex(m_completer->completionModel()->index(0, 0));
    QRect rect = cursorRect();
    rect.setWidth(popup->sizeHintForColumn(0) + popup->verticalScrollBar()->sizeHint().width());
    m_completer->complete(rect);
}

} // namespace ov::ui
