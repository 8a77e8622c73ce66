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

} // namespace ov
