// The ROM database readers on any bytes as a DAT file, in either form: no crash, no entry that
// cannot be matched, and memory bounded by the input (entities cannot multiply it).

#include "library/identity/datfiles.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(const library::DatRom &rom, qsizetype *held, size_t size)
{
    if (rom.status.isEmpty())
        std::abort();
    if (rom.size < 0 && rom.sha1.isEmpty() && rom.md5.isEmpty()) // a CRC32 alone matches too much
        std::abort();
    *held += rom.game.size() + rom.status.size();
    if (*held > 4 * qsizetype(size) + 1024 * 1024) // names and words come from the input, entities cut short
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    qsizetype held = 0;
    QString error;
    // As a folder's file is read (either form, by its first bytes), then as the text form whatever
    // they are.
    const bool read = library::readDat(bytes, [&](library::DatRom &&rom) { check(rom, &held, size); }, &error);
    if (read == !error.isEmpty())
        std::abort();
    held = 0;
    error.clear();
    const bool text = library::readClrMameProDat(bytes, [&](library::DatRom &&rom) { check(rom, &held, size); }, &error);
    if (text == !error.isEmpty() || (!text && !error.startsWith(QStringLiteral("line "))))
        std::abort();
    library::ClrMameProTokens tokens(bytes); // the tokenizer alone ends, at the end
    qsizetype count = 0;
    for (auto kind = tokens.next(); kind != library::ClrMameProTokens::Kind::End && kind != library::ClrMameProTokens::Kind::Unclosed;
         kind = tokens.next()) {
        if (++count > qsizetype(size))
            std::abort();
    }
    return 0;
}
