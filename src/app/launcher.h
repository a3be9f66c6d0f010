#pragma once

#include "launch/emulator.h"
#include "library/archives/romcache.h"
#include "library/library.h"
#include "platform/process.h"
#include "platform/workqueue.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

namespace app {

// The option controls as they stand when a ROM is started, and the emulator that starts it (none
// set: Nesticle, as earlier versions started it).
struct LaunchOptions {
    int resolution = 0;
    Qt::CheckState sound = Qt::Checked;
    int controller = 0;
    launch::EmulatorRun emulator;
};

// Starts games: plans the emulator's command line, unpacks a zipped ROM through the ROM cache
// (asking which one when an archive holds several), starts the emulator, writes its log, watches
// its end, and tells what happened. Everything that may wait on a disk or a share runs on its
// queue, one start after another; the window only asks.
class Launcher : public QObject
{
    Q_OBJECT
public:
    struct Places {
        QString applicationFolder; // where the emulator is looked for first
        QString logFolder;         // where the last launch's log goes; none when empty
        QString romCacheFolder;    // where zipped ROMs are unpacked; none when empty
        qint64 romCacheCap = library::kDefaultCacheCap; // what that folder may hold
        platform::ProcessStarter start = platform::startDetached;
    };
    // Which of an archive's ROMs to start, given their names; -1 for none. Called on this thread.
    using EntryChooser = std::function<int(const QString &archiveName, const QStringList &roms)>;

    // checker keeps what an unpack learns of an archive, so that its row shows it.
    Launcher(Places places, library::RomChecker *checker, EntryChooser chooseEntry, QObject *parent = nullptr);

    // Starts the ROM of a list's row, unpacked first when it is zipped.
    void start(const library::RomEntry &entry, const LaunchOptions &options);
    // Starts the file at path (of kind, as found), as a double click would; one that is no ROM
    // Quorvane lists fails with the reason. listedFolder: its folder as a list shows it, when one
    // does, so that what an unpack learns of an archive shows in its row.
    void startFile(const QString &path, platform::PathKind kind, const LaunchOptions &options, const QString &listedFolder = {});

signals:
    // The emulator started on the ROM at path (an archive's path for a zipped ROM); game is its
    // identity when known, else empty.
    void started(quint64 launch, const QString &path, const QByteArray &game);
    // That launch's emulator ended after playedMs.
    void ended(quint64 launch, qint64 playedMs);
    // Something the user is to hear of: a start that failed, an emulator that failed at once.
    void failed(const QString &message);
    // An emulator's program had changed since it was found, and was looked for again.
    void emulatorRefound(const launch::FoundEmulator &found);

private:
    struct Shared;
    struct Request;
    struct ArchiveStart;
    Request request(const LaunchOptions &options);
    void startRom(const QString &folder, const QString &fileName, const QByteArray &game, const LaunchOptions &options);
    // known: what the archive's row knows of it; listedFolder: the folder as a list shows it, to
    // keep what the unpack learns under (none when empty).
    void startArchive(const QString &path, std::shared_ptr<const library::ArchiveListing> known, const QString &listedFolder,
                      const LaunchOptions &options);
    void chooseAndStart(ArchiveStart job);
    // On the queue: what they use is shared with the launcher, which may be gone by the time
    // they end; they reach it only through its receiver.
    static void startEmulator(const std::shared_ptr<const Shared> &shared, const Request &request);
    static void unpackAndStart(const std::shared_ptr<const Shared> &shared, ArchiveStart job);
    // An emulator that opens the archive itself is given it whole.
    static void startWhole(const std::shared_ptr<const Shared> &shared, ArchiveStart job);
    static void reportEarlyExit(const std::shared_ptr<const Shared> &shared, const platform::ProcessExit &exit,
                                const QString &program, const QString &log, qint64 headerSize);

    std::shared_ptr<Shared> m_shared;
    QPointer<library::RomChecker> m_checker;
    EntryChooser m_chooseEntry;
    quint64 m_launches = 0;
    platform::WorkQueue m_starting{"Starting games"}; // the emulator inherits its priority: never lowered
};

} // namespace app
