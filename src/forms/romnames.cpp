#include "forms/romnames.h"

#include "platform/dirscan.h"
#include "platform/filenames.h"

#include <QCollator>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <unordered_map>

namespace forms {

namespace {

char lowered(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

// Case-insensitive order of two keys: ASCII letters lowered as they are compared (a key of a name
// with other letters is already case-folded).
int compareFolded(std::string_view a, std::string_view b)
{
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(lowered(a[i]));
        const auto y = static_cast<unsigned char>(lowered(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

QByteArrayView RomNames::bytesAt(qsizetype row) const
{
    const char *name = m_bytes.constData() + m_starts[size_t(row)];
    return QByteArrayView(name, qsizetype(std::strlen(name)));
}

QString RomNames::nameAt(qsizetype row) const { return platform::fromUtf8Lossless(bytesAt(row)); }

void RomNames::append(QByteArrayView name)
{
    m_starts.push_back(quint32(m_bytes.size()));
    m_bytes.append(name.data(), name.size());
    m_bytes.append('\0');
}

void RomNames::sort(const QLocale &locale)
{
    const size_t n = m_starts.size();
    auto raw = [this](quint32 start) { return std::string_view(m_bytes.constData() + start); };
    if (locale.language() == QLocale::C) {
        // Code point order without regard to case: UTF-8's byte order is code point order, so a
        // name's key is its bytes with the letters folded (ASCII ones as they are compared, the
        // rest in a key made once). Each row carries its key's first sixteen bytes, which settle
        // nearly every comparison without touching the names.
        std::unordered_map<quint32, std::string> folded;
        for (const quint32 start : m_starts) {
            if (!isAscii(raw(start)))
                folded.emplace(start, platform::toUtf8Lossless(platform::fromUtf8Lossless(raw(start)).toCaseFolded()).toStdString());
        }
        auto key = [&](quint32 start) {
            if (folded.empty())
                return raw(start);
            const auto it = folded.find(start);
            return it == folded.end() ? raw(start) : std::string_view(it->second);
        };
        struct Row {
            quint64 head[2]; // the key's first sixteen bytes, folded, big-endian: compared as numbers
            const char *key;
            quint32 keyLength;
            quint32 start;
        };
        std::vector<Row> rows;
        rows.reserve(n);
        for (const quint32 start : m_starts) {
            const std::string_view k = key(start);
            Row row{{0, 0}, k.data(), quint32(k.size()), start};
            for (size_t i = 0; i < 16; ++i)
                row.head[i / 8] = (row.head[i / 8] << 8) | (i < k.size() ? static_cast<unsigned char>(lowered(k[i])) : 0u);
            rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) {
            if (a.head[0] != b.head[0])
                return a.head[0] < b.head[0];
            if (a.head[1] != b.head[1])
                return a.head[1] < b.head[1];
            const int byKey = compareFolded({a.key, a.keyLength}, {b.key, b.keyLength});
            return byKey != 0 ? byKey < 0 : raw(a.start) < raw(b.start); // names differing in case only
        });
        for (size_t i = 0; i < n; ++i)
            m_starts[i] = rows[i].start;
        return;
    }
    // The user's language: a collation key for each name, made once.
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(n);
    for (const quint32 start : m_starts)
        keys.push_back(collator.sortKey(platform::fromUtf8Lossless(raw(start))));
    std::vector<quint32> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](quint32 a, quint32 b) {
        const int byKey = keys[a].compare(keys[b]);
        return byKey != 0 ? byKey < 0 : raw(m_starts[a]) < raw(m_starts[b]);
    });
    std::vector<quint32> sorted(n);
    for (size_t i = 0; i < n; ++i)
        sorted[i] = m_starts[order[i]];
    m_starts.swap(sorted);
}

RomNames readRomNames(const QString &folder, const QString &pattern, const QLocale &locale, bool *ok)
{
    const QString suffix = pattern.startsWith(QLatin1Char('*')) ? pattern.mid(1) : pattern;
    RomNames names;
    const bool read = platform::forEachFileWithSuffix(folder, suffix, [&names](QByteArrayView name) { names.append(name); });
    if (ok)
        *ok = read;
    names.sort(locale);
    return names;
}

} // namespace forms
