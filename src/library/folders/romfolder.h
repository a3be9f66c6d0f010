#pragma once

#include "library/checking/romchecker.h"
#include "library/folders/folderwatcher.h"
#include "library/folders/romfilter.h"
#include "library/folders/romlistmodel.h"
#include "platform/workqueue.h"

#include <QLocale>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

class QTimer;

namespace platform {
class Receiver;
}

namespace library {

// Reads a folder's ROM names, and with subfolders those of the folders below; called on a thread
// of its own, since it may wait on a disk or a share for long. ok is false when the folder cannot
// be read.
using FolderReader = std::function<RomNames(const QString &folder, const QString &pattern, bool subfolders, bool *ok)>;

// The reader of the running program: the files matching pattern, sorted for the user's language.
RomNames readFolderNames(const QString &folder, const QString &pattern, bool subfolders, bool *ok);

// At most this many subfolders of one ROM folder are watched (each watch costs the system a
// little memory); the ones past it show their changes when the folder is read again.
inline constexpr int kMostWatchedSubfolders = 2000;

// One ROM folder and the names it holds: where it is, its reading off the window's thread, the
// model its list shows, and its watch. A change on disk is read again once it has settled; a
// folder that does not exist yet is watched through its nearest existing parent, and its names
// show as soon as it appears.
class RomFolder : public QObject
{
    Q_OBJECT
public:
    // pattern: the names listed ("*.nes"); applicationFolder: what a relative folder is read
    // against; watcher: shared by the folders, so that one folder has one watch.
    RomFolder(const QString &pattern, const QString &applicationFolder, FolderReader read, FolderWatcher *watcher,
             QObject *parent = nullptr);

    // Lists the folder a folder text names, and with subfolders the folders below it: read now,
    // off this thread. whenPosted, when given, is called on the reading's thread once its names
    // are on their way to this one.
    void setFolder(const QString &text, bool subfolders = false, const std::function<void()> &whenPosted = {});
    // The folder the model shows, as it was read (a relative text made absolute); empty before.
    QString listedFolder() const { return m_listedFolder; }
    RomListModel *model() const { return m_model; }
    // What its list shows: the model's names, filtered by a find query when one is on.
    RomFilter *filter() const { return m_filter; }
    // Has every reading's files checked by checker (shared by the folders), and shows what it finds.
    void setChecker(RomChecker *checker);
    // Has the listed files checked again: what the database learnt since shows.
    void checkAgain();

signals:
    // A reading is shown: another folder, or what changed in this one.
    void listed();

private:
    struct Reading;
    void startReading(const QString &folder, const std::function<void()> &whenPosted);
    void show(quint64 ticket, const Reading &reading);
    void folderChanged(const QString &folder);

    QString m_pattern;
    QString m_applicationFolder;
    FolderReader m_read;
    FolderWatcher *m_watcher;
    RomChecker *m_checker = nullptr;
    RomListModel *m_model;
    RomFilter *m_filter;
    std::shared_ptr<platform::Receiver> m_receiver; // readings reach the folder through it
    QString m_folder;                              // the folder being read or shown
    QString m_listedFolder;                        // the folder the model shows
    quint64 m_ticket = 0;                          // the newest reading: older ones are dropped
    bool m_subfolders = false;                     // the folders below are listed too
    QSet<QString> m_watched;                       // what the watch is on: the folder (or its parent), its subfolders
    std::unique_ptr<platform::WorkQueue> m_reading; // the folder's reading, one after another
    QString m_readingFolder;                         // the folder m_reading reads
    QTimer *m_settling;                            // a changed folder is read again when it settles
    qint64 m_changedSince = 0;                     // when its first unread change came
};

} // namespace library
