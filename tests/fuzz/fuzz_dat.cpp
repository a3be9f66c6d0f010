// The ROM database reader on any bytes as a DAT file: no crash, no entry without both sums, and
// memory bounded by the input (entities cannot multiply it).

#include "library/identity/romdatabase.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    qsizetype held = 0;
    QString error;
    const bool read = library::readDat(device, [&](library::DatRom &&rom) {
        if (!rom.sums.isValid() || rom.status.isEmpty())
            std::abort();
        held += rom.game.size() + rom.status.size();
        if (held > 4 * qsizetype(size) + 1024 * 1024) // names and words come from the input, entities cut short
            std::abort();
    }, &error);
    if (read == !error.isEmpty())
        std::abort();
    return 0;
}
