#include "platform/drives.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QStringList drives()
{
    QStringList roots;
    for (const QFileInfo &drive : QDir::drives())
        roots.append(drive.absoluteFilePath()); // "C:/"
    return roots;
}

} // namespace platform
