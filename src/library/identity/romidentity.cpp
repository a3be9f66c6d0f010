#include "library/identity/romidentity.h"

#include "library/identity/nesheader.h"
#include "library/identity/sha1.h"
#include "platform/dirscan.h"

#include <QCryptographicHash>
#include <QFile>

#include <zlib.h>

#include <vector>

namespace library {

namespace {

constexpr qint64 kPieceSize = 256 * 1024;

// The sums of a file's bytes as they come, header first.
class Summer
{
public:
    explicit Summer(WholeFileSums whole) : m_whole(whole) {}

    // The first bytes: at most 16, all of them unless the file is shorter.
    void start(QByteArrayView header)
    {
        m_header = header.toByteArray();
        m_skipsHeader = decodeNesHeader(header).format != NesHeader::Format::NotINes;
        if (!m_skipsHeader)
            addData(header);
        if (m_whole != WholeFileSums::CrcOnly)
            m_fileSha1.addData(header);
        if (m_whole == WholeFileSums::Every)
            m_fileMd5.addData(header);
        m_headerCrc = quint32(crc32(0, reinterpret_cast<const Bytef *>(header.data()), uInt(header.size())));
    }
    void add(QByteArrayView piece)
    {
        addData(piece);
        m_dataSize += piece.size();
        if (m_whole != WholeFileSums::CrcOnly)
            m_fileSha1.addData(piece);
        if (m_whole == WholeFileSums::Every)
            m_fileMd5.addData(piece);
    }
    RomIdentity finish(qint64 size)
    {
        RomIdentity identity;
        identity.size = size;
        identity.header = m_header;
        identity.data = {quint32(m_dataCrc), m_dataSha1.result(), {}};
        // The whole file's CRC follows from the header's and the rest's, without a second pass.
        identity.file.crc32 = m_skipsHeader ? quint32(crc32_combine(m_headerCrc, m_dataCrc, z_off_t(m_dataSize)))
                                            : identity.data.crc32;
        if (m_whole != WholeFileSums::CrcOnly)
            identity.file.sha1 = m_fileSha1.result();
        if (m_whole == WholeFileSums::Every) {
            identity.data.md5 = m_dataMd5.result();
            identity.file.md5 = m_fileMd5.result();
        }
        return identity;
    }

private:
    void addData(QByteArrayView bytes)
    {
        m_dataCrc = crc32(m_dataCrc, reinterpret_cast<const Bytef *>(bytes.data()), uInt(bytes.size()));
        m_dataSha1.addData(bytes);
        if (m_whole == WholeFileSums::Every)
            m_dataMd5.addData(bytes);
    }

    WholeFileSums m_whole;
    QByteArray m_header;
    bool m_skipsHeader = false;
    quint32 m_headerCrc = 0;
    uLong m_dataCrc = crc32(0, nullptr, 0);
    qint64 m_dataSize = 0;
    Sha1 m_dataSha1;
    Sha1 m_fileSha1;
    QCryptographicHash m_dataMd5{QCryptographicHash::Md5};
    QCryptographicHash m_fileMd5{QCryptographicHash::Md5};
};

RomIdentity failed(const QString &why)
{
    RomIdentity identity;
    identity.error = why;
    return identity;
}

} // namespace

RomIdentity identifyRom(const QString &path, WholeFileSums whole, const std::function<bool()> &cancelled)
{
    QFile file;
    if (!platform::openRegularFile(path, file))
        return failed(QStringLiteral("it cannot be opened"));
    if (file.size() > kLargestRomFile)
        return failed(QStringLiteral("it is larger than 64 MB, more than any NES ROM"));
    // One buffer per thread: a checker reads thousands of files.
    thread_local std::vector<char> buffer = std::vector<char>(size_t(kPieceSize));
    Summer summer(whole);
    qint64 total = 0;
    bool started = false;
    for (;;) {
        if (cancelled && cancelled())
            return failed(QStringLiteral("cancelled"));
        // The first read is the header alone, so that the rest comes in whole pieces.
        const qint64 want = started ? kPieceSize : kNesHeaderSize;
        qint64 got = 0;
        while (got < want) { // a read may return less than asked before the end
            const qint64 n = file.read(buffer.data() + got, want - got);
            if (n < 0)
                return failed(QStringLiteral("it could not be read: ") + file.errorString());
            if (n == 0)
                break;
            got += n;
        }
        total += got;
        if (total > kLargestRomFile)
            return failed(QStringLiteral("it is larger than 64 MB, more than any NES ROM"));
        const QByteArrayView piece(buffer.data(), got);
        if (!started) {
            summer.start(piece);
            started = true;
        } else if (got > 0) {
            summer.add(piece);
        }
        if (got < want)
            break;
    }
    return summer.finish(total);
}

class RomIdentifier::Sums : public Summer
{
public:
    using Summer::Summer;
};

RomIdentifier::RomIdentifier(WholeFileSums whole) : m_sums(std::make_unique<Sums>(whole)) {}

RomIdentifier::~RomIdentifier() = default;

void RomIdentifier::add(QByteArrayView piece)
{
    m_size += piece.size();
    if (!m_started) {
        const qsizetype taken = std::min<qsizetype>(piece.size(), kNesHeaderSize - m_header.size());
        m_header.append(piece.first(taken));
        piece = piece.sliced(taken);
        if (m_header.size() < kNesHeaderSize)
            return;
        m_sums->start(m_header);
        m_started = true;
    }
    if (!piece.isEmpty())
        m_sums->add(piece);
}

RomIdentity RomIdentifier::finish()
{
    if (!m_started)
        m_sums->start(m_header);
    m_started = true;
    return m_sums->finish(m_size);
}

RomIdentity identifyRomBytes(QByteArrayView bytes)
{
    Summer summer(WholeFileSums::Every);
    summer.start(bytes.first(std::min<qsizetype>(bytes.size(), kNesHeaderSize)));
    if (bytes.size() > kNesHeaderSize)
        summer.add(bytes.sliced(kNesHeaderSize));
    return summer.finish(bytes.size());
}

QString crc32Text(quint32 crc) { return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')); }

QString sha1Text(const QByteArray &sha1) { return QString::fromLatin1(sha1.toHex()); }

bool hasNesHeader(const RomIdentity &identity) { return decodeNesHeader(identity.header).format != NesHeader::Format::NotINes; }

} // namespace library

namespace library {

QByteArray encodeMoreSums(const RomIdentity &identity)
{
    if (!identity.hasEverySum())
        return {};
    return identity.file.sha1 + identity.data.md5 + identity.file.md5;
}

RomIdentity keptIdentity(qint64 size, QByteArray header, RomSums data, QByteArrayView moreSums, bool wholeFileCrc)
{
    RomIdentity identity;
    identity.size = size;
    identity.header = std::move(header);
    identity.data = std::move(data);
    if (!hasNesHeader(identity)) {
        identity.file.crc32 = identity.data.crc32; // the data is the whole file
    } else if (wholeFileCrc) {
        const quint32 headerCrc = quint32(crc32(0, reinterpret_cast<const Bytef *>(identity.header.constData()), uInt(identity.header.size())));
        identity.file.crc32 = quint32(crc32_combine(headerCrc, identity.data.crc32, z_off_t(std::max<qint64>(0, size - kNesHeaderSize))));
    }
    if (moreSums.size() == 20 + 16 + 16) {
        identity.file.sha1 = moreSums.first(20).toByteArray();
        identity.data.md5 = moreSums.sliced(20, 16).toByteArray();
        identity.file.md5 = moreSums.sliced(36, 16).toByteArray();
    }
    return identity;
}

} // namespace library
