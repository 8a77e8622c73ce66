#pragma once
// Single-byte code pages of old Windows and DOS files, decoded to Unicode by exact tables.

#include <QByteArrayView>
#include <QString>

namespace ov {

// True for the code pages that decodeCodePage knows: 1252 (Windows Western) and 850 (DOS
// Western Europe).
bool isKnownCodePage(int codePage);

// Decodes bytes in a known code page; bytes below 0x80 are ASCII.
QString decodeCodePage(QByteArrayView bytes, int codePage);

} // namespace ov
