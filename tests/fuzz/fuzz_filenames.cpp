// The byte mapping of file names: any bytes become text and come back as the same bytes.

#include "platform/filenames.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(data, qsizetype(size));
    const QString text = platform::fromUtf8Lossless(bytes);
    if (platform::toUtf8Lossless(text) != bytes)
        std::abort();
    if (platform::toSystem8Bit(platform::fromSystem8Bit(bytes)) != bytes)
        std::abort();
    // Text that holds no raw byte is valid UTF-8 and shows as it is.
    if (!platform::holdsRawBytes(text) && (!bytes.isValidUtf8() || platform::displayName(text) != text))
        std::abort();
    return 0;
}
