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

QStringList subfolders(const QString &folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

bool canReadFolder(const QString &folder, QString *reason)
{
    const QFileInfo info(folder);
    QString why;
    if (!info.exists())
        why = QStringLiteral("The folder does not exist.");
    else if (!info.isDir())
        why = QStringLiteral("It is not a folder.");
    else if (!info.isReadable() || !QDir(folder).isReadable())
        why = QStringLiteral("Permission denied.");
    if (reason)
        *reason = why;
    return why.isEmpty();
}

bool openRegularFile(const QString &path, QFile &file)
{
    if (!QFileInfo(path).isFile())
        return false;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
}

} // namespace platform
