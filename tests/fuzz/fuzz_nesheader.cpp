// The NES header decoder on any 16 to 64 bytes: no size overflows or passes its cap, and the
// fields agree with the format they were read as.

#include "library/identity/nesheader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 16 || size > 64)
        return 0;
    const QByteArrayView bytes(data, qsizetype(size));
    using library::NesHeader;
    // The file's size: the bytes given, or unknown (the first byte decides).
    const qint64 fileSize = data[0] & 1 ? qint64(size) : -1;
    const NesHeader header = library::decodeNesHeader(bytes, fileSize);
    for (const qint64 sized : {header.prgRom, header.chrRom, header.chrRam, header.prgRam, header.prgNvram, header.chrNvram}) {
        if (sized < 0 || sized > NesHeader::kLargestSize)
            std::abort();
    }
    if (header.claimedSize() < 0 || header.claimedSize() > 16 + 512 + 2 * NesHeader::kLargestSize)
        std::abort();
    const bool magic = bytes.startsWith(QByteArrayView("NES\x1A", 4));
    if ((header.format == NesHeader::Format::NotINes) == magic)
        std::abort();
    if (header.format == NesHeader::Format::Nes20 ? header.mapper > 4095 || header.submapper < 0 || header.submapper > 15
                                                  : header.mapper > 255 || header.submapper != -1)
        std::abort();
    if (header.format == NesHeader::Format::ArchaicINes && header.mapper > 15)
        std::abort();
    if (header.dirty && header.format != NesHeader::Format::ArchaicINes)
        std::abort();
    if (header.format != NesHeader::Format::Nes20 && header.chrRom > 0 && header.chrRam != 0)
        std::abort();
    // NES 2.0 only where its sizes fit in a file of known size.
    if (header.format == NesHeader::Format::Nes20 && fileSize >= 0 && header.claimedSize() > fileSize)
        std::abort();
    const QStringList problems = library::headerProblems(header, qint64(size));
    const bool short_ = problems.filter(QStringLiteral("short")).size() == 1;
    if (magic && short_ != (header.claimedSize() > qint64(size)))
        std::abort();
    return 0;
}
