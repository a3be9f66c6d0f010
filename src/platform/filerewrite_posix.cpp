#include "platform/filerewrite.h"

#include "platform/filenames.h"

#include <QRandomGenerator>
#include <QThread>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// Records the reason in error and gives false, so that every failing step reads as one line.
struct Failure {
    QString *error;
    bool operator()(const QString &reason) const
    {
        if (error)
            *error = reason;
        return false;
    }
    bool operator()(int code) const { return (*this)(systemError(code)); }
};

bool writeAll(int fd, const QByteArray &bytes, off_t at, int *code)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), at + done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            *code = written < 0 ? errno : ENOSPC;
            return false;
        }
        done += written;
    }
    return true;
}

// The whole file, read through fd; false (errno-style code) on a read error or a file too large.
bool readAll(int fd, QByteArray *contents, QString *reason)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        *reason = systemError(errno);
        return false;
    }
    if (info.st_size > kMaxRewriteSize) {
        *reason = tooLargeToRewrite();
        return false;
    }
    contents->clear();
    char piece[64 * 1024];
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(fd, piece, sizeof piece, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *reason = systemError(errno);
            return false;
        }
        if (got == 0)
            return true;
        if (contents->size() + got > kMaxRewriteSize) { // grew while being read
            *reason = tooLargeToRewrite();
            return false;
        }
        contents->append(piece, got);
        at += got;
    }
}

bool closeChecked(int fd, int *code)
{
    if (::close(fd) == 0 || errno == EINTR) // after EINTR the descriptor is gone on Linux
        return true;
    *code = errno;
    return false;
}

// One writer at a time for the in-place path: a lock on the file itself, since the folder cannot
// hold a lock file. Another Quorvane holds it only for the moment of its own save.
bool lockExclusive(int fd, int *code)
{
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            *code = errno;
            return false;
        }
        QThread::msleep(10);
    }
    *code = EWOULDBLOCK;
    return false;
}

bool rewriteInPlace(const QByteArray &target, const ContentsEdit &edit, Failure fail)
{
    const int fd = ::open(target.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(errno);
    int code = 0;
    auto giveUp = [&](const auto &reason) {
        ::close(fd);
        return fail(reason);
    };
    if (!lockExclusive(fd, &code))
        return giveUp(code == EWOULDBLOCK ? QStringLiteral("Another program keeps the file locked.") : systemError(code));
    QByteArray old;
    QString reason;
    if (!readAll(fd, &old, &reason))
        return giveUp(reason);
    QByteArray contents = old;
    if (!edit(contents, &reason))
        return giveUp(reason);
    // Room first, where the file system can promise it: a full disk then fails before a byte of
    // the old contents is overwritten.
    if (contents.size() > old.size()) {
        const int reserved = ::posix_fallocate(fd, 0, off_t(contents.size()));
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
            (void)::ftruncate(fd, off_t(old.size()));
            return giveUp(reserved);
        }
    }
    if (!writeAll(fd, contents, 0, &code) || ::ftruncate(fd, off_t(contents.size())) != 0
        || ::fsync(fd) != 0) {
        if (code == 0)
            code = errno;
        // The old bytes back in their place: they fit where they stood before.
        int ignored = 0;
        writeAll(fd, old, 0, &ignored);
        (void)::ftruncate(fd, off_t(old.size()));
        (void)::fsync(fd);
        return giveUp(code);
    }
    if (!closeChecked(fd, &code)) // also releases the lock
        return fail(code);
    return true;
}

// false with tryInPlace set when no file can be made beside target (the folder is not the user's).
bool rewriteAtomically(const QByteArray &target, const struct stat *existing, const ContentsEdit &edit,
                       Failure fail, bool *tryInPlace)
{
    *tryInPlace = false;
    QByteArray contents;
    QString reason;
    if (existing) {
        const int fd = ::open(target.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            return fail(errno);
        const bool read = readAll(fd, &contents, &reason);
        ::close(fd);
        if (!read)
            return fail(reason);
    }
    if (!edit(contents, &reason))
        return fail(reason);

    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray base = target.mid(slash + 1);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "/." + base + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        // 0666 less the umask, as for any new file; an existing file's own mode is set below.
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int code = errno;
        if (existing && (code == EACCES || code == EPERM || code == EROFS))
            *tryInPlace = true;
        return fail(code);
    }
    int code = 0;
    bool written = true;
    if (existing) {
        (void)::fchown(fd, existing->st_uid, existing->st_gid); // only root may; others own theirs
        if (::fchmod(fd, existing->st_mode & 07777) != 0) {
            code = errno;
            written = false;
        }
    }
    written = written && writeAll(fd, contents, 0, &code);
    if (written && ::fsync(fd) != 0) { // on the disk before it takes the old file's name
        code = errno;
        written = false;
    }
    int closeCode = 0;
    if (!closeChecked(fd, &closeCode) && written) {
        code = closeCode;
        written = false;
    }
    if (written && ::rename(temporary.constData(), target.constData()) != 0) {
        code = errno;
        written = false;
    }
    if (!written) {
        ::unlink(temporary.constData());
        return fail(code);
    }
    // The rename itself reaches the disk with its folder. The new file is in place already, so a
    // folder that cannot be synced (some file systems refuse) is no failure of the save.
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        (void)::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

} // namespace

bool rewriteFile(const QString &path, const ContentsEdit &edit, QString *error)
{
    const Failure fail{error};
    QByteArray target = toSystem8Bit(path);
    struct stat info {};
    if (::lstat(target.constData(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // The link stays; its file is the one to change.
        char resolved[PATH_MAX];
        if (::realpath(target.constData(), resolved))
            target = resolved;
    }
    const bool exists = ::stat(target.constData(), &info) == 0;
    if (!exists && errno != ENOENT)
        return fail(errno);
    if (exists && !S_ISREG(info.st_mode))
        return fail(QStringLiteral("It is not a regular file."));
    bool tryInPlace = false;
    QString atomicError;
    if (rewriteAtomically(target, exists ? &info : nullptr, edit, Failure{&atomicError}, &tryInPlace))
        return true;
    if (!tryInPlace)
        return fail(atomicError);
    // The folder is not writable. A file writable in itself is changed in place; otherwise the
    // folder's refusal is the reason to give.
    if (::access(target.constData(), W_OK) != 0)
        return fail(atomicError);
    return rewriteInPlace(target, edit, fail);
}

} // namespace platform
