#include "accesscodes.h"

#include "tables/databaselocation.h"
#include "tables/errors.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>

namespace ov::server {

namespace {

constexpr int codeBytes = 16; // 128 bits

// The codes live in a file of their own beside the other settings, so that its mode can be
// narrowed without touching the window's settings.
QString codesFilePath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return folder + QStringLiteral("/codes-web.ini");
}

// The key of a base: a hash of its location, since QSettings keys cannot hold every character.
QString baseKey(const QString& location) {
    return QString::fromLatin1(
        QCryptographicHash::hash(location.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
}

AccessCodes store(const QString& location, const AccessCodes& codes) {
    const QString path = codesFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Created empty and narrowed before any code is written into it.
    if (!QFileInfo::exists(path)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            throw DatabaseError(
                QStringLiteral("Les codes d'accès ne peuvent pas être écrits dans %1.").arg(path));
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(baseKey(location));
    settings.setValue(QStringLiteral("base"), location);
    settings.setValue(QStringLiteral("meneur"), codes.gameMaster);
    settings.setValue(QStringLiteral("joueurs"), codes.players);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw DatabaseError(
            QStringLiteral("Les codes d'accès ne peuvent pas être écrits dans %1.").arg(path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return codes;
}

bool wellFormed(const QString& code) {
    return QByteArray::fromBase64(code.toLatin1(),
                                  QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
               .size() >= codeBytes;
}

} // namespace

QString newAccessCode() {
    QByteArray bytes(codeBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          codeBytes / sizeof(quint32));
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

AccessCodes accessCodesFor(const QString& location) {
    {
        QSettings settings(codesFilePath(), QSettings::IniFormat);
        settings.beginGroup(baseKey(location));
        const AccessCodes codes{settings.value(QStringLiteral("meneur")).toString(),
                                settings.value(QStringLiteral("joueurs")).toString()};
        if (wellFormed(codes.gameMaster) && wellFormed(codes.players) &&
            codes.gameMaster != codes.players)
            return codes;
    }
    return renewAccessCodes(location);
}

AccessCodes renewAccessCodes(const QString& location) {
    return store(location, {newAccessCode(), newAccessCode()});
}

QString baseIdentity(const QString& path) {
    return DatabaseLocation::looksLikeServer(path) ? path : QFileInfo(path).absoluteFilePath();
}

QString localNetworkAddress() {
    for (const QHostAddress& address : QNetworkInterface::allAddresses())
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback() &&
            !address.isLinkLocal())
            return address.toString();
    return QStringLiteral("127.0.0.1");
}

bool isLoopback(const QString& address) {
    return QHostAddress(address).isLoopback();
}

bool sameCode(const QByteArray& given, const QString& expected) {
    const QByteArray right = expected.toLatin1();
    if (right.isEmpty())
        return false;
    // Every byte of the longer one is looked at, whatever the lengths.
    unsigned char difference = given.size() == right.size() ? 0 : 1;
    const qsizetype length = qMax(given.size(), right.size());
    for (qsizetype i = 0; i < length; ++i) {
        const unsigned char a = i < given.size() ? uchar(given[i]) : 0;
        const unsigned char b = i < right.size() ? uchar(right[i]) : 0;
        difference |= a ^ b;
    }
    return difference == 0;
}

} // namespace ov::server
