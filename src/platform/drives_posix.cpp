#include "platform/drives.h"

#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace platform {

QStringList drives()
{
    // QStorageInfo already leaves out pseudo file systems such as /proc and /sys.
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady())
            continue;
        const QString root = volume.rootPath();
        if (!roots.contains(root) && QFileInfo(root).isDir()) // file bind mounts are no drives
            roots.append(root);
    }
    std::sort(roots.begin() + 1, roots.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return roots;
}

} // namespace platform
