// The library database: what it keeps of checks and play, and how it meets damage, age, locks,
// other programs and folders it cannot be made in.

#include "romtests.h"

#include "library/database/librarydatabase.h"
#include "library/database/playhistory.h"
#include "platform/filenames.h"

#include <QProcess>
#include <QElapsedTimer>
#include <QScopeGuard>

#include <sqlite3.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace testutil;
using namespace library;

namespace {

QByteArray sha1Of(const QString &path) { return QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha1); }

} // namespace

class TestLibraryDatabase : public QObject
{
    Q_OBJECT

private slots:
    void theLibraryDatabaseKeepsChecksAndForgetsTheGone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"data/quorvane.db"_s); // its folder is made
        QString message;
        {
            auto db = LibraryDatabase::open(path, &message);
            QVERIFY(db && message.isEmpty());
            const QByteArray folder = "/roms/\xff"; // path bytes, not text
            QVERIFY(db->keepChecks(folder, {{"a.nes", {10, 20}, "NES\x1A", sumsOf("a")}, {"b\xfe.nes", {11, 21}, "x", sumsOf("b")}}, {}, nullptr));
            QVERIFY(db->keepChecks(folder, {}, {"a.nes"}, nullptr));
        }
        auto db = LibraryDatabase::open(path, &message);
        const auto kept = db->checkedFiles("/roms/\xff");
        QCOMPARE(kept.size(), size_t(1));
        QCOMPARE(kept[0].name, "b\xfe.nes");
        QCOMPARE(kept[0].stamp, (platform::FileStamp{11, 21}));
        QCOMPARE(kept[0].sums, sumsOf("b"));
        QVERIFY(db->checkedFiles("/roms/").empty());
    }

    // A file that holds more recent launches than are kept (another program wrote them) gives
    // the newest as many as the menu shows.
    void recentLaunchesAreAsManyAsAreKept()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        QString message;
        QVERIFY(LibraryDatabase::open(path, &message));
        sqlite3 *raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        for (int i = 0; i < 1000; ++i) {
            const QByteArray insert = "INSERT INTO recent_launch (path, sha1, at_ms) VALUES ('/roms/" + QByteArray::number(i)
                                      + ".nes', x'00', " + QByteArray::number(i) + ")";
            QCOMPARE(sqlite3_exec(raw, insert.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        }
        sqlite3_close(raw);
        const std::vector<RecentLaunch> recent = LibraryDatabase::open(path, &message)->recentLaunches();
        QCOMPARE(recent.size(), size_t(LibraryDatabase::kRecentLaunches));
        QCOMPARE(recent.front().path, "/roms/999.nes");
    }

    void aDamagedDatabaseIsKeptAsideAndANewOneMade_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("not a database") << QByteArray(8192, 'z');
        QTest::newRow("damaged pages") << QByteArray(); // a real database with its pages overwritten
    }
    void aDamagedDatabaseIsKeptAsideAndANewOneMade()
    {
        QFETCH(QByteArray, damage);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        QString message;
        if (damage.isEmpty()) {
            {
                auto db = LibraryDatabase::open(path, &message);
                std::vector<CheckedFile> files;
                for (int i = 0; i < 2000; ++i)
                    files.push_back({"rom" + QByteArray::number(i) + ".nes", {i, i}, QByteArray(16, 'h'), sumsOf(QByteArray::number(i))});
                QVERIFY(db->keepChecks("/f", files, {}, nullptr));
            }
            sqlite3 *raw = nullptr; // moves the log into the file, so that its pages are what is damaged
            QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
            sqlite3_exec(raw, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE;", nullptr, nullptr, nullptr);
            sqlite3_close(raw);
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(4096 * 3));
            QCOMPARE(file.write(QByteArray(4096 * 4, '\x5a')), 4096 * 4);
            file.close();
        } else {
            writeFile(path, damage);
        }
        const QByteArray before = readAll(path);
        // The checker uses what the file holds first and checks it whole after: it finds the
        // damage all the same, puts the file aside, and checks the folder again into a new one.
        const QString checkersCopy = dir.filePath(u"checker/quorvane.db"_s);
        QVERIFY(QDir().mkpath(dir.filePath(u"checker"_s)) && QFile::copy(path, checkersCopy));
        writeFile(dir.filePath(u"roms/a.nes"_s), header(1, 0) + QByteArray(16384, 'a'));
        {
            RomChecker checker({checkersCopy, {}});
            QSignalSpy problems(&checker, &RomChecker::problem);
            QCOMPARE(checkAll(checker, dir.filePath(u"roms"_s), {u"a.nes"_s}).size(), 1);
            QCOMPARE(problems.size(), 1);
            QVERIFY(problems[0][0].toString().contains(u"kept as"_s));
        }
        QStringList checkersAside = QDir(dir.filePath(u"checker"_s)).entryList({u"quorvane.db.corrupt-*"_s}, QDir::Files);
        checkersAside.removeIf([](const QString &name) { return name.endsWith(u"-wal"_s) || name.endsWith(u"-shm"_s); });
        QCOMPARE(checkersAside.size(), 1); // with its log, if any
        QCOMPARE(LibraryDatabase::open(checkersCopy, &message)->checkedFiles(platform::toUtf8Lossless(dir.filePath(u"roms"_s))).size(), size_t(1));
        message.clear();

        auto db = LibraryDatabase::open(path, &message);
        QVERIFY(db);
        QVERIFY2(message.contains(QDir::toNativeSeparators(path)) && message.contains(u"kept as"_s), qPrintable(message));
        const QStringList aside = QDir(dir.path()).entryList({u"quorvane.db.corrupt-*"_s}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(dir.filePath(aside[0])), before); // kept as it was, never deleted
        QVERIFY(db->keepChecks("/f", {{"a.nes", {1, 2}, "h", sumsOf("a")}}, {}, nullptr)); // the new one works
        QCOMPARE(db->checkedFiles("/f").size(), size_t(1));
    }

    void aNewerDatabaseIsReadAndLeftUnchanged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        QString message;
        {
            auto db = LibraryDatabase::open(path, &message);
            QVERIFY(db->keepChecks("/f", {{"a.nes", {1, 2}, "h", sumsOf("a")}}, {}, nullptr));
        }
        sqlite3 *raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA user_version = 7;", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
        const QByteArray before = sha1Of(path);
        auto db = LibraryDatabase::open(path, &message);
        QVERIFY(db && db->isReadOnly());
        QVERIFY2(message.contains(u"newer Quorvane"_s) && message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
        QCOMPARE(db->checkedFiles("/f").size(), size_t(1)); // read
        QVERIFY(db->keepChecks("/f", {{"b.nes", {1, 2}, "h", sumsOf("b")}}, {}, nullptr)); // and not written
        db.reset();
        QCOMPARE(sha1Of(path), before);
        QCOMPARE(QDir(dir.path()).entryList({u"*.corrupt-*"_s}).size(), 0);
    }

    // Play is kept by what a ROM is: a renamed or moved file keeps its record, two games of one
    // name stay apart, and a copy of the file elsewhere holds it all. Recent launches: one per
    // path, newest first, ten at most.
    void playFollowsTheGameNotTheFile()
    {
        QTemporaryDir dir;
        QString message;
        auto db = LibraryDatabase::open(dir.filePath(u"quorvane.db"_s), &message);
        const QByteArray mario = sumsOf("mario").sha1, zelda = sumsOf("zelda").sha1;
        QVERIFY(db->recordLaunch(mario, "/roms/game.nes", 1000, nullptr));
        QVERIFY(db->addPlayTime(mario, 60000, nullptr) && db->setFavourite(mario, true, nullptr));
        QVERIFY(db->recordLaunch(mario, "/roms/Mario.nes", 2000, nullptr));  // renamed
        QVERIFY(db->recordLaunch(mario, "/roms2/Mario.nes", 3000, nullptr)); // moved
        QVERIFY(db->addPlayTime(mario, 30000, nullptr));
        QVERIFY(db->recordLaunch(zelda, "/roms3/game.nes", 4000, nullptr)); // another game, the old name
        const PlayRecord m = db->playRecord(mario), z = db->playRecord(zelda);
        QCOMPARE(m.launches, 3);
        QCOMPARE(m.playedMs, 90000);
        QCOMPARE(m.lastLaunchMs, 3000);
        QVERIFY(m.favourite);
        QCOMPARE(z.launches, 1);
        QCOMPARE(z.playedMs, 0);
        QVERIFY(!z.favourite);
        QCOMPARE(db->playRecord(sumsOf("never").sha1).lastLaunchMs, -1);
        QCOMPARE(db->playRecords().size(), 2);
        QVERIFY(db->setFavourite(mario, false, nullptr) && !db->playRecord(mario).favourite);

        for (int i = 0; i < 12; ++i)
            QVERIFY(db->recordLaunch(zelda, "/roms/z" + QByteArray::number(i) + ".nes", 5000 + i, nullptr));
        QVERIFY(db->recordLaunch(mario, "/roms/z5.nes", 9000, nullptr)); // the same path again: first, once
        const std::vector<RecentLaunch> recent = db->recentLaunches();
        QCOMPARE(recent.size(), size_t(LibraryDatabase::kRecentLaunches));
        QCOMPARE(recent[0].path, "/roms/z5.nes");
        QCOMPARE(recent[0].sha1, mario);
        QCOMPARE(recent[1].path, "/roms/z11.nes");
        QCOMPARE(recent[9].path, "/roms/z2.nes");
        QVERIFY(db->forgetRecentLaunch("/roms/z5.nes", nullptr));
        QCOMPARE(db->recentLaunches().front().path, "/roms/z11.nes");

        db.reset(); // a portable folder copied elsewhere: its database holds everything
        QVERIFY(QFile::copy(dir.filePath(u"quorvane.db"_s), dir.filePath(u"copy.db"_s)));
        auto copy = LibraryDatabase::open(dir.filePath(u"copy.db"_s), &message);
        QCOMPARE(copy->playRecord(mario).launches, 4);
        QCOMPARE(copy->recentLaunches().size(), size_t(9));
    }

    // A portable folder moved or copied to another drive: its recent ROMs are found where it is now;
    // a ROM outside it keeps its whole path.
    void aMovedPortableFolderFindsItsRecentRoms()
    {
        QTemporaryDir dir;
        const QByteArray rom = header(1, 0) + QByteArray(16384, 'r');
        writeFile(dir.filePath(u"emu/roms/a.nes"_s), rom);
        writeFile(dir.filePath(u"outside/b.nes"_s), header(1, 0) + QByteArray(16384, 'b'));
        {
            PlayHistory history(dir.filePath(u"emu/quorvane.db"_s));
            QSignalSpy changed(&history, &PlayHistory::changed);
            history.recordLaunch(dir.filePath(u"emu/roms/a.nes"_s), {});
            history.recordLaunch(dir.filePath(u"outside/b.nes"_s), {});
            QTRY_COMPARE(changed.size(), 2);
            QCOMPARE(history.recentLaunches().front().path, dir.filePath(u"outside/b.nes"_s).toUtf8());
        }
        QVERIFY(QDir(dir.path()).rename(u"emu"_s, u"moved"_s));
        PlayHistory history(dir.filePath(u"moved/quorvane.db"_s));
        QSignalSpy changed(&history, &PlayHistory::changed);
        history.load();
        QTRY_COMPARE(changed.size(), 1);
        const std::vector<RecentLaunch> &recent = history.recentLaunches();
        QCOMPARE(recent.size(), size_t(2));
        QCOMPARE(recent[0].path, dir.filePath(u"outside/b.nes"_s).toUtf8());
        QCOMPARE(recent[1].path, dir.filePath(u"moved/roms/a.nes"_s).toUtf8());
        QCOMPARE(history.record(sumsOf(rom.mid(16)).sha1).launches, 1);
        history.forgetRecentLaunch(recent[1].path);
        QTRY_COMPARE(changed.size(), 2);
        QCOMPARE(history.recentLaunches().size(), size_t(1));
    }

    // Another program holds the database: every change it did not keep is reported, launches and
    // favourites alike, and closing waits no more than a second for those still waiting.
    void aLockedDatabaseSaysWhatItDidNotKeepAndClosesAtOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        const QByteArray game = sumsOf("locked").sha1;
        {
            QString message;
            QVERIFY(LibraryDatabase::open(path, &message)->setFavourite(sumsOf("other").sha1, true, nullptr));
        }
        sqlite3 *holder = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        const auto release = qScopeGuard([holder] { sqlite3_close(holder); });
        QStringList messages;
        QElapsedTimer closing;
        {
            PlayHistory history(path);
            connect(&history, &PlayHistory::problem, &history, [&messages](const QString &text) { messages << text; });
            history.load();
            history.setFavourite(u"/roms/locked.nes"_s, game, true);
            history.recordLaunch(u"/roms/locked.nes"_s, game);
            QTRY_VERIFY_WITH_TIMEOUT(messages.size() >= 2, 20000);
            for (int i = 0; i < 4; ++i)
                history.recordLaunch(u"/roms/locked.nes"_s, game);
            closing.start();
        }
        QVERIFY2(closing.elapsed() < 1500, qPrintable(QString::number(closing.elapsed())));
        const QString all = messages.join(u"\n"_s);
        QVERIFY2(all.contains(u"favourites"_s) && all.contains(u"a launch"_s), qPrintable(all));
    }

    // A database of the first version gains the play tables in one step, its checks kept.
    void anOlderDatabaseIsUpgraded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        sqlite3 *raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw,
                              "CREATE TABLE rom_file (folder BLOB NOT NULL, name BLOB NOT NULL, size INTEGER NOT NULL,"
                              " modified INTEGER NOT NULL, header BLOB NOT NULL, crc32 INTEGER NOT NULL, sha1 BLOB NOT NULL,"
                              " PRIMARY KEY (folder, name)) WITHOUT ROWID;"
                              "INSERT INTO rom_file VALUES (x'2f66', 'a.nes', 1, 2, x'00', 3, x'04');"
                              "PRAGMA user_version = 1;",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(raw);
        QString message;
        auto db = LibraryDatabase::open(path, &message);
        QVERIFY2(db && !db->isReadOnly() && message.isEmpty(), qPrintable(message));
        QCOMPARE(db->checkedFiles("/f").size(), size_t(1));
        QVERIFY(db->recordLaunch(sumsOf("a").sha1, "/f/a.nes", 1, nullptr));
        db.reset();
        QCOMPARE(LibraryDatabase::open(path, &message)->playRecord(sumsOf("a").sha1).launches, 1);
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        sqlite3_stmt *version = nullptr;
        sqlite3_prepare_v2(raw, "PRAGMA user_version", -1, &version, nullptr);
        QCOMPARE(sqlite3_step(version), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(version, 0), LibraryDatabase::kSchemaVersion);
        sqlite3_finalize(version);
        sqlite3_close(raw);
    }

    // Two Quorvanes recording launches of one game at the same moment: every launch counts.
    void twoProgramsRecordingAtOnceBothCount()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        QString message;
        QVERIFY(LibraryDatabase::open(path, &message)); // made by a first start
        QProcess first, second;
        for (QProcess *loop : {&first, &second})
            loop->start(QStringLiteral(HISTORY_LOOP), {path, u"500"_s});
        for (QProcess *loop : {&first, &second}) {
            QVERIFY(loop->waitForFinished(180000));
            QVERIFY2(loop->exitCode() == 0, loop->readAllStandardError().constData());
        }
        QCOMPARE(LibraryDatabase::open(path, &message)->playRecord(QByteArray(20, '\x42')).launches, 1000);
    }

    void aDatabaseThatCannotBeMadeLeavesTheProgramWorking()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(u"file"_s), "a file where a folder should be");
        QString message;
        const QString path = dir.filePath(u"file/quorvane.db"_s);
        QVERIFY(!LibraryDatabase::open(path, &message));
        QVERIFY2(message.contains(QDir::toNativeSeparators(path)) && message.contains(u"works on without it"_s), qPrintable(message));

        // The checker then checks every time, without keeping anything.
        writeFile(dir.filePath(u"roms/a.nes"_s), header(1, 0) + QByteArray(16384, 'a'));
        RomChecker checker({path, {}});
        QSignalSpy problems(&checker, &RomChecker::problem);
        const FactsByName facts = checkAll(checker, dir.filePath(u"roms"_s), {u"a.nes"_s});
        QCOMPARE(facts.size(), 1);
        QVERIFY(facts["a.nes"].warning.isEmpty());
        QCOMPARE(problems.size(), 1);
    }
};

QTEST_MAIN(TestLibraryDatabase)
#include "tst_librarydb.moc"
