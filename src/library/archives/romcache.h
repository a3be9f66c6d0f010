#pragma once
// Where ROMs from archives are unpacked for an emulator that cannot read archives. The cache is a
// folder of Quorvane's own, known by a marker file in it; each game lives in a folder named by
// its identity, so that the emulator finds the saves it wrote beside the ROM again at the next
// launch. Quorvane deletes only what it wrote there itself: never a save, never a file outside,
// never through a link.

#include "library/archives/romarchive.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace library {

inline constexpr qint64 kDefaultCacheCap = qint64(256) * 1024 * 1024;

class RomCache
{
public:
    explicit RomCache(const QString &folder, qint64 capBytes = kDefaultCacheCap);

    QString folder() const { return m_folder; }

    // Makes the folder and its marker, or finds them; at start-up (Leftovers::Remove) removes
    // what unpacks that never finished left behind. false, with the reason, when the folder
    // cannot be made or is not Quorvane's.
    enum class Leftovers { Remove, Keep };
    bool open(QString *error, Leftovers leftovers = Leftovers::Remove);

    struct Unpacked {
        QString file;  // the ROM's path in the cache; empty on failure
        QString error; // why it could not be unpacked
    };
    // Puts entry of the archive at archivePath in the cache, unless its file is there already with
    // the entry's size and CRC32, and marks it as just used. entry's identity is filled in.
    Unpacked unpack(const QString &archivePath, ArchiveEntry &entry);

    // What Quorvane wrote in the cache: the unpacked ROMs, not what the emulator wrote beside them.
    qint64 usedBytes() const;
    // Removes the least recently launched ROMs until what Quorvane wrote fits the cap; never the
    // one in keepFolder.
    void trim(const QString &keepFolder = {});

    static const QString kMarkerName;

private:
    // A game's folder as Quorvane left it, with the ROMs its note names there under each name an
    // archive gave the game.
    struct Game {
        QString folder;
        qint64 size; // of those ROMs together
        QDateTime used; // the last launch
    };
    std::vector<Game> games() const;
    QString gameFolder(const RomSums &data) const;
    bool isCached(const QString &folder, const ArchiveEntry &entry) const;
    // Replaces the folder's note of the ROMs Quorvane put there with text; the note's own time is
    // the game's last launch.
    bool writeNote(const QString &folder, const QByteArray &text, QString *error) const;
    void markUsed(const QString &folder) const; // the note's time is the ROM's last launch
    QString temporaryName() const;

    QString m_folder;
    qint64 m_cap;
};

} // namespace library
