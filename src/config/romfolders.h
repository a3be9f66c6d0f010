#pragma once

#include <QString>
#include <QStringList>

namespace config {

inline const QString kConfigFileName = QStringLiteral("quorvane.ini");
inline const QString kConfigSection = QStringLiteral("Quorvane v1.0b Config File");

// The three folder values, slot 1 to 3, read from the configuration file in the order of the keys.
// A missing file, section or key gives the empty text. error receives the reason when the file
// exists but cannot be read.
QStringList ReadRomFolders(const QString &configFile, QString *error = nullptr);

// Writes all three keys in one replacement of the file; on failure the file is left as it was and
// error receives the reason.
bool WriteRomFolders(const QString &configFile, const QStringList &folders, QString *error = nullptr);

} // namespace config
