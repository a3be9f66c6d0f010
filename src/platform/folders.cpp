#include "platform/folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <shlobj.h>
#include <windows.h>
#endif

namespace platform {

QString applicationFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString currentFolder()
{
    QString current = QDir::currentPath();
#ifdef Q_OS_LINUX
    if (current.isEmpty()) {
        current = QFileInfo(QStringLiteral("/proc/self/cwd")).symLinkTarget();
        const QLatin1String deleted(" (deleted)");
        if (current.endsWith(deleted))
            current.chop(deleted.size());
    }
#endif
    return current;
}

#ifdef Q_OS_WIN
QString userConfigFolder()
{
    // The roaming folder, as %APPDATA% names it; Qt's generic locations are the local one.
    PWSTR path = nullptr;
    QString folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DONT_VERIFY, nullptr, &path)))
        folder = QString::fromWCharArray(path);
    CoTaskMemFree(path);
    if (folder.isEmpty())
        return QString();
    return QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("Quorvane")));
}

QString windowsFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return QString();
    return QString::fromWCharArray(buffer, int(length));
}
#else
QString userConfigFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base.isEmpty() ? QString() : QDir(base).filePath(QStringLiteral("quorvane"));
}

QString windowsFolder() { return QString(); }
#endif

} // namespace platform
