#include "messages.h"

#include "tables/databaselocation.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTextStream>

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
std::function<QString(const QString&)>& serverBase() {
    static std::function<QString(const QString&)> function;
    return function;
}
std::function<QString(const QString&)>& fileChoice() {
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

QString askServerBase(const QString& caption, const QString& current) {
    if (serverBase()) {
        const auto answer = std::move(serverBase());
        serverBase() = nullptr;
        return answer(caption);
    }
    if (recorder()) {
        recorder()(caption);
        return {};
    }
    DatabaseLocation given;
    try {
        given = DatabaseLocation::parse(current);
    } catch (const Error&) {
    }
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(caption);
    auto* form = new QFormLayout(&dialog);
    auto* host = new QLineEdit(given.host(), &dialog);
    host->setPlaceholderText(QStringLiteral("vide : ce poste"));
    auto* port =
        new QLineEdit(given.port() > 0 ? QString::number(given.port()) : QString(), &dialog);
    port->setPlaceholderText(QStringLiteral("5432"));
    port->setValidator(new QIntValidator(1, 65535, port));
    auto* base = new QLineEdit(given.base(), &dialog);
    auto* user = new QLineEdit(given.user(), &dialog);
    user->setPlaceholderText(QStringLiteral("vide : le nom de session"));
    form->addRow(QStringLiteral("&Serveur :"), host);
    form->addRow(QStringLiteral("&Port :"), port);
    form->addRow(QStringLiteral("&Base :"), base);
    form->addRow(QStringLiteral("&Utilisateur :"), user);
    auto* note = new QLabel(QStringLiteral("Le mot de passe n'est pas demandé ici : il se met dans"
                                           " le fichier ~/.pgpass ou la variable PGPASSWORD."),
                            &dialog);
    note->setWordWrap(true);
    form->addRow(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Ouvrir"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted || base->text().trimmed().isEmpty())
        return {};
    return DatabaseLocation::server(host->text(), port->text().toInt(), base->text(), user->text())
        .text();
}

void setNextServerBase(std::function<QString(const QString&)> answer) {
    serverBase() = std::move(answer);
}

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

void answerMessagesFromEnvironment() {
    if (!qEnvironmentVariableIsSet("OV_ANSWER_MESSAGES"))
        return;
    setMessageRecorder([](const QString& text) {
        QTextStream err(stderr);
        err << text << Qt::endl;
    });
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
