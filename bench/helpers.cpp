#include "bench.h"

namespace bench {

// The list of slot 0..2, as the form table names it.
forms::FileListBox *fileList(const app::MainWindow &window, int slot)
{
    return window.findChild<forms::FileListBox *>(QLatin1String(forms::kSlotControls.at(size_t(slot)).fileList));
}

long residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLong() * (::sysconf(_SC_PAGESIZE) / 1024);
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

void touch(const QString &path, const QByteArray &bytes)
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
    // A ROM of each folder selected when the program was last left, to be selected again, and
    // titles shown: start-up and time to the window are measured as a user who shows them has it.
    QByteArray selection = "[Quorvane Selection]\r\nTab=1\r\nShowTitles=1\r\n";
    for (int n = 1; n <= 3; ++n) {
        selection += "Folder" + QByteArray::number(n) + '=' + folders->at(n - 1).toUtf8() + "/\r\n";
        selection += "Rom" + QByteArray::number(n) + "=Game " + QByteArray::number(perFolder / 2) + " (Rev "
            + QByteArray::number(n) + ").nes\r\n";
    }
    touch(selectionFileOf(configFile), selection);
    return configFile;
}

} // namespace bench
