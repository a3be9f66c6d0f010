// Start-up: the lists filled, against readdir(); process start to the window, against a bare Qt window.
#include "bench.h"
#include "platform/memory.h"

namespace bench {

// The child side of the time-to-window figure: Quorvane's main window over configFile, or a bare
// window of the same size with a menu bar, shown. It prints a line as soon as the window is exposed,
// another once every list has filled, then its peak memory in KB, and exits.
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

int showWindowAndExit(const QString &which, const QString &configFile)
{
    std::unique_ptr<QMainWindow> window;
    if (which == QLatin1String("quorvane")) {
        app::AppContext context;
        context.applicationFolder = QFileInfo(configFile).absolutePath();
        context.configFiles.file = configFile;
        context.selectionFile = selectionFileOf(configFile);
        context.libraryFile = libraryFileOf(configFile);
        // What the window would say (the emulator it picked, say) waits for no one here.
        context.notify = [](QWidget *, const QString &, const QString &) {};
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

void benchTimeToWindow(const QString &configFile, int runs, const char *what, double goal, long *peakKb)
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

// Five emulators on the search path, as a well-equipped user has them: the window looks for them
// all once its lists show.
void installFiveEmulators(const QTemporaryDir &dir)
{
    const QString bin = dir.filePath(QStringLiteral("emulators/bin"));
    QDir().mkpath(bin);
    for (const char *name : {"fceux", "nestopia", "Mesen", "punes", "retroarch"}) {
        QFile program(bin + QLatin1Char('/') + QLatin1String(name));
        program.open(QIODevice::WriteOnly);
        program.write("#!/bin/sh\n");
        program.setPermissions(program.permissions() | QFileDevice::ExeOwner);
    }
    const QString cores = dir.filePath(QStringLiteral("home/.config/retroarch/cores"));
    QDir().mkpath(cores);
    QFile(cores + QStringLiteral("/nestopia_libretro.so")).open(QIODevice::WriteOnly);
    qputenv("HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
    qputenv("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));
}

void benchStartUp(const QTemporaryDir &dir, int perFolder)
{
    installFiveEmulators(dir);
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

namespace {

// A bare recursive readdir() of a tree, every entry counted: the least a reading with subfolders
// can take.
int bareTreeScan(const QByteArray &folder)
{
    int entries = 0;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return 0;
    std::vector<QByteArray> below;
    while (const dirent *entry = ::readdir(dir)) {
        ++entries;
        if (entry->d_type == DT_DIR && entry->d_name[0] != '.')
            below.push_back(folder + '/' + entry->d_name);
    }
    ::closedir(dir);
    for (const QByteArray &sub : below)
        entries += bareTreeScan(sub);
    return entries;
}

} // namespace

// Three folders of 10,000 ROMs each, spread over 100 subfolders apiece (as collections are kept
// by letter, region or set), each read with its subfolders; against a bare recursive readdir of
// the three trees, one thread each. With others, as many other files beside the ROMs, as the
// start-up part has them.
void benchSubfolders(const QTemporaryDir &dir, bool others)
{
    QStringList folders;
    QByteArray config = "[Quorvane v1.0b Config File]\r\n";
    for (int n = 1; n <= 3; ++n) {
        const QString folder = dir.filePath(QStringLiteral("tree%1-%2").arg(others).arg(n));
        for (int sub = 0; sub < 100; ++sub) {
            const QByteArray base = QFile::encodeName(folder + QStringLiteral("/Set %1").arg(sub));
            QDir().mkpath(QFile::decodeName(base));
            for (int i = 0; i < 100; ++i) {
                const QByteArray game = base + "/Game " + QByteArray::number(sub * 100 + i) + " (USA)";
                ::close(::open((game + ".nes").constData(), O_WRONLY | O_CREAT, 0644));
                if (others)
                    ::close(::open((game + ".txt").constData(), O_WRONLY | O_CREAT, 0644));
            }
        }
        folders << folder;
        const QByteArray key = n == 1 ? QByteArray("Roms") : "Roms" + QByteArray::number(n);
        config += key + '=' + folder.toUtf8() + "/\r\n" + key + "Subfolders=1\r\n";
    }
    const QString configFile = dir.filePath(QStringLiteral("quorvane-tree%1.ini").arg(others));
    touch(configFile, config);
    app::AppContext context;
    context.applicationFolder = dir.path();
    context.configFiles.file = configFile;
    context.folderPatience = std::chrono::minutes(1); // until every list is filled
    const auto bare = [&] {
        std::vector<std::thread> threads;
        std::atomic<int> entries{0};
        for (const QString &folder : folders)
            threads.emplace_back([&, folder] { entries += bareTreeScan(QFile::encodeName(folder)); });
        for (std::thread &thread : threads)
            thread.join();
        return entries.load();
    };
    bare(); // warm the cache for both
    std::vector<double> times, scans;
    int listed = 0;
    for (int run = 0; run < 11; ++run) {
        {
            app::MainWindow window(context);
            QElapsedTimer timer;
            timer.start();
            window.loadStartState();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
            listed = fileList(window, 0)->listCount() + fileList(window, 1)->listCount() + fileList(window, 2)->listCount();
            QThread::msleep(100); // the folder watches are set off the window's thread
        }
        scans.push_back(medianMs(1, [&] { bare(); }));
    }
    std::printf("subfolders   %d ROMs listed from 300 subfolders%s\n", listed, others ? ", as many other files" : ", no other file");
    report("subfolders", "loadStartState", median(times), "parallel recursive readdir", median(scans), others ? 1.5 : 0);
}

// 3 x 1,000,000 ROMs: time to the window and the program's peak memory (--million only: making
// the files takes a few minutes).
int watchWindow(const QString &configFile, int seconds)
{
    platform::returnLargeBlocksWhenFreed(); // as the program's main() does
    app::AppContext context;
    context.applicationFolder = QFileInfo(configFile).absolutePath();
    context.configFiles.file = configFile;
    context.selectionFile = selectionFileOf(configFile);
    context.libraryFile = libraryFileOf(configFile);
    app::MainWindow window(context);
    window.loadStartState();
    window.show();
    while (!window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    // A timer every 10 ms on the window's thread: how late it comes is how long input would wait.
    // QUORVANE_BENCH_TRACE=1 tells each wait over 30 ms, and when it ended.
    QElapsedTimer since;
    since.start();
    long long lastTick = monotonicNs();
    double longestWaitMs = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const long long now = monotonicNs();
        longestWaitMs = std::max(longestWaitMs, double(now - lastTick) / 1e6 - 10);
        if (qEnvironmentVariableIsSet("QUORVANE_BENCH_TRACE") && double(now - lastTick) / 1e6 - 10 > 30)
            std::fprintf(stderr, "wait %.1f ms ending at %lld ms\n", double(now - lastTick) / 1e6 - 10, since.elapsed());
        lastTick = now;
    });
    tick.start(10);
    long peakKb = 0, at4sKb = -1;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, [&] {
        const long resident = residentKb();
        peakKb = std::max(peakKb, resident);
        if (at4sKb < 0 && since.elapsed() >= 4000)
            at4sKb = resident;
    });
    sample.start(100);
    while (since.elapsed() < seconds * 1000LL)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::printf("%ld %ld %.1f %ld\n", at4sKb, peakKb, longestWaitMs, residentKb());
    std::fflush(stdout);
    std::_Exit(0);
}

void benchWhileChecking(const QTemporaryDir &dir, int perFolder, int seconds, const char *what)
{
    QStringList folders;
    const QString configFile = makeRomFolders(dir, perFolder, false, &folders);
    if (!QFileInfo::exists(historyTemplateOf(configFile)))
        makeHistory(historyTemplateOf(configFile));
    forgetChecks(configFile); // a first start: every ROM is checked
    for (const char *start : {"first start", "second start"}) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--watch"), configFile, QString::number(std::strcmp(start, "first start") == 0 ? seconds : 15)});
        child.waitForFinished(-1);
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        std::printf("checking     %-16s %-12s resident at 4 s %5ld MB, at most %5ld MB, at the end %5ld MB; the window's longest "
                    "wait %.1f ms\n",
                    what, start, figures.value(0).toLong() / 1024, figures.value(1).toLong() / 1024, figures.value(3).toLong() / 1024,
                    figures.value(2).toDouble());
        std::fflush(stdout);
    }
    std::printf("checking     (goals: at most 150 MB at 4 s of a second start, 400 MB at any time of a first; waits within 100 ms)\n\n");
}

void benchMillion(const QTemporaryDir &dir)
{
    QStringList folders;
    const QString configFile = makeRomFolders(dir, 1000000, false, &folders);
    long peakKb = 0;
    benchTimeToWindow(configFile, 3, "3 x 1,000,000 ROMs", 0, &peakKb);
    std::printf("to window    3 x 1,000,000 ROMs: goal, the window within 1.5 s\n");
    std::printf("to window    3 x 1,000,000 ROMs peak memory %ld MB, to the lists filled\n\n", peakKb / 1024);
    benchWhileChecking(dir, 1000000, 60, "3 x 1,000,000");
}

} // namespace bench
