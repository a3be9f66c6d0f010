// Prints how long the launcher's hot paths take against a bare baseline measured in the same run,
// and their ratios. It asserts nothing: the figures are for people to read.
//
//   start-up      loadStartState over three folders of 10,000 ROMs and 10,000 other files each, then
//                 of 100,000 and 100,000, against bare readdir() scans of the same three folders
//                 run side by side, as start-up reads them
//   preview       the snapshot preview of a 6000 x 4000 snapshot against a 256 x 240 one, from the
//                 selection until the picture is in the box
//   launch        the double-click handler (launchRom) until the emulator has started, against posix_spawn()
//                 of the same stand-in emulator
//   config read   reading a 50 MB configuration file against a 5 MB one

#include "app/mainwindow.h"
#include "config/romfolders.h"
#include "forms/controls.h"
#include "forms/filelistbox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>
#include <thread>
#include <vector>

#include <dirent.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace {

forms::FileListBox *fileList(const app::MainWindow &window, int slot)
{
    return window.findChild<forms::FileListBox *>(QStringLiteral("File%1").arg(slot));
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
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char *what, const char *measured, double ms, const char *baseline, double baseMs, double goal)
{
    std::printf("%-12s %-28s %10.3f ms\n", what, measured, ms);
    std::printf("%-12s %-28s %10.3f ms\n", what, baseline, baseMs);
    std::printf("%-12s ratio %.2f (goal <= %.1f)\n\n", what, ms / baseMs, goal);
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

void benchStartUp(const QTemporaryDir &dir, int perFolder)
{
    QStringList folders;
    QByteArray config = "[Quorvane v1.0b Config File]\r\n";
    for (int n = 1; n <= 3; ++n) {
        const QString folder = dir.filePath(QStringLiteral("roms%1-%2").arg(perFolder).arg(n));
        QDir().mkpath(folder);
        for (int i = 0; i < perFolder; ++i) {
            touch(QStringLiteral("%1/Game %2 (Rev %3).nes").arg(folder).arg(qint64(i) * 7919 % perFolder).arg(n));
            touch(QStringLiteral("%1/notes %2.txt").arg(folder).arg(i));
        }
        folders.append(folder);
        config += (n == 1 ? QByteArray("Roms") : "Roms" + QByteArray::number(n)) + '=' + folder.toUtf8() + "/\r\n";
    }
    const QString configFile = dir.filePath(QStringLiteral("quorvane-%1.ini").arg(perFolder));
    touch(configFile, config);

    app::AppContext context;
    context.applicationFolder = dir.path();
    context.configFiles.file = configFile;
    app::MainWindow window(context);
    window.show();
    bareParallelScan(folders); // warm the cache for both
    const int runs = perFolder > 10000 ? 5 : 9;
    const double startUp = medianMs(runs, [&] { window.loadStartState(); });
    const double scan = medianMs(runs, [&] { bareParallelScan(folders); });
    std::printf("start-up     %d + %d + %d ROMs listed, as many other files\n", fileList(window, 1)->listCount(),
                fileList(window, 2)->listCount(), fileList(window, 3)->listCount());
    report("start-up", "loadStartState", startUp, "parallel bare readdir", scan, 2.0);
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
        fileList(window, 1)->selectFile(QString::fromLatin1(name)); // previews once, untimed
        QCoreApplication::processEvents();
        times.push_back(medianMs(1, [&] {
            window.previewSnapshot(1); // blanks the box; the picture follows from another thread
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
    std::sort(large.begin(), large.end());
    std::sort(small.begin(), small.end());
    report("preview", "6000 x 4000 snapshot", large[large.size() / 2], "256 x 240 snapshot",
           small[small.size() / 2], 15.0);
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
    app::MainWindow window(context);
    window.loadStartState();
    fileList(window, 1)->selectFile(QStringLiteral("game.nes"));
    const double handler = medianMs(21, [&] { window.launchRom(1); });

    const QByteArray program = QFile::encodeName(app + QStringLiteral("/nesticle.exe"));
    const QByteArray rom = QFile::encodeName(app + QStringLiteral("/roms/game.nes"));
    std::vector<pid_t> children;
    const double spawn = medianMs(21, [&] {
        const char *argv[] = {program.constData(), "-run", rom.constData(), "-res", "320", "240",
                              "-setinput", "1", "GRAVIS", nullptr};
        pid_t pid = 0;
        if (::posix_spawn(&pid, program.constData(), nullptr, nullptr, const_cast<char **>(argv), environ) == 0)
            children.push_back(pid);
    });
    for (pid_t pid : children)
        ::waitpid(pid, nullptr, 0);
    QThread::msleep(500); // let the detached ones finish too
    report("launch", "launchRom", handler, "posix_spawn", spawn, 3.0);
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

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString standIn = QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/nesticle/nesticle.exe");
    QTemporaryDir dir;
    std::printf("Quorvane benchmark (medians of repeated runs, warm file cache)\n\n");
    benchStartUp(dir, 10000);
    benchStartUp(dir, 100000);
    benchPreview(dir);
    if (QFile::exists(standIn))
        benchLaunch(dir, standIn);
    else
        std::printf("launch       skipped: no stand-in emulator at %s\n\n", qPrintable(standIn));
    benchConfigRead(dir);
    return 0;
}
