// Emulator definitions: the shipped file, templates, finding programs in made-up trees, each
// shipped emulator started for real on hostile paths, the user's own, and a game's own emulator
// in the main window.

#include "windowtest.h"

#include <QSignalSpy>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

using namespace testutil;

namespace {

const launch::EmulatorDefinition &shipped(const QString &id)
{
    for (const launch::EmulatorDefinition &definition : launch::builtInDefinitions()) {
        if (definition.id == id)
            return definition;
    }
    qFatal("no shipped definition %s", qPrintable(id));
}

// A made-up system: programs and cores where a definition looks for them, under one folder.
struct Tree {
    QTemporaryDir dir;
    QString path(const QString &relative) const { return dir.filePath(relative); }
    launch::SearchPlaces places() const
    {
        launch::SearchPlaces places{path(u"app"_s), {path(u"bin"_s), path(u"usr/bin"_s)}, {path(u"flatpak/exports/bin"_s)},
                                    {path(u"Program Files"_s)}, {}, path(u"root"_s)};
        places.variables.insert(u"HOME"_s, path(u"home"_s));
        places.variables.insert(u"APPDATA"_s, path(u"appdata"_s));
        return places;
    }
};

#ifdef Q_OS_WIN
const QString kCoreSuffix = u".dll"_s;
#else
const QString kCoreSuffix = u".so"_s;
#endif

} // namespace

class TestEmulators : public QObject
{
    Q_OBJECT
private slots:
    // The file shipped beside the program is the one compiled in, and every definition in it is
    // sound: the ones the issue names, each with the program Debian installs.
    void theShippedFileIsSoundAndComplete()
    {
        QFile file(QStringLiteral(SOURCE_DIR "/src/launch/emulators.ini"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const launch::DefinitionsRead read = launch::parseDefinitions(file.readAll(), u"emulators.ini"_s, false);
        QVERIFY2(read.problems.isEmpty(), qPrintable(read.problems.join(u'\n')));
        QStringList ids;
        for (const launch::EmulatorDefinition &definition : read.definitions)
            ids << definition.id;
        QCOMPARE(ids, (QStringList{"nesticle", "fceux", "nestopia", "mesen", "punes", "retroarch-nestopia", "retroarch-fceumm",
                                   "retroarch-mesen"}));
        QCOMPARE(launch::builtInDefinitions().size(), read.definitions.size());
        QCOMPARE(shipped(u"fceux"_s).linuxPrograms, QStringList{u"fceux"_s});
        QVERIFY(shipped(u"fceux"_s).linuxFolders.contains(u"/usr/games"_s));
        QVERIFY(shipped(u"nestopia"_s).linuxFolders.contains(u"/usr/games"_s));
        QCOMPARE(shipped(u"retroarch-nestopia"_s).core, u"nestopia_libretro"_s);
        QVERIFY(shipped(u"retroarch-nestopia"_s).linuxCoreFolders.contains(u"/usr/lib/x86_64-linux-gnu/libretro"_s));
        // Which controls each has a switch for.
        QVERIFY(shipped(u"fceux"_s).hasSoundSwitch() && shipped(u"fceux"_s).hasResolutionSwitch());
        QVERIFY(!shipped(u"fceux"_s).hasControllerSwitch());
        QVERIFY(!shipped(u"retroarch-mesen"_s).hasSoundSwitch() && !shipped(u"nestopia"_s).hasResolutionSwitch());
        QVERIFY(shipped(u"fceux"_s).readsArchive(u"a.ZIP"_s) && !shipped(u"fceux"_s).readsArchive(u"a.7z"_s));
        QVERIFY(!launch::nesticleDefinition().readsArchive(u"a.zip"_s));
    }

    // What a definitions file may get wrong: each problem names the file, the line and why, and
    // only that emulator is left out.
    void aBrokenDefinitionIsNamedAndLeftOut_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QString>("why");
        QTest::newRow("unknown placeholder") << QByteArray("[bad]\nName=Bad\nLinuxProgram=b\nWindowsProgram=b.exe\nArguments={romfile}\n")
                                             << "line 6: the emulator [bad] is left out: its Arguments: {romfile} is no placeholder";
        QTest::newRow("a switch inside a word") << QByteArray("[bad]\nName=Bad\nLinuxProgram=b\nArguments=x{sound} {rom}\n")
                                                << "its Arguments: {sound} must stand alone as a word";
        QTest::newRow("no ROM") << QByteArray("[bad]\nName=Bad\nLinuxProgram=b\nArguments=--help\n")
                                << "it holds neither {rom} nor {rom.name}";
        QTest::newRow("open quote") << QByteArray("[bad]\nName=Bad\nLinuxProgram=b\nArguments=\"{rom}\n") << "a double quote is left open";
        QTest::newRow("no program") << QByteArray("[bad]\nName=Bad\nArguments={rom}\n") << "names no LinuxProgram or WindowsProgram";
        QTest::newRow("resolution placeholder") << QByteArray("[bad]\nName=Bad\nLinuxProgram=b\nArguments={rom}\nResolution=-r {rom}\n")
                                                << "its Resolution: {rom} is no placeholder a switch can hold";
        QTest::newRow("not a line") << QByteArray("[bad]\nName=Bad\nLinuxProgram=b\nArguments={rom}\nwhat is this\n")
                                    << "line 10: the line is neither a [section] nor Key=Value.";
        QTest::newRow("twice") << QByteArray("[good]\nName=Twice\nLinuxProgram=b\nArguments={rom}\n") << "another section has the same name";
    }

    void aBrokenDefinitionIsNamedAndLeftOut()
    {
        QFETCH(QByteArray, section);
        QFETCH(QString, why);
        const QByteArray good("[good]\nName=Good\nLinuxProgram=g\nWindowsProgram=g.exe\nArguments=\"{rom}\"\n");
        const launch::DefinitionsRead read = launch::parseDefinitions(good + section, u"/x/emulators.ini"_s, false);
        QCOMPARE(read.problems.size(), 1);
        QVERIFY2(read.problems[0].startsWith(u"/x/emulators.ini, line "_s) && read.problems[0].contains(why), qPrintable(read.problems[0]));
        QVERIFY(!read.definitions.isEmpty());
        QCOMPARE(read.definitions[0].name, u"Good"_s);
    }

    // Placeholders are put in after the template is split: a value is one argument whatever it
    // holds, braces too; quoted words stay whole; a switch's words are as many arguments.
    void templatesAreSplitBeforeTheyAreFilled()
    {
        launch::EmulatorDefinition own;
        own.name = u"Mine"_s;
        own.arguments = u"\"--title=My Game\" --dir={rom.dir} {rom.name} \"\" {sound} {controller} {resolution}"_s;
        own.soundOff = u"--mute  yes"_s;
        own.controllers = {u""_s, u"--pad"_s};
        const QString rom = u"/my roms/{core} \"x\" $HOME.nes"_s;
        launch::ExpandedCommand command;
        QString error;
        QVERIFY(launch::expandCommand(own, u"my emu"_s, rom, u"/c.so"_s, {4, Qt::Unchecked, 0}, &command, &error));
        QCOMPARE(command.arguments, (QStringList{u"--title=My Game"_s, u"--dir=/my roms"_s, u"{core} \"x\" $HOME.nes"_s, QString(),
                                                 u"--mute"_s, u"yes"_s}));
        QCOMPARE(command.pathArguments, QList<qsizetype>{}); // none is a whole path
        QCOMPARE(command.windowsLine, u"\"my emu\" \"--title=My Game\" \"--dir=/my roms\" \"{core} \\\"x\\\" $HOME.nes\" \"\" --mute  yes  "_s);
        QVERIFY(launch::expandCommand(own, u"e"_s, rom, {}, {4, Qt::Checked, 1}, &command, &error));
        QCOMPARE(command.arguments.mid(4), QStringList{u"--pad"_s});
        QCOMPARE(launch::templateProblem(u"{rom} {nope}"_s), u"{nope} is no placeholder; they are {rom}, {rom.dir}, {rom.name}, {core}, "
                                                              "{sound}, {resolution} and {controller}"_s);
        QVERIFY(launch::templateProblem(u"{rom}"_s).isEmpty());
        QCOMPARE(launch::idForName(u"My FCEUX 2!"_s, {u"myfceux2"_s}), u"myfceux22"_s);
        QCOMPARE(launch::idForName(u"!!!"_s, {}), u"emulator"_s);
    }

    // Each definition's program is looked for beside Quorvane first, then on the search path,
    // the usual folders, Flatpak's exports (Linux) and the program folders (Windows); one that
    // needs a core counts only with it.
    void programsAreFoundWhereTheyAreInstalled()
    {
        Tree tree;
        const launch::SearchPlaces places = tree.places();
        QVERIFY(!launch::findEmulator(shipped(u"fceux"_s), places).isFound());
#ifdef Q_OS_WIN
        writeProgram(tree.path(u"Program Files/FCEUX/fceux.exe"_s));
        launch::FoundEmulator found = launch::findEmulator(shipped(u"fceux"_s), places);
        QCOMPARE(QDir::fromNativeSeparators(found.program), tree.path(u"Program Files/FCEUX/fceux.exe"_s));
        QCOMPARE(found.programName, u"fceux.exe"_s);
        writeProgram(tree.path(u"app/FCEUX/fceux64.exe"_s)); // a folder of its own beside Quorvane comes first
        QCOMPARE(QDir::fromNativeSeparators(launch::findEmulator(shipped(u"fceux"_s), places).program), tree.path(u"app/FCEUX/fceux64.exe"_s));
        // RetroArch with its core in its own cores folder, or in %APPDATA%.
        writeProgram(tree.path(u"Program Files/RetroArch/retroarch.exe"_s));
        QVERIFY(!launch::findEmulator(shipped(u"retroarch-nestopia"_s), places).isFound());
        writeFile(tree.path(u"appdata/RetroArch/cores/fceumm_libretro.dll"_s), "core");
        writeFile(tree.path(u"Program Files/RetroArch/cores/nestopia_libretro.dll"_s), "core");
        QCOMPARE(QDir::fromNativeSeparators(launch::findEmulator(shipped(u"retroarch-nestopia"_s), places).core),
                 tree.path(u"Program Files/RetroArch/cores/nestopia_libretro.dll"_s));
        QCOMPARE(QDir::fromNativeSeparators(launch::findEmulator(shipped(u"retroarch-fceumm"_s), places).core),
                 tree.path(u"appdata/RetroArch/cores/fceumm_libretro.dll"_s));
#else
        writeProgram(tree.path(u"root/usr/games/fceux"_s));
        launch::FoundEmulator found = launch::findEmulator(shipped(u"fceux"_s), places);
        QCOMPARE(found.program, tree.path(u"root/usr/games/fceux"_s));
        QCOMPARE(found.where, u"in /usr/games"_s);
        writeProgram(tree.path(u"usr/bin/fceux"_s)); // the search path comes first
        QCOMPARE(launch::findEmulator(shipped(u"fceux"_s), places).where, u"on the search path"_s);
        writeFile(tree.path(u"bin/fceux"_s), "not executable");
        ::chmod(QFile::encodeName(tree.path(u"bin/fceux"_s)).constData(), 0644);
        QCOMPARE(launch::findEmulator(shipped(u"fceux"_s), places).program, tree.path(u"usr/bin/fceux"_s));
        writeProgram(tree.path(u"app/fceux"_s));
        QCOMPARE(launch::findEmulator(shipped(u"fceux"_s), places).where, u"beside Quorvane"_s);
        // RetroArch's Flatpak, with a core it downloaded into its own folder.
        writeProgram(tree.path(u"flatpak/exports/bin/org.libretro.RetroArch"_s));
        QVERIFY(!launch::findEmulator(shipped(u"retroarch-nestopia"_s), places).isFound());
        writeFile(tree.path(u"home/.var/app/org.libretro.RetroArch/config/retroarch/cores/nestopia_libretro.so"_s), "core");
        found = launch::findEmulator(shipped(u"retroarch-nestopia"_s), places);
        QCOMPARE(found.where, u"as a Flatpak"_s);
        QCOMPARE(found.core, tree.path(u"home/.var/app/org.libretro.RetroArch/config/retroarch/cores/nestopia_libretro.so"_s));
        // Debian's: retroarch on the path, the core in the multiarch folder.
        writeProgram(tree.path(u"bin/retroarch"_s));
        writeFile(tree.path(u"root/usr/lib/x86_64-linux-gnu/libretro/nestopia_libretro.so"_s), "core");
        found = launch::findEmulator(shipped(u"retroarch-nestopia"_s), places);
        QCOMPARE(found.program, tree.path(u"bin/retroarch"_s));
        QCOMPARE(found.core, tree.path(u"root/usr/lib/x86_64-linux-gnu/libretro/nestopia_libretro.so"_s));
        // This system's own places: PATH, and both of Flatpak's export folders.
        const launch::SearchPlaces system = launch::SearchPlaces::ofThisSystem(u"/opt/q"_s);
        QVERIFY(system.flatpakExports.contains(u"/var/lib/flatpak/exports/bin"_s));
        QVERIFY(system.described().join(u'\n').contains(u"/usr/games"_s));
#endif
        QVERIFY(!launch::findEmulator(shipped(u"mesen"_s), places).isFound());
    }

#ifndef Q_OS_WIN
    // Every shipped emulator started for real (a script in its place that writes the arguments it
    // got, NUL after each) on ROM paths with blanks, quotes, $, &, a leading "-", braces and
    // bytes that are not UTF-8: each placeholder arrives as one argument, byte for byte.
    void everyShippedEmulatorGetsThePathWhole()
    {
        Tree tree;
        const launch::SearchPlaces places = tree.places();
        const QByteArray record = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$0.args\"\n";
        for (const char *program : {"app/nesticle.exe", "bin/fceux", "root/usr/games/nestopia", "bin/Mesen", "bin/punes", "bin/retroarch"})
            writeProgram(tree.path(QLatin1String(program)), record);
        for (const char *core : {"nestopia", "fceumm", "mesen"})
            writeFile(tree.path(u"home/.config/retroarch/cores/%1_libretro.so"_s.arg(QLatin1String(core))), "core");
        const QByteArray folder = QFile::encodeName(tree.path(u"my roms"_s)) + "/";
        QVERIFY(QDir().mkpath(tree.path(u"my roms"_s)));
        const QList<QByteArray> names{"it's \"quoted\" $HOME & `id`.nes", "-nosound.nes", "{core} {rom}.nes", "Caf\xE9 (Europe).nes"};
        const QByteArray cores = QFile::encodeName(tree.path(u"home/.config/retroarch/cores/"_s));
        const QList<std::pair<QString, QList<QByteArray>>> expected{
            {u"nesticle"_s, {"-run", "ROM", "-nosound", "-res", "320", "240", "-setinput", "1", "GRAVIS"}},
            {u"fceux"_s, {"--sound", "0", "--xres", "320", "--yres", "240", "ROM"}},
            {u"nestopia"_s, {"ROM"}},
            {u"mesen"_s, {"ROM"}},
            {u"punes"_s, {"ROM"}},
            {u"retroarch-nestopia"_s, {"-L", cores + "nestopia_libretro.so", "ROM"}},
            {u"retroarch-fceumm"_s, {"-L", cores + "fceumm_libretro.so", "ROM"}},
            {u"retroarch-mesen"_s, {"-L", cores + "mesen_libretro.so", "ROM"}},
        };
        for (const auto &[id, arguments] : expected) {
            const launch::EmulatorRun run{shipped(id), launch::findEmulator(shipped(id), places)};
            QVERIFY2(run.found.isFound(), qPrintable(id));
            for (const QByteArray &name : names) {
                const QString rom = platform::fromSystem8Bit(folder + name);
                launch::LaunchPlan plan;
                QString error;
                QVERIFY2(launch::planLaunch(run, rom, {4, Qt::Unchecked, 1}, tree.path(u"app"_s), &plan, &error), qPrintable(error));
                const QString got = run.found.program + u".args"_s;
                QFile::remove(got);
                QVERIFY2(platform::startDetached(plan.command, {}, &error), qPrintable(error));
                QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(got).size() > 0, 20000);
                QTest::qWait(50); // the script writes its last argument
                QByteArray wanted;
                for (const QByteArray &argument : arguments)
                    wanted += (argument == "ROM" ? folder + name : argument) + '\0';
                QTRY_COMPARE(readAll(got), wanted);
            }
        }
    }
#endif

    // The user's own: added with a name, a program and a template (checked first), kept in their
    // file beside the default, found again at the next start; one whose program is gone is named
    // when it would start, and a file that cannot be read is said, with the shipped ones kept.
    void yourOwnAreKeptAndCheckedAndNamed()
    {
        Tree tree;
        const QString userFile = tree.path(u"config/my-emulators.ini"_s);
        writeProgram(tree.path(u"app/nesticle.exe"_s));
        writeProgram(tree.path(u"tools/my emu"_s));
        launch::EmulatorChoice choice({tree.path(u"app"_s), userFile, tree.path(u"data/state"_s)});
        choice.searchIn(tree.places());
        QSignalSpy loaded(&choice, &launch::EmulatorChoice::loaded);
        QSignalSpy problems(&choice, &launch::EmulatorChoice::problem);
        QSignalSpy picked(&choice, &launch::EmulatorChoice::defaultPicked);
        choice.load();
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 20000);
        QCOMPARE(choice.defaultId(), u"nesticle"_s); // beside the program: the default, said to no one
        QVERIFY(picked.isEmpty() && problems.isEmpty());

        launch::EmulatorDefinition own;
        own.name = u"My Emu"_s;
        own.program = tree.path(u"tools/my emu"_s);
        own.arguments = u"{rom} {bogus}"_s;
        QString error;
        QVERIFY(!choice.addOwn(own, &error));
        QVERIFY2(error.contains(u"{bogus} is no placeholder"_s), qPrintable(error));
        own.arguments = u"--load {rom}"_s;
        own.readsZip = true;
        QVERIFY2(choice.addOwn(own, &error), qPrintable(error));
        QVERIFY(choice.found(u"myemu"_s).isFound());
        choice.setDefault(u"myemu"_s);
        QTRY_VERIFY(readAll(userFile).contains("Default=myemu"));

        launch::EmulatorChoice again({tree.path(u"app"_s), userFile, {}});
        again.searchIn(tree.places());
        QSignalSpy loadedAgain(&again, &launch::EmulatorChoice::loaded);
        again.load();
        QTRY_COMPARE_WITH_TIMEOUT(loadedAgain.size(), 1, 20000);
        QCOMPARE(again.defaultId(), u"myemu"_s);
        QVERIFY(again.definition(u"myemu"_s)->readsZip);
        QCOMPARE(again.run({}).definition.arguments, u"--load {rom}"_s);

        // Its program gone: the default falls back, and a launch with it names the program.
        QVERIFY(QFile::remove(tree.path(u"tools/my emu"_s)));
        again.load();
        QTRY_COMPARE_WITH_TIMEOUT(loadedAgain.size(), 2, 20000);
        QCOMPARE(again.defaultId(), u"nesticle"_s);
        launch::LaunchPlan plan;
        QVERIFY(!launch::planLaunch(again.run(u"myemu"_s), u"/r/a.nes"_s, {}, tree.path(u"app"_s), &plan, &error));
        QVERIFY2(error.contains(tree.path(u"tools/my emu"_s)) && error.contains(u"My Emu"_s), qPrintable(error));

        // A portable setup keeps the user's file beside the shipped one; were they one file, it is
        // read once, as the shipped one.
        writeFile(tree.path(u"app/emulators.ini"_s), readAll(QStringLiteral(SOURCE_DIR "/src/launch/emulators.ini")));
        launch::EmulatorChoice same({tree.path(u"app"_s), tree.path(u"app/emulators.ini"_s), {}});
        same.searchIn(tree.places());
        QSignalSpy sameLoaded(&same, &launch::EmulatorChoice::loaded);
        QSignalSpy sameProblems(&same, &launch::EmulatorChoice::problem);
        same.load();
        QTRY_COMPARE_WITH_TIMEOUT(sameLoaded.size(), 1, 20000);
        QVERIFY(sameProblems.isEmpty());
        QCOMPARE(same.definitions().size(), launch::builtInDefinitions().size());

        // A file that cannot be read as definitions: said, naming it; the shipped ones stay.
        writeFile(tree.path(u"app/emulators.ini"_s), "[x]\nArguments={nope}\n");
        QFile::remove(userFile);
        QVERIFY(QDir().mkpath(userFile)); // a folder where the file should be
        launch::EmulatorChoice broken({tree.path(u"app"_s), userFile, {}});
        broken.searchIn(tree.places());
        QSignalSpy brokenProblems(&broken, &launch::EmulatorChoice::problem);
        broken.load();
        QTRY_COMPARE_WITH_TIMEOUT(brokenProblems.size(), 1, 20000);
        const QString message = brokenProblems[0][0].toString();
        QVERIFY2(message.contains(QDir::toNativeSeparators(tree.path(u"app/emulators.ini"_s)) + u", line 1"_s), qPrintable(message));
        QVERIFY2(message.contains(QDir::toNativeSeparators(userFile) + u" cannot be read"_s), qPrintable(message));
        QCOMPARE(broken.defaultId(), u"nesticle"_s);
    }

    // With no Nesticle, the first known emulator found is the default, and the user is told so
    // once: not again at the next start.
    void aPickedDefaultIsToldOnce()
    {
        Tree tree;
        writeProgram(tree.path(QStringLiteral("bin/") + launch::builtInDefinitions().at(1).programs().first()));
        const QString state = tree.path(u"data/emulator-state.ini"_s);
        for (int start = 0; start < 2; ++start) {
            launch::EmulatorChoice choice({tree.path(u"app"_s), {}, state});
            choice.searchIn(tree.places());
            QSignalSpy picked(&choice, &launch::EmulatorChoice::defaultPicked);
            QSignalSpy loaded(&choice, &launch::EmulatorChoice::loaded);
            choice.load();
            QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 20000);
            QCOMPARE(choice.defaultId(), u"fceux"_s);
            if (start == 0) {
                QCOMPARE(picked.size(), 1);
                QVERIFY(picked[0][0].toString().startsWith(u"Games will start in FCEUX, found on the search path"_s));
                QVERIFY(picked[0][0].toString().contains(u"Options > Emulators"_s));
                QTRY_VERIFY(QFileInfo::exists(state));
            } else {
                QTest::qWait(50);
                QCOMPARE(picked.size(), 0);
            }
        }
    }
    // "Run With": the game starts with the emulator chosen, which stays its own (kept by what
    // it is, across starts) until "Default Emulator"; the controls follow the chosen emulator's
    // switches; an emulator that opens zips is handed the zip itself.
    void eachGameKeepsTheEmulatorItIsRunWith()
    {
        Fixture f;
        writeProgram(f.emulator());
#ifdef Q_OS_WIN
        const QString fceux = f.app() + u"/fceux.exe"_s;
#else
        const QString fceux = f.app() + u"/fceux"_s;
#endif
        writeProgram(fceux);
        writeFile(f.rom(1) + u"zipped copy.zip"_s, makeArchive(ArchiveFormat::Zip, {{"Two (USA).nes", readAll(f.rom(1) + u"two.nes"_s)}}));
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.libraryFile = f.dir.filePath(u"data/quorvane.db"_s);
        auto window = [&] {
            auto w = std::make_unique<app::MainWindow>(context);
            w->loadStartState();
            return w;
        };
        auto w = window();
        MainControls c(w.get());
        c.tabs->setCurrentIndex(1);
        QVERIFY(c.list(1)->selectFile(u"two.nes"_s));
        QTRY_VERIFY(w->romFolder(1)->model()->factsAt(entries(c.list(1)).indexOf(u"two.nes"_s))); // its identity is known
        QTRY_VERIFY_WITH_TIMEOUT(w->emulators()->isLoaded(), 20000);
        QVERIFY(c.controller->isEnabled()); // Nesticle has every switch
        w->showRomMenu(1, QPoint(10, 10));
        QMenu *runWith = w->romMenu()->findChild<QMenu *>(u"romMenuRunWith"_s);
        QAction *withFceux = runWith->findChild<QAction *>(u"romMenuRunWith_fceux"_s);
        QVERIFY(withFceux);
        w->romMenu()->close();
        withFceux->trigger();
        QTRY_COMPARE(f.recorder.starts.size(), 1);
        QCOMPARE(f.recorder.starts[0].program, QDir::toNativeSeparators(fceux));
        QCOMPARE(f.recorder.starts[0].arguments, (QStringList{"--sound", "1", "--xres", "320", "--yres", "240", f.rom(1) + u"two.nes"_s}));
        const QString why = u"FCEUX has no switch for the controller: the choice is not given to it."_s;
        QTRY_VERIFY(!c.controller->isEnabled());
        QCOMPARE(c.controller->toolTip(), why);
        QCOMPARE(c.controller->accessibleDescription(), why);
        QVERIFY(c.sound->isEnabled() && c.resolution->isEnabled());
        w->launchRom(1); // its own from now on
        QTRY_COMPARE(f.recorder.starts.size(), 2);
        QCOMPARE(f.recorder.starts[1].program, QDir::toNativeSeparators(fceux));
        w.reset();

        w = window();
        c = MainControls(w.get());
        c.tabs->setCurrentIndex(1);
        QVERIFY(c.list(1)->selectFile(u"two.nes"_s));
        QTRY_VERIFY_WITH_TIMEOUT(w->emulators()->isLoaded(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!c.controller->isEnabled(), 20000); // remembered, once the play is read
        QString line;
        onNextModal(w.get(), [&](QWidget *modal) {
            auto *info = qobject_cast<dialogs::RomInformationDialog *>(modal);
            QTRY_VERIFY(info->information()->text().contains(u"Emulator: FCEUX (chosen for this game)"_s));
            line = info->information()->lines().last().value;
            modal->close();
        });
        w->showRomInformation(1);
        QCOMPARE(line, u"FCEUX (chosen for this game)"_s);
        // The zip holding the same game: FCEUX opens zips, so it gets the archive itself.
        QVERIFY(c.list(1)->selectFile(u"zipped copy.zip"_s));
        QTRY_VERIFY(w->romFolder(1)->model()->factsAt(entries(c.list(1)).indexOf(u"zipped copy.zip"_s)));
        w->launchRom(1);
        QTRY_COMPARE(f.recorder.starts.size(), 3);
        QCOMPARE(f.recorder.starts[2].arguments.last(), QDir::toNativeSeparators(f.rom(1) + u"zipped copy.zip"_s));
        // Back to the default.
        QVERIFY(c.list(1)->selectFile(u"two.nes"_s));
        w->runWith(1, QString());
        QTRY_COMPARE(f.recorder.starts.size(), 4);
        QCOMPARE(f.recorder.starts[3].program, QDir::toNativeSeparators(f.emulator()));
        QTRY_VERIFY(c.controller->isEnabled());
        QVERIFY(c.controller->toolTip().isEmpty());
        QVERIFY(f.recorder.messages.isEmpty());
    }
};

QTEST_MAIN(TestEmulators)
#include "tst_emulators.moc"
