#include "platform/cachefiles.h"

#include "platform/filenames.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

EntryKind entryKind(const QString &path)
{
    struct stat info {};
    if (::lstat(toSystem8Bit(path).constData(), &info) != 0)
        return EntryKind::Missing;
    return S_ISLNK(info.st_mode) ? EntryKind::Link
           : S_ISDIR(info.st_mode) ? EntryKind::Folder
           : S_ISREG(info.st_mode) ? EntryKind::File
                                   : EntryKind::Link; // a device or a FIFO: nothing of ours either
}

bool moveOver(const QString &from, const QString &to, QString *error)
{
    if (::rename(toSystem8Bit(from).constData(), toSystem8Bit(to).constData()) == 0)
        return true;
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

qint64 processId() { return qint64(::getpid()); }

bool isProcessRunning(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

} // namespace platform
