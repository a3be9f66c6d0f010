#include "library/romshelf.h"

#include "platform/aside.h"
#include "platform/contextdoor.h"
#include "platform/folders.h"
#include "platform/process.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimer>


namespace library {

namespace {

constexpr int kSettleMs = 300;          // a changed folder is read again once quiet this long,
constexpr qint64 kSettleLimitMs = 2000; // or this long after its first change at the latest

// What to watch for folder: the folder itself, by what it is rather than how it was spelled, so
// that two spellings of one folder share a watch; while it does not exist, the nearest folder
// above it that does, where its appearance is a change. Its time comes first: a change made while
// the folder is read, or before its watch is set, shows in it.
ListedFolder watchTarget(const QString &folder)
{
    if (folder.isEmpty())
        return {};
    QFileInfo info(QDir::cleanPath(folder));
    while (!info.isDir()) {
        const QString parent = info.path();
        if (parent == info.filePath())
            return {};
        info = QFileInfo(parent);
    }
    const QString canonical = info.canonicalFilePath();
    return {canonical.isEmpty() ? info.absoluteFilePath() : canonical, info.lastModified()};
}

} // namespace

struct RomShelf::Reading {
    QString folder;
    RomNames names;
    ListedFolder watch;
};

RomNames readFolderNames(const QString &folder, const QString &pattern, bool *ok)
{
    return readRomNames(folder, pattern, QLocale(), ok);
}

RomShelf::RomShelf(const QString &pattern, const QString &applicationFolder, FolderReader read, FolderWatcher *watcher,
                   QObject *parent)
    : QObject(parent), m_pattern(pattern), m_applicationFolder(applicationFolder), m_read(std::move(read)),
      m_watcher(watcher), m_model(new RomListModel(this)),
      m_filter(new RomFilter(m_model, this)), m_door(platform::ContextDoor::open(this)),
      m_settling(new QTimer(this))
{
    m_settling->setSingleShot(true);
    connect(m_settling, &QTimer::timeout, this, [this] { startReading(m_folder, {}); });
    connect(m_watcher, &FolderWatcher::folderChanged, this, &RomShelf::folderChanged);
}

void RomShelf::setFolder(const QString &text, const std::function<void()> &whenPosted)
{
    m_folder = platform::absoluteFolder(text, m_applicationFolder);
    startReading(m_folder, whenPosted);
}

void RomShelf::startReading(const QString &folder, const std::function<void()> &whenPosted)
{
    // Detached: closing the program never waits for a folder that does not answer. The door
    // drops the reading once the shelf is gone.
    platform::runAside([this, door = m_door, read = m_read, pattern = m_pattern, ticket = ++m_ticket, folder, whenPosted] {
        platform::yieldToWindow(); // the window is built meanwhile at start-up
        Reading reading{folder, {}, watchTarget(QDir::fromNativeSeparators(folder))};
        bool readable = false;
        reading.names = read(QDir::fromNativeSeparators(folder), pattern, &readable);
        door->post([this, ticket, reading = std::move(reading)] { show(ticket, reading); });
        if (whenPosted)
            whenPosted();
    });
}

void RomShelf::show(quint64 ticket, const Reading &reading)
{
    if (ticket != m_ticket)
        return; // a newer reading is on its way
    if (reading.folder == m_listedFolder) {
        m_model->update(reading.names);
    } else {
        m_listedFolder = reading.folder;
        m_model->reset(reading.names);
    }
    m_watched = reading.watch.path;
    m_watcher->watch(this, reading.watch);
    emit listed();
    if (m_checker && !m_listedFolder.isEmpty())
        m_checker->check(m_listedFolder, m_model->namesBuffer());
}

void RomShelf::setChecker(RomChecker *checker)
{
    m_checker = checker;
    connect(checker, &RomChecker::checked, this, [this](const QString &folder, const RomFactsByName &facts) {
        if (folder == m_listedFolder)
            m_model->addFacts(facts);
    });
}

void RomShelf::checkAgain()
{
    if (m_checker && !m_listedFolder.isEmpty())
        m_checker->check(m_listedFolder, m_model->namesBuffer());
}

void RomShelf::folderChanged(const QString &folder)
{
    if (m_watched.isEmpty() || folder != m_watched)
        return;
    // A copy of thousands of files is one change: read again once the folder has been quiet for a
    // moment, or at the latest a little after the first change.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (!m_settling->isActive())
        m_changedSince = now;
    if (now - m_changedSince < kSettleLimitMs)
        m_settling->start(kSettleMs);
}

} // namespace library
