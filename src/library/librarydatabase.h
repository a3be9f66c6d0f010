#pragma once
// Quorvane's own database file: what it has learnt of each ROM file, so that a second start reads
// no ROM again. It is one SQLite file in the user's data folder (or beside a portable
// configuration file); every call waits on the disk, so it is used off the window's thread only.

#include "library/romidentity.h"
#include "library/sqlitedb.h"
#include "platform/dirscan.h"

#include <QHash>

#include <memory>
#include <vector>

namespace library {

// A ROM file as it was checked.
struct CheckedFile {
    QByteArray name; // as the file system holds it
    platform::FileStamp stamp;
    QByteArray header;
    RomSums sums; // without the header
};

class LibraryDatabase
{
public:
    static constexpr int kSchemaVersion = 1;

    // When SQLite's check of the whole file runs: at the open, or when the caller has a moment
    // (isSound), so that what the file holds is used first.
    enum class Check { AtOpen, Later };

    // Opens the file at path, making it and its folder when missing. A file that is no database,
    // or fails SQLite's check, is renamed aside (never deleted) and a new one made; one written by
    // a newer Quorvane is opened read-only. message tells the user of any of this, naming the file
    // and the reason; null when nothing can be used (the program works on without it).
    static std::unique_ptr<LibraryDatabase> open(const QString &path, QString *message, Check check = Check::AtOpen);

    bool isReadOnly() const { return m_readOnly; }
    // false when SQLite's check finds the file damaged: open it again to have it put aside.
    bool isSound();

    // The files of folder (its path's bytes) checked before.
    std::vector<CheckedFile> checkedFiles(QByteArrayView folder);
    // Keeps the checks of files in folder and forgets the names gone, in one transaction.
    bool keepChecks(QByteArrayView folder, const std::vector<CheckedFile> &files, const std::vector<QByteArray> &gone,
                    QString *error);

private:
    LibraryDatabase() = default;
    bool prepareSchema(QString *error);

    sql::Database m_db;
    bool m_readOnly = false;
};

// The name a damaged file of ours is kept under: path with ".corrupt-<date>-<time>", numbered
// when that is taken.
QString asideName(const QString &path);

} // namespace library
