// The byte mapping of file names: any bytes become text and come back as the same bytes. And a
// name folded for a search, as the find line and type-ahead compare it, whatever its bytes.

#include "platform/filenames.h"
#include "platform/textfold.h"

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
    // Folding the bytes is folding their text; folding twice changes nothing more.
    QByteArray folded("kept");
    platform::appendFoldedUtf8(bytes, folded);
    const QString foldedText = platform::foldedForSearch(text);
    if (folded != "kept" + platform::toUtf8Lossless(foldedText) || platform::foldedForSearch(foldedText) != foldedText)
        std::abort();
    return 0;
}
