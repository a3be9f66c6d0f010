#include "library/database/librarydatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>

namespace library {

namespace {

bool isDamaged(int code) { return code == SQLITE_CORRUPT || code == SQLITE_NOTADB; }

// Moves the file and its write-ahead log aside; false, with error, when the file stays.
bool moveAside(const QString &path, QString *aside, QString *error)
{
    *aside = asideName(path);
    QFile file(path);
    if (!file.rename(*aside)) {
        *error = file.errorString();
        return false;
    }
    for (const char *companion : {"-wal", "-shm"}) { // meaningless without their file: kept with it
        const QString from = path + QLatin1String(companion);
        if (QFileInfo::exists(from))
            QFile::rename(from, *aside + QLatin1String(companion));
    }
    return true;
}

} // namespace

QString asideName(const QString &path)
{
    const QString stem = path + QStringLiteral(".corrupt-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = stem;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = stem + QLatin1Char('-') + QString::number(n);
    return name;
}

std::unique_ptr<LibraryDatabase> LibraryDatabase::open(const QString &path, QString *message, Check when,
                                                       const std::atomic<bool> *giveUp)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QString worksWithout = QStringLiteral("Quorvane works on without it, and reads every ROM again at each start.");
    QDir().mkpath(QFileInfo(path).absolutePath());
    std::unique_ptr<LibraryDatabase> library(new LibraryDatabase);
    QString error, aside;
    for (int attempt = 0; attempt < 2; ++attempt) {
        library->m_db = sql::Database::open(path, sql::Database::Mode::ReadWrite, &error);
        library->m_db.giveUpWhen(giveUp);
        bool damaged = false;
        if (library->m_db.isOpen()) {
            // Reading the first page tells a file that is no database; quick_check, one damaged inside.
            QString check = library->m_db.textOf(when == Check::AtOpen ? "PRAGMA quick_check" : "PRAGMA schema_version");
            if (when == Check::Later && !check.isEmpty())
                check = QStringLiteral("ok");
            damaged = isDamaged(library->m_db.lastCode()) || (check != QLatin1String("ok") && !check.isEmpty());
            if (damaged && error.isEmpty())
                error = check.isEmpty() ? library->m_db.lastError() : check.section(QLatin1Char('\n'), 0, 0);
            if (!damaged && check.isEmpty()) { // could not even be read: locked, or no access
                *message = QStringLiteral("Quorvane's database %1 cannot be read: %2\n\n%3").arg(shown, library->m_db.lastError(), worksWithout);
                return nullptr;
            }
        } else if (!QFileInfo::exists(path)) {
            *message = QStringLiteral("Quorvane's database %1 cannot be made: %2\n\n%3").arg(shown, error, worksWithout);
            return nullptr;
        } else {
            // A file that cannot even be opened is not damaged: it stays where it is, untouched.
            QFile file(path);
            const QString why = file.open(QIODevice::ReadOnly) ? error : file.errorString().toLower();
            *message = QStringLiteral("Quorvane's database %1 cannot be read: %2\n\n%3").arg(shown, why, worksWithout);
            return nullptr;
        }
        if (!damaged)
            break;
        library->m_db.close();
        QString why;
        if (attempt > 0 || !moveAside(path, &aside, &why)) {
            *message = QStringLiteral("Quorvane's database %1 is damaged (%2), and could not be put aside: %3\n\n%4")
                           .arg(shown, error, attempt > 0 ? error : why, worksWithout);
            return nullptr;
        }
        *message = QStringLiteral("Quorvane's database %1 was damaged (%2). It is kept as %3, and a new one is made.")
                       .arg(shown, error, QDir::toNativeSeparators(aside));
    }
    if (!library->prepareSchema(&error)) {
        const QString said = QStringLiteral("Quorvane's database %1 %2").arg(shown, error);
        *message = message->isEmpty() ? said : *message + QStringLiteral("\n\n") + said;
    }
    return library;
}

bool LibraryDatabase::isSound()
{
    const QString check = m_db.textOf("PRAGMA quick_check");
    return check == QLatin1String("ok") || (check.isEmpty() && !isDamaged(m_db.lastCode()));
}

bool LibraryDatabase::prepareSchema(QString *error)
{
    const qint64 version = m_db.integerOf("PRAGMA user_version", 0);
    if (version > kSchemaVersion) {
        // Never changed: a newer Quorvane's file is read as far as it is understood.
        m_readOnly = true;
        *error = QStringLiteral("was written by a newer Quorvane; it is read, and left unchanged.");
        return false;
    }
    if (m_db.isReadOnly()) {
        m_readOnly = true;
        *error = QStringLiteral("is read-only: what Quorvane learns of ROMs, and what you play, is not kept.");
        return false;
    }
    m_db.execute("PRAGMA journal_mode=WAL");
    m_db.execute("PRAGMA synchronous=NORMAL");
    if (version == kSchemaVersion)
        return true;
    sql::Transaction upgrade(m_db); // every step of an upgrade, or none
    // Each table made if missing: from nothing, or from an earlier version, the same steps.
    const bool made = upgrade.begun()
        && m_db.execute("CREATE TABLE IF NOT EXISTS rom_file ("
                        " folder BLOB NOT NULL, name BLOB NOT NULL, size INTEGER NOT NULL, modified INTEGER NOT NULL,"
                        " header BLOB NOT NULL, crc32 INTEGER NOT NULL, sha1 BLOB NOT NULL,"
                        " more_sums BLOB NOT NULL DEFAULT x'',"
                        " PRIMARY KEY (folder, name)) WITHOUT ROWID;")
        // Version 4 keeps the sums that only some ROM databases need beside each check.
        && (m_db.integerOf("SELECT COUNT(*) FROM pragma_table_info('rom_file') WHERE name = 'more_sums'", 0) > 0
            || m_db.execute("ALTER TABLE rom_file ADD COLUMN more_sums BLOB NOT NULL DEFAULT x''"))
        && m_db.execute(
                        "CREATE TABLE IF NOT EXISTS rom_play ("
                        " sha1 BLOB NOT NULL PRIMARY KEY, favourite INTEGER NOT NULL DEFAULT 0,"
                        " launches INTEGER NOT NULL DEFAULT 0, played_ms INTEGER NOT NULL DEFAULT 0,"
                        " last_launch_ms INTEGER NOT NULL DEFAULT -1) WITHOUT ROWID;"
                        "CREATE TABLE IF NOT EXISTS recent_launch ("
                        " seq INTEGER PRIMARY KEY, path BLOB NOT NULL UNIQUE, sha1 BLOB NOT NULL, at_ms INTEGER NOT NULL);"
                        "CREATE TABLE IF NOT EXISTS game_emulator ("
                        " sha1 BLOB NOT NULL PRIMARY KEY, emulator TEXT NOT NULL) WITHOUT ROWID;"
                        "PRAGMA user_version = 4;")
        && upgrade.commit();
    if (!made) {
        m_readOnly = true;
        *error = m_db.lastCode() == SQLITE_READONLY
            ? QStringLiteral("is read-only: what Quorvane learns of ROMs, and what you play, is not kept.")
            : QStringLiteral("cannot be written: %1. What Quorvane learns of ROMs, and what you play, is not kept.").arg(m_db.lastError());
        return false;
    }
    return true;
}

std::vector<CheckedFile> LibraryDatabase::checkedFiles(QByteArrayView folder)
{
    std::vector<CheckedFile> files;
    forEachCheckedFile(folder, [&files](CheckedFile &file) {
        files.push_back(std::move(file));
        return true;
    });
    return files;
}

void LibraryDatabase::forEachCheckedFile(QByteArrayView folder, const std::function<bool(CheckedFile &file)> &take)
{
    sql::Statement query = m_db.prepare("SELECT name, size, modified, header, crc32, sha1, more_sums FROM rom_file WHERE folder = ?1");
    query.bind(1, folder);
    bool more = true;
    while (more && query.next()) {
        CheckedFile file;
        file.name = query.bytes(0).toByteArray();
        file.stamp = {query.integer(1), query.integer(2)};
        file.header = query.bytes(3).toByteArray();
        file.sums = {quint32(query.integer(4)), query.bytes(5).toByteArray(), {}};
        file.moreSums = query.bytes(6).toByteArray();
        more = take(file);
    }
}

bool LibraryDatabase::keepChecks(QByteArrayView folder, const std::vector<CheckedFile> &files,
                                 const std::vector<QByteArray> &gone, QString *error)
{
    if (m_readOnly || (files.empty() && gone.empty()))
        return true;
    sql::Transaction keep(m_db);
    sql::Statement insert = m_db.prepare("INSERT OR REPLACE INTO rom_file (folder, name, size, modified, header, crc32, sha1, more_sums)"
                                         " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    sql::Statement forget = m_db.prepare("DELETE FROM rom_file WHERE folder = ?1 AND name = ?2");
    bool ok = keep.begun();
    for (auto it = files.begin(); ok && it != files.end(); ++it) {
        ok = insert.bind(1, folder).bind(2, it->name).bind(3, it->stamp.size).bind(4, it->stamp.modified)
                 .bind(5, it->header).bind(6, qint64(it->sums.crc32)).bind(7, it->sums.sha1).bind(8, it->moreSums).run();
    }
    for (auto it = gone.begin(); ok && it != gone.end(); ++it)
        ok = forget.bind(1, folder).bind(2, *it).run();
    if (ok && keep.commit())
        return true;
    if (error)
        *error = m_db.lastError();
    return false;
}

bool LibraryDatabase::inTransaction(const std::function<bool()> &change, QString *error)
{
    if (m_readOnly) {
        if (error)
            *error = QStringLiteral("the database is only read");
        return false;
    }
    sql::Transaction transaction(m_db);
    if (transaction.begun() && change() && transaction.commit())
        return true;
    if (error)
        *error = m_db.lastError();
    return false;
}

bool LibraryDatabase::recordLaunch(QByteArrayView sha1, QByteArrayView path, qint64 atMs, QString *error)
{
    return inTransaction(
        [&] {
            return m_db.prepare("INSERT INTO rom_play (sha1, launches, last_launch_ms) VALUES (?1, 1, ?2)"
                                " ON CONFLICT (sha1) DO UPDATE SET launches = launches + 1, last_launch_ms = ?2")
                       .bind(1, sha1).bind(2, atMs).run()
                && m_db.prepare("DELETE FROM recent_launch WHERE path = ?1").bind(1, path).run()
                && m_db.prepare("INSERT INTO recent_launch (path, sha1, at_ms) VALUES (?1, ?2, ?3)")
                       .bind(1, path).bind(2, sha1).bind(3, atMs).run()
                && m_db.prepare("DELETE FROM recent_launch WHERE seq NOT IN"
                                " (SELECT seq FROM recent_launch ORDER BY seq DESC LIMIT ?1)")
                       .bind(1, kRecentLaunches).run();
        },
        error);
}

bool LibraryDatabase::addPlayTime(QByteArrayView sha1, qint64 playedMs, QString *error)
{
    return inTransaction(
        [&] {
            return m_db.prepare("INSERT INTO rom_play (sha1, played_ms) VALUES (?1, ?2)"
                                " ON CONFLICT (sha1) DO UPDATE SET played_ms = played_ms + ?2")
                .bind(1, sha1).bind(2, std::max<qint64>(playedMs, 0)).run();
        },
        error);
}

bool LibraryDatabase::setFavourite(QByteArrayView sha1, bool favourite, QString *error)
{
    return inTransaction(
        [&] {
            return m_db.prepare("INSERT INTO rom_play (sha1, favourite) VALUES (?1, ?2)"
                                " ON CONFLICT (sha1) DO UPDATE SET favourite = ?2")
                .bind(1, sha1).bind(2, favourite ? 1 : 0).run();
        },
        error);
}

bool LibraryDatabase::setEmulator(QByteArrayView sha1, const QString &emulator, QString *error)
{
    return inTransaction(
        [&] {
            if (emulator.isEmpty())
                return m_db.prepare("DELETE FROM game_emulator WHERE sha1 = ?1").bind(1, sha1).run();
            return m_db.prepare("INSERT INTO game_emulator (sha1, emulator) VALUES (?1, ?2)"
                                " ON CONFLICT (sha1) DO UPDATE SET emulator = ?2")
                .bind(1, sha1).bind(2, emulator.toUtf8()).run();
        },
        error);
}

bool LibraryDatabase::forgetRecentLaunch(QByteArrayView path, QString *error)
{
    return inTransaction([&] { return m_db.prepare("DELETE FROM recent_launch WHERE path = ?1").bind(1, path).run(); },
                         error);
}

GameKey GameKey::of(QByteArrayView sha1)
{
    GameKey key;
    std::copy_n(sha1.data(), std::min<size_t>(size_t(sha1.size()), key.bytes.size()), key.bytes.begin());
    return key;
}

QHash<GameKey, PlayRecord> LibraryDatabase::playRecords()
{
    QHash<GameKey, PlayRecord> records;
    sql::Statement query = m_db.prepare("SELECT sha1, favourite, launches, played_ms, last_launch_ms FROM rom_play");
    while (query.next())
        records.insert(GameKey::of(query.bytes(0)), {query.integer(1) != 0, query.integer(2), query.integer(3), query.integer(4), {}});
    sql::Statement chosen = m_db.prepare("SELECT sha1, emulator FROM game_emulator");
    while (chosen.next())
        records[GameKey::of(chosen.bytes(0))].emulator = QString::fromUtf8(chosen.bytes(1));
    return records;
}

PlayRecord LibraryDatabase::playRecord(QByteArrayView sha1)
{
    sql::Statement query = m_db.prepare("SELECT favourite, launches, played_ms, last_launch_ms FROM rom_play WHERE sha1 = ?1");
    query.bind(1, sha1);
    PlayRecord record = query.next() ? PlayRecord{query.integer(0) != 0, query.integer(1), query.integer(2), query.integer(3), {}} : PlayRecord();
    sql::Statement chosen = m_db.prepare("SELECT emulator FROM game_emulator WHERE sha1 = ?1");
    chosen.bind(1, sha1);
    if (chosen.next())
        record.emulator = QString::fromUtf8(chosen.bytes(0));
    return record;
}

std::vector<RecentLaunch> LibraryDatabase::recentLaunches()
{
    std::vector<RecentLaunch> launches;
    // As many as are kept, whatever another program left in the file.
    sql::Statement query = m_db.prepare("SELECT path, sha1, at_ms FROM recent_launch ORDER BY seq DESC LIMIT ?1");
    query.bind(1, kRecentLaunches);
    while (query.next())
        launches.push_back({query.bytes(0).toByteArray(), query.bytes(1).toByteArray(), query.integer(2)});
    return launches;
}

} // namespace library
