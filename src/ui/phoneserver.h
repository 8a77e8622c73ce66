#pragma once
// « Jouer depuis un téléphone… »: the window hosts the web server on its open base, shows both
// addresses as text and QR codes, and « Montrer aux joueurs » sends a text to the players' screen.

#include <QDialog>
#include <QImage>
#include <QStringList>
#include <memory>

class QLabel;
class QPushButton;
class QRadioButton;

namespace ov {
class Database;
namespace server {
class WebServer;
}
} // namespace ov

namespace ov::ui {

class TovMainPerso;

// A QR code of the text, black modules on white with a quiet zone, each module scale pixels.
QImage qrCodeImage(const QString& text, int scale = 4);

class PhoneServerDialog : public QDialog {
    Q_OBJECT
public:
    explicit PhoneServerDialog(QWidget* parent = nullptr);
    ~PhoneServerDialog() override;

    // Starts the server on the screen's base (this computer only, or the local network), or
    // moves it there; shows the dialog.
    void openOn(TovMainPerso& screen);
    // Stops the server: the base is about to close, or « Arrêter » was pressed.
    void stopServer();
    bool isServing() const;
    server::WebServer* server() const { return m_server.get(); }

    // « Montrer aux joueurs »: the lines the user keeps, then sent to the players' screen. Says
    // so when no server runs.
    void showToPlayers(const QString& title, const QStringList& lines);

private:
    void start();
    void renewCodes();
    void refresh();

    TovMainPerso* m_screen = nullptr;
    std::unique_ptr<server::WebServer> m_server;
    QRadioButton* m_thisComputer = nullptr;
    QRadioButton* m_localNetwork = nullptr;
    QLabel* m_warning = nullptr;
    QLabel* m_gameMasterText = nullptr;
    QLabel* m_gameMasterCode = nullptr;
    QLabel* m_playersText = nullptr;
    QLabel* m_playersCode = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_renew = nullptr;
};

// The lines of a text that the user chooses to show, all ticked at first; nothing when cancelled.
std::optional<QStringList> chooseLinesToShow(QWidget* parent, const QStringList& lines);

} // namespace ov::ui
