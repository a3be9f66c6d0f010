#include "platform/dirscan.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace platform {

QStringList filesWithSuffix(const QString &folder, const QString &suffix, bool *ok)
{
    QStringList names;
    const QDir dir(folder);
    if (ok)
        *ok = !folder.isEmpty() && dir.exists() && dir.isReadable();
    if (folder.isEmpty() || !dir.exists())
        return names;
    // Without QDir::Hidden and QDir::System the iterator leaves out hidden and system files.
    QDirIterator it(folder, {QLatin1Char('*') + suffix}, QDir::Files);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    return names;
}

} // namespace platform
