#include "preview/covercache.h"

#include "platform/receiver.h"
#include "preview/snapshot.h"
#include "preview/titlepictures.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

namespace preview {

const QString CoverCache::kMarkerName = QStringLiteral("quorvane-covers.cache");

namespace {

constexpr size_t kMostWaiting = 128;  // covers asked for and not begun: older ones are dropped
constexpr int kCoverQuality = 90;
constexpr int kTrimEveryWrites = 500;
constexpr qint64 kLeftoverAgeMs = 3600 * 1000; // an unfinished write this old is no one's

const QRegularExpression &coverName()
{
    static const QRegularExpression name(QStringLiteral("^[0-9a-f]{40}\\.jpg$"));
    return name;
}
const QRegularExpression &leftoverName()
{
    static const QRegularExpression name(QStringLiteral("^[0-9a-f]{40}\\.jpg\\..+$"));
    return name;
}

// The folder is the cache's, made with its marker when missing; false when it is someone else's
// or cannot be made.
bool openCacheFolder(const QString &folder)
{
    const QDir dir(folder);
    const QString marker = dir.filePath(CoverCache::kMarkerName);
    if (QFileInfo(marker).isFile() && !QFileInfo(marker).isSymLink())
        return true;
    if (dir.exists() && !dir.isEmpty())
        return false; // not made by Quorvane: left alone
    if (!QDir().mkpath(folder))
        return false;
    QSaveFile file(marker);
    return file.open(QIODevice::WriteOnly)
        && file.write("Quorvane keeps covers scaled for its cover view here; it may remove any of them.\n") > 0 && file.commit();
}

QString cacheFileOf(const QString &folder, const QFileInfo &source, const QSize &size)
{
    QCryptographicHash key(QCryptographicHash::Sha1);
    key.addData(QFile::encodeName(source.absoluteFilePath()));
    key.addData(QByteArray::number(source.size()) + '\0' + QByteArray::number(source.lastModified().toMSecsSinceEpoch()) + '\0'
                + QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height()));
    const QString hex = QString::fromLatin1(key.result().toHex());
    return folder + QLatin1Char('/') + hex.left(2) + QLatin1Char('/') + hex + QStringLiteral(".jpg");
}

bool writeCover(const QString &path, const QImage &cover)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && cover.save(&file, "JPEG", kCoverQuality) && file.commit();
}

} // namespace

struct CoverCache::Shared {
    std::mutex mutex;
    std::deque<QString> waiting; // titles, newest last
    QString folder;              // the disk cache's; empty: none
    QStringList pictureFolders;
    QSize size;
    qint64 cap = kCoverCacheCap;
    int written = 0; // by the queue's job alone: covers written, for the trims of a long session
    std::atomic<bool> diskFailed{false};
};

CoverCache::CoverCache(const QString &folder, const QSize &coverSize, QObject *parent, qint64 capBytes)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_receiver(platform::Receiver::of(this))
{
    m_shared->size = coverSize;
    m_shared->cap = capBytes;
    if (folder.isEmpty())
        return;
    m_work.post([shared = m_shared, folder, capBytes](const platform::CancelFlag &) {
        if (!openCacheFolder(folder)) {
            qWarning("Covers are not kept on disk: %s is not Quorvane's cover cache, or cannot be made.", qPrintable(folder));
            return;
        }
        trimCoverCache(folder, capBytes);
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->folder = folder;
    });
}

CoverCache::~CoverCache() = default;

void CoverCache::setPictureFolders(const QStringList &folders)
{
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        if (m_shared->pictureFolders == folders)
            return;
        m_shared->pictureFolders = folders;
    }
    m_missing.clear(); // a new folder may have them
    emit came();
}

CoverCache::Lookup CoverCache::cover(const QString &title)
{
    if (title.isEmpty() || m_missing.contains(title))
        return {};
    if (const QImage *picture = m_memory.object(title))
        return {*picture, false};
    if (m_asked.contains(title))
        return {QImage(), true};
    m_asked.insert(title);
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->waiting.push_back(title);
    }
    // Each job takes the newest wish: what was just scrolled to comes first, and wishes left far
    // behind are dropped (asked again when drawn again).
    // The job touches only what it shares; this is reached through the receiver alone.
    m_work.post([this, shared = m_shared, receiver = m_receiver](const platform::CancelFlag &cancelled) {
        QString title;
        QStringList dropped, paths;
        QString folder;
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->waiting.empty())
                return;
            title = std::move(shared->waiting.back());
            shared->waiting.pop_back();
            while (shared->waiting.size() > kMostWaiting) {
                dropped << shared->waiting.front();
                shared->waiting.pop_front();
            }
            folder = shared->folder;
            paths = titlePicturePaths(shared->pictureFolders, title, TitlePicture::BoxArt, TitlePicture::BoxArt);
        }
        if (!dropped.isEmpty()) { // asked again when drawn again
            receiver->post([this, dropped] {
                for (const QString &title : dropped)
                    m_asked.remove(title);
            });
        }
        QImage picture;
        QFileInfo source;
        for (const QString &path : paths) {
            source = QFileInfo(path);
            if (source.isFile())
                break;
            source = QFileInfo();
        }
        if (!source.filePath().isEmpty() && !cancelled.isSet()) {
            const QString cached = folder.isEmpty() ? QString() : cacheFileOf(folder, source, shared->size);
            if (!cached.isEmpty())
                picture = loadFitted(cached, shared->size, cancelled.asCheck());
            if (picture.isNull()) {
                picture = loadFitted(source.filePath(), shared->size, cancelled.asCheck());
                if (!picture.isNull() && !cached.isEmpty()) {
                    if (!writeCover(cached, picture)) {
                        if (!shared->diskFailed.exchange(true))
                            qWarning("A cover could not be kept in %s: covers are scaled again at the next start.", qPrintable(folder));
                    } else if (++shared->written % kTrimEveryWrites == 0) { // a long session keeps to the cap too
                        trimCoverCache(folder, shared->cap);
                    }
                }
            }
        }
        if (cancelled.isSet())
            return;
        receiver->post([this, title, picture] { take(title, picture); });
    });
    return {QImage(), true};
}

void CoverCache::take(const QString &title, const QImage &picture)
{
    m_asked.remove(title);
    if (picture.isNull())
        m_missing.insert(title);
    else
        m_memory.insert(title, new QImage(picture), int(std::max<qint64>(1, picture.sizeInBytes() / 1024)));
    emit came();
}

void trimCoverCache(const QString &folder, qint64 capBytes)
{
    struct Kept {
        QString path;
        qint64 size;
        qint64 time;
    };
    std::vector<Kept> covers;
    qint64 total = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QDir root(folder);
    for (const QFileInfo &sub : root.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
        if (sub.fileName().size() != 2 || sub.isSymLink())
            continue;
        QDirIterator files(sub.filePath(), QDir::Files | QDir::Hidden | QDir::System);
        while (files.hasNext()) {
            const QFileInfo file(files.next());
            if (file.isSymLink() || !file.isFile())
                continue;
            const qint64 time = file.lastModified().toMSecsSinceEpoch();
            if (coverName().match(file.fileName()).hasMatch()) {
                covers.push_back({file.filePath(), file.size(), time});
                total += file.size();
            } else if (leftoverName().match(file.fileName()).hasMatch() && now - time > kLeftoverAgeMs) {
                QFile::remove(file.filePath());
            }
        }
    }
    if (total <= capBytes)
        return;
    std::sort(covers.begin(), covers.end(), [](const Kept &a, const Kept &b) { return a.time < b.time; });
    const qint64 goal = capBytes - capBytes / 10; // a little below, so that it is not trimmed at every start
    for (const Kept &cover : covers) {
        if (total <= goal)
            break;
        if (QFile::remove(cover.path))
            total -= cover.size;
    }
}

} // namespace preview
