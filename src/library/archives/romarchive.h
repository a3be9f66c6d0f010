#pragma once
// ROMs inside .zip and .7z archives, read with libarchive: what an archive holds, and one entry's
// bytes streamed out of it. Every reading is bounded whatever the archive claims: in entries, in
// the size of an entry, and in what an entry really holds against what it states.

#include "library/identity/romidentity.h"
#include "platform/dirscan.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace library {

// More than this many entries and an archive is refused: no ROM set needs them, and a listing
// stays short whatever the archive.
inline constexpr int kMostArchiveEntries = 10000;

// A .zip or a .7z, by its name's ending, any case.
bool isArchiveName(QByteArrayView name);
// An entry that is a NES ROM, by its name's ending (".nes", any case).
bool isRomEntryName(QByteArrayView name);

struct ArchiveEntry {
    QByteArray name; // as the archive names it, folders and all (UTF-8 where it says so)
    qint64 size = -1;
    // Known once the entry has been read: its identity, as a plain ROM file's.
    QByteArray header;
    RomSums data;
    RomSums file; // the whole entry's: its CRC32, and the rest once every sum was asked for
    bool isRead() const { return data.isValid(); }
    // The name the entry's file gets: its last part.
    QByteArray fileName() const;
};

struct ArchiveListing {
    std::vector<ArchiveEntry> roms; // the NES ROMs it holds, in the archive's order
    QString problem;                // why it is refused; empty when it can be used
    // The archive's size and time when it was listed (not in the database's copy, which has its
    // own): a start that finds them unchanged need not list it again.
    platform::FileStamp stamp;
};

// Why an entry's name is refused: one that leads out of wherever it is unpacked (absolute, a
// drive, a "..") or holds what no file name may. Empty for a plain name.
QString entryNameProblem(QByteArrayView name);

// Lists the NES ROMs of the archive at path, each read to its end and identified on the way. A
// link, an encrypted ROM, a hostile name or one too long for a file, too many entries, or a
// truncated or damaged archive refuses the whole archive, with the reason.
// A 7z is listed apart, in a child process whose memory is bounded, once readArchivesApart has
// named the program: libarchive reads a 7z's whole header, as large as it declares, at once.
// With Reading::NamesOnly (a launch that reads its ROM next anyway) the ROMs are not read; a 7z
// listed apart is read whole all the same, with every sum. Reading::EverySum adds the MD5s and the
// whole entry's SHA-1 that some ROM databases need.
enum class Reading { Identify, NamesOnly, EverySum };
ArchiveListing listArchive(const QString &path, const std::function<bool()> &cancelled = {}, Reading reading = Reading::Identify);
// The program (and its first arguments) that lists a 7z apart: it runs archiveReaderMain on the
// argument that follows them.
void readArchivesApart(const QString &program, const QStringList &arguments);
// The child's side: lists the archive whose path's bytes are hexPath, within 64 MB of memory above
// its own, and writes the listing to its standard output. Its exit status.
int archiveReaderMain(const char *hexPath);
ArchiveListing listArchiveBytes(QByteArrayView bytes);

// Streams entry (named as listed) of the archive at path to write, in pieces, and fills in its
// identity (sums as asked). Stops with the reason when the entry is larger than a ROM can be or
// than it states, when its check sum fails, or when write returns false. Empty on success.
QString readArchiveEntry(const QString &path, ArchiveEntry &entry, const std::function<bool(QByteArrayView piece)> &write,
                         WholeFileSums sums = WholeFileSums::CrcOnly);
QString readArchiveEntryBytes(QByteArrayView archive, ArchiveEntry &entry, const std::function<bool(QByteArrayView piece)> &write);

// A file looked for in an archive: by its name, in words for the message when none is there.
struct WantedFile {
    std::function<bool(const QByteArray &name)> takes;
    QString words; // ".dat or .xml file"
    qint64 largest = 0;
};
// The first file of the archive at path that wanted takes (a DAT in a zip), read whole into bytes
// with the listing's refusals. Empty on success, else the reason.
QString readArchivedFile(const QString &path, const WantedFile &wanted, QByteArray *bytes);

// An archive's listing as the library database keeps it, and back; false for bytes that are no
// listing.
QByteArray encodeListing(const ArchiveListing &listing);
bool decodeListing(QByteArrayView bytes, ArchiveListing *listing);

// The identity of an archive's ROM that was read, as a plain file of its bytes has it.
RomIdentity identityOf(const ArchiveEntry &rom);

// A ROM file's identity, or an archive's first ROM's, read whole (off the window's thread);
// listed, when given, gets an archive's listing with that ROM's identity.
RomIdentity identifyRomOrArchive(const QString &path, WholeFileSums whole, const std::function<bool()> &cancelled = {},
                                 ArchiveListing *listed = nullptr);

} // namespace library
