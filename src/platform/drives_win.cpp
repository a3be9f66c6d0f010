#include "platform/drives.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <iterator>

namespace platform {

QStringList drives()
{
    QStringList roots;
    for (const QFileInfo &drive : QDir::drives())
        roots.append(drive.absoluteFilePath()); // "C:/"
    return roots;
}

QString systemDriveFolder(const QString &drive)
{
    // "D:" alone names the current folder Windows keeps for drive D.
    const std::wstring name = drive.left(2).toStdWString();
    wchar_t buffer[MAX_PATH * 4];
    const DWORD length = GetFullPathNameW(name.c_str(), DWORD(std::size(buffer)), buffer, nullptr);
    if (length == 0 || length >= std::size(buffer))
        return drive;
    return QDir::fromNativeSeparators(QString::fromWCharArray(buffer, int(length)));
}

} // namespace platform
