#pragma once
// A regular file read by its very name, with the system's calls and nothing between: an archive
// is read in pieces, with seeks between them, thousands at a time. A FIFO, a device or a folder
// is never opened.

#include <QString>

#include <cstdint>
#include <utility>

namespace platform {

class RegularFile
{
public:
    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile &) = delete;
    RegularFile &operator=(const RegularFile &) = delete;

    // false when path is no regular file or cannot be opened for reading.
    bool open(const QString &path);
    qint64 size() const { return m_size; } // as it was opened
    // Up to max bytes; 0 at the end, -1 on a failure.
    qint64 read(char *data, qint64 max);
    bool seek(qint64 to);
    // The system's handle (a file descriptor, a Windows HANDLE), now the caller's to close.
    intptr_t release() { return std::exchange(m_handle, -1); }

private:
    intptr_t m_handle = -1;
    qint64 m_size = 0;
};

} // namespace platform
