// Prints how long the launcher's hot paths take against a bare baseline measured in the same run,
// and their ratios. It asserts nothing: the figures are for people to read.
//
//   start-up      loadStartState until every list is filled, over three folders of 10,000 ROMs and 10,000 other files each, then
//                 of 100,000 and 100,000, against bare readdir() scans of the same three folders
//                 run side by side, as start-up reads them; the two take turns, run by run
//   preview       the snapshot preview of a 6000 x 4000 snapshot against a 256 x 240 one, from the
//                 selection until the picture is in the box
//   launch        the double-click handler (launchRom): the time the window spends on it, the start
//                 itself running on a thread of its own; against posix_spawn() of the same stand-in
//   config read   reading a 50 MB configuration file against a 5 MB one
//   to window     process start to the main window exposed, with 3 x 10,000 and 3 x 100,000 ROMs,
//                 against a bare Qt window of the same size with a menu bar started the same way;
//                 also to every list filled, against the same bare window
//                 (with --million also 3 x 1,000,000 ROMs, with the program's peak memory);
//                 both start-up figures with a ROM of each folder remembered, to be selected again,
//                 and a new library database each run, holding the play of 10,000 games but no
//                 check, so that every ROM is checked once the lists show
//   find          a find query of one and of three words over 100,000 names, against a bare loop
//                 over the same names buffer that folds case and looks for the words: the first
//                 query after the list was read (which folds every name) and a later one
//   hashing       checking a folder of 2,000 ROMs of 256 KB (header, CRC32 and SHA-1, kept in a new
//                 library database) against a bare loop that reads the same files and makes the
//                 same two sums; a second start, from the database, against a bare stat() of each
//                 file; and the two sums' own speeds in memory
//   dat           reading a DAT of 5,000 games against a bare QXmlStreamReader pass over it
//   history       recording a launch in a history of 10,000 games, against a bare INSERT in its
//                 own transaction on the same database; reading the play of the 10,000 games
//                 against a bare SELECT of the same rows

#include "app/mainwindow.h"
#include "config/romfolders.h"
#include "forms/controls.h"
#include "forms/filelistbox.h"
#include "library/database/librarydatabase.h"
#include "library/checking/romchecker.h"
#include "library/identity/romdatabase.h"
#include "library/folders/romfilter.h"
#include "archivewriter.h"
#include "library/archives/romcache.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QXmlStreamReader>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QWindow>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdio>
#include <functional>
#include <numeric>

#include <sqlite3.h>
#include <sys/stat.h>
#include <zlib.h>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

// The list of slot 0..2, as the form table names it.
forms::FileListBox *fileList(const app::MainWindow &window, int slot)
{
    return window.findChild<forms::FileListBox *>(QLatin1String(forms::kSlotControls.at(size_t(slot)).fileList));
}

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(std::move(times));
}

void report(const char *what, const char *measured, double ms, const char *baseline, double baseMs, double goal)
{
    std::printf("%-12s %-28s %10.3f ms\n", what, measured, ms);
    std::printf("%-12s %-28s %10.3f ms\n", what, baseline, baseMs);
    if (goal > 0)
        std::printf("%-12s ratio %.2f (goal <= %.1f)\n\n", what, ms / baseMs, goal);
    else
        std::printf("%-12s ratio %.2f\n\n", what, ms / baseMs);
    std::fflush(stdout);
}

void touch(const QString &path, const QByteArray &bytes = QByteArray())
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

int bareScan(const QString &folder)
{
    int entries = 0;
    if (DIR *dir = ::opendir(QFile::encodeName(folder).constData())) {
        while (::readdir(dir))
            ++entries;
        ::closedir(dir);
    }
    return entries;
}

// The three folders read at once, one thread each: the least any start-up can take.
int bareParallelScan(const QStringList &folders)
{
    std::vector<int> counts(size_t(folders.size()));
    std::vector<std::thread> threads;
    for (qsizetype i = 0; i < folders.size(); ++i)
        threads.emplace_back([&, i] { counts[size_t(i)] = bareScan(folders.at(i)); });
    for (std::thread &thread : threads)
        thread.join();
    return std::accumulate(counts.begin(), counts.end(), 0);
}

void writeNoiseJpeg(const QString &path, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
    }
    image.save(path, "JPEG", 85);
}

QString selectionFileOf(const QString &configFile) { return QString(configFile).replace(QStringLiteral(".ini"), QStringLiteral("-selection.ini")); }
QString libraryFileOf(const QString &configFile) { return QString(configFile).replace(QStringLiteral(".ini"), QStringLiteral("-library.db")); }

QString historyTemplateOf(const QString &configFile) { return QString(configFile).replace(QStringLiteral(".ini"), QStringLiteral("-history.db")); }

// Every ROM needs checking again at the next start: the library database is made anew, holding
// only the play of 10,000 games.
void forgetChecks(const QString &configFile)
{
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(libraryFileOf(configFile) + QLatin1String(suffix));
    QFile::copy(historyTemplateOf(configFile), libraryFileOf(configFile));
}

// Three folders of perFolder ROMs (and, with others, as many other files) and a configuration file
// naming them; returns the file.
QString makeRomFolders(const QTemporaryDir &dir, int perFolder, bool others, QStringList *folders)
{
    QByteArray config = "[Quorvane v1.0b Config File]\r\n";
    for (int n = 1; n <= 3; ++n) {
        const QString folder = dir.filePath(QStringLiteral("roms%1-%2").arg(perFolder).arg(n));
        QDir().mkpath(folder);
        const QByteArray base = QFile::encodeName(folder);
        for (int i = 0; i < perFolder; ++i) {
            const QByteArray rom = base + "/Game " + QByteArray::number(qint64(i) * 7919 % perFolder) + " (Rev "
                + QByteArray::number(n) + ").nes";
            ::close(::open(rom.constData(), O_WRONLY | O_CREAT, 0644));
            if (others)
                ::close(::open((base + "/notes " + QByteArray::number(i) + ".txt").constData(), O_WRONLY | O_CREAT, 0644));
        }
        folders->append(folder);
        config += (n == 1 ? QByteArray("Roms") : "Roms" + QByteArray::number(n)) + '=' + folder.toUtf8() + "/\r\n";
    }
    const QString configFile = dir.filePath(QStringLiteral("quorvane-%1.ini").arg(perFolder));
    touch(configFile, config);
    // A ROM of each folder selected when the program was last left, to be selected again.
    QByteArray selection = "[Quorvane Selection]\r\nTab=1\r\n";
    for (int n = 1; n <= 3; ++n) {
        selection += "Folder" + QByteArray::number(n) + '=' + folders->at(n - 1).toUtf8() + "/\r\n";
        selection += "Rom" + QByteArray::number(n) + "=Game " + QByteArray::number(perFolder / 2) + " (Rev "
            + QByteArray::number(n) + ").nes\r\n";
    }
    touch(selectionFileOf(configFile), selection);
    return configFile;
}

// The child side of the time-to-window figure: Quorvane's main window over configFile, or a bare
// window of the same size with a menu bar, shown. It prints a line as soon as the window is exposed,
// another once every list has filled, then its peak memory in KB, and exits.
int showWindowAndExit(const QString &which, const QString &configFile)
{
    std::unique_ptr<QMainWindow> window;
    if (which == QLatin1String("quorvane")) {
        app::AppContext context;
        context.applicationFolder = QFileInfo(configFile).absolutePath();
        context.configFiles.file = configFile;
        context.selectionFile = selectionFileOf(configFile);
        context.libraryFile = libraryFileOf(configFile);
        auto quorvane = std::make_unique<app::MainWindow>(context);
        quorvane->loadStartState();
        window = std::move(quorvane);
    } else {
        window = std::make_unique<QMainWindow>();
        for (const char *menu : {"&File", "&Options", "&Help"})
            window->menuBar()->addMenu(QString::fromLatin1(menu))->addAction(QStringLiteral("Item"));
        window->setCentralWidget(new QWidget);
        window->centralWidget()->setFixedSize(600, 370);
    }
    window->show();
    QWindow *handle = window->windowHandle();
    while (!handle->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    // Each time as the child's clock reads it: the parent may wake late to a line.
    std::printf("%lld\n", monotonicNs()); // to window
    std::fflush(stdout);
    // Then the time until every list has filled (the folders are read once the window shows, or
    // after it when they take longer), and the peak memory by then.
    auto filled = [&] {
        const auto labels = window->findChildren<QLabel *>();
        return std::count_if(labels.begin(), labels.end(), [](const QLabel *label) {
            return label->text().startsWith(QLatin1String("ROMs : "));
        }) == (which == QLatin1String("quorvane") ? 3 : 0);
    };
    while (!filled())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    std::printf("%lld\n", monotonicNs()); // to every list
    std::fflush(stdout);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss);
    std::fflush(stdout);
    std::_Exit(0); // leaving takes no part
}

// Process start to the window exposed, and to every list filled, Quorvane against the bare window
// (whose "lists" are filled once it shows); medians of runs.
struct WindowTimes {
    double shown, filled;
};

// One child's times: process start to the window exposed, and to every list filled.
WindowTimes timeWindow(const char *which, const QString &configFile, long *peak)
{
    QProcess child;
    const long long startNs = monotonicNs();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--window"), QLatin1String(which), configFile});
    auto lineMs = [&] {
        while (!child.canReadLine() && child.waitForReadyRead(120000)) {
        }
        return double(child.readLine().trimmed().toLongLong() - startNs) / 1e6;
    };
    WindowTimes times{};
    times.shown = lineMs();
    times.filled = lineMs();
    child.waitForFinished(600000);
    if (peak)
        *peak = std::max(*peak, child.readAllStandardOutput().trimmed().toLong());
    return times;
}

double medianOf(const std::vector<WindowTimes> &times, double WindowTimes::*field)
{
    std::vector<double> values;
    for (const WindowTimes &t : times)
        values.push_back(t.*field);
    return median(std::move(values));
}

void benchTimeToWindow(const QString &configFile, int runs, const char *what, double goal, long *peakKb = nullptr)
{
    std::vector<WindowTimes> quorvane, bare;
    long peak = 0;
    for (int i = 0; i < runs; ++i) { // interleaved, so that both see the same machine
        forgetChecks(configFile);
        quorvane.push_back(timeWindow("quorvane", configFile, &peak));
        bare.push_back(timeWindow("bare", configFile, nullptr));
    }
    const double bareShown = medianOf(bare, &WindowTimes::shown);
    const double filled = medianOf(quorvane, &WindowTimes::filled);
    report("to window", what, medianOf(quorvane, &WindowTimes::shown), "bare Qt window", bareShown, goal);
    std::printf("to lists     %-28s %10.3f ms (ratio %.2f to the bare window)\n\n", what, filled, filled / bareShown);
    if (peakKb)
        *peakKb = peak;
}

void makeHistory(const QString &path);

void benchStartUp(const QTemporaryDir &dir, int perFolder)
{
    QStringList folders;
    const QString configFile = makeRomFolders(dir, perFolder, true, &folders);
    if (!QFileInfo::exists(historyTemplateOf(configFile)))
        makeHistory(historyTemplateOf(configFile));

    app::AppContext context;
    context.applicationFolder = dir.path();
    context.configFiles.file = configFile;
    context.selectionFile = selectionFileOf(configFile);
    context.libraryFile = libraryFileOf(configFile);
    context.folderPatience = std::chrono::minutes(1); // start-up until every list is filled
    bareParallelScan(folders); // warm the cache for both
    const int runs = perFolder > 10000 ? 7 : 11;
    // Each run a window as start-up finds it, built but not started; the building is not timed.
    // Each is followed by a bare scan, so that both see the same machine.
    std::vector<double> times, scans;
    int listed[3] = {0, 0, 0};
    for (int run = 0; run < runs; ++run) {
        forgetChecks(configFile);
        {
            app::MainWindow window(context);
            QElapsedTimer timer;
            timer.start();
            window.loadStartState();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
            for (int slot = 0; slot < 3; ++slot)
                listed[size_t(slot)] = fileList(window, slot)->listCount();
            // Once the lists are filled the window sets its folder watches, off its thread; they
            // would take the processor from what comes next.
            QThread::msleep(100);
        }
        scans.push_back(medianMs(1, [&] { bareParallelScan(folders); }));
    }
    const double startUp = median(times);
    const double scan = median(scans);
    std::printf("start-up     %d + %d + %d ROMs listed, as many other files\n", listed[0], listed[1], listed[2]);
    report("start-up", "loadStartState", startUp, "parallel bare readdir", scan, 1.5);
    benchTimeToWindow(configFile, 11, perFolder > 10000 ? "3 x 100,000 ROMs" : "3 x 10,000 ROMs", perFolder > 10000 ? 2.0 : 1.3);
}

// 3 x 1,000,000 ROMs: time to the window and the program's peak memory (--million only: making
// the files takes a few minutes).
void benchMillion(const QTemporaryDir &dir)
{
    QStringList folders;
    const QString configFile = makeRomFolders(dir, 1000000, false, &folders);
    long peakKb = 0;
    benchTimeToWindow(configFile, 3, "3 x 1,000,000 ROMs", 0, &peakKb);
    std::printf("to window    3 x 1,000,000 ROMs: goal, the window within 1.5 s\n");
    std::printf("to window    3 x 1,000,000 ROMs peak memory %ld MB (goal <= 250 MB)\n\n", peakKb / 1024);
}

void benchPreview(const QTemporaryDir &dir)
{
    const QString app = dir.filePath(QStringLiteral("preview"));
    QDir().mkpath(app + QStringLiteral("/snap"));
    QDir().mkpath(app + QStringLiteral("/roms"));
    writeNoiseJpeg(app + QStringLiteral("/snap/large.jpg"), 6000, 4000);
    writeNoiseJpeg(app + QStringLiteral("/snap/small.jpg"), 256, 240);
    touch(app + QStringLiteral("/roms/large.nes"));
    touch(app + QStringLiteral("/roms/small.nes"));
    touch(app + QStringLiteral("/quorvane.ini"),
          "[Quorvane v1.0b Config File]\r\nRoms=" + (app + QStringLiteral("/roms/")).toUtf8() + "\r\n");

    app::AppContext context;
    context.applicationFolder = app;
    context.configFiles.file = app + QStringLiteral("/quorvane.ini");
    app::MainWindow window(context);
    window.loadStartState();
    window.show();
    std::vector<double> large, small;
    auto preview = [&](const char *name, std::vector<double> &times) {
        fileList(window, 0)->selectFile(QString::fromLatin1(name)); // previews once, untimed
        QCoreApplication::processEvents();
        times.push_back(medianMs(1, [&] {
            window.previewSnapshot(0); // blanks the box; the picture follows from another thread
            QElapsedTimer patience;
            patience.start();
            while (window.findChild<forms::PictureBox *>(QStringLiteral("Picture2"))->picture().isNull() && patience.elapsed() < 10000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            QCoreApplication::processEvents(); // let the box paint
        }));
    };
    // Interleaved, so that both see the same state of caches and machine.
    for (int i = 0; i < 15; ++i) {
        preview("large.nes", large);
        preview("small.nes", small);
    }
    report("preview", "6000 x 4000 snapshot", median(large), "256 x 240 snapshot", median(small), 15.0);
}

void benchLaunch(const QTemporaryDir &dir, const QString &standIn)
{
    const QString app = dir.filePath(QStringLiteral("launch"));
    QDir().mkpath(app + QStringLiteral("/roms"));
    QFile::copy(standIn, app + QStringLiteral("/nesticle.exe"));
    touch(app + QStringLiteral("/roms/game.nes"));
    touch(app + QStringLiteral("/quorvane.ini"),
          "[Quorvane v1.0b Config File]\r\nRoms=" + (app + QStringLiteral("/roms/")).toUtf8() + "\r\n");
    qputenv("NESTICLE_STANDIN_EXIT", "1"); // the stand-in logs and ends at once

    app::AppContext context;
    context.applicationFolder = app;
    context.configFiles.file = app + QStringLiteral("/quorvane.ini");
    context.logFolder = app + QStringLiteral("/cache"); // as users have it: each launch starts its log
    app::MainWindow window(context);
    window.loadStartState();
    fileList(window, 0)->selectFile(QStringLiteral("game.nes"));

    const QByteArray program = QFile::encodeName(app + QStringLiteral("/nesticle.exe"));
    const QByteArray rom = QFile::encodeName(app + QStringLiteral("/roms/game.nes"));
    auto spawn = [&] {
        const char *argv[] = {program.constData(), "-run", rom.constData(), "-res", "320", "240",
                              "-setinput", "1", "GRAVIS", nullptr};
        pid_t pid = 0;
        return ::posix_spawn(&pid, program.constData(), nullptr, nullptr, const_cast<char **>(argv), environ) == 0 ? pid : 0;
    };
    // Interleaved, each run on a quiet machine: the emulator of the run before has ended.
    std::vector<double> handlerTimes, spawnTimes;
    for (int i = 0; i < 21; ++i) {
        handlerTimes.push_back(medianMs(1, [&] { window.launchRom(0); }));
        QThread::msleep(50);
        pid_t child = 0;
        spawnTimes.push_back(medianMs(1, [&] { child = spawn(); }));
        if (child > 0)
            ::waitpid(child, nullptr, 0);
        QThread::msleep(50);
    }
    const double handler = median(handlerTimes);
    const double spawned = median(spawnTimes);
    report("launch", "launchRom", handler, "posix_spawn", spawned, 1.2);
}

// The words a bare loop looks for: ASCII case folded a byte at a time, as a plain search would.
int bareFind(const QByteArray &buffer, const std::vector<QByteArray> &words)
{
    int found = 0;
    QByteArray folded;
    for (qsizetype at = 0; at < buffer.size();) {
        const qsizetype length = qsizetype(std::strlen(buffer.constData() + at));
        folded.resize(length);
        for (qsizetype i = 0; i < length; ++i) {
            const char c = buffer[at + i];
            folded[i] = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
        }
        found += std::all_of(words.begin(), words.end(), [&](const QByteArray &word) { return folded.contains(word); });
        at += length + 1;
    }
    return found;
}

void benchFind()
{
    static const char *const titles[] = {"Super Mario Bros.", "Mega Man", "The Legend of Zelda", "Castlevania", "Contra",
                                         "Metroid", "Kirby's Adventure", "Duck Tales", "Ninja Gaiden", "Double Dragon"};
    library::RomNames names;
    for (int i = 0; i < 100000; ++i)
        names.append(QByteArray(titles[i % 10]) + ' ' + QByteArray::number(i / 10 % 10) + " (Hack " + QByteArray::number(i / 100)
                     + ") (USA).nes");
    names.sort(QLocale::c());
    library::RomListModel model;
    model.reset(names);
    library::RomFilter filter(&model);
    for (const auto &queryAndWhat : {std::pair{"mario", "1 word"}, std::pair{"super mario 3", "3 words"}}) {
        const char *const query = queryAndWhat.first; // a structured binding cannot be captured in C++17
        const char *const what = queryAndWhat.second;
        std::vector<QByteArray> words;
        for (const QByteArray &word : QByteArray(query).split(' '))
            words.push_back(word);
        std::vector<double> first, next, bare;
        int shown = 0, found = 0;
        for (int run = 0; run < 15; ++run) { // in turns
            model.reset(names); // a new reading: every name is folded again at the first query
            first.push_back(medianMs(1, [&] { filter.setQuery(QString::fromLatin1(query)); }));
            filter.setQuery(QString::fromLatin1(query).chopped(1)); // the last letter typed next
            next.push_back(medianMs(1, [&] { filter.setQuery(QString::fromLatin1(query)); }));
            shown = filter.rowCount();
            filter.setQuery(QString());
            bare.push_back(medianMs(1, [&] { found = bareFind(names.buffer(), words); }));
        }
        std::printf("find         100,000 names, \"%s\": %d shown, %d found bare\n", query, shown, found);
        const QByteArray measured = QByteArray("query of ") + what;
        report("find", (measured + ", first").constData(), median(first), "bare loop", median(bare), 1.5);
        report("find", (measured + ", next").constData(), median(next), "bare loop", median(bare), 1.5);
    }
}

void benchHashing(const QTemporaryDir &dir)
{
    const QString folder = dir.filePath(QStringLiteral("hashing/"));
    QDir().mkpath(folder);
    QByteArray names;
    QByteArray rom(16 + 256 * 1024, '\0');
    std::memcpy(rom.data(), "NES\x1A\x10\x00", 6);
    for (int i = 0; i < 2000; ++i) {
        const QByteArray name = "Game " + QByteArray::number(i) + " (USA).nes";
        for (int at = 16; at < rom.size(); at += 4096)
            rom[at] = char(i + at);
        touch(folder + QString::fromLatin1(name), rom);
        names += name + '\0';
    }
    const QString databaseFile = dir.filePath(QStringLiteral("hashing.db"));
    auto checkAll = [&] {
        library::RomChecker checker({databaseFile, {}});
        QEventLoop loop;
        QObject::connect(&checker, &library::RomChecker::idle, &loop, &QEventLoop::quit);
        checker.check(folder, names);
        loop.exec();
    };
    auto forEachPath = [&](const std::function<void(const QByteArray &)> &work) {
        for (const QByteArray &name : names.split('\0')) {
            if (!name.isEmpty())
                work(QFile::encodeName(folder) + name);
        }
    };
    quint32 crcs = 0;
    auto bareSums = [&] {
        std::vector<char> buffer(256 * 1024);
        forEachPath([&](const QByteArray &path) {
            QFile file(QString::fromUtf8(path));
            if (!file.open(QIODevice::ReadOnly))
                return;
            uLong crc = crc32(0, nullptr, 0);
            QCryptographicHash sha1(QCryptographicHash::Sha1);
            for (qint64 n; (n = file.read(buffer.data(), qint64(buffer.size()))) > 0;) {
                crc = crc32(crc, reinterpret_cast<const Bytef *>(buffer.data()), uInt(n));
                sha1.addData(QByteArrayView(buffer.data(), n));
            }
            crcs += quint32(crc) + quint32(sha1.result().at(0));
        });
    };
    auto bareStat = [&] {
        forEachPath([&](const QByteArray &path) {
            struct stat info {};
            crcs += quint32(::stat(path.constData(), &info) == 0 ? info.st_size : 0);
        });
    };
    std::vector<double> first, bare, second, stats;
    bareSums(); // the files in the cache for both
    for (int run = 0; run < 6; ++run) { // in turns
        QFile::remove(databaseFile);
        QFile::remove(databaseFile + QStringLiteral("-wal"));
        QFile::remove(databaseFile + QStringLiteral("-shm"));
        first.push_back(medianMs(1, checkAll));
        bare.push_back(medianMs(1, bareSums));
        // Each of the pair first as often as second: what runs after reading 500 MB finds the
        // processor's caches cold, and what runs next finds the files' inodes warm.
        if (run % 2 == 0) {
            second.push_back(medianMs(1, checkAll));
            stats.push_back(medianMs(1, bareStat));
        } else {
            stats.push_back(medianMs(1, bareStat));
            second.push_back(medianMs(1, checkAll));
        }
    }
    report("hashing", "2,000 x 256 KB, checked", median(first), "bare read, CRC32, SHA-1", median(bare), 1.3);
    report("hashing", "2,000 x 256 KB, from the DB", median(second), "bare stat()", median(stats), 1.5);
    // Each sum alone over 64 MB in memory, for how far each is from what the machine can do.
    const QByteArray block(64 * 1024 * 1024, 'q');
    const double crcMs = medianMs(3, [&] { crcs += quint32(crc32(0, reinterpret_cast<const Bytef *>(block.data()), uInt(block.size()))); });
    const double shaMs = medianMs(3, [&] { crcs += quint32(QCryptographicHash::hash(block, QCryptographicHash::Sha1).at(0)); });
    const double copyMs = medianMs(3, [&] { QByteArray copy(block.size(), Qt::Uninitialized); std::memcpy(copy.data(), block.data(), size_t(block.size())); crcs += quint32(copy[5]); });
    std::printf("hashing      in memory: zlib crc32 %.0f MB/s, Qt SHA-1 %.0f MB/s, memcpy %.0f MB/s (%u)\n\n", 64e3 / crcMs,
                64e3 / shaMs, 64e3 / copyMs, crcs & 1);
}

QByteArray gameIdentity(int game) { return QCryptographicHash::hash(QByteArray::number(game), QCryptographicHash::Sha1); }

// A library database holding the play of 10,000 games, a tenth of them favourites.
void makeHistory(const QString &path)
{
    QString message;
    const auto db = library::LibraryDatabase::open(path, &message);
    for (int game = 0; game < 10000; ++game) {
        db->recordLaunch(gameIdentity(game), "/roms/Game " + QByteArray::number(game) + " (USA).nes", game, nullptr);
        if (game % 10 == 0)
            db->setFavourite(gameIdentity(game), true, nullptr);
    }
}

void benchHistory(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("history.db"));
    makeHistory(path);
    QString message;
    const auto db = library::LibraryDatabase::open(path, &message);
    sqlite3 *bare = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &bare, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(bare, 5000);
    sqlite3_exec(bare, "CREATE TABLE IF NOT EXISTS bare_launch (sha1 BLOB, at INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr, *select = nullptr;
    sqlite3_prepare_v2(bare, "INSERT INTO bare_launch VALUES (?1, ?2)", -1, &insert, nullptr);
    sqlite3_prepare_v2(bare, "SELECT sha1, favourite, launches, played_ms, last_launch_ms FROM rom_play", -1, &select, nullptr);
    constexpr int kLaunches = 200;
    int failures = 0;
    int launch = 0;
    qint64 sum = 0;
    std::vector<double> recorded, inserted, read, selected;
    for (int run = 0; run < 7; ++run) { // in turns
        recorded.push_back(medianMs(1, [&] {
            for (int i = 0; i < kLaunches; ++i, ++launch)
                failures += !db->recordLaunch(gameIdentity(launch % 10000), "/roms/Game " + QByteArray::number(launch % 10000) + " (USA).nes", launch, nullptr);
        }) / kLaunches);
        inserted.push_back(medianMs(1, [&] {
            for (int i = 0; i < kLaunches; ++i, ++launch) {
                const QByteArray game = gameIdentity(launch % 10000);
                sqlite3_exec(bare, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
                sqlite3_bind_blob(insert, 1, game.constData(), int(game.size()), SQLITE_TRANSIENT);
                sqlite3_bind_int64(insert, 2, launch);
                sqlite3_step(insert);
                sqlite3_reset(insert);
                sqlite3_exec(bare, "COMMIT", nullptr, nullptr, nullptr);
            }
        }) / kLaunches);
        read.push_back(medianMs(1, [&] { sum += db->playRecords().size(); }));
        selected.push_back(medianMs(1, [&] {
            while (sqlite3_step(select) == SQLITE_ROW) {
                sum += sqlite3_column_bytes(select, 0) + sqlite3_column_int64(select, 1) + sqlite3_column_int64(select, 2)
                    + sqlite3_column_int64(select, 3) + sqlite3_column_int64(select, 4);
                sum += *static_cast<const char *>(sqlite3_column_blob(select, 0));
            }
            sqlite3_reset(select);
        }));
    }
    sqlite3_finalize(insert);
    sqlite3_finalize(select);
    sqlite3_close(bare);
    report("history", "a launch recorded", median(recorded), "bare INSERT, own transaction", median(inserted), 1.5);
    report("history", "10,000 games' play read", median(read), "bare SELECT of the rows", median(selected), 1.5);
    std::printf("history      launches not saved: %d (%lld)\n\n", failures, static_cast<long long>(sum % 10));
}

void benchDat(const QTemporaryDir &dir)
{
    QByteArray bytes = "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
                       "\"http://www.logiqx.com/Dats/datafile.dtd\">\n<datafile>\n\t<header>\n\t\t<name>Nintendo - NES</name>\n\t</header>\n";
    for (int i = 0; i < 5000; ++i) {
        const QByteArray game = "Game Title Number " + QByteArray::number(i) + " (USA) (Rev 1)";
        const QByteArray sha1 = QCryptographicHash::hash(QByteArray::number(i), QCryptographicHash::Sha1).toHex();
        bytes += "\t<game name=\"" + game + "\">\n\t\t<description>" + game + "</description>\n\t\t<rom name=\"" + game
            + ".nes\" size=\"262144\" crc=\"" + sha1.left(8) + "\" md5=\"" + sha1.left(32) + "\" sha1=\"" + sha1
            + "\" status=\"verified\"/>\n\t</game>\n";
    }
    bytes += "</datafile>\n";
    const QString path = dir.filePath(QStringLiteral("nes.dat"));
    touch(path, bytes);
    int tokens = 0;
    std::vector<double> measured, bare;
    for (int run = 0; run < 9; ++run) {
        measured.push_back(medianMs(1, [&] {
            library::RomDatabase database;
            QString error;
            database.addFile(path, &error);
            tokens += int(database.size());
        }));
        bare.push_back(medianMs(1, [&] {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            QXmlStreamReader xml(&file);
            while (!xml.atEnd())
                tokens += xml.readNext();
        }));
    }
    std::printf("dat          %lld bytes (%d)\n", qint64(bytes.size()), tokens & 1);
    report("dat", "5,000 games read", median(measured), "bare QXmlStreamReader", median(bare), 1.5);
}

void benchConfigRead(const QTemporaryDir &dir)
{
    auto makeFile = [&](const QString &name, qsizetype bytes) {
        QByteArray data;
        data.reserve(bytes + 1024);
        int section = 0;
        while (data.size() < bytes) {
            data += "[Section " + QByteArray::number(section++) + "]\r\n";
            for (int k = 0; k < 20; ++k)
                data += "key" + QByteArray::number(k) + " = some value with blanks " + QByteArray::number(k) + "\r\n";
        }
        data += "[Quorvane v1.0b Config File]\r\nRoms=/roms/\r\nRoms2=/two/\r\nRoms3=/three/\r\n";
        const QString path = dir.filePath(name);
        touch(path, data);
        return path;
    };
    const QString small = makeFile(QStringLiteral("5mb.ini"), 5 * 1024 * 1024);
    const QString large = makeFile(QStringLiteral("50mb.ini"), 50 * 1024 * 1024);
    const double largeMs = medianMs(5, [&] { QStringList folders; config::readRomFolders(large, &folders); });
    const double smallMs = medianMs(5, [&] { QStringList folders; config::readRomFolders(small, &folders); });
    report("config read", "50 MB file", largeMs, "5 MB file", smallMs, 12.0);
}

} // namespace

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

int main(int argc, char *argv[])
{
    // A window is mapped only where there is a display (xvfb-run gives one); else offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == QLatin1String("--window"))
        return showWindowAndExit(arguments.value(2), arguments.value(3));
    const QString standIn = QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/nesticle/nesticle.exe");
    QTemporaryDir dir;
    std::printf("Quorvane benchmark (medians of repeated runs, warm file cache; platform %s, locale %s)\n\n",
                qPrintable(QGuiApplication::platformName()), qPrintable(QLocale().name()));
    // --only NAME runs one part: start-up, preview, launch, config, find, hashing, dat, history, archives.
    const QString only = arguments.value(arguments.indexOf(QLatin1String("--only")) + 1);
    auto wanted = [&](const char *part) { return !arguments.contains(QLatin1String("--only")) || only == QLatin1String(part); };
    if (wanted("start-up")) {
        benchStartUp(dir, 10000);
        benchStartUp(dir, 100000);
    }
    if (wanted("preview"))
        benchPreview(dir);
    if (wanted("launch") && QFile::exists(standIn))
        benchLaunch(dir, standIn);
    else if (wanted("launch"))
        std::printf("launch       skipped: no stand-in emulator at %s\n\n", qPrintable(standIn));
    if (wanted("config"))
        benchConfigRead(dir);
    if (wanted("find"))
        benchFind();
    if (wanted("hashing"))
        benchHashing(dir);
    if (wanted("dat"))
        benchDat(dir);
    if (wanted("history"))
        benchHistory(dir);
    if (wanted("archives") && QFile::exists(standIn))
        benchArchives(dir, standIn);
    if (arguments.contains(QLatin1String("--million")))
        benchMillion(dir);
    return 0;
}
