#pragma once
// ROM database files ("DATs") as they are published: Logiqx XML (No-Intro's downloads, headered
// or headerless) and clrmamepro's text form (RetroArch's database project). Each rom entry names
// its game and some of the sums of its bytes; which sums, and whether the bytes include the
// 16-byte header, differs from DAT to DAT.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <functional>

namespace library {

// A sum as a DAT gives it: its hex digits, held in place and compared only when a ROM's CRC32
// leads to the entry (a DAT of thousands of entries is read without decoding each, and makes no
// piece of memory for each), or none.
template <int Size>
struct DatSum {
    // Read only when given: left unset, as thousands are made (bytes, which may be copied unset).
    std::array<unsigned char, 2 * Size> hex;
    bool given = false;

    bool isEmpty() const { return !given; }
    // Whether computed (Size bytes) is this sum; digits in either case.
    bool operator==(const QByteArray &computed) const
    {
        if (!given || computed.size() != Size)
            return false;
        static constexpr char kDigits[] = "0123456789abcdef";
        const auto lower = [](unsigned char c) { return char(c >= 'A' && c <= 'F' ? c + ('a' - 'A') : c); };
        for (int i = 0; i < Size; ++i) {
            const auto byte = static_cast<unsigned char>(computed[i]);
            if (lower(hex[size_t(2 * i)]) != kDigits[byte >> 4] || lower(hex[size_t(2 * i + 1)]) != kDigits[byte & 0xF])
                return false;
        }
        return true;
    }
    bool operator!=(const QByteArray &computed) const { return !(*this == computed); }
};

struct DatRom {
    QString game;   // the game's name: the ROM's clean title
    QString status; // "good" when the DAT says nothing; else its word ("baddump", "verified", ...)
    quint32 crc32 = 0;
    qint64 size = -1; // -1: not given
    DatSum<20> sha1;
    DatSum<16> md5;
    bool isBadDump() const { return status == QLatin1String("baddump"); }
};

// A DAT file is not read past this; a larger one is reported and left out.
inline constexpr qint64 kLargestDatFile = qint64(64) * 1024 * 1024;

enum class DatForm { LogiqxXml, ClrMamePro, Unknown };
// The form of a DAT by its first bytes.
DatForm datFormOf(QByteArrayView bytes);
// The forms that are read, in words, for a message about a file that is none of them.
QString knownDatForms();

// Reads one DAT of either form, handing each rom entry that can be matched (a CRC32 with its size
// or a stronger sum: a CRC32 alone matches too much) to found. false, with error naming the line,
// when it is no well-formed DAT; what was found before may have been handed on.
using DatRomFound = std::function<void(DatRom &&)>;
bool readDat(const QByteArray &bytes, const DatRomFound &found, QString *error);
bool readXmlDat(const QByteArray &bytes, const DatRomFound &found, QString *error);
bool readClrMameProDat(QByteArrayView text, const DatRomFound &found, QString *error);

// The pieces of clrmamepro's text form: words, quoted strings and parentheses.
class ClrMameProTokens
{
public:
    enum class Kind { Open, Close, Word, Quoted, End, Unclosed };
    explicit ClrMameProTokens(QByteArrayView text) : m_text(text) {}
    Kind next();
    QByteArrayView token() const { return m_token; } // a word, or a string without its quotes
    int line() const { return m_line; }

private:
    QByteArrayView m_text;
    qsizetype m_at = 0;
    QByteArrayView m_token;
    int m_line = 1;
};

} // namespace library
