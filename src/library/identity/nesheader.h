#pragma once
// The 16-byte header of an NES ROM image: iNES, NES 2.0, and the archaic iNES files whose last
// bytes hold a ripper's signature ("DiskDude!").

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace library {

struct NesHeader {
    enum class Format { NotINes, ArchaicINes, INes, Nes20 };
    enum class Mirroring { Horizontal, Vertical, FourScreen };
    enum class Console { Nes, VsSystem, PlayChoice10, Extended };
    enum class Timing { Ntsc, Pal, MultiRegion, Dendy };

    // Whatever a header claims, no size is larger than this: a claim past it is one no file holds.
    static constexpr qint64 kLargestSize = qint64(1) << 48;

    Format format = Format::NotINes;
    int mapper = 0;
    int submapper = -1; // NES 2.0 only
    qint64 prgRom = 0;  // bytes
    qint64 chrRom = 0;
    qint64 chrRam = 0;   // iNES: when there is no CHR ROM; NES 2.0: as byte 11 says, beside CHR ROM too
    qint64 prgRam = 0;   // NES 2.0 only, as are the two below
    qint64 prgNvram = 0;
    qint64 chrNvram = 0;
    Mirroring mirroring = Mirroring::Horizontal;
    bool battery = false;
    bool trainer = false; // 512 bytes between the header and the PRG ROM
    Console console = Console::Nes;
    Timing timing = Timing::Ntsc;
    bool dirty = false; // bytes 12 to 15 of an iNES header not zero: only the low mapper nibble counts

    // The header, the trainer, the PRG ROM and the CHR ROM: what the file must hold.
    qint64 claimedSize() const;
};

inline constexpr int kNesHeaderSize = 16;

// Decodes the first bytes of a file (16 or more; fewer is no iNES file) of fileSize bytes. A NES 2.0
// mark counts only when the sizes it gives fit in the file (the nesdev rule): a file whose old
// header happens to hold the mark is read as iNES. A fileSize below 0 is unknown: the mark counts.
NesHeader decodeNesHeader(QByteArrayView bytes, qint64 fileSize = -1);

// The common name of a well-known mapper ("MMC3"), or empty.
QString mapperName(int mapper);

// What is wrong with a file of fileSize bytes and this header, each in words; none for a sound one.
QStringList headerProblems(const NesHeader &header, qint64 fileSize);

} // namespace library
