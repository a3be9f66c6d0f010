#include "platform/filenames.h"

#include <algorithm>

namespace platform {

namespace {
constexpr char16_t kEscapeBase = 0xDC00; // byte b >= 0x80 stands as U+DC00 + b

bool isEscape(char16_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// Length of the valid UTF-8 sequence at data[i], or 0 when the byte there starts none.
int validSequence(const unsigned char *data, qsizetype i, qsizetype size, char32_t *codePoint)
{
    const unsigned char lead = data[i];
    int length;
    char32_t value, minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2; value = lead & 0x1F; minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3; value = lead & 0x0F; minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4; value = lead & 0x07; minimum = 0x10000;
    } else {
        return 0;
    }
    if (size - i < length)
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = data[i + k];
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    // Overlong forms, encoded surrogates and values past U+10FFFF are no valid UTF-8.
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}
} // namespace

QString fromUtf8Lossless(QByteArrayView bytes)
{
    // The common case, at Qt's speed; but Qt drops a leading U+FEFF as a byte order mark, and
    // here it is text (a name's first character, or one after a file's own mark).
    if (bytes.isValidUtf8() && !bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes);
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype size = bytes.size();
    QString text;
    text.reserve(size);
    for (qsizetype i = 0; i < size;) {
        const unsigned char byte = data[i];
        if (byte < 0x80) {
            text.append(QChar(byte));
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        if (const int length = validSequence(data, i, size, &codePoint)) {
            if (codePoint >= 0x10000) {
                text.append(QChar(QChar::highSurrogate(codePoint)));
                text.append(QChar(QChar::lowSurrogate(codePoint)));
            } else {
                text.append(QChar(char16_t(codePoint)));
            }
            i += length;
            continue;
        }
        text.append(QChar(char16_t(kEscapeBase + byte)));
        ++i;
    }
    return text;
}

QByteArray toUtf8Lossless(QStringView text)
{
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); }))
        return text.toUtf8();
    QByteArray bytes;
    bytes.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        char32_t codePoint = c;
        if (c < 0x80) {
            bytes.append(char(c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            codePoint = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            ++i;
        } else if (isEscape(c)) {
            bytes.append(char(c - kEscapeBase));
            continue;
        } else if (QChar::isSurrogate(c)) {
            bytes.append('?'); // a lone surrogate no byte stands for: as Qt's own encoder writes it
            continue;
        }
        if (codePoint < 0x800) {
            bytes.append(char(0xC0 | (codePoint >> 6)));
        } else if (codePoint < 0x10000) {
            bytes.append(char(0xE0 | (codePoint >> 12)));
            bytes.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        } else {
            bytes.append(char(0xF0 | (codePoint >> 18)));
            bytes.append(char(0x80 | ((codePoint >> 12) & 0x3F)));
            bytes.append(char(0x80 | ((codePoint >> 6) & 0x3F)));
        }
        bytes.append(char(0x80 | (codePoint & 0x3F)));
    }
    return bytes;
}

bool holdsRawBytes(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
            ++i;
        else if (isEscape(c))
            return true;
    }
    return false;
}

QString displayName(const QString &text)
{
    if (!holdsRawBytes(text))
        return text;
    QString shown = text;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t c = shown[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < shown.size() && QChar::isLowSurrogate(shown[i + 1].unicode()))
            ++i;
        else if (isEscape(c))
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

} // namespace platform
