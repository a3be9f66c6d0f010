#include "config/profiletext.h"

#include "platform/filenames.h"

#include <algorithm>

namespace profile {

QString decode(const char *data, qsizetype begin, qsizetype end, bool utf8)
{
    const QByteArrayView bytes(data + begin, end - begin);
    return utf8 ? platform::fromUtf8Lossless(bytes) : platform::fromSystem8Bit(bytes);
}

QByteArray encode(const QString &text, bool utf8)
{
    return utf8 ? platform::toUtf8Lossless(text) : platform::toSystem8Bit(text);
}

bool fitsCodePage(const QString &text) { return platform::fitsSystem8Bit(text); }

Utf16 utf16Order(QByteArrayView head)
{
    if (head.startsWith(kUtf16LeBom))
        return Utf16::LittleEndian;
    if (head.startsWith(kUtf16BeBom))
        return Utf16::BigEndian;
    return Utf16::No;
}

QByteArray decodeUtf16(QByteArrayView bytes, Utf16 order)
{
    QString text(bytes.size() / 2 + bytes.size() % 2, Qt::Uninitialized);
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = order == Utf16::LittleEndian ? char16_t(data[i] | data[i + 1] << 8)
                                                           : char16_t(data[i] << 8 | data[i + 1]);
        text[i / 2] = QChar(unit);
    }
    if (bytes.size() % 2)
        text.back() = QChar::ReplacementCharacter;
    return platform::toUtf8Lossless(text);
}

QByteArray utf16ToUtf8(const QByteArray &contents, Utf16 order)
{
    return kBom + decodeUtf16(QByteArrayView(contents).sliced(2), order);
}

QByteArray utf8ToUtf16(const QByteArray &contents, Utf16 order)
{
    const QString text = platform::fromUtf8Lossless(QByteArrayView(contents).sliced(kBom.size()));
    QByteArray bytes = order == Utf16::LittleEndian ? kUtf16LeBom : kUtf16BeBom;
    bytes.reserve(bytes.size() + text.size() * 2);
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        const char low = char(unit & 0xFF), high = char(unit >> 8);
        bytes.append(order == Utf16::LittleEndian ? low : high);
        bytes.append(order == Utf16::LittleEndian ? high : low);
    }
    return bytes;
}

PieceSource::PieceSource(QIODevice &device) : m_device(device)
{
    // The first bytes decide the encoding; they are read whatever the piece size.
    char head[3];
    qint64 held = 0;
    while (held < 3) {
        const qint64 got = m_device.read(head + held, 3 - held);
        if (got <= 0)
            break;
        held += got;
    }
    m_pending = QByteArray(head, held);
    m_utf16 = utf16Order(m_pending);
    if (m_utf16 != Utf16::No) {
        m_carry = m_pending.mid(2);
        m_pending.clear();
    } else if (m_pending.startsWith(kBom)) {
        m_pending.clear();
    }
    m_utf8 = m_utf16 != Utf16::No || (held == 3 && QByteArray(head, 3) == kBom);
}

bool PieceSource::append(QByteArray &buffer, qsizetype piece)
{
    if (!m_pending.isEmpty()) {
        buffer.append(m_pending);
        m_pending.clear();
        return true;
    }
    if (m_utf16 != Utf16::No) {
        const qsizetype held = m_carry.size();
        m_carry.resize(held + piece);
        const qint64 got = m_device.read(m_carry.data() + held, piece);
        m_carry.resize(held + std::max<qint64>(got, 0));
        // Held back: an odd byte, and a high surrogate whose partner may come next.
        qsizetype keep = got > 0 ? m_carry.size() % 2 : 0;
        if (got > 0 && m_carry.size() - keep >= 2) {
            const qsizetype unit = m_carry.size() - keep - 2;
            const auto first = uchar(m_carry.at(unit)), second = uchar(m_carry.at(unit + 1));
            const char16_t last = m_utf16 == Utf16::LittleEndian ? char16_t(first | second << 8) : char16_t(first << 8 | second);
            if (QChar::isHighSurrogate(last))
                keep += 2;
        }
        buffer.append(decodeUtf16(QByteArrayView(m_carry).first(m_carry.size() - keep), m_utf16));
        m_carry.remove(0, m_carry.size() - keep);
        return got > 0;
    }
    const qsizetype held = buffer.size();
    buffer.resize(held + piece);
    const qint64 got = m_device.read(buffer.data() + held, piece);
    buffer.resize(held + std::max<qint64>(got, 0));
    return got > 0;
}

} // namespace profile
