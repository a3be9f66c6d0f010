#include "platform/folders.h"

#include <QDir>

#include <iterator>
#include <string>

#include <shlobj.h>
#include <windows.h>

namespace platform {

QString currentFolder() { return QDir::currentPath(); }

namespace {

// The folder under (Quorvane's own by default) in a known folder of the user's.
QString knownFolder(REFKNOWNFOLDERID id, const QString &under = QStringLiteral("Quorvane"))
{
    PWSTR path = nullptr;
    QString folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)))
        folder = QString::fromWCharArray(path);
    CoTaskMemFree(path);
    if (folder.isEmpty())
        return QString();
    return QDir::toNativeSeparators(QDir(folder).filePath(under));
}

bool isSeparator(QChar c) { return c == QLatin1Char('\\') || c == QLatin1Char('/'); }

} // namespace

// The roaming folder, as %APPDATA% names it; Qt's generic locations are the local one.
QString userConfigFolder() { return knownFolder(FOLDERID_RoamingAppData); }

QString userCacheFolder() { return knownFolder(FOLDERID_LocalAppData); }

QString userDataFolder() { return knownFolder(FOLDERID_LocalAppData); }

QString absoluteFolder(const QString &text, const QString &base)
{
    if (text.isEmpty())
        return text;
    const bool hasDrive = text.size() >= 2 && text.at(1) == QLatin1Char(':') && text.at(0).isLetter();
    if (hasDrive && text.size() >= 3 && isSeparator(text.at(2)))
        return text; // C:\roms
    if (!hasDrive && isSeparator(text.at(0))) {
        if (text.size() >= 2 && isSeparator(text.at(1)))
            return text; // \\server\share
        // \roms: the root of base's own drive (or share).
        QString root = base.left(2); // C:
        if (base.size() > 2 && isSeparator(base.at(0)) && isSeparator(base.at(1))) {
            const QStringList parts = QDir::fromNativeSeparators(base).split(QLatin1Char('/'), Qt::SkipEmptyParts);
            root = QStringLiteral("\\\\") + parts.mid(0, 2).join(QLatin1Char('\\')); // \\server\share
        }
        return root + text;
    }
    const QString baseDrive = base.left(2);
    if (hasDrive && text.left(2).compare(baseDrive, Qt::CaseInsensitive) != 0) {
        // D:roms on another drive: that drive's own folder, as Windows keeps it for the program.
        wchar_t buffer[MAX_PATH * 4] = {};
        const std::wstring wide = text.toStdWString();
        const DWORD length = GetFullPathNameW(wide.c_str(), DWORD(std::size(buffer)), buffer, nullptr);
        return length > 0 && length < std::size(buffer) ? QString::fromWCharArray(buffer, int(length)) : text;
    }
    const QString rest = hasDrive ? text.mid(2) : text; // C:roms on base's drive: base's folder
    return isSeparator(base.back()) ? base + rest : base + QLatin1Char('\\') + rest;
}

QString windowsFolder()
{
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return QString();
    return QString::fromWCharArray(buffer, int(length));
}

QStringList retroArchThumbnailFolders()
{
    const QString folder = knownFolder(FOLDERID_RoamingAppData, QStringLiteral("RetroArch/thumbnails"));
    return folder.isEmpty() ? QStringList() : QStringList{folder};
}

} // namespace platform
