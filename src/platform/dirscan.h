#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Names (without folder) of the visible plain files in a folder whose names end in suffix, compared
// without regard to case, in the order the file system gives them. Subfolders and hidden files are
// left out. ok is false when the folder cannot be read.
QStringList filesWithSuffix(const QString &folder, const QString &suffix, bool *ok = nullptr);

} // namespace platform
