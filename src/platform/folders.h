#pragma once
// The folders Windows gives the launcher: its own folder and where configuration files live.

#include <QString>
#include <QStringList>

namespace platform {

// Folder of the running executable, native separators, no trailing separator except at a root.
QString applicationFolder();

// The process's current folder. When it has been removed, the path it had (Linux tells it), so
// that a caller can find the nearest folder above it that still exists; empty when unknown.
QString currentFolder();

// The user's own folder for Quorvane's configuration: "quorvane" in $XDG_CONFIG_HOME (or
// ~/.config when that is unset or empty); on Windows "Quorvane" in the roaming application data
// folder (%APPDATA%). Nothing is created.
QString userConfigFolder();

// The Windows directory, where earlier versions of Quorvane for Windows kept their file; empty off
// Windows.
QString windowsFolder();

// The folder a folder text names, read against base (the application folder) when it is relative,
// as this system reads it while base is the current folder: POSIX joins a relative text to base;
// Windows also reads "\\roms" on base's drive and "D:roms" in drive D's own folder. An absolute text
// and the empty text come back as they are.
QString absoluteFolder(const QString &text, const QString &base);

// The user's own folder for files Quorvane can make again, such as the last launch's log:
// "quorvane" in $XDG_CACHE_HOME (or ~/.cache); on Windows "Quorvane" in %LOCALAPPDATA%.
QString userCacheFolder();

// The user's own folder for what Quorvane keeps of its own, such as the ROMs last selected:
// "quorvane" in $XDG_DATA_HOME (or ~/.local/share); on Windows "Quorvane" in %LOCALAPPDATA%.
QString userDataFolder();

// RetroArch's own thumbnails folders, where it keeps box art, title screens and snapshots named
// by title: on Linux in its configuration folder ($XDG_CONFIG_HOME or ~/.config) and its
// Flatpak's, on Windows in %APPDATA%. Whether they exist is not asked.
QStringList retroArchThumbnailFolders();

} // namespace platform
