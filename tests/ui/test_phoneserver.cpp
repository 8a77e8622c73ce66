// « Jouer depuis un téléphone… » in the window: the server on the open base, its addresses and
// QR codes, a run from the phone counted at once, and Ctrl+M showing the memo's chosen lines on
// the players' stream.

#include "menuclicks.h"
#include "screenfixture.h"
#include "server/webserver.h"
#include "ui/mainwindow.h"
#include "ui/phoneserver.h"

#include <QAction>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <future>
#include <httplib.h>

using namespace ov;

namespace {

// Runs the request on another thread while this one turns the window's event loop.
template <typename Work> auto meanwhile(Work work) {
    auto future = std::async(std::launch::async, work);
    while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return future.get();
}

} // namespace

class TestPhoneServer : public QObject, ovtest::MessageFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { recordMessages(); }

    void phoneAndPlayersScreen() {
        ovtest::TempDatabase base;
        ui::MainWindow window(base.path);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(ovtest::chooseFromMenus(window, QStringLiteral("&Fichier"),
                                        {QStringLiteral("actTelephone")}));
        ui::PhoneServerDialog* phone = window.phoneServer();
        QVERIFY(phone && phone->isServing());
        const QString address =
            phone->findChild<QLabel*>(QStringLiteral("lblAdresseMeneur"))->text();
        const QString code = phone->server()->codes().gameMaster;
        QCOMPARE(
            address,
            QStringLiteral("http://127.0.0.1:%1/?code=%2").arg(phone->server()->port()).arg(code));
        QVERIFY(phone->findChild<QLabel*>(QStringLiteral("lblAdresseJoueurs"))
                    ->text()
                    .endsWith(phone->server()->codes().players));
        const quint16 port = phone->server()->port();
        const httplib::Headers bearer{{"Authorization", "Bearer " + code.toStdString()}};

        // A run from the phone shows in the window's count at once.
        auto* count = window.findChild<QLineEdit*>(QStringLiteral("dbePersoNonImprime"));
        const int before = count->text().toInt();
        const int status = meanwhile([&] {
            httplib::Client client("127.0.0.1", port);
            const auto result = client.Post("/api/generate/perso", bearer, "", "application/json");
            return result ? result->status : 0;
        });
        QCOMPARE(status, 200);
        QTRY_COMPARE(count->text().toInt(), before + 1);

        // Ctrl+M: the memo's text, without its second and third lines, on the players' screen.
        window.activateWindow();
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("btnVillage")),
                          Qt::LeftButton);
        const QStringList memo = window.findChild<QPlainTextEdit*>(QStringLiteral("memPerso"))
                                     ->toPlainText()
                                     .split(QLatin1Char('\n'));
        QVERIFY(memo.size() > 4);
        bool answered = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = QApplication::activeModalWidget();
            auto* lines =
                dialog ? dialog->findChild<QListWidget*>(QStringLiteral("lstLignes")) : nullptr;
            if (!lines)
                return;
            lines->item(1)->setCheckState(Qt::Unchecked);
            lines->item(2)->setCheckState(Qt::Unchecked);
            answered = true;
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(answered);
        // A screen that joins now gets the last item shown first.
        const QByteArray item = meanwhile([&] {
            httplib::Client client("127.0.0.1", port);
            client.set_read_timeout(5, 0);
            std::string received;
            client.Get(
                "/api/joueurs/events",
                {{"Authorization", "Bearer " + phone->server()->codes().players.toStdString()}},
                [&](const char* data, size_t size) {
                    received.append(data, size);
                    return received.find("data: ") == std::string::npos ||
                           received.find("\n\n", received.find("data: ")) == std::string::npos;
                });
            const auto start = received.find("data: ") + 6;
            return QByteArray::fromStdString(
                received.substr(start, received.find('\n', start) - start));
        });
        QStringList shown;
        for (const QJsonValue& line :
             QJsonDocument::fromJson(item).object()[QStringLiteral("lines")].toArray())
            shown << line.toString();
        QStringList expected = memo;
        expected.remove(1, 2);
        while (expected.last().isEmpty())
            expected.removeLast();
        QCOMPARE(shown, expected);

        // « Arrêter » ends it.
        phone->findChild<QPushButton*>(QStringLiteral("btnArreter"))->click();
        QVERIFY(!phone->isServing());
    }
};

QTEST_MAIN(TestPhoneServer)
#include "test_phoneserver.moc"
