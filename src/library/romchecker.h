#pragma once

#include "library/librarydatabase.h"
#include "library/romarchive.h"
#include "library/romdatabase.h"
#include "library/romidentity.h"
#include "platform/dirscan.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QThread;

namespace platform {
class ContextDoor;
}

namespace library {

class StampTaking;

// What is known of one ROM file once checked: its identity, its entry in the ROM databases, and
// what is wrong with it.
struct RomFacts {
    RomIdentity identity;
    QString title;   // the game a ROM database names; empty when it is in none
    QString status;  // that entry's status ("good", "baddump", ...)
    QString warning; // what is wrong, in words, one line each; empty for a sound ROM
    // For an archive: the NES ROMs it holds. The identity is its first ROM's, once that was read.
    std::shared_ptr<const ArchiveListing> archive;
    // An archive that holds no NES ROM (and is not refused): its row is not shown.
    bool isEmptyArchive() const { return archive && archive->roms.empty() && archive->problem.isEmpty(); }
};
using RomFactsByName = QHash<QByteArray, RomFacts>; // by the name's bytes

// The facts that identity and the databases give.
RomFacts judgeRom(RomIdentity identity, const RomDatabase *databases);
// The same for an archive, by its first ROM once that was read.
RomFacts judgeArchive(ArchiveListing listing, const RomDatabase *databases);

// A ROM file's identity, or an archive's first ROM's, read whole (off the window's thread);
// listed, when given, gets an archive's listing with that ROM's identity.
RomIdentity identifyRomOrArchive(const QString &path, WholeFileSums whole, const std::function<bool()> &cancelled = {},
                                 ArchiveListing *listed = nullptr);

// Checks ROM files off the window's thread, one folder after another, on a thread that runs
// only when the machine has nothing else to do: each file's header is read and its sums made,
// and kept in the library database, so that a later start only compares sizes and times. ROM
// databases (DAT files) are read once, at the first check or inspection.
class RomChecker : public QObject
{
    Q_OBJECT
public:
    struct Places {
        QString databaseFile;   // the library database; none when empty
        QStringList datFolders; // where DAT files are looked for
    };
    explicit RomChecker(Places places, QObject *parent = nullptr);
    // Stops the checks, each at its next file, and waits for them.
    ~RomChecker() override;

    // Checks the files of folder named in names (each with its NUL, as a list's buffer holds
    // them); an unfinished check of the same folder is overtaken.
    void check(const QString &folder, const QByteArray &names);
    // Reads path whole, off this thread, and calls done on this thread with its facts, both of
    // its whole-file sums made.
    void inspect(const QString &path, std::function<void(const RomFacts &)> done);
    // An archive's ROMs as an unpack read them, their identities known: kept in the database
    // (under the archive's stamp when it was listed) and shown. Called from any thread.
    void keepArchive(const QString &folder, const QByteArray &name, const platform::FileStamp &stamp, ArchiveListing listing);
    // Reads the first ROM of the archive name in folder for its identity, keeps and shows it,
    // and calls done with it on this thread (empty when it cannot be read).
    void identifyArchive(const QString &folder, const QByteArray &name, std::function<void(const QByteArray &sha1)> done);

signals:
    // A part of folder's facts, as they come.
    void checked(const QString &folder, const library::RomFactsByName &facts);
    // Every check asked for is done.
    void idle();
    // Something the user is to hear of: a damaged database, a DAT that cannot be read.
    void problem(const QString &message);

private:
    using Databases = std::shared_ptr<const RomDatabase>;
    Databases databases(); // read at the first call, from any thread
    void work();
    std::unique_ptr<LibraryDatabase> openLibrary(LibraryDatabase::Check check);
    void checkFolder(const QString &folder, const QByteArray &names, StampTaking &stamping);
    void openLibraryOnce();
    void wake(); // the checker's thread, started with the first work
    // On the checker's thread: what was learnt of an archive, kept and sent to the lists.
    void keepAndShow(const QString &folder, const QByteArray &name, const platform::FileStamp &stamp, ArchiveListing listing);
    // Runs on the checker's thread, between folders.
    void runJob(std::function<void()> job);
    bool superseded(const QString &folder);

    Places m_places;
    std::shared_ptr<platform::ContextDoor> m_door;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<QString, QByteArray> m_waiting; // folders to check, and their names
    std::vector<std::function<void()>> m_jobs; // what unpacks learnt, to keep
    bool m_databaseTried = false;
    bool m_stopping = false;
    std::once_flag m_datsRead;
    Databases m_dats;
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<LibraryDatabase> m_library; // the checker's thread's alone; opened with the first folder
    bool m_libraryUnchecked = false;            // its whole-file check is still to come
    QThreadPool m_inspections;
    std::shared_ptr<std::atomic<bool>> m_closing = std::make_shared<std::atomic<bool>>(false);
};

} // namespace library
