#pragma once
// The window's modal messages and the guard that every event handler runs under.

#include "tables/errors.h"
#include "tables/messages.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace ov::ui {

// Shows a modal message box with the text and one OK button, unless a test recorder is set.
void showMessage(const QString& text);

// Tests route every message to a recorder instead of a box; an empty function restores boxes.
void setMessageRecorder(std::function<void(const QString&)> recorder);

// The asking box ("Delete record?" and the like): true for yes. Tests pre-answer it.
bool askConfirmation(const QString& text);
void setNextConfirmation(std::function<bool(const QString&)> answer);

// A question with several answers, one button each: the index of the answer chosen (the last
// one when the box is closed). Tests pre-answer it.
int askChoice(const QString& text, const QStringList& answers);
void setNextChoice(std::function<int(const QString& text, const QStringList& answers)> answer);

// The choice of a database file to open: its path, or an empty text when given up. Tests
// pre-answer it.
QString askDatabaseFile(const QString& caption);
void setNextDatabaseFile(std::function<QString(const QString& caption)> answer);

// The message sink of the window.
class WindowMessageSink : public MessageSink {
public:
    void showMessage(const QString& text) override { ui::showMessage(text); }
};

// Runs an event handler: an error's message is shown and the handler stops there.
void guarded(const std::function<void()>& handler);

} // namespace ov::ui
