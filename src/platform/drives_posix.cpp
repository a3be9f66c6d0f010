#include "platform/drives.h"

#include <QFileInfo>
#include <QHash>
#include <QStorageInfo>

#include <algorithm>

namespace platform {

namespace {

bool under(const QString &path, const char *folder)
{
    const QLatin1String f(folder);
    return path == f || path.startsWith(f + QLatin1Char('/'));
}

} // namespace

bool isUserVolume(const MountEntry &mount)
{
    if (mount.rootPath == QLatin1String("/"))
        return true;
    // The system's own trees; removable media mounted under /run/media are the user's.
    for (const char *system : {"/proc", "/sys", "/dev", "/boot/efi", "/snap", "/var/snap", "/var/lib/snapd"}) {
        if (under(mount.rootPath, system))
            return false;
    }
    if (under(mount.rootPath, "/run") && !under(mount.rootPath, "/run/media"))
        return false;
    static const QList<QByteArray> network{"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "sshfs",
                                           "9p", "afs", "ceph", "glusterfs", "fuse.glusterfs", "davfs"};
    static const QList<QByteArray> pseudo{"squashfs", "tmpfs", "devtmpfs", "ramfs", "overlay", "proc", "sysfs",
                                          "autofs", "fuse.snapfuse", "iso9660-snap"};
    if (pseudo.contains(mount.fsType))
        return false;
    // Real devices (disks, removable media, also through FUSE as fuseblk), ZFS datasets and shares.
    return mount.device.startsWith("/dev/") || mount.fsType == "zfs" || network.contains(mount.fsType);
}

QStringList userVolumes(QList<MountEntry> mounts)
{
    // Shorter mount points first, so that of two mounts of the same file system the one that is
    // reached without a bind mount stays.
    std::stable_sort(mounts.begin(), mounts.end(),
                     [](const MountEntry &a, const MountEntry &b) { return a.rootPath.size() < b.rootPath.size(); });
    QStringList roots{QStringLiteral("/")};
    QList<QByteArray> seen;
    for (const MountEntry &mount : mounts) {
        // The same device and subvolume mounted again: a bind mount of what is already reachable.
        const QByteArray key = mount.device + '\0' + mount.subvolume;
        const bool again = mount.device.startsWith("/dev/") && seen.contains(key);
        seen.append(key);
        if (mount.isFolder && !again && isUserVolume(mount) && !roots.contains(mount.rootPath))
            roots.append(mount.rootPath);
    }
    std::sort(roots.begin() + 1, roots.end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return roots;
}

QStringList drives()
{
    QList<MountEntry> mounts;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady())
            mounts.append({volume.rootPath(), volume.fileSystemType(), volume.device(), volume.subvolume(),
                           QFileInfo(volume.rootPath()).isDir()});
    }
    // "/" itself is a device too: a bind mount of a folder of it is no drive of its own.
    const QStorageInfo root = QStorageInfo::root();
    mounts.prepend({QStringLiteral("/"), root.fileSystemType(), root.device(), root.subvolume(), true});
    return userVolumes(mounts);
}

QString systemDriveFolder(const QString &drive) { return drive; }

} // namespace platform
