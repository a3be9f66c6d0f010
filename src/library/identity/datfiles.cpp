#include "library/identity/datfiles.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

namespace library {

namespace {

// Entities are for a DTD's few abbreviations; none may grow a small file into a large one.
constexpr int kEntityExpansionLimit = 1024;
// Titles longer than this are no titles; the rest of the name is dropped.
constexpr qsizetype kLongestName = 512;
constexpr qsizetype kLongestStatus = 32;
// Blocks within blocks: a DAT uses three; more is no DAT, and is not followed further.
constexpr int kDeepestBlock = 32;

// Each byte's value as a hex digit; -1 for any other.
constexpr std::array<qint8, 256> kHexValues = [] {
    std::array<qint8, 256> values{};
    for (int c = 0; c < 256; ++c)
        values[size_t(c)] = qint8(c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1);
    return values;
}();

int hexValue(char16_t c) { return c < 256 ? kHexValues[c] : -1; }

// A character of either kind of text; a byte above ASCII is no digit either way.
char16_t unit(QChar c) { return c.unicode(); }
char16_t unit(char c) { return char16_t(static_cast<unsigned char>(c)); }

// The hex digits of a sum as the DAT gives them, when they are exactly that many; else none.
// Anything else in them matches no sum.
template <int Size, typename Text>
void takeHex(Text text, DatSum<Size> *sum)
{
    sum->given = text.size() == 2 * Size;
    if (!sum->given)
        return;
    if constexpr (std::is_same_v<Text, QByteArrayView>) {
        std::memcpy(sum->hex.data(), text.data(), size_t(2 * Size));
    } else {
        for (qsizetype i = 0; i < 2 * Size; ++i)
            sum->hex[size_t(i)] = static_cast<unsigned char>(text[i].unicode() < 0x80 ? text[i].unicode() : '?');
    }
}

template <typename Text>
bool parseCrc(Text text, quint32 *crc)
{
    if (text.size() != 8)
        return false;
    quint32 value = 0;
    for (qsizetype i = 0; i < 8; ++i) {
        const int digit = hexValue(unit(text[i]));
        if (digit < 0)
            return false;
        value = value << 4 | quint32(digit);
    }
    *crc = value;
    return true;
}

// A size in bytes; -1 for anything else (no ROM has 16 digits of bytes).
template <typename Text>
qint64 parseSize(Text text)
{
    if (text.isEmpty() || text.size() > 15)
        return -1;
    qint64 value = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = unit(text[i]);
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + qint64(c - '0');
    }
    return value;
}

// Whether word is the key spelt: lengths first, the usual answer.
template <size_t Size>
bool is(QByteArrayView word, const char (&key)[Size])
{
    return word.size() == qsizetype(Size - 1) && std::memcmp(word.data(), key, Size - 1) == 0;
}

// A name's text: nearly every one is ASCII, made without the spare room a UTF-8 decoding takes.
QString nameOf(QByteArrayView bytes)
{
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
}

// An entry worth keeping: a CRC32 and something that narrows it.
bool canMatch(const DatRom &rom) { return rom.size >= 0 || rom.sha1.given || rom.md5.given; }

QString statusOf(QStringView word) { return word.isEmpty() ? QStringLiteral("good") : word.left(kLongestStatus).toString(); }

} // namespace

DatForm datFormOf(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    qsizetype at = 0;
    while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n'))
        ++at;
    if (at < bytes.size() && bytes[at] == '<')
        return DatForm::LogiqxXml;
    // A word, then an opening parenthesis: "clrmamepro (" or "game (".
    const qsizetype word = at;
    while (at < bytes.size() && ((bytes[at] >= 'a' && bytes[at] <= 'z') || (bytes[at] >= 'A' && bytes[at] <= 'Z') || bytes[at] == '_'))
        ++at;
    if (at == word)
        return DatForm::Unknown;
    while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n'))
        ++at;
    return at < bytes.size() && bytes[at] == '(' ? DatForm::ClrMamePro : DatForm::Unknown;
}

QString knownDatForms()
{
    return QStringLiteral("Quorvane reads ROM databases in the Logiqx XML form (No-Intro's, headered or headerless) and in "
                          "clrmamepro's text form (RetroArch's), either one alone or in a zip");
}

bool readDat(const QByteArray &bytes, const DatRomFound &found, QString *error)
{
    switch (datFormOf(bytes)) {
    case DatForm::LogiqxXml:
        return readXmlDat(bytes, found, error);
    case DatForm::ClrMamePro:
        return readClrMameProDat(bytes, found, error);
    case DatForm::Unknown:
        break;
    }
    if (error)
        *error = (bytes.trimmed().isEmpty() ? QStringLiteral("it is empty. ") : QStringLiteral("it is no ROM database of a known form. "))
            + knownDatForms() + QLatin1Char('.');
    return false;
}

bool readXmlDat(const QByteArray &bytes, const DatRomFound &found, QString *error)
{
    QXmlStreamReader xml(bytes);
    xml.setEntityExpansionLimit(kEntityExpansionLimit);
    QString game;
    int depth = 0;
    bool rootSeen = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            ++depth;
            const QStringView name = xml.name();
            if (depth == 1) {
                rootSeen = true;
                if (name != QLatin1String("datafile"))
                    xml.raiseError(QStringLiteral("this is no Logiqx DAT: its root element is not \"datafile\""));
            } else if (depth == 2 && (name == QLatin1String("game") || name == QLatin1String("machine"))) {
                game = xml.attributes().value(QLatin1String("name")).left(kLongestName).toString();
            } else if (depth == 3 && name == QLatin1String("rom")) {
                const QXmlStreamAttributes attributes = xml.attributes();
                DatRom rom;
                if (!parseCrc(attributes.value(QLatin1String("crc")), &rom.crc32))
                    break; // without a CRC32 it is found by nothing
                rom.size = parseSize(attributes.value(QLatin1String("size")));
                takeHex(attributes.value(QLatin1String("sha1")), &rom.sha1);
                takeHex(attributes.value(QLatin1String("md5")), &rom.md5);
                if (!canMatch(rom))
                    break;
                rom.game = game;
                rom.status = statusOf(attributes.value(QLatin1String("status")));
                found(std::move(rom));
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    if (!xml.hasError() && !rootSeen)
        xml.raiseError(QStringLiteral("the file holds no XML element"));
    if (xml.hasError()) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
        return false;
    }
    return true;
}

ClrMameProTokens::Kind ClrMameProTokens::next()
{
    const char *text = m_text.data();
    const qsizetype size = m_text.size();
    while (m_at < size) {
        const char c = text[m_at];
        if (c == '\n')
            ++m_line;
        else if (c != ' ' && c != '\t' && c != '\r')
            break;
        ++m_at;
    }
    if (m_at >= size)
        return Kind::End;
    const char c = text[m_at];
    if (c == '(' || c == ')') {
        m_token = m_text.sliced(m_at++, 1);
        return c == '(' ? Kind::Open : Kind::Close;
    }
    if (c == '"') { // to the next quote: clrmamepro's strings have no escapes, and no line ends
        const qsizetype start = ++m_at;
        while (m_at < size && text[m_at] != '"' && text[m_at] != '\n')
            ++m_at;
        if (m_at >= size || text[m_at] != '"')
            return Kind::Unclosed;
        m_token = m_text.sliced(start, m_at++ - start);
        return Kind::Quoted;
    }
    const qsizetype start = m_at;
    while (m_at < size) {
        const char d = text[m_at];
        if (d == ' ' || d == '\t' || d == '\r' || d == '\n' || d == '(' || d == ')' || d == '"')
            break;
        ++m_at;
    }
    m_token = m_text.sliced(start, m_at - start);
    return Kind::Word;
}

namespace {

// Reads clrmamepro's blocks: "name ( key value key ( ... ) ... )", the games' roms handed on.
class ClrMameProReader
{
public:
    ClrMameProReader(QByteArrayView text, const DatRomFound &found) : m_tokens(text), m_found(found) {}

    bool read(QString *error)
    {
        using Kind = ClrMameProTokens::Kind;
        for (;;) {
            const Kind kind = m_tokens.next();
            if (kind == Kind::End)
                return true;
            if (kind != Kind::Word)
                return unexpected(kind, error, QStringLiteral("a block's name is expected here"));
            const QByteArrayView block = m_tokens.token();
            if (const Kind opening = m_tokens.next(); opening != Kind::Open)
                return unexpected(opening, error, QStringLiteral("\"%1\" is not followed by \"(\"").arg(QString::fromUtf8(block.first(std::min<qsizetype>(block.size(), 40)))));
            const bool ok = is(block, "game") || is(block, "machine") || is(block, "resource") ? readGame(error) : skipBlock(1, error);
            if (!ok)
                return false;
        }
    }

private:
    using Kind = ClrMameProTokens::Kind;

    bool fail(QString *error, const QString &why)
    {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(m_tokens.line()).arg(why);
        return false;
    }
    // What is wrong where kind was met instead of what was expected.
    bool unexpected(Kind kind, QString *error, const QString &expected)
    {
        return fail(error, kind == Kind::Unclosed ? QStringLiteral("a quoted string is not closed")
                           : kind == Kind::End    ? QStringLiteral("a block is not closed by the end of the file")
                                                  : expected);
    }

    // After a block's "(": to its ")", whatever it holds.
    bool skipBlock(int depth, QString *error)
    {
        for (;;) {
            switch (const Kind kind = m_tokens.next()) {
            case Kind::Open:
                if (++depth > kDeepestBlock)
                    return fail(error, QStringLiteral("blocks are nested more than %1 deep").arg(kDeepestBlock));
                break;
            case Kind::Close:
                if (--depth == 0)
                    return true;
                break;
            case Kind::Word:
            case Kind::Quoted:
                break;
            case Kind::End:
            case Kind::Unclosed:
                return unexpected(kind, error, {});
            }
        }
    }

    // After a block's "(": its "key value" and "key ( ... )" pairs, to its ")". Each value goes to
    // onValue(key, value), each block to onBlock(key), which reads it to its ")"; other blocks are
    // passed over.
    template <class OnValue, class OnBlock>
    bool readPairs(const char *block, QString *error, const OnValue &onValue, const OnBlock &onBlock)
    {
        for (;;) {
            const Kind kind = m_tokens.next();
            if (kind == Kind::Close)
                return true;
            if (kind != Kind::Word)
                return unexpected(kind, error, QStringLiteral("a key is expected in a %1's block").arg(QLatin1String(block)));
            const QByteArrayView key = m_tokens.token();
            const Kind met = m_tokens.next();
            if (met == Kind::Word || met == Kind::Quoted)
                onValue(key, m_tokens.token());
            else if (met != Kind::Open)
                return unexpected(met, error, QStringLiteral("\"%1\" has no value").arg(QString::fromUtf8(key.first(std::min<qsizetype>(key.size(), 40)))));
            else if (!onBlock(key))
                return false;
        }
    }

    bool readGame(QString *error)
    {
        m_game.clear();
        m_named = false;
        m_roms.clear();
        const bool read = readPairs(
            "game", error,
            [this](QByteArrayView key, QByteArrayView value) {
                if (is(key, "name") && !m_named) {
                    m_game = nameOf(value.first(std::min(value.size(), kLongestName)));
                    m_named = true;
                }
            },
            [this, error](QByteArrayView key) { return is(key, "rom") ? readRom(error) : skipBlock(1, error); });
        if (!read)
            return false;
        for (DatRom &rom : m_roms) {
            rom.game = m_game;
            m_found(std::move(rom));
        }
        return true;
    }

    bool readRom(QString *error)
    {
        DatRom rom;
        bool hasCrc = false;
        QByteArrayView status;
        const bool read = readPairs(
            "rom", error,
            [&](QByteArrayView key, QByteArrayView word) {
                if (is(key, "crc"))
                    hasCrc = parseCrc(word, &rom.crc32);
                else if (is(key, "size"))
                    rom.size = parseSize(word);
                else if (is(key, "sha1"))
                    takeHex(word, &rom.sha1);
                else if (is(key, "md5"))
                    takeHex(word, &rom.md5);
                else if (is(key, "status") || is(key, "flags"))
                    status = word;
            },
            [this, error](QByteArrayView) { return skipBlock(1, error); });
        if (!read)
            return false;
        if (hasCrc && canMatch(rom)) {
            // Most entries share one word ("verified", or none): it is made once.
            if (status != m_lastStatusWord || m_lastStatus.isEmpty()) {
                m_lastStatusWord = status;
                m_lastStatus = statusOf(QString::fromUtf8(status.first(std::min(status.size(), kLongestStatus))));
            }
            rom.status = m_lastStatus;
            if (m_named) { // the name came first, as it nearly always does
                rom.game = m_game;
                m_found(std::move(rom));
            } else {
                m_roms.push_back(std::move(rom));
            }
        }
        return true;
    }

    ClrMameProTokens m_tokens;
    const DatRomFound &m_found;
    QString m_game;             // the game being read: its name,
    bool m_named = false;       // once it has come,
    std::vector<DatRom> m_roms; // and its roms that came before it, handed on once it has
    QByteArrayView m_lastStatusWord;
    QString m_lastStatus;
};

} // namespace

bool readClrMameProDat(QByteArrayView text, const DatRomFound &found, QString *error)
{
    return ClrMameProReader(text, found).read(error);
}

} // namespace library
