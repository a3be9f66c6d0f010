#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The machine's "drives": the file-system roots. Here "/" and the mount points of real file
// systems; on Windows the drive roots ("C:/"...). Sorted, "/" first.
QStringList drives();

// The drive whose root holds path (the longest matching root).
QString driveOf(const QString &path);

// Each drive keeps its own current folder for the life of the process, as Windows does. The
// drive that holds the process's current folder answers with that folder; any other drive with
// the folder last remembered for it, or its root.
QString driveCurrentFolder(const QString &drive);
void rememberDriveFolder(const QString &drive, const QString &folder);

} // namespace platform
