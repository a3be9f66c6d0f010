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
#include <set>
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

namespace {

// A walk down a folder's tree, one folder's descriptor open per level.
class TreeWalk
{
public:
    TreeWalk(const QStringList &suffixes, const std::function<void(QByteArrayView)> &found,
             const std::function<void(QByteArrayView)> &entered)
        : m_found(found), m_entered(entered)
    {
        for (const QString &suffix : suffixes)
            m_endings.push_back(suffix.toUtf8());
    }

    // Reads the folder open at fd (and closes it), then its subfolders, levels deep.
    void walk(int fd, int levels)
    {
        struct stat own {};
        if (::fstat(fd, &own) != 0 || !m_seen.insert({own.st_dev, own.st_ino}).second) {
            ::close(fd);
            return;
        }
        if (m_entered && !m_path.isEmpty())
            m_entered(QByteArrayView(m_path).chopped(1));
        DIR *dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return;
        }
        std::vector<QByteArray> below;
        while (const dirent *entry = ::readdir(dir)) {
            const char *name = entry->d_name;
            if (name[0] == '.')
                continue; // hidden, and "." and ".."
            const size_t length = std::strlen(name);
            bool file = entry->d_type == DT_REG, folder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) { // a link is followed to what it names
                struct stat info {};
                if (::fstatat(fd, name, &info, 0) == 0) {
                    file = S_ISREG(info.st_mode);
                    folder = S_ISDIR(info.st_mode);
                }
            }
            if (file && matches(name, length)) {
                const qsizetype at = m_path.size();
                m_path.append(name, qsizetype(length));
                m_found(m_path);
                m_path.truncate(at);
            } else if (folder && levels > 0) {
                below.emplace_back(name, qsizetype(length));
            }
        }
        for (const QByteArray &name : below) {
            const int sub = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (sub < 0)
                continue; // one that cannot be read leaves the others
            const qsizetype at = m_path.size();
            m_path.append(name + '/');
            walk(sub, levels - 1);
            m_path.truncate(at);
        }
        ::closedir(dir);
    }

private:
    bool matches(const char *name, size_t length) const
    {
        return std::any_of(m_endings.cbegin(), m_endings.cend(), [&](const QByteArray &ending) {
            const size_t size = size_t(ending.size());
            return length >= size && ::strncasecmp(name + length - size, ending.constData(), size) == 0;
        });
    }

    std::vector<QByteArray> m_endings;
    const std::function<void(QByteArrayView)> &m_found;
    const std::function<void(QByteArrayView)> &m_entered;
    std::set<std::pair<dev_t, ino_t>> m_seen; // the folders read: each once
    QByteArray m_path;                        // the folder being read, below the first, with its '/'
};

} // namespace

bool forEachFileBelow(const QString &folder, const QStringList &suffixes, int levels,
                      const std::function<void(QByteArrayView path)> &found, const std::function<void(QByteArrayView folder)> &entered)
{
    if (folder.isEmpty())
        return false;
    const int fd = ::open(toSystem8Bit(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    TreeWalk(suffixes, found, entered).walk(fd, levels);
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
