#pragma once
// What the POSIX-only tests share: a process's peak memory, and a small disk that fills.

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace testutil {

// How much the process's peak memory grew while work ran, in KiB.
template <class Work>
long peakGrowth(Work work)
{
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    work();
    getrusage(RUSAGE_SELF, &after);
    return after.ru_maxrss - before.ru_maxrss;
}

// A small file system of the test's own, filled to the last byte on demand.
struct SmallDisk {
    QTemporaryDir dir;
    QString reason; // empty once mounted
    explicit SmallDisk(const char *size)
    {
        const QByteArray options = QByteArray("size=") + size + ",mode=0755";
        if (::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, options.constData()) != 0)
            reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk()
    {
        if (reason.isEmpty())
            ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    void fill()
    {
        const int fd = ::open(QFile::encodeName(dir.filePath(QStringLiteral("filler"))).constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        for (const QByteArray block(512, 'f'); ::write(fd, block.constData(), size_t(block.size())) > 0;) {
        }
        ::close(fd);
    }
};

} // namespace testutil
