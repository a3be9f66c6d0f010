#include "library/archives/romarchive.h"

#include <QDataStream>
#include <QIODevice>

namespace library {

QByteArray encodeListing(const ArchiveListing &listing)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << quint8(2) << listing.problem << quint32(listing.roms.size());
    for (const ArchiveEntry &rom : listing.roms)
        out << rom.name << rom.size << rom.header << rom.data.crc32 << rom.data.sha1 << rom.file.crc32 << rom.data.md5 << rom.file.sha1
            << rom.file.md5;
    return bytes;
}

bool decodeListing(QByteArrayView bytes, ArchiveListing *listing)
{
    const QByteArray copy = QByteArray::fromRawData(bytes.data(), bytes.size());
    QDataStream in(copy);
    in.setVersion(QDataStream::Qt_6_0);
    quint8 version = 0;
    quint32 count = 0;
    ArchiveListing read;
    in >> version >> read.problem >> count;
    // Version 1 was kept before the MD5s and the whole entry's SHA-1 were.
    if (in.status() != QDataStream::Ok || (version != 1 && version != 2) || count > quint32(kMostArchiveEntries))
        return false;
    const auto sized = [](const QByteArray &sum, qsizetype size) { return sum.isEmpty() || sum.size() == size; };
    for (quint32 i = 0; i < count; ++i) {
        ArchiveEntry rom;
        in >> rom.name >> rom.size >> rom.header >> rom.data.crc32 >> rom.data.sha1 >> rom.file.crc32;
        if (version == 2)
            in >> rom.data.md5 >> rom.file.sha1 >> rom.file.md5;
        if (in.status() != QDataStream::Ok || !sized(rom.data.sha1, 20) || !sized(rom.file.sha1, 20) || !sized(rom.data.md5, 16)
            || !sized(rom.file.md5, 16))
            return false;
        read.roms.push_back(std::move(rom));
    }
    *listing = std::move(read);
    return true;
}

} // namespace library
