#include "messages.h"

#include <QApplication>
#include <QFileDialog>
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
std::function<QString(const QString&)>& fileChoice() {
    static std::function<QString(const QString&)> function;
    return function;
}
} // namespace

void setNextFileChoice(std::function<QString(const QString&)> answer) {
    fileChoice() = std::move(answer);
}

QString chooseFile(FileChoice kind, const QString& caption, const QString& filter) {
    if (fileChoice()) {
        const auto answer = std::move(fileChoice());
        fileChoice() = nullptr;
        return answer(caption);
    }
    if (recorder()) {
        recorder()(caption);
        return QString(); // an unanswered dialog in a test is cancelled
    }
    return kind == FileChoice::Open ? QFileDialog::getOpenFileName(QApplication::activeWindow(),
                                                                   caption, QString(), filter)
                                    : QFileDialog::getSaveFileName(QApplication::activeWindow(),
                                                                   caption, QString(), filter);
}

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
