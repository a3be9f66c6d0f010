#include "bench.h"

namespace bench {

// Zipped ROMs. A folder of 3,000 archives against one of 3,000 ROMs: to the window and to the
// first list. The archives' check (a new library database), which identifies every ROM it lists,
// against a bare libarchive pass that reads each archive's entries, names and data. A zipped ROM of 512 KB started: unpacked into an empty cache
// against a bare libarchive extraction and posix_spawn; from the cache against a plain ROM's start.
void benchArchives(const QTemporaryDir &dir, const QString &standIn)
{
    constexpr int kArchives = 3000;
    const QString zips = dir.filePath(QStringLiteral("archives/zips/")), roms = dir.filePath(QStringLiteral("archives/roms/"));
    QDir().mkpath(zips);
    QDir().mkpath(roms);
    QByteArray names;
    QByteArray rom = testutil::nesRom('a', 2);
    for (int i = 0; i < kArchives; ++i) {
        const QByteArray name = "Game " + QByteArray::number(i) + " (USA)";
        for (int at = 16; at < rom.size(); at += 512)
            rom[at] = char(i + at);
        touch(zips + QString::fromLatin1(name) + QStringLiteral(".zip"),
              testutil::makeArchive(testutil::ArchiveFormat::Zip, {{name + ".nes", rom}}));
        touch(roms + QString::fromLatin1(name) + QStringLiteral(".nes"), rom);
        names += name + ".zip" + '\0';
    }
    auto configFor = [&](const QString &folder, const char *name) {
        const QString file = dir.filePath(QString::fromLatin1(name));
        touch(file, "[Quorvane v1.0b Config File]\r\nRoms=" + folder.toUtf8() + "\r\n");
        return file;
    };
    const QString zipConfig = configFor(zips, "archives-zip.ini"), romConfig = configFor(roms, "archives-nes.ini");
    std::vector<WindowTimes> withZips, withRoms;
    for (int i = 0; i < 9; ++i) { // in turns, each with a new library database
        forgetChecks(zipConfig);
        forgetChecks(romConfig);
        withZips.push_back(timeWindow("quorvane", zipConfig, nullptr));
        withRoms.push_back(timeWindow("quorvane", romConfig, nullptr));
    }
    report("archives", "to window, 3,000 zips", medianOf(withZips, &WindowTimes::shown), "to window, 3,000 .nes",
           medianOf(withRoms, &WindowTimes::shown), 1.2);
    report("archives", "to list, 3,000 zips", medianOf(withZips, &WindowTimes::filled), "to list, 3,000 .nes",
           medianOf(withRoms, &WindowTimes::filled), 1.2);

    const QString databaseFile = dir.filePath(QStringLiteral("archives.db"));
    auto checkAll = [&] {
        library::RomChecker checker({databaseFile, {}});
        QEventLoop loop;
        QObject::connect(&checker, &library::RomChecker::idle, &loop, &QEventLoop::quit);
        checker.check(zips, names);
        loop.exec();
    };
    int found = 0;
    auto bareNames = [&] {
        for (const QByteArray &name : names.split('\0')) {
            if (name.isEmpty())
                continue;
            archive *reading = archive_read_new();
            archive_read_support_format_zip(reading);
            archive_read_support_format_7zip(reading);
            if (archive_read_open_filename(reading, (QFile::encodeName(zips) + name).constData(), 64 * 1024) == ARCHIVE_OK) {
                archive_entry *entry = nullptr;
                char data[64 * 1024];
                while (archive_read_next_header(reading, &entry) == ARCHIVE_OK) {
                    found += int(std::strlen(archive_entry_pathname(entry)) > 4);
                    for (la_ssize_t n; (n = archive_read_data(reading, data, sizeof data)) > 0;) // every entry read whole
                        found += data[0] & 1;
                }
            }
            archive_read_free(reading);
        }
    };
    std::vector<double> checks, bare;
    bareNames();
    for (int run = 0; run < 7; ++run) {
        QFile::remove(databaseFile);
        QFile::remove(databaseFile + QStringLiteral("-wal"));
        QFile::remove(databaseFile + QStringLiteral("-shm"));
        checks.push_back(medianMs(1, checkAll));
        bare.push_back(medianMs(1, bareNames));
    }
    report("archives", "check of 3,000 zips", median(checks), "bare libarchive read", median(bare), 1.3);

    // Starts: the stand-in logs and ends at once; each start is timed until the process is made.
    const QString app = dir.filePath(QStringLiteral("archives/app"));
    const QString played = dir.filePath(QStringLiteral("archives/played/"));
    QDir().mkpath(app);
    QDir().mkpath(played);
    QFile::copy(standIn, app + QStringLiteral("/nesticle.exe"));
    QByteArray big = testutil::nesRom('b', 32); // 512 KB
    for (int at = 16; at < big.size(); at += 3)
        big[at] = char(QRandomGenerator::global()->bounded(16)); // compresses as a ROM does, about by half
    touch(played + QStringLiteral("big.zip"), testutil::makeArchive(testutil::ArchiveFormat::Zip, {{"Big.nes", big}}));
    touch(played + QStringLiteral("plain.nes"), big);
    touch(app + QStringLiteral("/quorvane.ini"), "[Quorvane v1.0b Config File]\r\nRoms=" + played.toUtf8() + "\r\n");
    qputenv("NESTICLE_STANDIN_EXIT", "1");
    std::atomic<long long> startedNs{0}; // when the start returned, on the thread that made it
    bool ended = false;
    app::AppContext context;
    context.applicationFolder = app;
    context.configFiles.file = app + QStringLiteral("/quorvane.ini");
    context.logFolder = app + QStringLiteral("/cache");
    context.romCacheFolder = app + QStringLiteral("/cache/roms");
    context.folderPatience = std::chrono::seconds(30);
    context.start = [&startedNs, &ended](const platform::Command &command, const platform::ExitWatch &watch, QString *error) {
        const platform::ExitWatch told{watch.receiver, [&ended, onExit = watch.onExit](const platform::ProcessExit &exit) {
                                           ended = true;
                                           onExit(exit);
                                       }};
        const bool ok = platform::startDetached(command, told, error);
        startedNs = monotonicNs();
        return ok;
    };
    app::MainWindow window(context);
    window.loadStartState();
    // Selected first, and the window left to draw the selection: then timed from the start asked
    // for until the process is made.
    auto startRow = [&](const QString &name) {
        fileList(window, 0)->selectFile(name);
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 30)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        startedNs = 0;
        ended = false;
        const long long askedNs = monotonicNs();
        window.launchRom(0);
        while (startedNs == 0) { // what the start needs of the window (a choice, a message) is handled
            QCoreApplication::processEvents();
            QThread::usleep(100);
        }
        return double(startedNs - askedNs) / 1e6;
    };
    // Each start timed on a quiet machine: the emulator of the one before has ended.
    auto waitForEnd = [&] {
        while (!ended)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QThread::msleep(20);
    };
    const QByteArray program = QFile::encodeName(app + QStringLiteral("/nesticle.exe"));
    const QByteArray extracted = QFile::encodeName(dir.filePath(QStringLiteral("archives/bare.nes")));
    auto bareExtractAndSpawn = [&] {
        archive *reading = archive_read_new();
        archive_read_support_format_zip(reading);
        archive_read_support_format_7zip(reading);
        archive_read_open_filename(reading, (QFile::encodeName(played) + "big.zip").constData(), 64 * 1024);
        archive_entry *entry = nullptr;
        const int out = ::open(extracted.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (archive_read_next_header(reading, &entry) == ARCHIVE_OK)
            archive_read_data_into_fd(reading, out);
        ::close(out);
        archive_read_free(reading);
        const char *argv[] = {program.constData(), "-run", extracted.constData(), nullptr};
        pid_t pid = 0;
        ::posix_spawn(&pid, program.constData(), nullptr, nullptr, const_cast<char **>(argv), environ);
        return pid;
    };
    std::vector<double> firstStarts, bareStarts, cachedStarts, plainStarts, inThread;
    for (int i = 0; i < 25; ++i) {
        QDir(context.romCacheFolder).removeRecursively();
        firstStarts.push_back(startRow(QStringLiteral("big.zip")));
        waitForEnd();
        pid_t child = 0;
        bareStarts.push_back(medianMs(1, [&] { child = bareExtractAndSpawn(); }));
        ::waitpid(child, nullptr, 0);
        QThread::msleep(20);
        cachedStarts.push_back(startRow(QStringLiteral("big.zip")));
        waitForEnd();
        plainStarts.push_back(startRow(QStringLiteral("plain.nes")));
        waitForEnd();
        // What the start does, in the calling thread as the bare one: a thread woken on this
        // machine may wait milliseconds for a processor that slept.
        QDir(context.romCacheFolder).removeRecursively();
        inThread.push_back(medianMs(1, [&] {
            library::ArchiveListing listing = library::listArchive(played + QStringLiteral("big.zip"), {}, library::Reading::NamesOnly);
            library::RomCache cache(context.romCacheFolder);
            QString error;
            cache.open(&error, library::RomCache::Leftovers::Keep);
            const QByteArray unpacked = QFile::encodeName(cache.unpack(played + QStringLiteral("big.zip"), listing.roms.front()).file);
            const char *argv[] = {program.constData(), "-run", unpacked.constData(), nullptr};
            ::posix_spawn(&child, program.constData(), nullptr, nullptr, const_cast<char **>(argv), environ);
        }));
        ::waitpid(child, nullptr, 0);
        QThread::msleep(20);
    }
    report("archives", "zipped 512 KB, first start", median(firstStarts), "bare extract + posix_spawn", median(bareStarts), 1.5);
    report("archives", "zipped 512 KB, cached", median(cachedStarts), "plain ROM's start", median(plainStarts), 1.2);
    report("archives", "list, unpack, spawn in-thread", median(inThread), "bare extract + posix_spawn", median(bareStarts), 1.5);
    std::printf("archives     (%d names)\n\n", found & 1);
}

} // namespace bench
