#include "library/folders/romnames.h"

#include "platform/dirscan.h"
#include "platform/filenames.h"

#include <QCollator>
#include <QtAlgorithms>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <unordered_map>

namespace library {

namespace {

char lowered(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

// Where each byte stands in an order: names are compared by their bytes' ranks, then, where the
// ranks tie, by their bytes. Rank 0 marks a byte the order does not cover.
using Ranks = std::array<quint8, 256>;

// Code point order without regard to ASCII case: UTF-8's byte order is code point order.
Ranks foldedBytes()
{
    Ranks ranks{};
    for (int byte = 0; byte < 256; ++byte)
        ranks[size_t(byte)] = quint8(lowered(char(byte)));
    return ranks;
}

// Each printable ASCII character ranked where the collator puts it on its own, characters it
// holds equal (a letter and its capital) together. Ranks say nothing about names in which a
// language joins letters (Czech "ch" after "h"), so an order made with them is checked.
Ranks asciiRanks(const QCollator &collator)
{
    std::vector<QString> characters;
    for (char c = ' '; c < 0x7F; ++c) {
        const QString character(QLatin1Char{c});
        if (collator.compare(character, QString()) != 0) // an ignored one is not ranked
            characters.push_back(character);
    }
    std::stable_sort(characters.begin(), characters.end(),
                     [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    Ranks ranks{};
    quint8 rank = 0;
    for (size_t i = 0; i < characters.size(); ++i) {
        if (i == 0 || collator.compare(characters[i - 1], characters[i]) != 0)
            ++rank;
        ranks[characters[i].at(0).unicode()] = rank;
    }
    return ranks;
}

// A name's bytes in the order they are compared: each run of digits stands as its count of
// digits, itself a digit, then the digits without leading zeros, so that numbers compare by their
// value, as file managers sort ("Mega Man 2" before "Mega Man 10"). The count is one digit up to
// 8 digits, "9" and one more up to 18; longer numbers no name holds. The key stays short: its first
// sixteen bytes, which settle most comparisons, hold a name's words, not padding.
class NaturalBytes
{
public:
    explicit NaturalBytes(std::string_view name) : m_name(name) {}

    // The next byte; false at the end.
    bool next(unsigned char *byte)
    {
        if (m_counted < m_countSize) {
            *byte = static_cast<unsigned char>(m_count[m_counted++]);
            return true;
        }
        if (m_at >= m_name.size())
            return false;
        if (m_at >= m_runEnd && isDigit(m_name[m_at])) { // a number starts
            size_t end = m_at;
            while (end < m_name.size() && isDigit(m_name[end]))
                ++end;
            while (m_at + 1 < end && m_name[m_at] == '0')
                ++m_at;
            m_runEnd = end;
            const size_t digits = std::min<size_t>(end - m_at, 18);
            m_countSize = digits <= 8 ? 1 : 2;
            m_count[0] = char(digits <= 8 ? '0' + digits : '9');
            m_count[1] = char(digits <= 8 ? '0' : '0' + (digits - 9));
            m_counted = 1;
            *byte = static_cast<unsigned char>(m_count[0]);
            return true;
        }
        *byte = static_cast<unsigned char>(m_name[m_at++]);
        return true;
    }

private:
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    std::string_view m_name;
    size_t m_at = 0;
    size_t m_runEnd = 0; // the end of the number being read; before m_at outside one
    char m_count[2] = {};
    int m_countSize = 0; // the number's count of digits, to be given before it
    int m_counted = 0;
};

int compareRanked(std::string_view a, std::string_view b, const Ranks &ranks)
{
    NaturalBytes left(a), right(b);
    for (;;) {
        unsigned char x = 0, y = 0;
        const bool moreLeft = left.next(&x), moreRight = right.next(&y);
        if (!moreLeft || !moreRight)
            return moreLeft == moreRight ? 0 : (moreLeft ? 1 : -1);
        if (ranks[x] != ranks[y])
            return ranks[x] < ranks[y] ? -1 : 1;
    }
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

struct RankedRow {
    quint64 head[2]; // the key's first sixteen ranks, big-endian: compared as numbers
    const char *key;
    quint32 keyLength;
    quint32 ordinal;

    unsigned headByte(int at) const { return unsigned(head[at / 8] >> (56 - 8 * (at % 8))) & 0xFFu; }
};

// Rows sorted by their heads a byte at a time, most significant first, into a bucket for each
// value, in place; a small bucket, or one whose heads are equal, goes to less. Names that share
// a long prefix ("Super Mario Bros. (") cost no comparisons for it.
template <class Less, class Ties>
void radixSort(RankedRow *begin, RankedRow *end, int at, const Less &less, const Ties &sortTies)
{
    if (end - begin >= 64 && at < 16) {
        // Bytes every head shares decide nothing: the first that differs anywhere, in one pass.
        quint64 differs[2] = {0, 0};
        for (const RankedRow *row = begin; row != end; ++row) {
            differs[0] |= row->head[0] ^ begin->head[0];
            differs[1] |= row->head[1] ^ begin->head[1];
        }
        const int shared = differs[0] ? qCountLeadingZeroBits(differs[0]) / 8
                                      : 8 + (differs[1] ? qCountLeadingZeroBits(differs[1]) / 8 : 8);
        at = std::max(at, shared);
    }
    const auto sameHeads = [&] {
        return std::all_of(begin, end, [&](const RankedRow &row) { return row.head[0] == begin->head[0] && row.head[1] == begin->head[1]; });
    };
    if (at == 16 || (end - begin >= 8 && end - begin < 64 && sameHeads())) {
        sortTies(begin, end); // names alike in their first sixteen ranks ("Set 12/Game 1234")
        return;
    }
    if (end - begin < 64) {
        std::sort(begin, end, less);
        return;
    }
    size_t bounds[257] = {};
    for (const RankedRow *row = begin; row != end; ++row)
        ++bounds[row->headByte(at) + 1];
    for (size_t value = 1; value <= 256; ++value)
        bounds[value] += bounds[value - 1];
    size_t next[256];
    std::copy(bounds, bounds + 256, next);
    for (unsigned value = 0; value < 256; ++value) { // each row swapped straight into its bucket
        while (next[value] < bounds[value + 1]) {
            RankedRow row = begin[next[value]];
            for (unsigned own = row.headByte(at); own != value; own = row.headByte(at))
                std::swap(row, begin[next[own]++]);
            begin[next[value]++] = row;
        }
    }
    for (size_t value = 0; value < 256; ++value) {
        if (bounds[value + 1] - bounds[value] > 1)
            radixSort(begin + bounds[value], begin + bounds[value + 1], at + 1, less, sortTies);
    }
}

// The names' ordinals ordered by their keys' ranks, ties by the names' bytes, and, when asked
// for, each one's key length in that order. Each row carries its key's first sixteen ranks, which
// settle nearly every comparison without touching the names; the rows (eight times the
// ordinals' size) are gone once the order is made.
template <class KeyOf, class NameOf>
std::vector<quint32> sortedByRanks(const std::vector<quint32> &ordinals, const Ranks &ranks, KeyOf keyOf, NameOf nameOf,
                                   std::vector<quint32> *keyLengths = nullptr)
{
    std::vector<RankedRow> rows;
    rows.reserve(ordinals.size());
    for (const quint32 ordinal : ordinals) {
        const std::string_view k = keyOf(ordinal);
        quint64 head[2] = {0, 0};
        NaturalBytes bytes(k);
        bool more = true;
        for (size_t half = 0; half < 2; ++half) { // a half at a time: each stays in a register
            for (size_t i = 0; i < 8; ++i) {
                unsigned char byte = 0;
                more = more && bytes.next(&byte);
                head[half] = (head[half] << 8) | (more ? ranks[byte] : 0u);
            }
        }
        rows.push_back({{head[0], head[1]}, k.data(), quint32(k.size()), ordinal});
    }
    const auto less = [&](const RankedRow &a, const RankedRow &b) {
        if (a.head[0] != b.head[0])
            return a.head[0] < b.head[0];
        if (a.head[1] != b.head[1])
            return a.head[1] < b.head[1];
        const int byKey = compareRanked({a.key, a.keyLength}, {b.key, b.keyLength}, ranks);
        return byKey != 0 ? byKey < 0 : nameOf(a.ordinal) < nameOf(b.ordinal);
    };
    // Rows whose heads tie are ordered by their whole keys, each made once as ranks: comparing
    // them as they are read, a pair at a time, would make each key many times over.
    const auto sortTies = [&](RankedRow *first, RankedRow *last) {
        struct Keyed {
            size_t start, length; // in keys
            RankedRow row;
        };
        std::string keys; // every key of the range, one after another
        std::vector<Keyed> keyed;
        keyed.reserve(size_t(last - first));
        // The first sixteen ranks are the heads, alike: each key starts after them.
        size_t longest = 0;
        for (const RankedRow *row = first; row != last; ++row)
            longest += 2 * size_t(row->keyLength) + 2; // a number's count of digits adds at most two
        keys.resize(longest);
        char *to = keys.data();
        for (const RankedRow *row = first; row != last; ++row) {
            const size_t start = size_t(to - keys.data());
            NaturalBytes bytes({row->key, row->keyLength});
            unsigned char byte = 0;
            for (int skipped = 0; skipped < 16 && bytes.next(&byte); ++skipped) {
            }
            while (bytes.next(&byte))
                *to++ = char(ranks[byte]);
            keyed.push_back({start, size_t(to - keys.data()) - start, *row});
        }
        std::sort(keyed.begin(), keyed.end(), [&](const Keyed &a, const Keyed &b) {
            const int byKey = std::string_view(keys).substr(a.start, a.length).compare(std::string_view(keys).substr(b.start, b.length));
            return byKey != 0 ? byKey < 0 : nameOf(a.row.ordinal) < nameOf(b.row.ordinal);
        });
        for (const Keyed &each : keyed)
            *first++ = each.row;
    };
    radixSort(rows.data(), rows.data() + rows.size(), 0, less, sortTies);
    std::vector<quint32> sorted;
    sorted.reserve(rows.size());
    for (const RankedRow &row : rows)
        sorted.push_back(row.ordinal);
    if (keyLengths) {
        keyLengths->reserve(rows.size());
        for (const RankedRow &row : rows)
            keyLengths->push_back(row.keyLength);
    }
    return sorted;
}

} // namespace

QByteArrayView RomNames::bytesAt(qsizetype row) const
{
    const char *name = m_bytes.constData() + m_rows[size_t(row)].start;
    return QByteArrayView(name, qsizetype(std::strlen(name)));
}

QString RomNames::nameAt(qsizetype row) const { return platform::fromUtf8Lossless(bytesAt(row)); }

void RomNames::append(QByteArrayView name)
{
    // One copy for the name and its NUL, for every file found.
    const qsizetype start = m_bytes.size();
    m_rows.push_back({quint32(start), quint32(m_starts.size())});
    m_starts.push_back(quint32(start));
    m_bytes.resize(start + name.size() + 1);
    char *to = m_bytes.data() + start;
    std::memcpy(to, name.data(), size_t(name.size()));
    to[name.size()] = '\0';
}

void RomNames::sort(const QLocale &locale)
{
    const std::vector<quint32> order = sortedOrdinals(locale);
    for (size_t row = 0; row < order.size(); ++row)
        m_rows[row] = {m_starts[order[row]], order[row]};
}

void RomNames::shrinkToFit()
{
    m_bytes.squeeze();
    m_starts.shrink_to_fit();
    m_rows.shrink_to_fit();
    m_subfolders.shrink_to_fit();
}

std::vector<quint32> RomNames::sortedOrdinals(const QLocale &locale) const
{
    std::vector<quint32> ordinals;
    ordinals.reserve(m_rows.size());
    for (const Row &row : m_rows)
        ordinals.push_back(row.ordinal);
    auto raw = [this](quint32 ordinal) { return std::string_view(m_bytes.constData() + m_starts[ordinal]); };
    if (locale.language() == QLocale::C) {
        // A name with letters beyond ASCII is ordered by a case-folded key, made once.
        std::unordered_map<quint32, std::string> folded;
        for (const quint32 ordinal : ordinals) {
            if (!isAscii(raw(ordinal)))
                folded.emplace(ordinal, platform::toUtf8Lossless(platform::fromUtf8Lossless(raw(ordinal)).toCaseFolded()).toStdString());
        }
        auto key = [&](quint32 ordinal) {
            const auto it = folded.empty() ? folded.end() : folded.find(ordinal);
            return it == folded.end() ? raw(ordinal) : std::string_view(it->second);
        };
        return sortedByRanks(ordinals, foldedBytes(), key, raw);
    }
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true); // numbers by their value
    // Most names are plain ASCII: ordered by the ranks of their characters, and the order checked
    // against the collator pair by pair, which costs a fraction of a collation key for each name.
    // Only names whose every character has a rank: to the collator, the bytes of any other
    // character, taken one by one, would be other characters.
    const Ranks ranks = asciiRanks(collator);
    const bool ranked = std::all_of(m_bytes.cbegin(), m_bytes.cend(), [&](char c) {
        return c == '\0' || ranks[static_cast<unsigned char>(c)] != 0; // a NUL ends each name
    });
    if (ranked) {
        std::vector<quint32> lengths;
        std::vector<quint32> order = sortedByRanks(ordinals, ranks, raw, raw, &lengths);
        auto sortedName = [&](size_t i) { return std::string_view(m_bytes.constData() + m_starts[order[i]], lengths[i]); };
        bool confirmed = true;
        std::u16string previous, name; // ASCII: a byte is a UTF-16 code unit
        for (size_t i = 0; i < order.size() && confirmed; ++i) {
            const std::string_view bytes = sortedName(i);
            name.resize(bytes.size());
            std::transform(bytes.begin(), bytes.end(), name.begin(), [](char c) { return char16_t(c); });
            if (i > 0) {
                const int byCollator = collator.compare(QStringView(previous), QStringView(name));
                confirmed = byCollator < 0 || (byCollator == 0 && sortedName(i - 1) < bytes);
            }
            previous.swap(name);
        }
        if (confirmed)
            return order;
    }
    // Otherwise a collation key for each name, made once.
    const size_t n = m_starts.size();
    std::vector<QCollatorSortKey> keys; // by ordinal
    keys.reserve(n);
    for (quint32 ordinal = 0; ordinal < n; ++ordinal)
        keys.push_back(collator.sortKey(platform::fromUtf8Lossless(raw(ordinal))));
    std::sort(ordinals.begin(), ordinals.end(), [&](quint32 a, quint32 b) {
        const int byKey = keys[a].compare(keys[b]);
        return byKey != 0 ? byKey < 0 : raw(a) < raw(b);
    });
    return ordinals;
}

RomNames readRomNames(const QString &folder, const QString &pattern, const QLocale &locale, bool *ok, bool subfolders)
{
    QStringList suffixes;
    for (const QString &part : pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        suffixes << (part.startsWith(QLatin1Char('*')) ? part.mid(1) : part);
    RomNames names;
    const auto add = [&names](QByteArrayView name) { names.append(name); };
    const bool read = subfolders ? platform::forEachFileBelow(folder, suffixes, kSubfolderLevels, add,
                                                              [&names](QByteArrayView below) { names.addSubfolder(below); })
                                 : platform::forEachFileWithSuffix(folder, suffixes, add);
    if (ok)
        *ok = read;
    names.sort(locale);
    names.shrinkToFit(); // a list of a million names keeps them for as long as it is shown
    return names;
}

} // namespace library
