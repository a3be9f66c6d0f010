#include "platform/dirscan.h"

#include "platform/filenames.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <windows.h>

namespace platform {

namespace {

// false when path is no regular file.
bool fileStamp(const QString &path, FileStamp *stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                              GetFileExInfoStandard, &data)
        || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    stamp->size = qint64(quint64(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
    // 100-nanosecond steps since 1601
    const quint64 ticks = quint64(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
    stamp->modified = qint64(ticks - 116444736000000000ULL) * 100;
    return true;
}

bool isListable(const QString &folder)
{
    const QDir dir(folder);
    return !folder.isEmpty() && dir.exists() && dir.isReadable();
}

// "*.nes" for ".nes": the iterator's name filters.
QStringList patternsOf(const QStringList &suffixes)
{
    QStringList patterns;
    for (const QString &suffix : suffixes)
        patterns << QLatin1Char('*') + suffix;
    return patterns;
}

} // namespace

bool forEachFileWithSuffix(const QString &folder, const QStringList &suffixes,
                           const std::function<void(QByteArrayView name)> &found)
{
    if (!isListable(folder))
        return false;
    // Without QDir::Hidden and QDir::System the iterator leaves out hidden and system files.
    QDirIterator it(folder, patternsOf(suffixes), QDir::Files);
    while (it.hasNext()) {
        it.next();
        found(toUtf8Lossless(it.fileName()));
    }
    return true;
}

namespace {

// Reads folder (path below the first: relative) and its subfolders, levels deep; seen holds the
// folders read, by what they are, so that a junction back up is not followed again.
void walkTree(const QString &folder, const QByteArray &relative, const QStringList &patterns, int levels, QSet<QString> &seen,
              const std::function<void(QByteArrayView)> &found, const std::function<void(QByteArrayView)> &entered)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty() || seen.contains(canonical))
        return;
    seen.insert(canonical);
    if (entered && !relative.isEmpty())
        entered(QByteArrayView(relative).chopped(1));
    QDirIterator files(folder, patterns, QDir::Files);
    while (files.hasNext()) {
        files.next();
        found(relative + toUtf8Lossless(files.fileName()));
    }
    if (levels <= 0)
        return;
    const QStringList below = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : below) {
        walkTree(folder + QLatin1Char('/') + name, relative + toUtf8Lossless(name) + '/', patterns, levels - 1, seen, found, entered);
    }
}

} // namespace

bool forEachFileBelow(const QString &folder, const QStringList &suffixes, int levels,
                      const std::function<void(QByteArrayView path)> &found, const std::function<void(QByteArrayView folder)> &entered)
{
    if (!isListable(folder))
        return false;
    QSet<QString> seen;
    walkTree(folder, QByteArray(), patternsOf(suffixes), levels, seen, found, entered);
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

std::vector<FileStamp> fileStamps(const QString &folder, QByteArrayView names)
{
    std::vector<FileStamp> stamps;
    const QString base = folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')) ? folder : folder + QLatin1Char('/');
    for (qsizetype at = 0; at < names.size();) {
        const QByteArrayView name(names.data() + at);
        at += name.size() + 1;
        FileStamp stamp;
        if (!fileStamp(base + fromUtf8Lossless(name), &stamp))
            stamp = {};
        stamps.push_back(stamp);
    }
    return stamps;
}

bool openRegularFile(const QString &path, QFile &file)
{
    if (!QFileInfo(path).isFile())
        return false;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
}

} // namespace platform
