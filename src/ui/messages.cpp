#include "messages.h"

#include <QPushButton>
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
std::function<int(const QString&, const QStringList&)>& choice() {
    static std::function<int(const QString&, const QStringList&)> function;
    return function;
}
std::function<QString(const QString&)>& databaseFile() {
    static std::function<QString(const QString&)> function;
    return function;
}
} // namespace

int askChoice(const QString& text, const QStringList& answers) {
    if (choice()) {
        const auto answer = std::move(choice());
        choice() = nullptr;
        return answer(text, answers);
    }
    if (recorder()) {
        recorder()(text);
        return int(answers.size()) - 1; // an unanswered question in a test takes the last answer
    }
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::NoButton, QApplication::activeWindow());
    QList<QPushButton*> buttons;
    for (const QString& answer : answers)
        buttons.append(box.addButton(answer, QMessageBox::AcceptRole));
    if (!buttons.isEmpty())
        box.setEscapeButton(buttons.last());
    box.exec();
    const int chosen = int(buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton())));
    return chosen < 0 ? int(answers.size()) - 1 : chosen;
}

void setNextChoice(std::function<int(const QString&, const QStringList&)> answer) {
    choice() = std::move(answer);
}

QString askDatabaseFile(const QString& caption) {
    if (databaseFile()) {
        const auto answer = std::move(databaseFile());
        databaseFile() = nullptr;
        return answer(caption);
    }
    if (recorder())
        return {};
    return QFileDialog::getOpenFileName(
        QApplication::activeWindow(), caption, QString(),
        QStringLiteral("Bases Orvanthe (*.db);;Tous les fichiers (*)"));
}

void setNextDatabaseFile(std::function<QString(const QString&)> answer) {
    databaseFile() = std::move(answer);
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
