#pragma once

#include "library/database/librarydatabase.h"
#include "platform/workqueue.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <functional>
#include <memory>
#include <vector>

namespace platform {
class Receiver;
}

namespace library {

// What the user plays, as the window shows it: read once at start, then changed one transaction
// at a time. The database is used off the window's thread, one change after another in the order
// asked; the window's copy follows each change. A change that cannot be saved is reported, and never
// holds anything up.
class PlayHistory : public QObject
{
    Q_OBJECT
public:
    // databaseFile: the library database; nothing is saved when empty.
    explicit PlayHistory(const QString &databaseFile, QObject *parent = nullptr);
    // Gives up every wait on another program's lock or on a ROM's reading, and waits half a second
    // at most for the changes asked for: those not saved by then are dropped, with a line in the log.
    ~PlayHistory() override;

    void load();
    // A game was started from path. sha1 is its identity when known; otherwise the file is read
    // for it. identified gets it, on this thread, for the play time that follows.
    void recordLaunch(const QString &path, const QByteArray &sha1, std::function<void(const QByteArray &sha1)> identified = {});
    void addPlayTime(const QByteArray &sha1, qint64 playedMs);
    // A launcher's news: launch started the game from path (game: its identity, when known), and
    // later ended after playedMs. The time is added to the game once both are known, whichever
    // comes first.
    void launchStarted(quint64 launch, const QString &path, const QByteArray &game);
    void launchEnded(quint64 launch, qint64 playedMs);
    void setFavourite(const QString &path, const QByteArray &sha1, bool favourite);
    // The emulator that starts the game from now on (empty: the default again).
    void setEmulator(const QString &path, const QByteArray &sha1, const QString &emulator);
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
    // Runs job on the database's thread, after those asked before. A job reaches this object only
    // through the receiver: it may run after the object is gone.
    void run(std::function<void(Store &store)> job);
    void apply(const QByteArray &sha1, const PlayRecord &record, std::vector<RecentLaunch> recent);
    // A path inside the database's own folder (a portable setup) is stored relative to it, so that
    // the folder copied to another drive still finds its recent ROMs.
    QByteArray shownPath(const QByteArray &kept) const;

    std::shared_ptr<Store> m_store;
    std::shared_ptr<platform::Receiver> m_receiver;
    platform::WorkQueue m_queue{"Play history"}; // after the store: destroyed first
    QHash<GameKey, PlayRecord> m_records;
    struct Launch {
        QByteArray game;
        qint64 playedMs = -1; // -1: still running
    };
    QHash<quint64, Launch> m_launches; // started, and not yet both identified and ended
    std::vector<RecentLaunch> m_recent;
};

} // namespace library
