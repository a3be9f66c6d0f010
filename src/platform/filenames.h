#pragma once
// File names and other system text as bytes. On POSIX a file name is a string of bytes that need
// not be valid UTF-8; these mappings carry such bytes through QString and back unchanged.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform {

// UTF-8 in which each byte that is not part of a valid sequence becomes one lone surrogate
// U+DC80..U+DCFF, so that toUtf8Lossless gives back exactly the bytes given.
QString fromUtf8Lossless(QByteArrayView bytes);
// The inverse: a lone surrogate U+DC80..U+DCFF becomes its byte again; other text is UTF-8.
QByteArray toUtf8Lossless(QStringView text);

// True when text holds a byte that is not valid UTF-8 (an escaped one, see above).
bool holdsRawBytes(QStringView text);

// For display: every escaped byte shown as U+FFFD, the rest as it is.
QString displayName(const QString &text);

// The system's 8-bit text, as file names, profile files and command lines use it: lossless UTF-8
// on POSIX, the ANSI code page on Windows.
QString fromSystem8Bit(QByteArrayView bytes);
QByteArray toSystem8Bit(QStringView text);
// Whether text survives toSystem8Bit and back.
bool fitsSystem8Bit(QStringView text);

} // namespace platform
