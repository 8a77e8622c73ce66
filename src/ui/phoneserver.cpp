#include "phoneserver.h"

#include "historywindow.h"
#include "mainscreen.h"
#include "messages.h"
#include "server/accesscodes.h"
#include "server/webserver.h"
#include "tables/database.h"
#include "tables/errors.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <qrencode.h>

namespace ov::ui {

QImage qrCodeImage(const QString& text, int scale) {
    const QByteArray bytes = text.toUtf8();
    QRcode* code = QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code)
        return {};
    constexpr int quietZone = 4;
    const int side = (code->width + 2 * quietZone) * scale;
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                painter.fillRect((x + quietZone) * scale, (y + quietZone) * scale, scale, scale,
                                 Qt::black);
    painter.end();
    QRcode_free(code);
    return image;
}

PhoneServerDialog::PhoneServerDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlgTelephone"));
    setWindowTitle(QStringLiteral("Jouer depuis un téléphone"));
    auto* layout = new QVBoxLayout(this);
    m_thisComputer = new QRadioButton(QStringLiteral("cet ordinateur seulement"), this);
    m_thisComputer->setObjectName(QStringLiteral("rbCetOrdinateur"));
    m_localNetwork = new QRadioButton(QStringLiteral("le réseau local"), this);
    m_localNetwork->setObjectName(QStringLiteral("rbReseauLocal"));
    m_thisComputer->setChecked(true);
    layout->addWidget(new QLabel(QStringLiteral("Le serveur répond à :"), this));
    layout->addWidget(m_thisComputer);
    layout->addWidget(m_localNetwork);
    m_warning = new QLabel(QStringLiteral("Tous les appareils du réseau peuvent atteindre le "
                                          "serveur : seul le code d'accès les arrête. Ne le "
                                          "donnez qu'à la table."),
                           this);
    m_warning->setWordWrap(true);
    layout->addWidget(m_warning);

    auto* grid = new QGridLayout;
    const auto address = [this, grid](int column, const QString& title, const char* name,
                                      QLabel*& text, QLabel*& code) {
        grid->addWidget(new QLabel(title, this), 0, column);
        text = new QLabel(this);
        text->setObjectName(QLatin1String(name));
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setWordWrap(true);
        code = new QLabel(this);
        grid->addWidget(code, 1, column, Qt::AlignCenter);
        grid->addWidget(text, 2, column);
    };
    address(0, QStringLiteral("Meneur"), "lblAdresseMeneur", m_gameMasterText, m_gameMasterCode);
    address(1, QStringLiteral("Joueurs"), "lblAdresseJoueurs", m_playersText, m_playersCode);
    layout->addLayout(grid);

    auto* buttons = new QDialogButtonBox(this);
    m_renew = buttons->addButton(QStringLiteral("Nouveaux codes"), QDialogButtonBox::ActionRole);
    m_renew->setObjectName(QStringLiteral("btnNouveauxCodes"));
    m_stop = buttons->addButton(QStringLiteral("Arrêter"), QDialogButtonBox::DestructiveRole);
    m_stop->setObjectName(QStringLiteral("btnArreter"));
    buttons->addButton(QDialogButtonBox::Close);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    connect(m_stop, &QPushButton::clicked, this, [this] {
        stopServer();
        hide();
    });
    connect(m_renew, &QPushButton::clicked, this, [this] { guarded([this] { renewCodes(); }); });
    connect(m_thisComputer, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked && m_screen)
            start();
    });
    connect(m_localNetwork, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked && m_screen)
            start();
    });
}

PhoneServerDialog::~PhoneServerDialog() {
    stopServer();
}

bool PhoneServerDialog::isServing() const {
    return m_server && m_server->isRunning();
}

void PhoneServerDialog::openOn(TovMainPerso& screen) {
    if (!screen.database()) {
        showMessage(QStringLiteral("Aucune base n'est ouverte."));
        return;
    }
    if (m_screen != &screen || !isServing()) {
        m_screen = &screen;
        start();
    }
    if (isServing()) {
        show();
        raise();
        activateWindow();
    }
}

void PhoneServerDialog::start() {
    stopServer();
    guarded([this] {
        const Database& database = *m_screen->database();
        const auto codes = server::accessCodesFor(server::baseIdentity(database.path()));
        m_server = std::make_unique<server::WebServer>(database, codes);
        // Records stored from a phone show at once in the window's count and history.
        connect(m_server.get(), &server::WebServer::recordAdded, m_screen, [screen = m_screen] {
            screen->refreshRecords();
            if (auto* history =
                    screen->findChild<HistoryWindow*>(QString(), Qt::FindDirectChildrenOnly))
                history->reload();
        });
        const QString bind =
            m_localNetwork->isChecked() ? QStringLiteral("0.0.0.0") : QStringLiteral("127.0.0.1");
        // The usual port, or any free one when another program holds it.
        QString problem = m_server->start(bind, server::defaultPort);
        if (!problem.isEmpty())
            problem = m_server->start(bind, 0);
        if (!problem.isEmpty()) {
            m_server.reset();
            showMessage(problem);
        }
    });
    refresh();
}

void PhoneServerDialog::stopServer() {
    if (m_server)
        m_server->stop();
    m_server.reset();
}

void PhoneServerDialog::renewCodes() {
    if (!m_screen || !m_screen->database())
        return;
    const auto codes = server::renewAccessCodes(server::baseIdentity(m_screen->database()->path()));
    if (m_server)
        m_server->setCodes(codes);
    refresh();
}

void PhoneServerDialog::refresh() {
    const bool local = m_localNetwork->isChecked();
    m_warning->setVisible(local);
    m_stop->setEnabled(isServing());
    if (!isServing()) {
        m_gameMasterText->setText(QStringLiteral("Serveur arrêté."));
        m_playersText->clear();
        m_gameMasterCode->clear();
        m_playersCode->clear();
        return;
    }
    const QString host = local ? server::localNetworkAddress() : QStringLiteral("127.0.0.1");
    const QString gameMaster = m_server->gameMasterUrl(host);
    const QString players = m_server->playersUrl(host);
    m_gameMasterText->setText(gameMaster);
    m_playersText->setText(players);
    m_gameMasterCode->setPixmap(QPixmap::fromImage(qrCodeImage(gameMaster)));
    m_playersCode->setPixmap(QPixmap::fromImage(qrCodeImage(players)));
}

void PhoneServerDialog::showToPlayers(const QString& title, const QStringList& lines) {
    if (!isServing()) {
        showMessage(QStringLiteral("Le serveur n'est pas démarré : ouvrez d'abord « Fichier › "
                                   "Jouer depuis un téléphone… »."));
        return;
    }
    if (lines.isEmpty()) {
        showMessage(QStringLiteral("Il n'y a pas de texte à montrer."));
        return;
    }
    const auto chosen = chooseLinesToShow(parentWidget(), lines);
    if (!chosen)
        return;
    m_server->showToPlayers(title.isEmpty() ? chosen->value(0) : title, *chosen);
}

std::optional<QStringList> chooseLinesToShow(QWidget* parent, const QStringList& lines) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgMontrer"));
    dialog.setWindowTitle(QStringLiteral("Montrer aux joueurs"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Lignes montrées aux joueurs :"), &dialog));
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("lstLignes"));
    for (const QString& line : lines) {
        auto* item = new QListWidgetItem(line, list);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Checked);
    }
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Montrer"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(560, 420);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QStringList chosen;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            chosen << list->item(i)->text();
    return chosen;
}

} // namespace ov::ui
