#include "platform/folders.h"

#include <QDir>

#include <shlobj.h>
#include <windows.h>

namespace platform {

QString currentFolder() { return QDir::currentPath(); }

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

} // namespace platform
