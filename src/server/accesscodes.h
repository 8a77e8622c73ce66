#pragma once
// The access codes of a base's web server: one for the game master, one for the players' screen,
// kept per base in the user's settings so that a bookmark keeps working.

#include <QString>

namespace ov::server {

struct AccessCodes {
    QString gameMaster;
    QString players;
};

// A new code: 128 bits from the system's generator, in base64url without padding.
QString newAccessCode();

// What names a base for its codes: a file's absolute path, or the server address.
QString baseIdentity(const QString& path);

// The codes of the base at that location (a file or a server address), made and kept on first
// use. The settings file is readable by its owner only. Raises DatabaseError when it cannot be
// written.
AccessCodes accessCodesFor(const QString& location);

// New codes for the base, written over the old ones: every bookmark and cookie stops working.
AccessCodes renewAccessCodes(const QString& location);

// Compares a code given by a client with the right one in a time that does not depend on where
// they differ.
bool sameCode(const QByteArray& given, const QString& expected);

// The address by which the devices of the local network reach this computer (its first IPv4
// address that is not loopback), or 127.0.0.1 when it has none.
QString localNetworkAddress();

// Whether an address to listen on is reachable from this computer only.
bool isLoopback(const QString& address);

} // namespace ov::server
