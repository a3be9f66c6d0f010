#include "library/playhistory.h"

#include "library/romchecker.h"
#include "platform/contextdoor.h"
#include "platform/filenames.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace library {

// The database's side: used on the history's thread alone, one job at a time.
struct PlayHistory::Store {
    QString file;
    std::unique_ptr<LibraryDatabase> db;
    bool tried = false;

    // Opened with the first job; message tells of a damaged, newer or read-only file.
    LibraryDatabase *database(QString *message)
    {
        if (!std::exchange(tried, true) && !file.isEmpty())
            db = LibraryDatabase::open(file, message);
        return db.get();
    }

    // What the user hears of a change the file did not keep.
    QString notKept(const QString &what, const QString &error) const
    {
        return QStringLiteral("Quorvane's database %1 did not keep %2: %3\n\nThe game started all the same.")
            .arg(QDir::toNativeSeparators(file), what, error);
    }
};

PlayHistory::PlayHistory(const QString &databaseFile, QObject *parent)
    : QObject(parent),
      m_home(databaseFile.isEmpty() ? QString() : QFileInfo(databaseFile).absolutePath() + QLatin1Char('/')),
      m_store(std::make_shared<Store>()), m_door(platform::ContextDoor::open(this))
{
    m_store->file = databaseFile;
    m_thread.setMaxThreadCount(1);
}

PlayHistory::~PlayHistory() { m_thread.waitForDone(); }

void PlayHistory::run(std::function<void(Store &store)> job)
{
    m_thread.start([store = m_store, door = m_door, this, job = std::move(job)] {
        QString message;
        store->database(&message);
        if (!message.isEmpty())
            door->post([this, message] { emit problem(message); });
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

void PlayHistory::load()
{
    run([this, door = m_door](Store &store) {
        if (!store.db)
            return;
        door->post([this, records = store.db->playRecords(), recent = store.db->recentLaunches()] {
            m_records = records;
            apply({}, {}, recent);
        });
    });
}

void PlayHistory::sendChange(Store &store, const QByteArray &game, std::function<void()> after)
{
    const PlayRecord record = game.isEmpty() ? PlayRecord() : store.db->playRecord(game);
    m_door->post([this, game, record, recent = store.db->recentLaunches(), after = std::move(after)] {
        apply(game, record, recent);
        if (after)
            after();
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

QByteArray PlayHistory::keptPath(const QString &path) const
{
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity kCase = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity kCase = Qt::CaseSensitive;
#endif
    const QString whole = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!m_home.isEmpty() && whole.startsWith(m_home, kCase))
        return platform::toUtf8Lossless(whole.mid(m_home.size()));
    return platform::toUtf8Lossless(whole);
}

QByteArray PlayHistory::shownPath(const QByteArray &kept) const
{
    const QString path = platform::fromUtf8Lossless(kept);
    if (m_home.isEmpty() || !QDir::isRelativePath(path))
        return kept;
    return platform::toUtf8Lossless(m_home + path);
}

void PlayHistory::recordLaunch(const QString &path, const QByteArray &sha1, std::function<void(const QByteArray &)> identified)
{
    const qint64 at = QDateTime::currentMSecsSinceEpoch();
    run([this, door = m_door, path, sha1, at, identified = std::move(identified)](Store &store) {
        if (!store.db)
            return;
        const QByteArray game = sha1.isEmpty() ? identifyRomOrArchive(path, WholeFileSums::CrcOnly).data.sha1 : sha1;
        if (game.isEmpty())
            return; // no longer readable: nothing to count it by
        QString error;
        if (!store.db->recordLaunch(game, keptPath(path), at, &error))
            door->post([this, text = store.notKept(QStringLiteral("a launch"), error)] { emit problem(text); });
        sendChange(store, game, [identified, game] {
            if (identified)
                identified(game);
        });
    });
}

void PlayHistory::addPlayTime(const QByteArray &sha1, qint64 playedMs)
{
    run([this, door = m_door, sha1, playedMs](Store &store) {
        QString error;
        if (!store.db || !store.db->addPlayTime(sha1, playedMs, &error)) {
            if (store.db)
                door->post([this, text = store.notKept(QStringLiteral("the time played"), error)] { emit problem(text); });
            return;
        }
        sendChange(store, sha1);
    });
}

void PlayHistory::setFavourite(const QString &path, const QByteArray &sha1, bool favourite)
{
    run([this, door = m_door, path, sha1, favourite](Store &store) {
        const QByteArray game = sha1.isEmpty() ? identifyRomOrArchive(path, WholeFileSums::CrcOnly).data.sha1 : sha1;
        QString error;
        if (game.isEmpty() || !store.db || !store.db->setFavourite(game, favourite, &error)) {
            door->post([this, path, favourite, error] {
                emit problem(QStringLiteral("%1 could not be %2 the favourites.\n\n%3")
                                 .arg(QDir::toNativeSeparators(path), favourite ? QStringLiteral("added to") : QStringLiteral("removed from"),
                                      error.isEmpty() ? QStringLiteral("Quorvane's database cannot be used.") : error));
            });
            return;
        }
        sendChange(store, game);
    });
}

void PlayHistory::forgetRecentLaunch(const QString &path)
{
    run([this, kept = keptPath(path)](Store &store) {
        if (store.db && store.db->forgetRecentLaunch(kept, nullptr))
            sendChange(store, {});
    });
}

} // namespace library
