#pragma once

#include "library/folders/romlistmodel.h"
#include "platform/workqueue.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <array>
#include <chrono>
#include <future>
#include <memory>
#include <optional>

namespace library {

// What the window showed when it was left: its current tab, each tab's selected ROM with the
// folder it was listed in, whether titles or covers were shown, the lists' order and the window's
// size. The program's own, not a setting: it lives in a file of its own, never in the
// configuration file that Save writes.
struct RememberedSelection {
    int tab = -1;                   // -1: none remembered
    std::array<QString, 3> folders; // by slot, 0..2
    std::array<QString, 3> roms;    // empty: none remembered
    bool showTitles = false;        // the lists showed the ROMs' database titles
    bool showCovers = false;        // the tabs showed covers instead of lists
    RomOrder order = RomOrder::Name;
    QSize windowSize;               // when last not maximised; invalid: the window's first size
    bool maximised = false;
};

// What the file at path holds; nothing when it is missing, unreadable or broken. It may wait on
// the disk: call it off the window's thread.
RememberedSelection readRememberedSelection(const QString &path);
// Replaces the file whole (a crash leaves the old one or the new one); false, with the reason.
bool writeRememberedSelection(const QString &path, const RememberedSelection &selection, QString *error);

// Keeps the selection in its file, off the window's thread: of the selections handed to it while
// a write runs, only the newest is written next. Nothing is required of the file: one that cannot
// be read or written leaves the program as it would be without it.
class SelectionKeeper : public QObject
{
    Q_OBJECT
public:
    explicit SelectionKeeper(const QString &path, QObject *parent = nullptr);

    // Reads the file on another thread; loaded tells what it held. With patience, waits that long
    // at most for it: what it held when it came by then (loaded is still emitted, later).
    std::optional<RememberedSelection> load(std::chrono::milliseconds patience = {});
    void keep(const RememberedSelection &selection);
    // Waits at most timeout for the writes asked for to end; false when some had not.
    bool waitForWrites(std::chrono::milliseconds timeout) { return m_queue.waitForIdle(timeout); }

signals:
    void loaded(const library::RememberedSelection &selection);

private:
    struct Writer;
    QString m_path;
    std::shared_ptr<Writer> m_writer;
    // Its reading and writing; a write asked for just before the program ends still runs.
    platform::WorkQueue m_queue{"Selection file", platform::WorkQueue::Priority::Normal, platform::WorkQueue::WhenDestroyed::Finish};
};

} // namespace library

Q_DECLARE_METATYPE(library::RememberedSelection)
