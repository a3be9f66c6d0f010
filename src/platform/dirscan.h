#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QFile;

namespace platform {

// Hands found each visible plain file in folder whose name ends in one of suffixes (compared
// without regard to case), in the order the file system gives them: its name, without folder, as bytes (UTF-8 as
// filenames.h maps it). Subfolders and hidden files are left out. false when the folder cannot be
// read.
bool forEachFileWithSuffix(const QString &folder, const QStringList &suffixes,
                           const std::function<void(QByteArrayView name)> &found);

// The same in folder and its visible subfolders, down to levels below it: each file's path below
// folder ("USA/Game.nes", parts parted by '/'). entered, when given, is handed each subfolder's
// path as it is read. A folder reached twice (a link back up, or two links to one folder) is read
// the first time only, so that a loop of links ends. false when folder itself cannot be read.
bool forEachFileBelow(const QString &folder, const QStringList &suffixes, int levels,
                      const std::function<void(QByteArrayView path)> &found,
                      const std::function<void(QByteArrayView folder)> &entered = {});

// Names of the visible subfolders of folder, in the file system's order.
QStringList subfolders(const QString &folder);

// Whether folder can be listed and entered; reason says why not.
bool canReadFolder(const QString &folder, QString *reason = nullptr);

// What stands at path, looked up by its very bytes.
enum class PathKind { Missing, RegularFile, Other };
PathKind pathKind(const QString &path);

// A regular file's size and the time of its last change (nanoseconds since 1970), as a cache
// tells a file that changed from one that did not.
struct FileStamp {
    qint64 size = -1;
    qint64 modified = 0;
    bool operator==(const FileStamp &other) const { return size == other.size && modified == other.modified; }
};
// The stamps of the files of folder named in names (each with its NUL), in their order; a name
// that is no regular file gets size -1. Looked up in the folder itself, not by whole paths: a
// folder of thousands takes a third less time.
std::vector<FileStamp> fileStamps(const QString &folder, QByteArrayView names);
// The stamp of the one file name in folder.
inline FileStamp fileStamp(const QString &folder, const QByteArray &name) { return fileStamps(folder, name + '\0').front(); }

// Opens exactly the file at path for reading when it is a regular file; a FIFO, a device or a
// folder is never opened (a read could wait for ever or never end). false when it cannot be.
bool openRegularFile(const QString &path, QFile &file);

} // namespace platform
