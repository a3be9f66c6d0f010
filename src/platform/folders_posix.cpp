#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

QString currentFolder()
{
    QString current = QDir::currentPath();
#ifdef Q_OS_LINUX
    // A removed current folder: Linux still tells the path it had.
    if (current.isEmpty()) {
        current = QFileInfo(QStringLiteral("/proc/self/cwd")).symLinkTarget();
        const QLatin1String deleted(" (deleted)");
        if (current.endsWith(deleted))
            current.chop(deleted.size());
    }
#endif
    return current;
}

QString userConfigFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base.isEmpty() ? QString() : QDir(base).filePath(QStringLiteral("quorvane"));
}

QString windowsFolder() { return QString(); }

QString absoluteFolder(const QString &text, const QString &base)
{
    if (text.isEmpty() || text.startsWith(QLatin1Char('/')))
        return text;
    return base.endsWith(QLatin1Char('/')) ? base + text : base + QLatin1Char('/') + text;
}

QString userCacheFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return base.isEmpty() ? QString() : QDir(base).filePath(QStringLiteral("quorvane"));
}

QString userDataFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base.isEmpty() ? QString() : QDir(base).filePath(QStringLiteral("quorvane"));
}

QStringList retroArchThumbnailFolders()
{
    QStringList folders;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!config.isEmpty())
        folders << QDir(config).filePath(QStringLiteral("retroarch/thumbnails"));
    folders << QDir::home().filePath(QStringLiteral(".var/app/org.libretro.RetroArch/config/retroarch/thumbnails"));
    return folders;
}

} // namespace platform
