#pragma once

#include "library/checking/romchecker.h"
#include "library/database/playhistory.h"
#include "library/folders/romfolder.h"
#include "platform/dirscan.h"
#include "platform/workqueue.h"

#include <QHash>
#include <QObject>

#include <array>
#include <chrono>
#include <functional>
#include <memory>

namespace library {

// Everything known of one row of a ROM folder's list.
struct RomEntry {
    int slot = -1;     // the folder's number, 0..2
    QString folder;    // as its list shows it (a relative one made absolute)
    QString fileName;  // as the file system holds it
    QString path;      // the two together
    QString shownName; // as the list shows it
    bool isArchive = false;
    // Known once the row is checked (for an archive, of its first ROM); null or empty before.
    std::shared_ptr<const ArchiveListing> archive;
    QByteArray game; // the ROM's identity: the SHA-1 of its data
    QString title;   // a ROM database's, and its status
    QString status;
    QString warning;
    bool favourite = false;
    PlayRecord play;

    bool isValid() const { return slot >= 0; }
    bool isRom() const { return !fileName.isEmpty(); } // else the folder alone
};

// The user's ROMs: the three ROM folders and their models, the checks of their files, the ROM
// databases, the play history and the ROM cache. The window shows what it holds, and gets one
// entry for any row it shows.
class Library : public QObject
{
    Q_OBJECT
public:
    static constexpr int kFolderCount = 3;
    struct Places {
        QString applicationFolder; // what a relative ROM folder is read against
        QString databaseFile;      // the library database; nothing is saved when empty
        QStringList datFolders;    // where ROM databases (DAT files) are looked for
        QString romCacheFolder;    // where ROMs from archives are unpacked; none when empty
        FolderReader readFolder = readFolderNames;
    };
    // patterns: each folder's names ("*.nes;*.zip;*.7z").
    Library(Places places, const std::array<QString, kFolderCount> &patterns, QObject *parent = nullptr);

    RomFolder *folder(int slot) const { return m_folders[size_t(slot)]; }
    RomChecker *checker() const { return m_checker; }
    PlayHistory *history() const { return m_history; }

    // The row shown at row of slot's list (its filter's rows); outside them, the folder alone.
    RomEntry entry(int slot, int row) const;
    // The first shown row of slot's list whose ROM is game; -1 when none is (or is not checked yet).
    int rowOfGame(int slot, const QByteArray &game) const;

    // Lists the folders the texts name (relative ones read against the application folder), each
    // read on a queue of its own; waits for them up to patience, and a list whose folder has not
    // answered by then fills when it does.
    void setFolders(const std::array<QString, kFolderCount> &folders, const std::array<bool, kFolderCount> &subfolders,
                    std::chrono::milliseconds patience);
    // Orders every list so (see RomOrder); the played orders follow the play history.
    void setOrder(RomOrder order);
    // The pictures to show for entry, the first that exists; none for a folder alone.
    QStringList snapshotPaths(const RomEntry &entry) const;

    // What is at path, and which folder lists its folder (-1: none), by the file system's
    // judgement; found off this thread (a share that has gone away may take minutes to say), and
    // told to then on it.
    void locate(const QString &path, std::function<void(platform::PathKind kind, int slot)> then);
    // Adds entry's game to the favourites, or removes it; an archive not yet identified is read
    // for its first ROM first, and its row shows what is learnt.
    void toggleFavourite(const RomEntry &entry);
    // Reads the play history, and removes from the ROM cache what an unpack that a crash ended
    // left there; once, with the folders' first reading.
    void loadHistory();

signals:
    // What is wrong with the database or a ROM database: each message once.
    void problem(const QString &message);

private:
    // The folders the lists show.
    std::array<QString, kFolderCount> listedFolders() const;

    Places m_places;
    FolderWatcher *m_watcher;
    RomChecker *m_checker;
    PlayHistory *m_history;
    std::array<RomFolder *, kFolderCount> m_folders{};
    std::shared_ptr<platform::Receiver> m_receiver;
    platform::WorkQueue m_files{"Library files"};
    QHash<QString, bool> m_problemsTold;
    bool m_historyLoaded = false;
};

} // namespace library
