#pragma once
// How the bytes of a profile file are text. A file that starts with a UTF-8 byte order mark is
// UTF-8; any other is in the system's 8-bit code page (the ANSI code page on Windows, UTF-8 on
// Linux), as Windows reads them. Bytes that are not valid UTF-8 are kept as they are, so that a
// folder's name survives a Save. Files that Windows' profile functions and Notepad write in
// UTF-16 are read as UTF-8 with a byte order mark and written back in their own encoding.

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace profile {

inline const QByteArray kBom("\xEF\xBB\xBF");
inline const QByteArray kUtf16LeBom("\xFF\xFE");
inline const QByteArray kUtf16BeBom("\xFE\xFF");

QString decode(const char *data, qsizetype begin, qsizetype end, bool utf8);
QByteArray encode(const QString &text, bool utf8);
bool fitsCodePage(const QString &text);

enum class Utf16 { No, LittleEndian, BigEndian };
Utf16 utf16Order(QByteArrayView head);
// UTF-16 as UTF-8, every code unit kept as it is (a lone surrogate too, so that text written
// back is what was read); a last odd byte, half a character, reads as U+FFFD. Only the file's
// first byte order mark is one: a later U+FEFF, wherever a piece starts, is text.
QByteArray decodeUtf16(QByteArrayView bytes, Utf16 order);
// A whole file's contents, from its byte order mark on.
QByteArray utf16ToUtf8(const QByteArray &contents, Utf16 order);
QByteArray utf8ToUtf16(const QByteArray &contents, Utf16 order);

// The device's bytes as the line reader takes them: a byte order mark taken off and remembered,
// UTF-16 handed on as UTF-8 piece by piece. UTF-16 is decoded in pieces that split no character,
// so that any piece size reads exactly as the whole file does.
class PieceSource
{
public:
    explicit PieceSource(QIODevice &device);
    bool utf8() const { return m_utf8; }
    // Appends about piece bytes to buffer; false once the device has nothing more.
    bool append(QByteArray &buffer, qsizetype piece);

private:
    QIODevice &m_device;
    QByteArray m_pending;
    QByteArray m_carry; // UTF-16 bytes read but not yet decoded
    Utf16 m_utf16 = Utf16::No;
    bool m_utf8 = false;
};

} // namespace profile
