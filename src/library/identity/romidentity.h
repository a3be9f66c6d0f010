#pragma once
// What a ROM file is, by its bytes: its header, and the sums that ROM databases know it by.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>

namespace library {

struct RomSums {
    quint32 crc32 = 0;
    QByteArray sha1; // 20 bytes; empty when not computed
    QByteArray md5;  // 16 bytes; computed only when asked for: few ROM databases need it
    bool isValid() const { return sha1.size() == 20; }
    // The same bytes: the MD5 adds nothing to a SHA-1 that agrees.
    bool operator==(const RomSums &other) const { return crc32 == other.crc32 && sha1 == other.sha1; }
};

// No NES ROM is near this; a larger file is not read, so that one stray file costs no minutes.
inline constexpr qint64 kLargestRomFile = qint64(64) * 1024 * 1024;

struct RomIdentity {
    qint64 size = 0;
    QByteArray header; // the first 16 bytes, fewer for a shorter file
    // The identity: the sums of the bytes after the 16-byte header when the file starts with the
    // iNES magic, else of the whole file. A trainer stays in: ROM databases' NES header rule
    // skips the 16 bytes and nothing else.
    RomSums data;
    RomSums file; // the whole file's; its SHA-1 only when asked for
    QString error; // why the file could not be read; the sums are then empty

    // Every sum a ROM database may give, of the data and of the whole file.
    bool hasEverySum() const { return data.md5.size() == 16 && file.md5.size() == 16 && file.isValid(); }
};

// What is summed beyond the data's CRC32 and SHA-1: the whole file's CRC32; its SHA-1 too; or
// also both MD5s (every sum, once a ROM database needs one that was not computed).
enum class WholeFileSums { CrcOnly, Both, Every };

// The identity of bytes that come in pieces of any size: an entry streamed out of an archive.
class RomIdentifier
{
public:
    explicit RomIdentifier(WholeFileSums whole);
    ~RomIdentifier();
    void add(QByteArrayView piece);
    qint64 size() const { return m_size; }
    RomIdentity finish();

private:
    class Sums;
    std::unique_ptr<Sums> m_sums;
    QByteArray m_header; // gathered until it is whole
    qint64 m_size = 0;
    bool m_started = false;
};

// Reads path in pieces (memory stays small whatever its size) and stops early, with an error,
// once cancelled says so.
RomIdentity identifyRom(const QString &path, WholeFileSums whole, const std::function<bool()> &cancelled = {});
// The same for bytes in memory.
RomIdentity identifyRomBytes(QByteArrayView bytes);

QString crc32Text(quint32 crc);       // "0a1b2c3d"
QString sha1Text(const QByteArray &sha1); // 40 hex digits, as for an MD5's 32

// Whether the sums of identity's data leave out a 16-byte header.
bool hasNesHeader(const RomIdentity &identity);

// The sums beyond the data's CRC32 and SHA-1 (the whole file's SHA-1, both MD5s) as they are kept
// beside a check; empty when they were not computed.
QByteArray encodeMoreSums(const RomIdentity &identity);
// A kept check's identity: its size, header and data sums, the more sums when they were kept,
// and, with wholeFileCrc, the whole file's CRC32 worked out from them (no second read; only a ROM
// database needs it).
RomIdentity keptIdentity(qint64 size, QByteArray header, RomSums data, QByteArrayView moreSums, bool wholeFileCrc);

} // namespace library
