#include "library/folders/romfolder.h"

#include "platform/memory.h"
#include "platform/workqueue.h"
#include "platform/receiver.h"
#include "platform/folders.h"

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

struct RomFolder::Reading {
    QString folder;
    RomNames names;
    ListedFolder watch;
};

RomNames readFolderNames(const QString &folder, const QString &pattern, bool *ok)
{
    return readRomNames(folder, pattern, QLocale(), ok);
}

RomFolder::RomFolder(const QString &pattern, const QString &applicationFolder, FolderReader read, FolderWatcher *watcher,
                   QObject *parent)
    : QObject(parent), m_pattern(pattern), m_applicationFolder(applicationFolder), m_read(std::move(read)),
      m_watcher(watcher), m_model(new RomListModel(this)),
      m_filter(new RomFilter(m_model, this)), m_receiver(platform::Receiver::of(this)),
      m_settling(new QTimer(this))
{
    m_settling->setSingleShot(true);
    connect(m_settling, &QTimer::timeout, this, [this] { startReading(m_folder, {}); });
    connect(m_watcher, &FolderWatcher::folderChanged, this, &RomFolder::folderChanged);
}

void RomFolder::setFolder(const QString &text, const std::function<void()> &whenPosted)
{
    m_folder = platform::absoluteFolder(text, m_applicationFolder);
    startReading(m_folder, whenPosted);
}

void RomFolder::startReading(const QString &folder, const std::function<void()> &whenPosted)
{
    // Another folder gets a queue of its own: a share that stalls holds up only its own reading,
    // which is dropped once it ends.
    if (!m_reading || folder != m_readingFolder) {
        m_reading = std::make_unique<platform::WorkQueue>("ROM folder", platform::WorkQueue::Priority::BelowWindow);
        m_readingFolder = folder;
    }
    m_reading->post([this, receiver = m_receiver, read = m_read, pattern = m_pattern, ticket = ++m_ticket, folder,
                     whenPosted](const platform::CancelFlag &) {
        Reading reading{folder, {}, watchTarget(QDir::fromNativeSeparators(folder))};
        bool readable = false;
        reading.names = read(QDir::fromNativeSeparators(folder), pattern, &readable);
        receiver->post([this, ticket, reading = std::move(reading)] { show(ticket, reading); });
        if (whenPosted)
            whenPosted();
    });
}

void RomFolder::show(quint64 ticket, const Reading &reading)
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
    // What the reading took beside the names is freed once it is dropped, after this; the
    // reading's thread then gives it back to the system.
    if (reading.names.buffer().size() >= platform::kWorthGivingBack) {
        QTimer::singleShot(0, this, [this] {
            m_reading->post([](const platform::CancelFlag &) { platform::giveBackFreedMemory(); });
        });
    }
}

void RomFolder::setChecker(RomChecker *checker)
{
    m_checker = checker;
    connect(checker, &RomChecker::checked, this, [this](const QString &folder, const CheckedBatch &facts) {
        if (folder == m_listedFolder)
            m_model->addFacts(facts);
    });
}

void RomFolder::checkAgain()
{
    if (m_checker && !m_listedFolder.isEmpty())
        m_checker->check(m_listedFolder, m_model->namesBuffer());
}

void RomFolder::folderChanged(const QString &folder)
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
