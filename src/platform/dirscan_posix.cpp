#include "platform/dirscan.h"

#include "platform/filenames.h"
#include "platform/regularfile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>
#include <cstring>
#include <strings.h>

namespace platform {

bool forEachFileWithSuffix(const QString &folder, const QStringList &suffixes,
                           const std::function<void(QByteArrayView name)> &found)
{
    if (folder.isEmpty())
        return false;
    DIR *dir = ::opendir(toSystem8Bit(folder).constData());
    if (!dir)
        return false;
    std::vector<QByteArray> endings;
    for (const QString &suffix : suffixes)
        endings.push_back(suffix.toUtf8());
    const int folderFd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.')
            continue; // hidden, and "." and ".."
        const size_t length = std::strlen(name);
        const bool matches = std::any_of(endings.cbegin(), endings.cend(), [&](const QByteArray &ending) {
            const size_t size = size_t(ending.size());
            return length >= size && ::strncasecmp(name + length - size, ending.constData(), size) == 0;
        });
        if (!matches)
            continue;
        bool plainFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            plainFile = ::fstatat(folderFd, name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        if (plainFile)
            found(QByteArrayView(name, qsizetype(length))); // the file system's bytes, as they are
    }
    ::closedir(dir);
    return true;
}

QStringList subfolders(const QString &folder)
{
    QStringList names;
    DIR *dir = ::opendir(toSystem8Bit(folder).constData());
    if (!dir)
        return names;
    const int folderFd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.')
            continue; // hidden, and "." and ".."
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            isFolder = ::fstatat(folderFd, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        if (isFolder)
            names.append(fromSystem8Bit(QByteArrayView(name, qsizetype(std::strlen(name)))));
    }
    ::closedir(dir);
    return names;
}

bool canReadFolder(const QString &folder, QString *reason)
{
    const QByteArray bytes = toSystem8Bit(folder);
    struct stat info {};
    QString why;
    if (::stat(bytes.constData(), &info) != 0)
        why = errno == ENOENT || errno == ENOTDIR ? QStringLiteral("The folder does not exist.")
                                                  : QString::fromLocal8Bit(std::strerror(errno));
    else if (!S_ISDIR(info.st_mode))
        why = QStringLiteral("It is not a folder.");
    else if (::access(bytes.constData(), R_OK | X_OK) != 0)
        why = QStringLiteral("Permission denied.");
    if (reason)
        *reason = why;
    return why.isEmpty();
}

PathKind pathKind(const QString &path)
{
    struct stat info {};
    if (::stat(toSystem8Bit(path).constData(), &info) != 0)
        return PathKind::Missing;
    return S_ISREG(info.st_mode) ? PathKind::RegularFile : PathKind::Other;
}

std::vector<FileStamp> fileStamps(const QString &folder, QByteArrayView names)
{
    std::vector<FileStamp> stamps;
    const int dir = ::open(toSystem8Bit(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (qsizetype at = 0; at < names.size();) {
        const char *name = names.data() + at;
        at += qsizetype(std::strlen(name)) + 1;
        struct stat info {};
        FileStamp stamp;
        if (dir >= 0 && ::fstatat(dir, name, &info, 0) == 0 && S_ISREG(info.st_mode))
            stamp = {info.st_size, qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
        stamps.push_back(stamp);
    }
    if (dir >= 0)
        ::close(dir);
    return stamps;
}

bool openRegularFile(const QString &path, QFile &file)
{
    RegularFile regular;
    if (!regular.open(path))
        return false;
    const int fd = int(regular.release());
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

} // namespace platform
