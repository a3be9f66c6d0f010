// Compiled into each executable on its own, with the folder fixed for that executable.
#include "platform/folders.h"

#include <QCoreApplication>
#include <QDir>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace platform {

QString applicationFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString systemConfigFolder()
{
#ifdef Q_OS_WIN
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    if (length > 0 && length <= MAX_PATH)
        return QString::fromWCharArray(buffer, int(length));
#endif
    return QStringLiteral(QUORVANE_CONFIG_DIR);
}

QString systemFilePath(const QString &bareName)
{
    return QDir::toNativeSeparators(QDir(systemConfigFolder()).filePath(bareName));
}

} // namespace platform
