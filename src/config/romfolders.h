#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace config {

inline const QString kConfigFileName = QStringLiteral("quorvane.ini");
inline const QString kConfigSection = QStringLiteral("Quorvane v1.0b Config File");

// Where the folders are kept. Save writes file. A read looks at file, or, while file does not
// exist yet, at legacyFile: the one earlier versions of Quorvane for Windows left in the Windows
// directory. portable is true when file is the one beside the program.
struct ConfigFiles {
    QString file;
    QString legacyFile;
    bool portable = false;
    QString fileToRead() const;
};

// The folders a configuration file may live in; an empty one is not there.
struct ConfigFolders {
    QString fixed;       // fixed at build time for every user
    QString application; // the program's own: a "quorvane.ini" there makes the setup portable
    QString user;        // the user's own configuration folder
    QString windows;     // the Windows directory, for the legacy file
};

// Which "quorvane.ini" is the program's: the fixed folder's when the build fixed one (a
// packager's choice); else the one in the application folder when it exists there (a portable
// setup, which travels with the program); else the user's own, with the Windows directory's as the
// legacy one.
ConfigFiles configFiles(const ConfigFolders &folders);
// The same for the running program: its own folder, the user's and the system's.
ConfigFiles configFiles(const QString &fixedFolder);

// The three folder values, slot 0 to 2, read from the configuration file in the order of the keys.
// A missing file, section or key gives the empty text. false, with the reason in error, when the
// file exists but cannot be read. subfolders, when given, gets each folder's "Include subfolders".
bool readRomFolders(const QString &configFile, QStringList *folders, QString *error = nullptr, QList<bool> *subfolders = nullptr);

// Writes all three keys in one replacement of the file, creating its folder when missing, and,
// when subfolders is given, each folder's subfolders key beside them; on failure the file is left
// as it was and error receives the reason.
bool writeRomFolders(const QString &configFile, const QStringList &folders, QString *error = nullptr,
                     const QList<bool> &subfolders = {});

// The three ROM folders as the configuration file holds them: read at start-up and after the
// folders dialog closes, written by its Save.
class RomFolders : public QObject
{
    Q_OBJECT
public:
    explicit RomFolders(const ConfigFiles &files, QObject *parent = nullptr);

    const ConfigFiles &files() const { return m_files; }
    QStringList folders() const { return m_folders; }
    QString folder(int slot) const { return m_folders.value(slot); } // slot 0..2
    bool includesSubfolders(int slot) const { return m_subfolders.value(slot); }

    // Reads the folders from the file; false, with the reason, when it cannot be read (the
    // folders are then empty).
    bool load(QString *error);
    // Reads them again (another program may have changed the file); false, with the reason, when
    // the file cannot be read, and the folders stay as they were.
    bool reload(QString *error);
    // Writes folders (and whether each includes its subfolders) to the file and makes them the
    // model's; false, with the reason, when they could not be written (the model and the file
    // stay as they were).
    bool save(const QStringList &folders, const QList<bool> &subfolders, QString *error);

signals:
    // The folders were saved, or read back other than they were.
    void changed();

private:
    void setFolders(const QStringList &folders, const QList<bool> &subfolders); // changed() when they differ
    ConfigFiles m_files;
    QStringList m_folders{QString(), QString(), QString()};
    QList<bool> m_subfolders{false, false, false};
};

} // namespace config
