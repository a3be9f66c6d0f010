// The snapshot preview, and a double click's start.
#include "bench.h"

namespace bench {

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
    benchDefinitionLaunch(app);
}

// A start through an emulator definition (FCEUX's: found, its template filled, its switches
// mapped) against the start earlier versions made (Nesticle's line built by hand, its file looked
// up): each planned, spawned and waited for, so that both count a whole process.
void benchDefinitionLaunch(const QString &app)
{
    QFile::copy(app + QStringLiteral("/nesticle.exe"), app + QStringLiteral("/fceux"));
    launch::EmulatorDefinition fceux;
    for (const launch::EmulatorDefinition &definition : launch::builtInDefinitions()) {
        if (definition.id == QLatin1String("fceux"))
            fceux = definition;
    }
    launch::SearchPlaces places;
    places.applicationFolder = app;
    const launch::EmulatorRun run{fceux, launch::findEmulator(fceux, places)};
    const QString rom = app + QStringLiteral("/roms/game.nes");
    auto spawnAndWait = [](const QString &program, const QStringList &arguments) {
        const QByteArray file = QFile::encodeName(program);
        std::vector<QByteArray> bytes{file};
        for (const QString &argument : arguments)
            bytes.push_back(QFile::encodeName(argument));
        std::vector<char *> argv;
        for (QByteArray &argument : bytes)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (::posix_spawn(&pid, file.constData(), nullptr, nullptr, argv.data(), environ) == 0)
            ::waitpid(pid, nullptr, 0);
    };
    std::vector<double> defined, handMade;
    for (int i = 0; i < 31; ++i) { // interleaved
        defined.push_back(medianMs(1, [&] {
            launch::LaunchPlan plan;
            QString error;
            if (launch::planLaunch(run, rom, {4, Qt::Unchecked, 1}, app, &plan, &error))
                spawnAndWait(plan.command.program, plan.command.arguments);
        }));
        handMade.push_back(medianMs(1, [&] {
            const launch::LaunchCommand command = launch::launchCommand(app + QStringLiteral("/roms/"), QStringLiteral("game.nes"), 4,
                                                                        Qt::Unchecked, 1);
            const QString program = app + QStringLiteral("/nesticle.exe");
            if (QFileInfo(program).isExecutable())
                spawnAndWait(program, command.arguments());
        }));
    }
    report("launch", "through FCEUX's definition", median(defined), "Nesticle's line by hand", median(handMade), 1.1);
}

} // namespace bench
