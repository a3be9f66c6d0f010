#include "library/folders/folderwatcher.h"

#include "platform/process.h"
#include "platform/workqueue.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QSocketNotifier>
#include <QThread>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <mutex>

namespace library {

namespace {

// The watcher's home on its thread: passes on the changes it sees, and those it finds.
class WatchHome : public QObject
{
    Q_OBJECT
signals:
    void folderChanged(const QString &folder);
};

// A file system mounted or unmounted over a watched folder, or above it, hides the folder the
// system watches behind another: every folder is watched anew, and counts as changed. Linux tells
// of a change to the mount table as an exceptional condition on /proc/self/mountinfo.
void watchMounts(WatchHome *home, QFileSystemWatcher *watcher)
{
#ifdef Q_OS_LINUX
    const int mounts = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (mounts < 0)
        return;
    auto *notifier = new QSocketNotifier(mounts, QSocketNotifier::Exception, home);
    QObject::connect(notifier, &QObject::destroyed, [mounts] { ::close(mounts); });
    QObject::connect(notifier, &QSocketNotifier::activated, home, [home, watcher, mounts] {
        char buffer[4096]; // read to its end, which clears the condition until the next change
        ::lseek(mounts, 0, SEEK_SET);
        while (::read(mounts, buffer, sizeof buffer) > 0) {
        }
        const QStringList folders = watcher->directories();
        for (const QString &folder : folders) {
            watcher->removePath(folder);
            watcher->addPath(folder);
            emit home->folderChanged(folder);
        }
    });
#else
    Q_UNUSED(home);
    Q_UNUSED(watcher);
#endif
}

} // namespace

// What the window's thread and the watching thread both look at.
struct FolderWatcher::State {
    std::mutex mutex;
    bool closing = false; // no more watches are set
    bool busy = false;    // a watch is being set: the system may not answer
    WatchHome *home = nullptr;             // lives on the watching thread, holds the watcher; deleted there as it ends
    QFileSystemWatcher *watcher = nullptr; // made and used on the watching thread only
};

FolderWatcher::FolderWatcher(QObject *parent)
    : QObject(parent), m_state(std::make_shared<State>()), m_thread(std::make_unique<QThread>())
{
    auto *home = new WatchHome;
    m_state->home = home;
    m_thread->setObjectName(QStringLiteral("Folder watches"));
    home->moveToThread(m_thread.get());
    connect(m_thread.get(), &QThread::finished, home, &QObject::deleteLater);
    connect(home, &WatchHome::folderChanged, this, &FolderWatcher::folderChanged);
    // The watcher is made on its own thread: on Windows it ties itself to the event loop of the
    // thread that makes it, and unties itself from the one that deletes it.
    connect(m_thread.get(), &QThread::started, home, [home, state = m_state] {
        platform::yieldToWindowWhenWoken();
        state->watcher = new QFileSystemWatcher(home);
        connect(state->watcher, &QFileSystemWatcher::directoryChanged, home, &WatchHome::folderChanged);
        watchMounts(home, state->watcher);
    });
    m_thread->start();
}

FolderWatcher::~FolderWatcher()
{
    bool busy;
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->closing = true;
        busy = m_state->busy;
    }
    m_thread->quit();
    if (busy) { // the system may not answer for minutes: a queue of its own waits for the thread, and frees it
        platform::WorkQueue ending("Folder watch end", platform::WorkQueue::Priority::Normal,
                                   platform::WorkQueue::WhenDestroyed::Finish);
        ending.post([thread = std::shared_ptr<QThread>(std::move(m_thread))](const platform::CancelFlag &) { thread->wait(); });
    } else
        m_thread->wait(); // an idle event loop: ends at once
}

void FolderWatcher::watch(const QObject *owner, const QList<ListedFolder> &folders)
{
    const auto pathsOf = [](const QList<ListedFolder> &listed) {
        QStringList paths;
        for (const ListedFolder &folder : listed)
            paths << folder.path;
        return paths;
    };
    const QStringList before = pathsOf(m_wanted.value(owner));
    m_wanted.insert(owner, folders);
    if (before == pathsOf(folders))
        return;
    QList<ListedFolder> all;
    for (const QList<ListedFolder> &wanted : std::as_const(m_wanted))
        all += wanted;
    QMetaObject::invokeMethod(m_state->home, [state = m_state, folders = std::move(all)] {
        {
            const std::lock_guard<std::mutex> lock(state->mutex);
            if (state->closing)
                return;
            state->busy = true;
        }
        QFileSystemWatcher *watcher = state->watcher;
        QSet<QString> wanted;
        for (const ListedFolder &listed : folders)
            wanted.insert(listed.path);
        const QStringList watching = watcher->directories();
        QStringList gone;
        for (const QString &folder : watching) {
            if (!wanted.contains(folder))
                gone << folder;
        }
        if (!gone.isEmpty())
            watcher->removePaths(gone);
        QSet<QString> watched(watching.cbegin(), watching.cend());
        for (const ListedFolder &listed : folders) {
            if (listed.path.isEmpty() || watched.contains(listed.path))
                continue;
            watched.insert(listed.path);
            // A change between the reading and the watch raises no signal; the folder's time of
            // last change tells of it.
            if (watcher->addPath(listed.path) && QFileInfo(listed.path).lastModified() != listed.modified)
                emit state->home->folderChanged(listed.path);
        }
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->busy = false;
    });
}

} // namespace library

#include "folderwatcher.moc"
