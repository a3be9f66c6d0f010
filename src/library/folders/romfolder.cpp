#include "library/folders/romfolder.h"

#include "platform/memory.h"
#include "platform/workqueue.h"
#include "platform/receiver.h"
#include "platform/filenames.h"
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
    QList<ListedFolder> watch; // the folder (or its parent), then the subfolders read
};

RomNames readFolderNames(const QString &folder, const QString &pattern, bool subfolders, bool *ok)
{
    return readRomNames(folder, pattern, QLocale(), ok, subfolders);
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

void RomFolder::setFolder(const QString &text, bool subfolders, const std::function<void()> &whenPosted)
{
    m_folder = platform::absoluteFolder(text, m_applicationFolder);
    m_subfolders = subfolders;
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
                     subfolders = m_subfolders, whenPosted](const platform::CancelFlag &) {
        const QString path = QDir::fromNativeSeparators(folder);
        Reading reading{folder, {}, {watchTarget(path)}};
        bool readable = false;
        reading.names = read(path, pattern, subfolders, &readable);
        // The subfolders' own times: a change in one made before its watch is set counts too.
        const QString base = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        const std::vector<QByteArray> &below = reading.names.subfolders();
        for (size_t i = 0; i < below.size() && i < size_t(kMostWatchedSubfolders); ++i) {
            const QFileInfo info(base + platform::fromUtf8Lossless(below[i]));
            const QString canonical = info.canonicalFilePath();
            if (!canonical.isEmpty())
                reading.watch.append({canonical, info.lastModified()});
        }
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
        m_model->reset(reading.names, reading.folder);
    }
    m_watched.clear();
    for (const ListedFolder &watched : reading.watch)
        m_watched.insert(watched.path);
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
    if (!m_watched.contains(folder))
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
