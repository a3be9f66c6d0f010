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

NesHeader decodeNesHeader(QByteArrayView bytes, qint64 fileSize)
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
    const int mark = flags7 & 0x0C;
    if (mark == 0x08) {
        NesHeader nes20 = header;
        nes20.format = NesHeader::Format::Nes20;
        nes20.mapper = (flags6 >> 4) | (flags7 & 0xF0) | (byte(8) & 0x0F) << 8;
        nes20.submapper = byte(8) >> 4;
        nes20.prgRom = nes20RomSize(byte(4), byte(9) & 0x0F, 16 * 1024);
        nes20.chrRom = nes20RomSize(byte(5), byte(9) >> 4, 8 * 1024);
        nes20.prgRam = shiftedSize(byte(10) & 0x0F);
        nes20.prgNvram = shiftedSize(byte(10) >> 4);
        nes20.chrRam = shiftedSize(byte(11) & 0x0F); // boards such as TQROM have both
        nes20.chrNvram = shiftedSize(byte(11) >> 4);
        nes20.console = NesHeader::Console(flags7 & 0x03);
        nes20.timing = NesHeader::Timing(byte(12) & 0x03);
        if (fileSize < 0 || nes20.claimedSize() <= fileSize)
            return nes20;
    }
    // iNES: NES 2.0's high nibbles never apply. A header marked archaic, or whose tail is not
    // blank (an old tool put its name there, over what became the mapper's high nibble), has
    // nothing of byte 7.
    header.dirty = !tailClean;
    const bool archaic = header.dirty || mark == 0x04;
    header.format = archaic ? NesHeader::Format::ArchaicINes : NesHeader::Format::INes;
    header.mapper = archaic ? flags6 >> 4 : (flags6 >> 4) | (flags7 & 0xF0);
    header.prgRom = qint64(byte(4)) * 16 * 1024;
    header.chrRom = qint64(byte(5)) * 8 * 1024;
    header.chrRam = header.chrRom == 0 ? 8 * 1024 : 0;
    if (!archaic) {
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
    // The boards a collection is full of, by their usual names (nesdev's mapper list).
    static constexpr Name names[] = {
        {0, "NROM"}, {1, "MMC1"}, {2, "UxROM"}, {3, "CNROM"}, {4, "MMC3"}, {5, "MMC5"}, {6, "FFE"},
        {7, "AxROM"}, {8, "FFE"}, {9, "MMC2"}, {10, "MMC4"}, {11, "Color Dreams"}, {13, "CPROM"},
        {15, "K-1029 multicart"}, {16, "Bandai FCG"}, {17, "FFE"}, {18, "Jaleco SS88006"}, {19, "Namco 163"},
        {21, "VRC4"}, {22, "VRC2"}, {23, "VRC2/VRC4"}, {24, "VRC6"}, {25, "VRC4"}, {26, "VRC6"},
        {28, "Action 53"}, {29, "Sealie Computing"}, {30, "UNROM 512"}, {31, "NSF player"},
        {32, "Irem G-101"}, {33, "Taito TC0190"}, {34, "BNROM/NINA-001"}, {36, "TXC 01-22000"},
        {37, "MMC3 multicart (PAL-ZZ)"}, {38, "Bit Corp. UNL-PCI556"}, {40, "NTDEC 2722"}, {41, "Caltron 6-in-1"},
        {42, "FDS conversion"}, {44, "MMC3 multicart"}, {45, "MMC3 multicart"}, {46, "Rumble Station"},
        {47, "NES-QJ"}, {48, "Taito TC0690"}, {49, "MMC3 multicart"}, {57, "GK 6-in-1"}, {58, "multicart"},
        {60, "reset-based multicart"}, {61, "multicart"}, {62, "Super 700-in-1"}, {64, "RAMBO-1"},
        {65, "Irem H3001"}, {66, "GxROM"}, {67, "Sunsoft-3"}, {68, "Sunsoft-4"}, {69, "Sunsoft FME-7"},
        {70, "Bandai 74161"}, {71, "Camerica"}, {72, "Jaleco JF-17"}, {73, "VRC3"}, {74, "Waixing MMC3"},
        {75, "VRC1"}, {76, "Namco 109 (NAMCOT-3446)"}, {77, "Irem LROG017"}, {78, "Irem 74HC161/Jaleco JF-16"},
        {79, "NINA-03/06"}, {80, "Taito X1-005"}, {82, "Taito X1-017"}, {85, "VRC7"}, {86, "Jaleco JF-13"},
        {87, "Jaleco J87"}, {88, "Namco 118 (NAMCOT-3443)"}, {89, "Sunsoft-2"}, {90, "J.Y. Company"},
        {91, "J.Y. Company"}, {92, "Jaleco JF-19"}, {93, "Sunsoft-2"}, {94, "UN1ROM"}, {95, "NAMCOT-3425"},
        {96, "Bandai Oeka Kids"}, {97, "Irem TAM-S1"}, {99, "Vs. System"}, {105, "NES-EVENT"},
        {111, "GTROM"}, {112, "NTDEC/Asder"}, {113, "NINA-03/06 multicart"}, {115, "Kasheng SFC-02B"},
        {118, "TxSROM"}, {119, "TQROM"}, {140, "Jaleco JF-11/14"}, {152, "Bandai 74161 (one screen)"},
        {153, "Bandai LZ93D50 (SRAM)"}, {154, "NAMCOT-3453"}, {155, "MMC1A"}, {156, "Daou DIS23C01"},
        {157, "Bandai Datach"}, {159, "Bandai LZ93D50 (24C01)"}, {163, "Nanjing"}, {176, "Waixing FK23C"},
        {180, "UNROM (Crazy Climber)"}, {184, "Sunsoft-1"}, {185, "CNROM with copy protection"},
        {189, "TXC MMC3"}, {206, "Namco 118"}, {207, "Taito X1-005 (one screen)"}, {210, "Namco 175/340"},
        {218, "Magic Floor"}, {225, "multicart (ET-4310)"}, {226, "multicart"}, {227, "multicart"},
        {228, "Action 52"}, {232, "Camerica Quattro"}, {234, "Maxi 15"}, {240, "C&E"}, {241, "BxROM with WRAM"},
        {242, "Waixing"}, {245, "Waixing MMC3"}, {246, "Fong Shen Bang"}, {253, "Waixing VRC4"},
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
