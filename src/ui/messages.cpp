#include "messages.h"

#include <QApplication>
#include <QMessageBox>

namespace ov::ui {

namespace {
std::function<void(const QString&)>& recorder() {
    static std::function<void(const QString&)> function;
    return function;
}
std::function<bool(const QString&)>& confirmation() {
    static std::function<bool(const QString&)> function;
    return function;
}
std::function<SaveAnswer(const QString&)>& saveAnswer() {
    static std::function<SaveAnswer(const QString&)> function;
    return function;
}
} // namespace

void setMessageRecorder(std::function<void(const QString&)> function) {
    recorder() = std::move(function);
}

void setNextConfirmation(std::function<bool(const QString&)> answer) {
    confirmation() = std::move(answer);
}

void showMessage(const QString& text) {
    if (recorder()) {
        recorder()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool askConfirmation(const QString& text) {
    if (confirmation()) {
        const auto answer = std::move(confirmation());
        confirmation() = nullptr;
        return answer(text);
    }
    if (recorder()) {
        recorder()(text);
        return false; // an unanswered question in a test changes nothing
    }
    return QMessageBox::question(
               QApplication::activeWindow(), QApplication::applicationDisplayName(), text,
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void setNextSaveAnswer(std::function<SaveAnswer(const QString&)> answer) {
    saveAnswer() = std::move(answer);
}

SaveAnswer askToSave(const QString& text) {
    if (saveAnswer()) {
        const auto answer = std::move(saveAnswer());
        saveAnswer() = nullptr;
        return answer(text);
    }
    if (recorder()) {
        recorder()(text);
        return SaveAnswer::Cancel;
    }
    const auto button = QMessageBox::question(
        QApplication::activeWindow(), QApplication::applicationDisplayName(), text,
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    return button == QMessageBox::Save      ? SaveAnswer::Save
           : button == QMessageBox::Discard ? SaveAnswer::Discard
                                            : SaveAnswer::Cancel;
}

void guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const Error& error) {
        showMessage(error.message());
    } catch (const std::exception& error) {
        showMessage(QString::fromLocal8Bit(error.what()));
    }
}

} // namespace ov::ui
