#pragma once

#include "library/checking/romfacts.h"
#include "platform/dirscan.h"
#include "platform/workqueue.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace library {

// Checks ROM files off the window's thread, one folder after another, at the lowest priority
// there is: each file's header is read and its sums made, and stored in the library database, so
// that a later start only compares sizes and times. ROM databases (DAT files) are read once, at
// the first check or inspection.
class RomChecker : public QObject
{
    Q_OBJECT
public:
    struct Places {
        QString databaseFile;   // the library database; none when empty
        QStringList datFolders; // where DAT files are looked for
    };
    explicit RomChecker(Places places, QObject *parent = nullptr);
    // Cancels every check and returns at once: a file being read on a share that stalls is left
    // to its read, and what it finds is dropped.
    ~RomChecker() override;

    // Checks the files of folder named in names (each with its NUL, as a list's buffer holds
    // them); an unfinished check of the same folder is overtaken. The facts come by each name's
    // ordinal in names.
    void check(const QString &folder, const QByteArray &names);
    // Reads path whole, off this thread, and calls done on this thread with its facts, both of
    // its whole-file sums made.
    void inspect(const QString &path, std::function<void(const RomFacts &)> done);
    // An archive's ROMs as an unpack read them, their identities known: stored in the database
    // (under the archive's stamp when it was listed) and shown. Called from any thread.
    void keepArchive(const QString &folder, const QByteArray &name, const platform::FileStamp &stamp, ArchiveListing listing);
    // Reads the first ROM of the archive name in folder for its identity, keeps and shows it,
    // and calls done with it on this thread (empty when it cannot be read).
    void identifyArchive(const QString &folder, const QByteArray &name, std::function<void(const QByteArray &sha1)> done);

signals:
    // A part of folder's facts, as they come.
    void checked(const QString &folder, const library::CheckedBatch &facts);
    // Every check asked for is done.
    void idle();
    // Something the user is to hear of: a damaged database, a DAT that cannot be read.
    void problem(const QString &message);

private:
    struct Work;
    // Runs job on the checking queue; an idle() follows once nothing else is left.
    void post(std::function<void(Work &work, const platform::CancelFlag &cancelled)> job);

    std::shared_ptr<Work> m_work;
    platform::WorkQueue m_checking{"ROM checks", platform::WorkQueue::Priority::Idle};
    platform::WorkQueue m_inspecting{"ROM inspection"};
};

} // namespace library
