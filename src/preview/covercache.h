#pragma once
// Covers for the cover view: box art scaled once, off the window's thread, to the size a cover is
// drawn at, and kept in a disk cache of Quorvane's own and, the ones drawn lately, in memory.

#include "platform/workqueue.h"

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QStringList>

#include <memory>

namespace platform {
class Receiver;
}

namespace preview {

inline constexpr qint64 kCoverCacheCap = qint64(128) * 1024 * 1024; // on disk
inline constexpr int kCoversInMemoryKiB = 48 * 1024;

// The disk cache is a folder known by its marker file; each cover is a small JPEG named by the
// SHA-1 of its picture's path, size, time and the cover's size, so that a changed picture is
// scaled anew. Quorvane removes only such files of its own, the oldest first, once the cache
// passes its cap: never a file of another name, never through a link, never outside the folder.
class CoverCache : public QObject
{
    Q_OBJECT
public:
    // folder: the disk cache's (made, with its marker, when missing); empty, or a folder that is
    // not the cache's, and covers are kept in memory only.
    CoverCache(const QString &folder, const QSize &coverSize, QObject *parent = nullptr, qint64 capBytes = kCoverCacheCap);
    ~CoverCache() override;

    // Where box art is looked for by title (see titlePicturePaths).
    void setPictureFolders(const QStringList &folders);

    struct Lookup {
        QImage picture; // null: none known (yet)
        bool coming = false;
    };
    // The cover of title: at once when in memory; else asked for, and came() follows once it is
    // scaled or read from disk. None for a title without box art.
    Lookup cover(const QString &title);

    static const QString kMarkerName;

signals:
    void came();

private:
    struct Shared;
    void take(const QString &title, const QImage &picture);

    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<platform::Receiver> m_receiver;
    QCache<QString, QImage> m_memory{kCoversInMemoryKiB};
    QSet<QString> m_missing; // no box art
    QSet<QString> m_asked;   // on their way
    platform::WorkQueue m_work{"Covers", platform::WorkQueue::Priority::BelowWindow};
};

// Trims the disk cache at folder to capBytes: its oldest covers go first, and what an unfinished
// write left. Only files named as the cache names them, in the cache's own subfolders.
void trimCoverCache(const QString &folder, qint64 capBytes);

} // namespace preview
