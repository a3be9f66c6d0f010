#include "library/library.h"

#include "library/archives/romcache.h"
#include "platform/cachefiles.h"
#include "platform/filenames.h"
#include "platform/receiver.h"
#include "preview/snapshot.h"

#include <QCoreApplication>

#include <QFileInfo>
#include <QPointer>

#include <condition_variable>
#include <mutex>

namespace library {

namespace {

// The folder of folders that holds the file at path (-1: none), by the file system's judgement:
// another spelling of the folder, or a link to it, is it too.
int slotOfFolder(const std::array<QString, Library::kFolderCount> &folders, const QString &path)
{
    const QFileInfo folder(QFileInfo(path).absolutePath());
    for (size_t slot = 0; slot < folders.size(); ++slot) {
        if (!folders[slot].isEmpty() && QFileInfo(folders[slot]) == folder)
            return int(slot);
    }
    return -1;
}

} // namespace

Library::Library(Places places, const std::array<QString, kFolderCount> &patterns, QObject *parent)
    : QObject(parent), m_places(std::move(places)), m_watcher(new FolderWatcher(this)),
      m_checker(new RomChecker({m_places.databaseFile, m_places.datFolders}, this)),
      m_history(new PlayHistory(m_places.databaseFile, this)), m_receiver(platform::Receiver::of(this))
{
    // The checker and the history each use the database: what is wrong with it is told once.
    const auto tellOnce = [this](const QString &message) {
        if (!std::exchange(m_problemsTold[message], true))
            emit problem(message);
    };
    connect(m_checker, &RomChecker::problem, this, tellOnce);
    connect(m_history, &PlayHistory::problem, this, tellOnce);
    for (size_t slot = 0; slot < m_folders.size(); ++slot) {
        m_folders[slot] = new RomFolder(patterns[slot], m_places.applicationFolder, m_places.readFolder, m_watcher, this);
        m_folders[slot]->setChecker(m_checker);
    }
    connect(m_history, &PlayHistory::changed, this, [this] {
        const QSet<QByteArray> favourites = m_history->favourites();
        for (RomFolder *folder : m_folders) {
            folder->model()->setFavourites(favourites);
            folder->model()->orderAgain(); // a played game moves up
        }
    });
}

void Library::setOrder(RomOrder order)
{
    RomListModel::GameRank rank;
    if (order == RomOrder::MostPlayed)
        rank = [history = m_history](const QByteArray &game) { return history->record(game).launches; };
    else if (order == RomOrder::LastPlayed)
        rank = [history = m_history](const QByteArray &game) { return history->record(game).lastLaunchMs + 1; };
    for (RomFolder *folder : m_folders)
        folder->model()->setOrder(order, rank);
}

RomEntry Library::entry(int slot, int row) const
{
    if (slot < 0 || slot >= kFolderCount)
        return {};
    const RomFolder *folder = m_folders[size_t(slot)];
    RomEntry entry;
    entry.slot = slot;
    entry.folder = folder->listedFolder();
    if (row < 0 || row >= folder->filter()->rowCount())
        return entry;
    const int modelRow = folder->filter()->namesRow(row);
    const RomListModel *model = folder->model();
    entry.fileName = model->fileName(modelRow);
    entry.shownName = platform::displayName(entry.fileName);
    entry.path = entry.folder;
    if (!entry.path.endsWith(QLatin1Char('/')) && !entry.path.endsWith(QLatin1Char('\\')))
        entry.path += QLatin1Char('/');
    entry.path += entry.fileName;
    entry.isArchive = isArchiveName(model->bytesAt(modelRow));
    if (const ListedFacts *facts = model->factsAt(modelRow)) {
        entry.archive = facts->archive;
        entry.game = facts->game;
        entry.title = facts->title;
        entry.status = facts->status;
        entry.warning = facts->warning;
    }
    if (!entry.game.isEmpty()) {
        entry.play = m_history->record(entry.game);
        entry.favourite = entry.play.favourite;
    }
    return entry;
}

int Library::rowOfGame(int slot, const QByteArray &game) const
{
    if (game.isEmpty())
        return -1;
    const RomFilter *filter = m_folders[size_t(slot)]->filter();
    const RomListModel *model = m_folders[size_t(slot)]->model();
    for (int row = 0; row < filter->rowCount(); ++row) {
        const ListedFacts *facts = model->factsAt(filter->namesRow(row));
        if (facts && facts->game == game)
            return row;
    }
    return -1;
}

void Library::setFolders(const std::array<QString, kFolderCount> &folders, const std::array<bool, kFolderCount> &subfolders,
                         std::chrono::milliseconds patience)
{
    struct Countdown {
        std::mutex mutex;
        std::condition_variable done;
        int left = kFolderCount;
    };
    const auto countdown = std::make_shared<Countdown>();
    for (size_t slot = 0; slot < folders.size(); ++slot) {
        m_folders[slot]->setFolder(folders[slot], subfolders[slot], [countdown] {
            const std::lock_guard<std::mutex> lock(countdown->mutex);
            --countdown->left;
            countdown->done.notify_all();
        });
    }
    std::unique_lock<std::mutex> lock(countdown->mutex);
    countdown->done.wait_for(lock, patience, [&] { return countdown->left == 0; });
    lock.unlock();
    for (RomFolder *folder : m_folders) // the readings that came in time
        QCoreApplication::sendPostedEvents(folder, QEvent::MetaCall);
}

QStringList Library::snapshotPaths(const RomEntry &entry) const
{
    if (!entry.isRom())
        return {};
    if (!entry.isArchive)
        return preview::snapshotPaths(m_places.applicationFolder, entry.fileName);
    // An archive's own picture, else its first ROM's once the archive has been checked.
    QStringList paths{preview::archiveSnapshotPath(m_places.applicationFolder, entry.fileName)};
    if (entry.archive && !entry.archive->roms.empty())
        paths << preview::snapshotPaths(m_places.applicationFolder, platform::fromUtf8Lossless(entry.archive->roms.front().fileName()));
    return paths;
}

std::array<QString, Library::kFolderCount> Library::listedFolders() const
{
    std::array<QString, kFolderCount> folders;
    for (size_t slot = 0; slot < folders.size(); ++slot)
        folders[slot] = m_folders[slot]->listedFolder();
    return folders;
}

void Library::locate(const QString &path, std::function<void(platform::PathKind kind, int slot)> then)
{
    m_files.post([receiver = m_receiver, path, folders = listedFolders(), then = std::move(then)](const platform::CancelFlag &) {
        const platform::PathKind kind = platform::pathKind(path);
        const int slot = kind == platform::PathKind::RegularFile ? slotOfFolder(folders, path) : -1;
        receiver->post([then, kind, slot] { then(kind, slot); });
    });
}

void Library::toggleFavourite(const RomEntry &entry)
{
    if (!entry.isRom())
        return;
    if (entry.game.isEmpty() && entry.isArchive) {
        m_checker->identifyArchive(entry.folder, platform::toUtf8Lossless(entry.fileName),
                                   [history = QPointer<PlayHistory>(m_history), path = entry.path](const QByteArray &game) {
                                       if (history)
                                           history->setFavourite(path, game, !history->isFavourite(game));
                                   });
        return;
    }
    m_history->setFavourite(entry.path, entry.game, !entry.favourite);
}

void Library::loadHistory()
{
    if (std::exchange(m_historyLoaded, true))
        return;
    m_history->load();
    // A cache never made stays unmade.
    if (!m_places.romCacheFolder.isEmpty()) {
        m_files.post([folder = m_places.romCacheFolder](const platform::CancelFlag &) {
            QString error;
            if (platform::entryKind(folder) == platform::EntryKind::Folder)
                RomCache(folder).open(&error);
        });
    }
}

} // namespace library
