#pragma once
// Quorvane's own database file: what it has learnt of each ROM file, so that a second start reads
// no ROM again, and what the user plays. It is one SQLite file in the user's data folder (or
// beside a portable configuration file); every call waits on the disk, so it is used off the
// window's thread only. Several Quorvanes may use it at once: each change is one transaction.

#include "library/identity/romidentity.h"
#include "library/database/sqlitedb.h"
#include "platform/dirscan.h"

#include <QHash>

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace library {

// A ROM file as it was checked.
struct CheckedFile {
    QByteArray name; // as the file system holds it
    platform::FileStamp stamp;
    QByteArray header;
    RomSums sums; // without the header
    QByteArray moreSums = {}; // the sums only some ROM databases need (encodeMoreSums); empty when not computed
};

// What is stored of a game's play, by its identity (the SHA-1 of its ROM without the header): a
// renamed, moved or copied file keeps it, and two copies of one game share it.
struct PlayRecord {
    bool favourite = false;
    qint64 launches = 0;
    qint64 playedMs = 0;      // from each launch until the emulator ended
    qint64 lastLaunchMs = -1; // ms since 1970 (UTC); -1: never
    QString emulator;         // the emulator chosen for the game; empty: the default
};

// A game's identity as a key: the 20 bytes of its SHA-1, held in place, so that the play of
// thousands of games is read without a piece of memory for each.
struct GameKey {
    std::array<char, 20> bytes{};
    static GameKey of(QByteArrayView sha1);
    QByteArray sha1() const { return QByteArray(bytes.data(), qsizetype(bytes.size())); }
    bool operator==(const GameKey &other) const { return bytes == other.bytes; }
};
inline size_t qHash(const GameKey &key, size_t seed = 0) { return qHashBits(key.bytes.data(), key.bytes.size(), seed); }

// One of the last launches: the file as it was given to the emulator, and what it was.
struct RecentLaunch {
    QByteArray path; // its bytes
    QByteArray sha1;
    qint64 atMs = 0;
};

class LibraryDatabase
{
public:
    static constexpr int kSchemaVersion = 4;
    static constexpr int kRecentLaunches = 10;

    // When SQLite's check of the whole file runs: at the open, or when the caller has a moment
    // (isSound), so that what the file holds is used first.
    enum class Check { AtOpen, Later };

    // Opens the file at path, making it and its folder when missing. A file that is no database,
    // or fails SQLite's check, is renamed aside (never deleted) and a new one made; one written by
    // a newer Quorvane is opened read-only. message tells the user of any of this, naming the file
    // and the reason; null when nothing can be used (the program works on without it).
    // giveUp, when given, ends every wait on another program's lock once it is set.
    static std::unique_ptr<LibraryDatabase> open(const QString &path, QString *message, Check check = Check::AtOpen,
                                                 const std::atomic<bool> *giveUp = nullptr);

    bool isReadOnly() const { return m_readOnly; }
    // false when SQLite's check finds the file damaged: open it again to have it put aside.
    bool isSound();

    // The files of folder (its path's bytes) checked before.
    std::vector<CheckedFile> checkedFiles(QByteArrayView folder);
    // The same one at a time, as long as take returns true: a folder of a million files is not
    // held at once.
    void forEachCheckedFile(QByteArrayView folder, const std::function<bool(CheckedFile &file)> &take);
    // Keeps the checks of files in folder and forgets the names gone, in one transaction.
    bool keepChecks(QByteArrayView folder, const std::vector<CheckedFile> &files, const std::vector<QByteArray> &gone,
                    QString *error);

    // Play: each call is one transaction; false, with the reason in error, when it is not saved
    // (a full disk, a read-only or newer file, another Quorvane holding the file too long).
    // A launch counts once, is the game's last, and is the newest recent launch (one per path).
    bool recordLaunch(QByteArrayView sha1, QByteArrayView path, qint64 atMs, QString *error);
    bool addPlayTime(QByteArrayView sha1, qint64 playedMs, QString *error);
    bool setFavourite(QByteArrayView sha1, bool favourite, QString *error);
    // The emulator that starts the game from now on; empty: the default again.
    bool setEmulator(QByteArrayView sha1, const QString &emulator, QString *error);
    bool forgetRecentLaunch(QByteArrayView path, QString *error);
    // Every game played or marked, by identity.
    QHash<GameKey, PlayRecord> playRecords();
    PlayRecord playRecord(QByteArrayView sha1);
    // Newest first.
    std::vector<RecentLaunch> recentLaunches();

private:
    LibraryDatabase() = default;
    // Runs change in one transaction; false, with error, when it is not saved.
    bool inTransaction(const std::function<bool()> &change, QString *error);
    bool prepareSchema(QString *error);

    sql::Database m_db;
    bool m_readOnly = false;
};

// The name a damaged file of ours is kept under: path with ".corrupt-<date>-<time>", numbered
// when that is taken.
QString asideName(const QString &path);

} // namespace library
