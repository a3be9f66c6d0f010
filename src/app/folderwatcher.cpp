#include "app/folderwatcher.h"

#include "platform/process.h"

#include <QFileSystemWatcher>
#include <QThread>

#include <mutex>
#include <thread>

namespace app {

// What the window's thread and the watching thread both look at.
struct FolderWatcher::State {
    std::mutex mutex;
    bool closing = false; // no more watches are set
    bool busy = false;    // a watch is being set: the system may not answer
    QFileSystemWatcher *watcher = nullptr; // made and used on the watching thread only
};

FolderWatcher::FolderWatcher(QObject *parent)
    : QObject(parent), m_state(std::make_shared<State>()), m_thread(std::make_unique<QThread>()), m_home(new QObject)
{
    m_thread->setObjectName(QStringLiteral("Folder watches"));
    m_home->moveToThread(m_thread.get());
    connect(m_thread.get(), &QThread::finished, m_home, &QObject::deleteLater);
    // The watcher is made on its own thread: on Windows it ties itself to the event loop of the
    // thread that makes it, and unties itself from the one that deletes it.
    connect(m_thread.get(), &QThread::started, m_home, [this, home = m_home, state = m_state] {
        platform::yieldToWindow();
        state->watcher = new QFileSystemWatcher(home);
        connect(state->watcher, &QFileSystemWatcher::directoryChanged, this, &FolderWatcher::folderChanged);
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
    if (busy) // the system may not answer for minutes: the thread ends, and goes, when it does
        std::thread([thread = std::move(m_thread)] { thread->wait(); }).detach();
    else
        m_thread->wait(); // an idle event loop: ends at once
}

void FolderWatcher::watch(const QStringList &folders)
{
    QMetaObject::invokeMethod(m_home, [state = m_state, folders] {
        {
            const std::lock_guard<std::mutex> lock(state->mutex);
            if (state->closing)
                return;
            state->busy = true;
        }
        QFileSystemWatcher *watcher = state->watcher;
        const QStringList watching = watcher->directories();
        for (const QString &folder : watching) {
            if (!folders.contains(folder))
                watcher->removePath(folder);
        }
        for (const QString &folder : folders) {
            if (!folder.isEmpty() && !watcher->directories().contains(folder))
                watcher->addPath(folder);
        }
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->busy = false;
    });
}

} // namespace app
