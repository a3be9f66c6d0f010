#include "platform/cachefiles.h"

#include <QDir>

#include <windows.h>

namespace platform {

namespace {

const wchar_t *native(const QString &path) { return reinterpret_cast<const wchar_t *>(path.utf16()); }

} // namespace

EntryKind entryKind(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(native(QDir::toNativeSeparators(path)));
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryKind::Missing;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) // a symbolic link or a junction
        return EntryKind::Link;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? EntryKind::Folder : EntryKind::File;
}

bool moveOver(const QString &from, const QString &to, QString *error)
{
    if (MoveFileExW(native(QDir::toNativeSeparators(from)), native(QDir::toNativeSeparators(to)), MOVEFILE_REPLACE_EXISTING))
        return true;
    if (error)
        *error = QStringLiteral("Windows error %1").arg(GetLastError());
    return false;
}

qint64 processId() { return qint64(GetCurrentProcessId()); }

bool isProcessRunning(qint64 pid)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

} // namespace platform
