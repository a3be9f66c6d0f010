#include "platform/dirscan.h"

#include <QFile>

#include <dirent.h>
#include <sys/stat.h>
#include <cstring>
#include <strings.h>

namespace platform {

QStringList filesWithSuffix(const QString &folder, const QString &suffix, bool *ok)
{
    QStringList names;
    if (ok)
        *ok = false;
    if (folder.isEmpty())
        return names;
    const QByteArray encodedFolder = QFile::encodeName(folder);
    DIR *dir = ::opendir(encodedFolder.constData());
    if (!dir)
        return names;
    const QByteArray encodedSuffix = suffix.toUtf8();
    const size_t suffixLength = size_t(encodedSuffix.size());
    const int folderFd = ::dirfd(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.')
            continue; // hidden, and "." and ".."
        const size_t length = std::strlen(name);
        if (length < suffixLength
            || ::strncasecmp(name + length - suffixLength, encodedSuffix.constData(), suffixLength) != 0)
            continue;
        bool plainFile = entry->d_type == DT_REG;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            plainFile = ::fstatat(folderFd, name, &info, 0) == 0 && S_ISREG(info.st_mode);
        }
        if (plainFile)
            names.append(QFile::decodeName(QByteArray(name, qsizetype(length))));
    }
    ::closedir(dir);
    if (ok)
        *ok = true;
    return names;
}

} // namespace platform
