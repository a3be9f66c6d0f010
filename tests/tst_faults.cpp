// The library under faults, where only POSIX can make them: killed while it writes, a disk that
// fills, an archive that declares millions of files, a window closed while a read stalls.

#include "archivewriter.h"
#include "posixtests.h"
#include "testutil.h"

#include "library/archives/romarchive.h"
#include "library/archives/romcache.h"
#include "library/database/librarydatabase.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <sqlite3.h>
#include <zlib.h>

using namespace testutil;

namespace {

// SQLite's whole check of the database at path, and the launches of the game history_loop records.
std::pair<QByteArray, qint64> wholeCheck(const QString &path)
{
    if (!QFileInfo::exists(path))
        return {"ok", 0}; // killed before it made the file
    sqlite3 *db = nullptr;
    std::pair<QByteArray, qint64> result{"cannot be opened", -1};
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt *query = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &query, nullptr);
        result.first = sqlite3_step(query) == SQLITE_ROW ? QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(query, 0)))
                                                        : QByteArray(sqlite3_errmsg(db));
        sqlite3_finalize(query);
        sqlite3_prepare_v2(db, "SELECT launches FROM rom_play WHERE sha1 = x'4242424242424242424242424242424242424242'",
                           -1, &query, nullptr);
        result.second = sqlite3_step(query) == SQLITE_ROW ? sqlite3_column_int64(query, 0) : 0;
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return result;
}

// A 7z whose header declares files one-byte files by the million, stored as it is: libarchive
// reads the whole header, and makes room for every file it declares, before the first entry.
QByteArray sevenZipDeclaring(quint64 files)
{
    auto number = [](quint64 value) { // 7z's variable-length number: the longest form
        QByteArray bytes(1, '\xFF');
        for (int i = 0; i < 8; ++i)
            bytes += char(value >> (8 * i));
        return bytes;
    };
    auto little = [](quint64 value, int size) {
        QByteArray bytes;
        for (int i = 0; i < size; ++i)
            bytes += char(value >> (8 * i));
        return bytes;
    };
    const QByteArray empty(qsizetype((files + 7) / 8), '\xFF'); // every file without a stream
    QByteArray names(qsizetype(files * 4), '\0');
    for (quint64 i = 0; i < files; ++i)
        names[qsizetype(i * 4)] = 'a'; // "a", UTF-16, each ended
    const QByteArray header = QByteArray("\x01\x05", 2) + number(files) + '\x0E' + number(quint64(empty.size())) + empty + '\x11'
                              + number(quint64(names.size()) + 1) + '\0' + names + QByteArray("\0\0", 2);
    const QByteArray start = little(0, 8) + little(quint64(header.size()), 8)
                             + little(crc32(0, reinterpret_cast<const Bytef *>(header.constData()), uInt(header.size())), 4);
    return QByteArray("7z\xBC\xAF\x27\x1C\x00\x04", 8)
           + little(crc32(0, reinterpret_cast<const Bytef *>(start.constData()), uInt(start.size())), 4) + start + header;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    // File > Exit while a ROM folder's share does not answer, while an archive's reader does not,
    // or while another program holds the database locked: the process ends at once all the same.
    void closingNeverWaitsForAStall_data()
    {
        QTest::addColumn<QString>("stall");
        QTest::newRow("share") << u"share"_s;
        QTest::newRow("archive") << u"archive"_s;
        QTest::newRow("database") << u"database"_s;
    }
    void closingNeverWaitsForAStall()
    {
        QFETCH(QString, stall);
        QTemporaryDir dir;
        const QString roms = dir.filePath(u"roms/"_s), database = dir.filePath(u"data/quorvane.db"_s);
        writeFile(dir.filePath(u"quorvane.ini"_s), configFor(roms, {}, {}));
        writeFile(roms + u"game.nes"_s, "NES\x1A");
        writeFile(roms + u"big.7z"_s, QByteArray("7z\xBC\xAF\x27\x1C", 6) + QByteArray(4096, 'x'));
        {
            QString message;
            QVERIFY(QDir().mkpath(dir.filePath(u"data"_s)) && library::LibraryDatabase::open(database, &message));
        }
        sqlite3 *holder = nullptr;
        const auto release = qScopeGuard([&holder] { sqlite3_close(holder); });
        if (stall == u"database"_s) {
            QCOMPARE(sqlite3_open(database.toUtf8().constData(), &holder), SQLITE_OK);
            QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        // The archive's reader is "sleep 600": whatever outlives the probe goes with the test.
        const auto reapReaders = qScopeGuard([] { QProcess::execute(u"pkill"_s, {u"-f"_s, u"^sleep 600$"_s}); });
        QProcess probe;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        probe.setProcessEnvironment(environment);
        probe.start(QStringLiteral(CLOSING_PROBE), {stall, dir.path()});
        QVERIFY2(probe.waitForStarted(10000), "the probe did not start");
        QElapsedTimer closing;
        for (QDeadlineTimer patience(20000); !probe.readAllStandardOutput().contains("closing");) {
            QVERIFY2(!patience.hasExpired() && probe.state() == QProcess::Running, "waited in vain for the probe to close");
            probe.waitForReadyRead(100);
        }
        closing.start();
        QVERIFY2(probe.waitForFinished(10000), "the probe did not end within 10 s of closing");
        qInfo("%s: ended %lld ms after closing", qPrintable(stall), closing.elapsed());
        // A second at most on a quiet machine; the bound leaves room for a loaded one and sanitizers.
        QVERIFY2(closing.elapsed() < 3000, qPrintable(u"ended %1 ms after closing"_s.arg(closing.elapsed())));
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), 0);
    }

    // A Quorvane killed at any point while it records launches: the file always passes SQLite's
    // whole check, and every launch whose transaction had committed is there.
    void killedWhileRecordingNoLaunchIsLost()
    {
        QUORVANE_HEAVY_TEST();
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        qint64 kept = 0;
        for (int run = 0; run < 200; ++run) {
            QProcess loop;
            loop.start(QStringLiteral(HISTORY_LOOP), {path, u"0"_s});
            QVERIFY(loop.waitForStarted());
            if (run % 4 != 0) // else while it opens the file
                QVERIFY(loop.waitForReadyRead(10000));
            QThread::usleep(QRandomGenerator::global()->bounded(3000));
            loop.kill();
            QVERIFY(loop.waitForFinished());
            const QList<QByteArray> lines = loop.readAllStandardOutput().trimmed().split('\n');
            const qint64 committed = kept + (lines.last().isEmpty() ? 0 : lines.last().toLongLong());
            const auto [check, launches] = wholeCheck(path);
            QVERIFY2(check == "ok", check.constData());
            QVERIFY2(launches >= committed && launches <= committed + 1, // one may have committed unreported
                     qPrintable(u"run %1: %2 saved, %3 reported"_s.arg(run).arg(launches).arg(committed)));
            kept = launches;
        }
    }

    // A Quorvane killed while it unpacks a zipped ROM leaves no half ROM under the ROM's name; the
    // next start removes what it was writing.
    void killedWhileUnpackingNoHalfRomIsLeft()
    {
        QUORVANE_HEAVY_TEST();
        QTemporaryDir dir;
        QByteArray rom = nesRom('k', 256); // 4 MB: an unpack takes a few milliseconds
        for (qsizetype i = 16; i < rom.size(); i += 7)
            rom[i] = char(QRandomGenerator::global()->bounded(256));
        const QString archive = dir.filePath(u"big.zip"_s);
        writeFile(archive, makeArchive(ArchiveFormat::Zip, {{"Big.nes", rom}}));
        const QString cache = dir.filePath(u"cache"_s);
        const QString unpacked = cache + u'/' + QString::fromLatin1(QCryptographicHash::hash(rom.mid(16), QCryptographicHash::Sha1).toHex())
                                 + u"/Big.nes"_s;
        int whole = 0, halfWritten = 0;
        for (int run = 0; run < 60; ++run) {
            QProcess loop;
            loop.start(QStringLiteral(UNPACK_LOOP), {archive, cache});
            QVERIFY(loop.waitForStarted());
            QVERIFY(loop.waitForReadyRead(10000)); // then killed somewhere in the unpacks that follow
            QThread::usleep(QRandomGenerator::global()->bounded(10000));
            loop.kill();
            QVERIFY(loop.waitForFinished());
            QVERIFY2(loop.readAllStandardError().isEmpty(), "an unpack failed");
            if (QFile::exists(unpacked)) {
                QVERIFY2(readAll(unpacked) == rom, qPrintable(u"run %1: a half ROM under its name"_s.arg(run)));
                ++whole;
            }
            halfWritten += int(!QDir(cache).entryList({u".unpacking-*"_s}, QDir::Files | QDir::Hidden).isEmpty());
        }
        QString error;
        QVERIFY(library::RomCache(cache).open(&error));
        QCOMPARE(QDir(cache).entryList({u".unpacking-*"_s}, QDir::Files | QDir::Hidden), QStringList());
        qInfo("of 60 kills, %d found the ROM whole in place, %d a temporary file, none a half ROM", whole, halfWritten);
    }

    // A 7z that declares millions of files: listed apart, within the reader's 64 MB above its own
    // memory; refused, and this process never holds its header.
    void aSevenZipDeclaringMillionsIsReadInBoundedMemory()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"millions.7z"_s);
        writeFile(path, sevenZipDeclaring(10'000'000)); // 40 MB, freed again: a child starts as large as its parent is
        library::readArchivesApart(QStringLiteral(ARCHIVE_READER), {});
        const auto inProcess = qScopeGuard([] { library::readArchivesApart({}, {}); });
        const QString peakFile = dir.filePath(u"peak"_s);
        qputenv("ARCHIVE_READER_PEAK", QFile::encodeName(peakFile));
        const auto unset = qScopeGuard([] { qunsetenv("ARCHIVE_READER_PEAK"); });
        library::ArchiveListing listing;
        const long growth = peakGrowth([&] { listing = library::listArchive(path); });
        QVERIFY2(listing.problem.contains(u"more memory"_s) && listing.roms.empty(), qPrintable(listing.problem));
        const long readerKb = readAll(peakFile).split(' ').value(0).toLong();
        qInfo("refused: %s; the reader's peak %ld MB, this process grew %ld MB", qPrintable(listing.problem), readerKb / 1024,
              growth / 1024);
        QVERIFY2(readerKb > 0 && readerKb < 96 * 1024, qPrintable(QString::number(readerKb))); // its own 10 MB or so, and 64
        QVERIFY(growth < 64 * 1024);
    }

    // On a disk that fills, an unpack says so and leaves nothing half written.
    void aFullDiskUnpacksNothingHalf()
    {
        SmallDisk disk("512k");
        if (!disk.reason.isEmpty())
            QSKIP(qPrintable(u"no tmpfs can be mounted here: "_s + disk.reason));
        QTemporaryDir dir;
        QByteArray rom = nesRom('f', 64); // 1 MB that does not compress
        for (qsizetype i = 16; i < rom.size(); ++i)
            rom[i] = char(QRandomGenerator::global()->bounded(256));
        const QString archive = dir.filePath(u"full.zip"_s);
        writeFile(archive, makeArchive(ArchiveFormat::Zip, {{"Full.nes", rom}}));
        library::RomCache cache(disk.dir.filePath(u"roms"_s));
        QString error;
        QVERIFY(cache.open(&error));
        library::ArchiveEntry entry = library::listArchive(archive).roms.at(0);
        const library::RomCache::Unpacked unpacked = cache.unpack(archive, entry);
        // The system's own reason, not "Unknown error": a disk that fills takes part of a write first.
        QVERIFY2(unpacked.file.isEmpty() && unpacked.error.contains(u"cannot be written: No space left on device"_s),
                 qPrintable(unpacked.error));
        auto onlyTheMarkerIsLeft = [&] {
            QDirIterator files(disk.dir.filePath(u"roms"_s), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (files.hasNext())
                QVERIFY2(files.next().endsWith(library::RomCache::kMarkerName), qPrintable(files.filePath()));
        };
        onlyTheMarkerIsLeft();

        // Room for the ROM (five pages) but not for its note: neither stays, not even for a moment.
        const QString small = dir.filePath(u"small.zip"_s);
        writeFile(small, makeArchive(ArchiveFormat::Zip, {{"Small.nes", nesRom('s', 1)}})); // 16,400 bytes
        disk.fill();
        const QString filler = disk.dir.filePath(u"filler"_s);
        QVERIFY(::truncate(QFile::encodeName(filler).constData(), QFileInfo(filler).size() / 4096 * 4096 - 5 * 4096) == 0);
        entry = library::listArchive(small).roms.at(0);
        const library::RomCache::Unpacked noNote = cache.unpack(small, entry);
        QVERIFY2(noNote.file.isEmpty() && noNote.error.contains(u"No space left on device"_s), qPrintable(noNote.error));
        onlyTheMarkerIsLeft();
    }

    // On a disk that fills, a launch that cannot be kept says so, and the file stays whole.
    void aFullDiskKeepsTheHistoryWhole()
    {
        QUORVANE_HEAVY_TEST();
        SmallDisk disk("512k");
        if (!disk.reason.isEmpty())
            QSKIP(qPrintable(u"no tmpfs can be mounted here: "_s + disk.reason));
        const QString path = disk.dir.filePath(u"quorvane.db"_s);
        QString message;
        auto db = library::LibraryDatabase::open(path, &message);
        QVERIFY2(db && message.isEmpty(), qPrintable(message));
        const QByteArray game(20, '\x42');
        QVERIFY(db->recordLaunch(game, "/roms/first.nes", 1, nullptr));
        disk.fill();
        QString error;
        int recorded = 0;
        while (recorded < 100000 && db->recordLaunch(QCryptographicHash::hash(QByteArray::number(recorded), QCryptographicHash::Sha1),
                                                     "/roms/" + QByteArray(300, 'p') + QByteArray::number(recorded), 2, &error))
            ++recorded;
        QVERIFY2(error.contains(u"full"_s), qPrintable(error));
        QCOMPARE(wholeCheck(path).first, "ok");
        db.reset();
        QVERIFY(QFile::remove(disk.dir.filePath(u"filler"_s)));
        QCOMPARE(wholeCheck(path).first, "ok");
        QCOMPARE(library::LibraryDatabase::open(path, &message)->playRecord(game).launches, 1);
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
