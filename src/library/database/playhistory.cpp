#include "library/database/playhistory.h"

#include "library/archives/romarchive.h"
#include "platform/receiver.h"
#include "platform/filenames.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>


namespace library {

namespace {
constexpr auto kClosingWait = std::chrono::milliseconds(500);
} // namespace

// The database's side, shared with the queue's jobs, which may outlive the history. Jobs reach
// the history only through its receiver.
struct PlayHistory::Store {
    QString file;
    QString home; // the database's folder, ending in '/'; empty without a database
    std::shared_ptr<platform::Receiver> receiver;
    std::unique_ptr<LibraryDatabase> db;
    std::atomic<bool> closing{false}; // every wait on a lock or a ROM ends when set

    // Opened for a job; one that could not be opened (held by another program, say) is tried
    // again by the next. message tells of a damaged, newer, read-only or unreadable file.
    LibraryDatabase *database(QString *message)
    {
        if (!db && !file.isEmpty())
            db = LibraryDatabase::open(file, message, LibraryDatabase::Check::AtOpen, &closing);
        return db.get();
    }

    void tell(const QString &message)
    {
        if (closing) { // nobody to tell any more
            qWarning("Quorvane: %s", qPrintable(QString(message).replace(QLatin1Char('\n'), QLatin1Char(' '))));
            return;
        }
        told(message);
    }
    std::function<void(const QString &)> told; // posts to the history through its receiver

    // What the user hears of a change the file did not keep.
    QString notKept(const QString &what, const QString &error) const
    {
        return QStringLiteral("Quorvane's database %1 did not keep %2: %3")
            .arg(QDir::toNativeSeparators(file), what, error.isEmpty() ? QStringLiteral("it cannot be used") : error);
    }

    QByteArray keptPath(const QString &path) const
    {
#ifdef Q_OS_WIN
        constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
        constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif
        const QString whole = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        if (!home.isEmpty() && whole.startsWith(home, kCase))
            return platform::toUtf8Lossless(whole.mid(home.size()));
        return platform::toUtf8Lossless(whole);
    }
};

PlayHistory::PlayHistory(const QString &databaseFile, QObject *parent)
    : QObject(parent), m_store(std::make_shared<Store>()), m_receiver(platform::Receiver::of(this))
{
    m_store->file = databaseFile;
    m_store->home = databaseFile.isEmpty() ? QString() : QFileInfo(databaseFile).absolutePath() + QLatin1Char('/');
    m_store->receiver = m_receiver;
    m_store->told = [this, receiver = m_receiver](const QString &message) { receiver->post([this, message] { emit problem(message); }); };
}

PlayHistory::~PlayHistory()
{
    // Every wait on a lock or a ROM ends now, and the changes left are given up to a moment to be
    // kept; those a database on a share that stalls has not taken by then are dropped.
    m_store->closing = true;
    if (!m_queue.waitForIdle(kClosingWait))
        qWarning("Quorvane: the last changes to the play history may not be saved: the database did not take them as the program closed");
}

void PlayHistory::run(std::function<void(Store &store)> job)
{
    m_queue.post([store = m_store, job = std::move(job)](const platform::CancelFlag &) {
        QString message;
        store->database(&message);
        if (!message.isEmpty())
            store->tell(message);
        job(*store);
    });
}

QSet<QByteArray> PlayHistory::favourites() const
{
    QSet<QByteArray> games;
    for (auto it = m_records.cbegin(); it != m_records.cend(); ++it) {
        if (it->favourite)
            games.insert(it.key().sha1());
    }
    return games;
}

namespace {

// On the database's thread: game's record (none when empty) and the recent launches, as the file
// now holds them, sent to the history; after runs there once they are applied.
template <class Apply>
void sendChange(LibraryDatabase &db, const std::shared_ptr<platform::Receiver> &receiver, const QByteArray &game, Apply apply)
{
    const PlayRecord record = game.isEmpty() ? PlayRecord() : db.playRecord(game);
    receiver->post([apply = std::move(apply), game, record, recent = db.recentLaunches()]() mutable { apply(game, record, std::move(recent)); });
}

} // namespace

void PlayHistory::load()
{
    run([this](Store &store) {
        if (!store.db)
            return;
        store.receiver->post([this, records = store.db->playRecords(), recent = store.db->recentLaunches()] {
            m_records = records;
            apply({}, {}, recent);
        });
    });
}

void PlayHistory::apply(const QByteArray &sha1, const PlayRecord &record, std::vector<RecentLaunch> recent)
{
    if (!sha1.isEmpty())
        m_records.insert(GameKey::of(sha1), record);
    for (RecentLaunch &launch : recent)
        launch.path = shownPath(launch.path);
    m_recent = std::move(recent);
    emit changed();
}

QByteArray PlayHistory::shownPath(const QByteArray &kept) const
{
    const QString path = platform::fromUtf8Lossless(kept);
    const QString &home = m_store->home;
    if (home.isEmpty() || !QDir::isRelativePath(path))
        return kept;
    return platform::toUtf8Lossless(home + path);
}

void PlayHistory::recordLaunch(const QString &path, const QByteArray &sha1, std::function<void(const QByteArray &)> identified)
{
    const qint64 at = QDateTime::currentMSecsSinceEpoch();
    run([this, path, sha1, at, identified = std::move(identified)](Store &store) {
        const QByteArray game = sha1.isEmpty()
            ? identifyRomOrArchive(path, WholeFileSums::CrcOnly, [&store] { return store.closing.load(); }).data.sha1
            : sha1;
        QString error;
        if (store.file.isEmpty())
            return; // nothing is saved, by choice
        if (game.isEmpty() || !store.db || !store.db->recordLaunch(game, store.keptPath(path), at, &error)) {
            store.tell(store.notKept(QStringLiteral("a launch of %1").arg(platform::displayName(QDir::toNativeSeparators(path))),
                                     game.isEmpty() ? QStringLiteral("the ROM could not be read") : error)
                       + QStringLiteral("\n\nThe game started all the same."));
            if (game.isEmpty() || !store.db)
                return;
        }
        sendChange(*store.db, store.receiver, game, [this, identified](const QByteArray &game, const PlayRecord &record, std::vector<RecentLaunch> recent) {
            apply(game, record, std::move(recent));
            if (identified)
                identified(game);
        });
    });
}

void PlayHistory::launchStarted(quint64 launch, const QString &path, const QByteArray &game)
{
    m_launches[launch]; // its end may be told first
    recordLaunch(path, game, [this, launch](const QByteArray &identified) {
        Launch &played = m_launches[launch];
        played.game = identified;
        if (played.playedMs >= 0) {
            addPlayTime(identified, played.playedMs);
            m_launches.remove(launch);
        }
    });
}

void PlayHistory::launchEnded(quint64 launch, qint64 playedMs)
{
    const auto played = m_launches.find(launch);
    if (played == m_launches.end() || played->game.isEmpty()) {
        m_launches[launch].playedMs = playedMs; // added once the game is known
        return;
    }
    addPlayTime(played->game, playedMs);
    m_launches.erase(played);
}

void PlayHistory::addPlayTime(const QByteArray &sha1, qint64 playedMs)
{
    run([this, sha1, playedMs](Store &store) {
        QString error;
        if (!store.db || !store.db->addPlayTime(sha1, playedMs, &error)) {
            if (!store.file.isEmpty())
                store.tell(store.notKept(QStringLiteral("the time played"), error));
            return;
        }
        sendChange(*store.db, store.receiver, sha1,
                   [this](const QByteArray &game, const PlayRecord &record, std::vector<RecentLaunch> recent) { apply(game, record, std::move(recent)); });
    });
}

void PlayHistory::setFavourite(const QString &path, const QByteArray &sha1, bool favourite)
{
    run([this, path, sha1, favourite](Store &store) {
        const QByteArray game = sha1.isEmpty()
            ? identifyRomOrArchive(path, WholeFileSums::CrcOnly, [&store] { return store.closing.load(); }).data.sha1
            : sha1;
        QString error;
        if (game.isEmpty() || !store.db || !store.db->setFavourite(game, favourite, &error)) {
            store.tell(QStringLiteral("%1 could not be %2 the favourites.\n\n%3")
                           .arg(platform::displayName(QDir::toNativeSeparators(path)),
                                favourite ? QStringLiteral("added to") : QStringLiteral("removed from"),
                                game.isEmpty() ? QStringLiteral("It could not be read.") : store.notKept(QStringLiteral("it"), error)));
            return;
        }
        sendChange(*store.db, store.receiver, game,
                   [this](const QByteArray &game, const PlayRecord &record, std::vector<RecentLaunch> recent) { apply(game, record, std::move(recent)); });
    });
}

void PlayHistory::setEmulator(const QString &path, const QByteArray &sha1, const QString &emulator)
{
    if (sha1.isEmpty())
        return; // a game not yet read has no identity to keep the choice by
    m_records[GameKey::of(sha1)].emulator = emulator; // the next launch uses it, saved or not
    run([this, path, sha1, emulator](Store &store) {
        QString error;
        if (!store.db || !store.db->setEmulator(sha1, emulator, &error)) {
            if (store.db)
                store.tell(QStringLiteral("The emulator chosen for %1 is not kept.\n\n%2")
                               .arg(platform::displayName(QDir::toNativeSeparators(path)), store.notKept(QStringLiteral("it"), error)));
            return;
        }
        sendChange(*store.db, store.receiver, sha1,
                   [this](const QByteArray &game, const PlayRecord &record, std::vector<RecentLaunch> recent) { apply(game, record, std::move(recent)); });
    });
}

void PlayHistory::forgetRecentLaunch(const QString &path)
{
    run([this, path](Store &store) {
        if (store.db && store.db->forgetRecentLaunch(store.keptPath(path), nullptr))
            sendChange(*store.db, store.receiver, {},
                       [this](const QByteArray &game, const PlayRecord &record, std::vector<RecentLaunch> recent) { apply(game, record, std::move(recent)); });
    });
}

} // namespace library
