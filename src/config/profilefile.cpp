#include "config/profilefile.h"

#include "config/profiletext.h"
#include "platform/filenames.h"
#include "platform/filerewrite.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace profile {

namespace {

const QByteArray kLineEnd("\r\n");
// No system allows a path this long: a line beyond it holds no usable value.
constexpr qsizetype kLongLine = 64 * 1024;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineBreak(char c) { return c == '\r' || c == '\n'; }

// One line of the file: [begin, end) is its text without the line break and without blanks at
// either end; next is where the following line starts (after the whole run of CR and LF).
struct Line {
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

// Yields the non-blank lines of data[begin, end), which must end at a line break or at the end of
// the file.
class LineReader
{
public:
    LineReader(const char *data, qsizetype begin, qsizetype end) : m_data(data), m_end(end), m_pos(begin) {}

    bool next(Line &line)
    {
        while (m_pos < m_end) {
            qsizetype end = m_pos;
            while (end < m_end && !isLineBreak(m_data[end]))
                ++end;
            qsizetype next = end;
            while (next < m_end && isLineBreak(m_data[next]))
                ++next;
            qsizetype begin = m_pos;
            m_pos = next;
            qsizetype trimmedEnd = end;
            while (begin < trimmedEnd && isBlank(m_data[begin]))
                ++begin;
            while (trimmedEnd > begin && isBlank(m_data[trimmedEnd - 1]))
                --trimmedEnd;
            if (begin == trimmedEnd)
                continue;
            line = {begin, trimmedEnd, next};
            return true;
        }
        return false;
    }

private:
    const char *m_data;
    qsizetype m_end;
    qsizetype m_pos;
};

bool sameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// The name of a section line "[name]": up to the last "]", trimmed. Empty optional when the line
// is no section line: one that starts with "[" but holds no "]" is an ordinary line, as Windows
// reads it.
std::optional<QString> sectionName(const char *data, const Line &line, bool utf8)
{
    if (data[line.begin] != '[')
        return std::nullopt;
    qsizetype close = -1;
    for (qsizetype i = line.end - 1; i > line.begin; --i) {
        if (data[i] == ']') {
            close = i;
            break;
        }
    }
    if (close < 0)
        return std::nullopt;
    qsizetype begin = line.begin + 1;
    while (begin < close && isBlank(data[begin]))
        ++begin;
    while (close > begin && isBlank(data[close - 1]))
        --close;
    return decode(data, begin, close, utf8);
}

bool isQuote(char c) { return c == '"' || c == '\''; }

// The value as read: one enclosing pair of quotes taken off, cut at a NUL as a text field would.
QString readValue(const char *data, qsizetype begin, qsizetype end, bool utf8)
{
    if (end - begin >= 2 && isQuote(data[begin]) && data[begin] == data[end - 1]) {
        ++begin;
        --end;
    }
    if (const void *nul = memchr(data + begin, '\0', size_t(end - begin)))
        end = static_cast<const char *>(nul) - data;
    return decode(data, begin, end, utf8);
}

// Finds a key of a section, line by line, in one piece of the file or in consecutive pieces.
// Offsets it records are those of the piece given last.
class KeyScanner
{
public:
    KeyScanner(const QString &section, const QString &key, bool utf8)
        : m_section(section), m_key(key), m_utf8(utf8) {}

    // Looks at the lines of data[begin, end); false once the answer is known (the key found, or
    // the first matching section over), so that a reader can stop early. With head, data holds
    // only the first part of a line too long to hold a value anyone could use: it counts as a
    // line of that start, and when it names the key, the key reads as missing.
    bool feed(const char *data, qsizetype begin, qsizetype end, bool head = false)
    {
        LineReader reader(data, begin, end);
        Line line;
        while (!m_finished && reader.next(line)) {
            look(data, line, head);
            if (head)
                break;
        }
        return !m_finished;
    }

    void stopAtKey() { m_stopAtKey = true; }

    bool sectionFound = false;
    bool keyFound = false;          // the key's first line, with or without "="
    std::optional<QString> value;   // its value; none for a line without "=" or a cut line
    Line keyLine;
    qsizetype valueBegin = 0;       // the value without surrounding blanks, quotes included
    qsizetype valueEnd = 0;
    Line lastSectionLine;           // the last non-blank line of the section (its header at least)

private:
    void look(const char *data, const Line &line, bool cut)
    {
        if (const auto name = sectionName(data, line, m_utf8)) {
            if (m_inSection) {
                m_finished = true; // only the first matching section counts
                return;
            }
            m_inSection = sameName(*name, m_section);
            if (m_inSection) {
                sectionFound = true;
                lastSectionLine = line;
            }
            return;
        }
        if (!m_inSection)
            return;
        lastSectionLine = line;
        if (keyFound)
            return; // still looking for the section's end
        // A line without "=" is a key named by the whole line, with no value.
        const char *eq = static_cast<const char *>(memchr(data + line.begin, '=', size_t(line.end - line.begin)));
        qsizetype keyEnd = eq ? eq - data : line.end;
        while (keyEnd > line.begin && isBlank(data[keyEnd - 1]))
            --keyEnd;
        if (!sameName(decode(data, line.begin, keyEnd, m_utf8), m_key))
            return;
        keyFound = true;
        keyLine = line;
        if (eq && !cut) {
            valueBegin = (eq - data) + 1;
            while (valueBegin < line.end && isBlank(data[valueBegin]))
                ++valueBegin;
            valueEnd = line.end;
            value = readValue(data, valueBegin, valueEnd, m_utf8);
        }
        if (m_stopAtKey)
            m_finished = true;
    }

    QString m_section;
    QString m_key;
    bool m_utf8;
    bool m_inSection = false;
    bool m_finished = false;
    bool m_stopAtKey = false;
};

qsizetype bomLength(const QByteArray &data) { return data.startsWith(kBom) ? kBom.size() : 0; }

KeyScanner locate(const QByteArray &contents, const QString &section, const QString &key)
{
    KeyScanner scanner(section, key, bomLength(contents) > 0);
    scanner.feed(contents.constData(), bomLength(contents), contents.size());
    return scanner;
}

// A value the reader would alter (blanks at either end, or one enclosing pair of quotes) is
// written inside double quotes, which the reader takes off again.
QByteArray encodeValue(const QString &value, bool utf8)
{
    QByteArray bytes = encode(value, utf8);
    const bool needsQuotes = !bytes.isEmpty()
        && (isBlank(bytes.front()) || isBlank(bytes.back())
            || (bytes.size() >= 2 && isQuote(bytes.front()) && bytes.front() == bytes.back()));
    if (needsQuotes)
        bytes = '"' + bytes + '"';
    return bytes;
}

bool breaksLine(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))
        || text.contains(QChar(0));
}

// Text no file can hold as it is: a lone surrogate that stands for no byte of a file name.
bool unstorable(const QString &text)
{
    return platform::fromUtf8Lossless(platform::toUtf8Lossless(text)) != text;
}

void setOne(QByteArray &contents, const QString &section, const QString &key, const QString &value)
{
    const KeyScanner where = locate(contents, section, key);
    const bool utf8 = bomLength(contents) > 0;
    const QByteArray encoded = encodeValue(value, utf8);
    if (where.value) {
        contents.replace(where.valueBegin, where.valueEnd - where.valueBegin, encoded);
        return;
    }
    if (where.keyFound) { // "Roms" alone becomes "Roms=value"
        const Line &line = where.keyLine;
        contents.replace(line.begin, line.end - line.begin, encode(key, utf8) + '=' + encoded);
        return;
    }
    const QByteArray keyLine = encode(key, utf8) + '=' + encoded + kLineEnd;
    if (where.sectionFound) {
        // Right after the line break of the section's last line, before any blank lines.
        const Line &last = where.lastSectionLine;
        qsizetype at = last.end;
        while (at < contents.size() && isBlank(contents.at(at)))
            ++at;
        if (at == contents.size()) {
            contents.append(kLineEnd + keyLine);
            return;
        }
        at += (contents.at(at) == '\r' && at + 1 < contents.size() && contents.at(at + 1) == '\n') ? 2 : 1;
        contents.insert(at, keyLine);
        return;
    }
    if (!contents.isEmpty() && contents != kBom && !isLineBreak(contents.back()))
        contents.append(kLineEnd);
    contents.append('[' + encode(section, utf8) + ']' + kLineEnd + keyLine);
}

} // namespace

std::optional<QString> profileValue(const QByteArray &contents, const QString &section,
                                    const QString &key)
{
    const Utf16 order = utf16Order(contents);
    if (order != Utf16::No)
        return locate(utf16ToUtf8(contents, order), section, key).value;
    return locate(contents, section, key).value;
}

std::optional<QString> profileValue(QIODevice &device, const QString &section, const QString &key,
                                    qsizetype pieceSize)
{
    // Pieces of whole lines through one reused buffer: a large file is neither held in memory at
    // once nor read past the section that answers. A line longer than kLongLine is known by its
    // head alone and the rest of it is read past, so the buffer never outgrows one piece and one
    // long line's head, whatever the file holds.
    const qsizetype kPiece = std::max<qsizetype>(pieceSize, 1);
    PieceSource source(device);
    KeyScanner scanner(section, key, source.utf8());
    scanner.stopAtKey();
    QByteArray buffer;
    bool skipping = false;  // inside a long line whose head has been looked at
    qsizetype searched = 0; // buffer[0, searched) is known to hold no line break
    for (;;) {
        const bool atEnd = !source.append(buffer, kPiece);
        if (skipping) {
            qsizetype lineEnd = 0;
            while (lineEnd < buffer.size() && !isLineBreak(buffer.at(lineEnd)))
                ++lineEnd;
            buffer.remove(0, lineEnd);
            if (buffer.isEmpty()) {
                if (atEnd)
                    break;
                continue;
            }
            skipping = false;
        }
        qsizetype cut = buffer.size();
        if (!atEnd) {
            while (cut > searched && !isLineBreak(buffer.at(cut - 1)))
                --cut;
            if (cut == searched) { // no line break yet
                if (buffer.size() <= kLongLine) {
                    searched = buffer.size();
                    continue;
                }
                if (!scanner.feed(buffer.constData(), 0, kLongLine, true))
                    break;
                buffer.clear();
                searched = 0;
                skipping = true;
                continue;
            }
        }
        if (!scanner.feed(buffer.constData(), 0, cut) || atEnd)
            break;
        buffer.remove(0, cut);
        searched = 0;
    }
    return scanner.value;
}

bool setProfileValues(QByteArray &contents, const QString &section, const QList<KeyValue> &values,
                      QString *error)
{
    const Utf16 order = utf16Order(contents);
    if (order != Utf16::No) {
        QByteArray utf8 = utf16ToUtf8(contents, order);
        if (!setProfileValues(utf8, section, values, error))
            return false;
        contents = utf8ToUtf16(utf8, order);
        return true;
    }
    if (breaksLine(section) || section.contains(QLatin1Char(']')) || unstorable(section)) {
        if (error)
            *error = QStringLiteral("The section name \"%1\" cannot be stored in a profile file.").arg(section);
        return false;
    }
    for (const auto &[key, value] : values) {
        if (breaksLine(key) || key.contains(QLatin1Char('=')) || key.trimmed().isEmpty()
            || key.startsWith(QLatin1Char('['))) {
            if (error)
                *error = QStringLiteral("The key name \"%1\" cannot be stored in a profile file.").arg(key);
            return false;
        }
        if (breaksLine(value)) {
            if (error)
                *error = QStringLiteral("The value of \"%1\" contains a line break or a NUL character, "
                                        "which the file cannot hold.").arg(key);
            return false;
        }
        if (unstorable(key) || unstorable(value)) {
            if (error)
                *error = QStringLiteral("The value of \"%1\" holds a character that is no text (a lone "
                                        "surrogate), which the file cannot hold.").arg(key);
            return false;
        }
    }
    // Text the code page cannot hold would be saved as "?": the file becomes UTF-8 with a byte
    // order mark instead, every other line's text kept, which Windows reads back as written.
    const bool fits = fitsCodePage(section) && std::all_of(values.begin(), values.end(), [](const KeyValue &keyValue) {
        return fitsCodePage(keyValue.first) && fitsCodePage(keyValue.second);
    });
    if (!fits && bomLength(contents) == 0)
        contents = kBom + platform::toUtf8Lossless(platform::fromSystem8Bit(contents));
    for (const auto &[key, value] : values)
        setOne(contents, section, key, value);
    return true;
}

QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultText, const QString &fileName, QString *error)
{
    const QFileInfo info(fileName);
    if (!info.exists())
        return defaultText;
    // A FIFO would block the read forever and a device never ends: only plain files are read.
    if (!info.isFile()) {
        if (error)
            *error = QStringLiteral("It is not a regular file.");
        return defaultText;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return defaultText;
    }
    return profileValue(file, section, key).value_or(defaultText);
}

bool WritePrivateProfileStrings(const QString &section, const QList<KeyValue> &values,
                                const QString &fileName, QString *error)
{
    return platform::rewriteFile(
        fileName, [&](QByteArray &contents, QString *reason) { return setProfileValues(contents, section, values, reason); },
        error);
}

} // namespace profile
