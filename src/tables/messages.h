#pragma once
// Where modal messages go: a message box in the window, standard error in the tool, a list in
// tests.

#include <QString>
#include <QStringList>

namespace ov {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const QString& text) = 0;
};

class RecordingMessageSink : public MessageSink {
public:
    void showMessage(const QString& text) override { messages.append(text); }
    QStringList messages;
};

// Passes messages on and keeps those of the current run.
class RecordingRelay : public MessageSink {
public:
    explicit RecordingRelay(MessageSink& target) : m_target(target) {}
    void showMessage(const QString& text) override {
        messages.append(text);
        m_target.showMessage(text);
    }
    QStringList messages;

private:
    MessageSink& m_target;
};

} // namespace ov
