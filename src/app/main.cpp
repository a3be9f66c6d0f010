#include "app/mainwindow.h"
#include "app/runninginstance.h"
#include "config/romfolders.h"
#include "forms/formbuilder.h"
#include "platform/filenames.h"
#include "platform/folders.h"
#include "platform/memory.h"
#include "library/archives/romarchive.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace {
const char kReadArchive[] = "--read-archive"; // the program itself lists a 7z apart (see readArchivesApart)
}

int main(int argc, char *argv[])
{
    // Before anything else is loaded or made: the child's memory limit is counted from here.
    if (argc == 3 && std::strcmp(argv[1], kReadArchive) == 0)
        return library::archiveReaderMain(argv[2]);

    platform::returnLargeBlocksWhenFreed();
    QApplication application(argc, argv);
    library::readArchivesApart(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kReadArchive)});
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setWindowIcon(forms::applicationIcon());

    app::AppContext context;
    context.applicationFolder = platform::applicationFolder();
    context.configFiles = config::configFiles(QStringLiteral(QUORVANE_CONFIG_DIR));
    // The emulator's output goes beside a portable configuration file, else to the user's cache.
    context.logFolder = context.configFiles.portable ? QFileInfo(context.configFiles.file).absolutePath()
                                                     : platform::userCacheFolder();
    // The ROMs last selected are the program's own: beside a portable configuration file, else in
    // the user's data folder.
    const QString dataFolder = context.configFiles.portable ? context.logFolder : platform::userDataFolder();
    // The user's own emulators are configuration: beside a portable configuration file, else in
    // the user's configuration folder (never in the file Save writes). Not "emulators.ini": a
    // portable folder holds the one Quorvane ships under that name.
    const QString userConfig = context.configFiles.portable ? QFileInfo(context.configFiles.file).absolutePath()
                                                            : platform::userConfigFolder();
    if (!userConfig.isEmpty())
        context.emulatorsFile = QDir(userConfig).filePath(QStringLiteral("my-emulators.ini"));
    if (!dataFolder.isEmpty()) {
        context.emulatorStateFile = QDir(dataFolder).filePath(QStringLiteral("emulator-state.ini"));
        context.selectionFile = QDir(dataFolder).filePath(QStringLiteral("selection.ini"));
        context.libraryFile = QDir(dataFolder).filePath(QStringLiteral("quorvane.db"));
    }
    // Zipped ROMs are unpacked for the emulator beside a portable configuration file, else in the
    // user's cache.
    if (!context.logFolder.isEmpty())
        context.romCacheFolder = QDir(context.logFolder).filePath(context.configFiles.portable ? QStringLiteral("cache/roms")
                                                                                               : QStringLiteral("roms"));
    // ROM databases: a dat/ folder beside the program, as snap/ is, and one in the data folder.
    context.datFolders << QDir(context.applicationFolder).filePath(QStringLiteral("dat"));
    if (!dataFolder.isEmpty() && QDir(dataFolder) != QDir(context.applicationFolder))
        context.datFolders << QDir(dataFolder).filePath(QStringLiteral("dat"));

    // Pictures by title: a thumbnails/ folder beside the program, one in the data folder, then
    // RetroArch's (and beside its program, once found).
    context.thumbnailFolders << QDir(context.applicationFolder).filePath(QStringLiteral("thumbnails"));
    if (!dataFolder.isEmpty() && QDir(dataFolder) != QDir(context.applicationFolder))
        context.thumbnailFolders << QDir(dataFolder).filePath(QStringLiteral("thumbnails"));
    context.thumbnailFolders << platform::retroArchThumbnailFolders();
    // Covers scaled for the cover view are made again at will: beside a portable configuration
    // file, else in the user's cache.
    if (!context.logFolder.isEmpty())
        context.coverCacheFolder = QDir(context.logFolder).filePath(context.configFiles.portable ? QStringLiteral("cache/covers")
                                                                                                 : QStringLiteral("covers"));

    // A ROM to start ("Open with"), read before start-up makes the application folder current.
#ifdef Q_OS_WIN
    const QString rom = QCoreApplication::arguments().value(1);
#else // the name's very bytes, which need not be UTF-8
    const QString rom = argc > 1 ? platform::fromSystem8Bit(argv[1]) : QString();
#endif
    const QString romPath = rom.isEmpty() ? QString() : QFileInfo(rom).absoluteFilePath();

    // One Quorvane per user and configuration file: a second start hands its ROM to the first,
    // which raises its window.
    const QString channel = app::RunningInstance::channelName(context.configFiles.file);
    if (app::RunningInstance::handOver(channel, romPath))
        return 0;

    app::MainWindow window(context);
    app::RunningInstance instance(channel);
    QObject::connect(&instance, &app::RunningInstance::asked, &window, [&window](const QString &path) {
        window.bringToFront();
        if (!path.isEmpty())
            window.startFile(path);
    });
    window.loadStartState();
    window.showAsLeft();
    if (!romPath.isEmpty())
        window.startFile(romPath);
    return application.exec();
}
