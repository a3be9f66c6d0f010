#include "platform/boundedchild.h"

#include <QFile>

#include <sys/resource.h>

namespace platform {

bool limitOwnMemory(qint64 extraBytes)
{
#ifdef Q_OS_LINUX
    // The data limit counts the heap and private writable mappings, not the code or the files
    // mapped: what the process holds of it now, and the share on top.
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith("VmData:"))
            continue;
        bool ok = false;
        const qint64 kib = line.mid(7).trimmed().split(' ').value(0).toLongLong(&ok);
        if (!ok)
            return false;
        const rlimit limit{rlim_t(kib * 1024 + extraBytes), rlim_t(kib * 1024 + extraBytes)};
        return setrlimit(RLIMIT_DATA, &limit) == 0;
    }
    return false;
#else
    Q_UNUSED(extraBytes);
    return false;
#endif
}

} // namespace platform
