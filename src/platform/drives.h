#pragma once

#include <QString>
#include <QByteArray>
#include <QList>
#include <QStringList>

namespace platform {

// The machine's "drives": the file-system roots. Here "/" and the mount points of real file
// systems; on Windows the drive roots ("C:/"...). Sorted, "/" first.
QStringList drives();

#ifndef Q_OS_WIN
// One mounted file system as the system reports it.
struct MountEntry {
    QString rootPath;
    QByteArray fsType;
    QByteArray device;
    QByteArray subvolume;
    bool isFolder = true; // false for a file bind-mounted onto a file
};

// Whether a mount is a volume a user keeps files on: a real device's file system or a network
// share, outside the system's own trees (/proc, /sys, /run, /dev, /boot/efi, snaps).
bool isUserVolume(const MountEntry &mount);

// "/" and the user's volumes among mounts, bind mounts of what is already reachable left out.
QStringList userVolumes(QList<MountEntry> mounts);
#endif

// The drive whose root holds path (the longest matching root).
QString driveOf(const QString &path);

// Each drive keeps its own current folder for the life of the process, as Windows does. The
// drive that holds the process's current folder answers with that folder; any other drive with
// the folder last remembered for it, else the one the system keeps for it (on Windows, what the
// program inherited), else its root.
QString driveCurrentFolder(const QString &drive);
void rememberDriveFolder(const QString &drive, const QString &folder);
QString systemDriveFolder(const QString &drive); // the system's own idea; the root off Windows

} // namespace platform
