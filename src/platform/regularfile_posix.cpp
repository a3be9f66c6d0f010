#include "platform/regularfile.h"

#include "platform/filenames.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

RegularFile::~RegularFile()
{
    if (m_handle >= 0)
        ::close(int(m_handle));
}

bool RegularFile::open(const QString &path)
{
    // Non-blocking, so that opening a FIFO returns at once; what was opened is then checked, not
    // the name looked up a second time.
    const int fd = ::open(toSystem8Bit(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    m_handle = fd;
    m_size = qint64(info.st_size);
    return true;
}

qint64 RegularFile::read(char *data, qint64 max)
{
    for (;;) {
        const ssize_t n = ::read(int(m_handle), data, size_t(max));
        if (n >= 0 || errno != EINTR)
            return qint64(n);
    }
}

bool RegularFile::seek(qint64 to) { return ::lseek(int(m_handle), off_t(to), SEEK_SET) == off_t(to); }

} // namespace platform
