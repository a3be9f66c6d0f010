#include "library/identity/nesheader.h"

#include <algorithm>

namespace library {

namespace {

// A size in units, capped where no file could hold it.
qint64 capped(qint64 units, qint64 unitSize)
{
    return units > NesHeader::kLargestSize / unitSize ? NesHeader::kLargestSize : units * unitSize;
}

// NES 2.0's ROM size: a 12-bit count of units, or, with the top nibble all ones, the form
// 2^exponent * (multiplier * 2 + 1) bytes held in the low byte.
qint64 nes20RomSize(quint8 low, quint8 high, qint64 unitSize)
{
    if (high != 0x0F)
        return capped(qint64(high) << 8 | low, unitSize);
    const int exponent = low >> 2;
    const qint64 multiplier = (low & 0x03) * 2 + 1;
    return exponent >= 46 ? NesHeader::kLargestSize : std::min(NesHeader::kLargestSize, (qint64(1) << exponent) * multiplier);
}

// NES 2.0's RAM sizes: 64 bytes shifted left by a nibble, none for 0.
qint64 shiftedSize(int shift) { return shift == 0 ? 0 : qint64(64) << shift; }

} // namespace

qint64 NesHeader::claimedSize() const
{
    if (format == Format::NotINes)
        return 0;
    return kNesHeaderSize + (trainer ? 512 : 0) + prgRom + chrRom; // each at most 2^48: no overflow
}

NesHeader decodeNesHeader(QByteArrayView bytes)
{
    NesHeader header;
    if (bytes.size() < kNesHeaderSize || !bytes.startsWith(QByteArrayView("NES\x1A", 4)))
        return header;
    auto byte = [&](int at) { return quint8(bytes[at]); };
    const quint8 flags6 = byte(6), flags7 = byte(7);
    header.mirroring = flags6 & 0x08 ? NesHeader::Mirroring::FourScreen
        : flags6 & 0x01              ? NesHeader::Mirroring::Vertical
                                     : NesHeader::Mirroring::Horizontal;
    header.battery = flags6 & 0x02;
    header.trainer = flags6 & 0x04;
    const bool tailClean = byte(12) == 0 && byte(13) == 0 && byte(14) == 0 && byte(15) == 0;
    if ((flags7 & 0x0C) == 0x08) {
        header.format = NesHeader::Format::Nes20;
        header.mapper = (flags6 >> 4) | (flags7 & 0xF0) | (byte(8) & 0x0F) << 8;
        header.submapper = byte(8) >> 4;
        header.prgRom = nes20RomSize(byte(4), byte(9) & 0x0F, 16 * 1024);
        header.chrRom = nes20RomSize(byte(5), byte(9) >> 4, 8 * 1024);
        header.prgRam = shiftedSize(byte(10) & 0x0F);
        header.prgNvram = shiftedSize(byte(10) >> 4);
        header.chrRam = header.chrRom == 0 ? shiftedSize(byte(11) & 0x0F) : 0;
        header.chrNvram = shiftedSize(byte(11) >> 4);
        header.console = NesHeader::Console(flags7 & 0x03);
        header.timing = NesHeader::Timing(byte(12) & 0x03);
        return header;
    }
    // iNES: NES 2.0's high nibbles never apply. A header whose tail is not blank was written by
    // an old tool that put its name there, over what became the mapper's high nibble.
    header.format = (flags7 & 0x0C) == 0 && tailClean ? NesHeader::Format::INes : NesHeader::Format::ArchaicINes;
    header.dirty = !tailClean;
    header.mapper = header.dirty ? flags6 >> 4 : (flags6 >> 4) | (flags7 & 0xF0);
    header.prgRom = qint64(byte(4)) * 16 * 1024;
    header.chrRom = qint64(byte(5)) * 8 * 1024;
    header.chrRam = header.chrRom == 0 ? 8 * 1024 : 0;
    if (!header.dirty) {
        header.console = flags7 & 0x01 ? NesHeader::Console::VsSystem
            : flags7 & 0x02            ? NesHeader::Console::PlayChoice10
                                       : NesHeader::Console::Nes;
        header.timing = byte(9) & 0x01 ? NesHeader::Timing::Pal : NesHeader::Timing::Ntsc;
    }
    return header;
}

QString mapperName(int mapper)
{
    struct Name {
        int mapper;
        const char *name;
    };
    static constexpr Name names[] = {
        {0, "NROM"},    {1, "MMC1"},   {2, "UxROM"},   {3, "CNROM"},      {4, "MMC3"},    {5, "MMC5"},
        {7, "AxROM"},   {9, "MMC2"},   {10, "MMC4"},   {11, "Color Dreams"}, {13, "CPROM"}, {16, "Bandai FCG"},
        {18, "Jaleco SS88006"}, {19, "Namco 163"}, {21, "VRC4"}, {22, "VRC2"}, {23, "VRC2/VRC4"}, {24, "VRC6"},
        {25, "VRC4"},   {26, "VRC6"},  {34, "BNROM/NINA-001"}, {64, "RAMBO-1"}, {66, "GxROM"}, {69, "Sunsoft FME-7"},
        {71, "Camerica"}, {73, "VRC3"}, {75, "VRC1"}, {79, "NINA-03/06"}, {85, "VRC7"}, {118, "TxSROM"},
        {119, "TQROM"}, {206, "Namco 118"},
    };
    const auto found = std::find_if(std::begin(names), std::end(names), [mapper](const Name &n) { return n.mapper == mapper; });
    return found == std::end(names) ? QString() : QString::fromLatin1(found->name);
}

QStringList headerProblems(const NesHeader &header, qint64 fileSize)
{
    if (header.format == NesHeader::Format::NotINes)
        return {QStringLiteral("not an iNES file")};
    QStringList problems;
    if (header.dirty)
        problems << QStringLiteral("dirty header: bytes 12 to 15 are not zero (a ripper's name, such as "
                                   "\"DiskDude!\"), so only the low nibble of the mapper is used");
    if (header.claimedSize() >= NesHeader::kLargestSize)
        problems << QStringLiteral("short: the header claims more data than any file holds, the file holds %1 bytes").arg(fileSize);
    else if (header.claimedSize() > fileSize)
        problems << QStringLiteral("short: the header claims %1 bytes, the file holds %2").arg(header.claimedSize()).arg(fileSize);
    if (header.prgRom == 0)
        problems << QStringLiteral("no PRG ROM");
    return problems;
}

} // namespace library
