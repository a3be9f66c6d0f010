#pragma once
// The folders Windows gives the launcher: its own folder and where its configuration file lives.

#include <QString>

namespace platform {

// Folder of the running executable, native separators, no trailing separator except at a root.
QString applicationFolder();

// The machine-wide folder that stands in for the Windows directory.
QString systemConfigFolder();

// A bare file name resolved the way the profile functions resolve it: in systemConfigFolder().
QString systemFilePath(const QString &bareName);

} // namespace platform
