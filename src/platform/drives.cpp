#include "platform/drives.h"

#include <QDir>
#include <QHash>

namespace platform {

namespace {
#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

// Per-drive current folders: process state that Windows keeps for every program.
QHash<QString, QString> &rememberedFolders()
{
    static QHash<QString, QString> folders;
    return folders;
}

bool isUnder(const QString &path, const QString &root)
{
    if (root.endsWith(QLatin1Char('/')))
        return path.startsWith(root, kPathCase) || path.compare(root.chopped(1), kPathCase) == 0;
    return path.compare(root, kPathCase) == 0 || path.startsWith(root + QLatin1Char('/'), kPathCase);
}
} // namespace

QString driveOf(const QString &path)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    QString best;
    for (const QString &drive : drives()) {
        if (isUnder(clean, drive) && drive.size() > best.size())
            best = drive;
    }
    return best.isEmpty() ? QDir::rootPath() : best;
}

QString driveCurrentFolder(const QString &drive)
{
    const QString current = QDir::currentPath();
    if (driveOf(current) == drive)
        return current;
    const QString remembered = rememberedFolders().value(drive);
    if (!remembered.isEmpty() && QDir(remembered).exists())
        return remembered;
    const QString inherited = systemDriveFolder(drive);
    return QDir(inherited).exists() ? inherited : drive;
}

void rememberDriveFolder(const QString &drive, const QString &folder)
{
    rememberedFolders().insert(drive, folder);
}

} // namespace platform
