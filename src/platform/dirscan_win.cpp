#include "platform/dirscan.h"

#include "platform/filenames.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace platform {

bool forEachFileWithSuffix(const QString &folder, const QString &suffix,
                           const std::function<void(QByteArrayView name)> &found)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists() || !dir.isReadable())
        return false;
    // Without QDir::Hidden and QDir::System the iterator leaves out hidden and system files.
    QDirIterator it(folder, {QLatin1Char('*') + suffix}, QDir::Files);
    while (it.hasNext()) {
        it.next();
        found(toUtf8Lossless(it.fileName()));
    }
    return true;
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

PathKind pathKind(const QString &path)
{
    const QFileInfo info(path);
    return !info.exists() ? PathKind::Missing : info.isFile() ? PathKind::RegularFile : PathKind::Other;
}

bool openRegularFile(const QString &path, QFile &file)
{
    if (!QFileInfo(path).isFile())
        return false;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
}

} // namespace platform
