#pragma once
// Changing a small file so that a failure, a crash or a second writer never leaves it half written.

#include <QByteArray>
#include <QString>

#include <functional>

namespace platform {

// Larger files are no file of ours to change: reading them would take the memory of the program.
inline constexpr qsizetype kMaxRewriteSize = 64 * 1024 * 1024;
inline QString tooLargeToRewrite()
{
    return QStringLiteral("The file is larger than %1 MB, too large for a configuration file.").arg(kMaxRewriteSize >> 20);
}

// Gets a file's current contents (empty when it does not exist yet) and changes them; false, with
// the reason in error, to give up without writing.
using ContentsEdit = std::function<bool(QByteArray &contents, QString *error)>;

// Reads the file at path, lets edit change the contents and writes them back. Where a new file
// can be made beside it, the new contents go to a temporary file, reach the disk, and replace the
// old file in one rename: a crash leaves the old file or the new one, never a mix. Where only the
// file itself may be written, it is locked against other writers, read under the lock and written
// in place; when any step fails the old bytes are written back. A symbolic link is followed, and a
// path that is no regular file is refused. On failure (false) the file is byte for byte as it was
// and error names the reason as the system words it ("No space left on device").
bool rewriteFile(const QString &path, const ContentsEdit &edit, QString *error);

} // namespace platform
