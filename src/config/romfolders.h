#pragma once

#include <QString>
#include <QStringList>

namespace config {

inline const QString kConfigFileName = QStringLiteral("quorvane.ini");
inline const QString kConfigSection = QStringLiteral("Quorvane v1.0b Config File");

// Where the folders are kept. Save writes file. A read looks at file, or, while file does not
// exist yet, at legacyFile: the one the original program left in the Windows directory.
struct ConfigFiles {
    QString file;
    QString legacyFile;
    QString fileToRead() const;
};

// The program's files: "quorvane.ini" in fixedFolder when the build fixed one for every user,
// otherwise the user's own in their configuration folder (with the Windows directory's file as
// the legacy one on Windows).
ConfigFiles configFiles(const QString &fixedFolder);

// The three folder values, slot 1 to 3, read from the configuration file in the order of the keys.
// A missing file, section or key gives the empty text. error receives the reason when the file
// exists but cannot be read.
QStringList ReadRomFolders(const QString &configFile, QString *error = nullptr);

// Writes all three keys in one replacement of the file, creating its folder when missing; on
// failure the file is left as it was and error receives the reason.
bool WriteRomFolders(const QString &configFile, const QStringList &folders, QString *error = nullptr);

} // namespace config
