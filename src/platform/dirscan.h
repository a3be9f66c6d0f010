#pragma once

#include <QString>
#include <QStringList>

class QFile;

namespace platform {

// Names (without folder) of the visible plain files in a folder whose names end in suffix, compared
// without regard to case, in the order the file system gives them. Subfolders and hidden files are
// left out. ok is false when the folder cannot be read. Names keep their bytes (see filenames.h).
QStringList filesWithSuffix(const QString &folder, const QString &suffix, bool *ok = nullptr);

// Names of the visible subfolders of folder, in the file system's order.
QStringList subfolders(const QString &folder);

// Whether folder can be listed and entered; reason says why not.
bool canReadFolder(const QString &folder, QString *reason = nullptr);

// Opens exactly the file at path for reading when it is a regular file; a FIFO, a device or a
// folder is never opened (a read could wait for ever or never end). false when it cannot be.
bool openRegularFile(const QString &path, QFile &file);

} // namespace platform
