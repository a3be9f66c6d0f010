// The main window with one kind of stall under way, closed as File > Exit closes it:
//   closing_probe share|archive|database FOLDER
// FOLDER holds quorvane.ini, roms/ and data/quorvane.db. It prints "closing" as it asks the window
// to close, once the stall is under way; the caller times the rest, to the process's end.
//   share     the ROM folder's reading never answers, as a share that has gone away
//   archive   a 7z whose reader (a child process) never answers, as a very large archive
//   database  the database is held locked by the caller

#include "app/mainwindow.h"
#include "library/archives/romarchive.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    QApplication application(argc, argv);
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QDir root(QString::fromLocal8Bit(argv[2]));
    app::AppContext context;
    context.applicationFolder = root.path();
    context.configFiles = {root.filePath(QStringLiteral("quorvane.ini")), {}};
    context.libraryFile = root.filePath(QStringLiteral("data/quorvane.db"));
    context.romCacheFolder = root.filePath(QStringLiteral("cache"));
    context.notify = [](QWidget *, const QString &, const QString &) {};
    int stallAfterMs = 1000; // long enough for the checker to reach the archive or the database
    if (mode == QLatin1String("share")) {
        context.readFolder = [](const QString &, const QString &, bool, bool *) -> library::RomNames {
            for (;;)
                std::this_thread::sleep_for(std::chrono::hours(1));
        };
        stallAfterMs = 300;
    } else if (mode == QLatin1String("archive")) {
        library::readArchivesApart(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec sleep 600"), QStringLiteral("sh")});
    } else if (mode != QLatin1String("database")) {
        return 2;
    }
    app::MainWindow window(context);
    window.loadStartState();
    window.show();
    QTimer::singleShot(stallAfterMs, &window, [&window] {
        std::puts("closing");
        std::fflush(stdout);
        window.exit();
    });
    return application.exec();
}
