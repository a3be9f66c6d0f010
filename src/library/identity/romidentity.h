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
    bool isValid() const { return sha1.size() == 20; }
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
};

enum class WholeFileSums { CrcOnly, Both };

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
QString sha1Text(const QByteArray &sha1); // 40 hex digits

} // namespace library
