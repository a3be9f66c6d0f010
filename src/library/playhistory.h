#pragma once

#include "library/librarydatabase.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <vector>

namespace platform {
class ContextDoor;
}

namespace library {

// What the user plays, as the window shows it: read once at start, then changed one transaction
// at a time. The database is used off the window's thread, one change after another in the order
// asked; the window's copy follows each change. A change that cannot be kept is said, and never
// holds anything up.
class PlayHistory : public QObject
{
    Q_OBJECT
public:
    // databaseFile: the library database; nothing is kept when empty.
    explicit PlayHistory(const QString &databaseFile, QObject *parent = nullptr);
    // Waits for the changes asked for: each is one short transaction.
    ~PlayHistory() override;

    void load();
    // A game was started from path. sha1 is its identity when known; otherwise the file is read
    // for it. identified gets it, on this thread, for the play time that follows.
    void recordLaunch(const QString &path, const QByteArray &sha1, std::function<void(const QByteArray &sha1)> identified = {});
    void addPlayTime(const QByteArray &sha1, qint64 playedMs);
    void setFavourite(const QString &path, const QByteArray &sha1, bool favourite);
    void forgetRecentLaunch(const QString &path);

    PlayRecord record(const QByteArray &sha1) const { return m_records.value(GameKey::of(sha1)); }
    bool isFavourite(const QByteArray &sha1) const { return !sha1.isEmpty() && record(sha1).favourite; }
    QSet<QByteArray> favourites() const;
    const std::vector<RecentLaunch> &recentLaunches() const { return m_recent; }

signals:
    void changed();
    void problem(const QString &message);

private:
    struct Store;
    // Runs job on the database's thread; its answer, if any, reaches this thread through the door.
    void run(std::function<void(Store &store)> job);
    // On the database's thread: game's record (none when empty) and the recent launches, as the
    // file now holds them, sent to this thread; after runs there once they are applied.
    void sendChange(Store &store, const QByteArray &game, std::function<void()> after = {});
    void apply(const QByteArray &sha1, const PlayRecord &record, std::vector<RecentLaunch> recent);
    // A path inside the database's own folder (a portable setup) is kept relative to it, so that
    // the folder copied to another drive still finds its recent ROMs.
    QByteArray keptPath(const QString &path) const;
    QByteArray shownPath(const QByteArray &kept) const;

    const QString m_home; // the database's folder, ending in '/'; empty without a database
    std::shared_ptr<Store> m_store;
    std::shared_ptr<platform::ContextDoor> m_door;
    QThreadPool m_thread; // one thread: changes in the order asked
    QHash<GameKey, PlayRecord> m_records;
    std::vector<RecentLaunch> m_recent;
};

} // namespace library
