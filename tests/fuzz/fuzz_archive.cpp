// Any bytes as a zip or a 7z (libarchive tells them by their start) through the listing and the
// unpacking, with their caps: no crash, no ROM refused by name or kind listed, no entry streamed
// past its stated size or 64 MB. Also the database's copy of a listing, read back from any bytes.

#include "library/archives/romarchive.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    library::ArchiveListing listing = library::listArchiveBytes(bytes);
    if (!listing.problem.isEmpty() && !listing.roms.empty())
        std::abort();
    int read = 0;
    for (library::ArchiveEntry &entry : listing.roms) {
        if (!library::entryNameProblem(entry.name).isEmpty() || !library::isRomEntryName(entry.name) || entry.size > library::kLargestRomFile)
            std::abort();
        if (++read > 3)
            break;
        const qint64 stated = entry.size;
        qint64 written = 0;
        library::readArchiveEntryBytes(bytes, entry, [&](QByteArrayView piece) {
            written += piece.size();
            if (written > library::kLargestRomFile || (stated >= 0 && written > stated))
                std::abort();
            return true;
        });
    }
    library::ArchiveListing decoded;
    library::decodeListing(bytes, &decoded);
    return 0;
}
