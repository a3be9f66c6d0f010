#pragma once
// What the benchmark's parts share: the clock, medians, the report's lines, and the folders and
// files they are measured on. Each part is in a file of its own; main.cpp runs them.

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
#include "launch/launchcommand.h"

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
#include <QTimer>

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


extern char **environ;

namespace app {
class MainWindow;
}
namespace forms {
class FileListBox;
}

namespace bench {

// The list of slot 0..2, as the form table names it.
forms::FileListBox *fileList(const app::MainWindow &window, int slot);
long long monotonicNs();
long residentKb(); // the process's resident memory now
double median(std::vector<double> values);
// The median time of runs of work, in ms.
double medianMs(int runs, const std::function<void()> &work);
// Two lines, the measured and its baseline, and their ratio against goal (none when 0).
void report(const char *what, const char *measured, double ms, const char *baseline, double baseMs, double goal);
void touch(const QString &path, const QByteArray &bytes = QByteArray());
int bareScan(const QString &folder);
int bareParallelScan(const QStringList &folders);
void writeNoiseJpeg(const QString &path, int width, int height);
QString selectionFileOf(const QString &configFile);
QString libraryFileOf(const QString &configFile);
QString historyTemplateOf(const QString &configFile);
void forgetChecks(const QString &configFile);
QString makeRomFolders(const QTemporaryDir &dir, int perFolder, bool others, QStringList *folders);
void makeHistory(const QString &path);

// Process start to the window exposed, and to every list filled, Quorvane against the bare window
// (whose "lists" are filled once it shows).
struct WindowTimes {
    double shown, filled;
};
// One child's times ("quorvane" or "bare"), and its peak memory in KB added to peak.
WindowTimes timeWindow(const char *which, const QString &configFile, long *peak);
double medianOf(const std::vector<WindowTimes> &times, double WindowTimes::*field);

// The parts.
int showWindowAndExit(const QString &which, const QString &configFile); // the child of "to window"
void benchTimeToWindow(const QString &configFile, int runs, const char *what, double goal, long *peakKb = nullptr);
void benchStartUp(const QTemporaryDir &dir, int perFolder);
void benchSubfolders(const QTemporaryDir &dir, bool others);
void benchMillion(const QTemporaryDir &dir);
// A first start, every ROM checked, for seconds, and a second start: memory and how long the
// window's thread is kept from its input.
int watchWindow(const QString &configFile, int seconds); // the child
void benchWhileChecking(const QTemporaryDir &dir, int perFolder, int seconds, const char *what);
void benchPreview(const QTemporaryDir &dir);
void benchLaunch(const QTemporaryDir &dir, const QString &standIn);
void benchDefinitionLaunch(const QString &app);
void benchFind();
void benchHashing(const QTemporaryDir &dir);
void benchHistory(const QTemporaryDir &dir);
void benchDat(const QTemporaryDir &dir);
void benchConfigRead(const QTemporaryDir &dir);
void benchArchives(const QTemporaryDir &dir, const QString &standIn);
void benchCovers(const QTemporaryDir &dir);

} // namespace bench
