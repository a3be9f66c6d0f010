#include "platform/regularfile.h"

#include <QDir>

#include <algorithm>

#include <windows.h>

namespace platform {

RegularFile::~RegularFile()
{
    if (m_handle != -1)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

bool RegularFile::open(const QString &path)
{
    // Others may read, write or rename it meanwhile, as with any file Qt opens.
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return false;
    }
    m_handle = reinterpret_cast<intptr_t>(file);
    m_size = qint64(size.QuadPart);
    return true;
}

qint64 RegularFile::read(char *data, qint64 max)
{
    DWORD got = 0;
    const DWORD want = DWORD(std::min<qint64>(max, 1 << 30));
    return ReadFile(reinterpret_cast<HANDLE>(m_handle), data, want, &got, nullptr) ? qint64(got) : -1;
}

bool RegularFile::seek(qint64 to)
{
    LARGE_INTEGER distance{};
    distance.QuadPart = to;
    return SetFilePointerEx(reinterpret_cast<HANDLE>(m_handle), distance, nullptr, FILE_BEGIN);
}

} // namespace platform
