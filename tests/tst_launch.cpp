// The emulator's command line, its plan, and the real stand-in emulator started for real.

#include "launch/emulator.h"
#include "launch/launchcommand.h"
#include "launch/textreplace.h"
#include "platform/filenames.h"
#include "testutil.h"
#include "archivewriter.h"
#include "app/launcher.h"
#include "library/archives/romcache.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>

#ifndef Q_OS_WIN
#include <mutex>

#include <fcntl.h>
#include <unistd.h>
#endif

using namespace testutil;

namespace {

// A context that starts the real stand-in emulator, copied into the layout's application folder.
app::AppContext standInContext(Layout &layout)
{
    QDir().mkpath(layout.app());
    QFile::copy(QStringLiteral(STANDIN_EMULATOR), layout.emulator());
    return layout.startingContext();
}

// The stand-in logs its arguments, writes its battery save and ends at once, until the guard goes.
[[nodiscard]] auto standInSavesAndEnds()
{
    qputenv("NESTICLE_STANDIN_EXIT", "1");
    qputenv("NESTICLE_STANDIN_SAVE", "1");
    return qScopeGuard([] {
        qunsetenv("NESTICLE_STANDIN_EXIT");
        qunsetenv("NESTICLE_STANDIN_SAVE");
    });
}

// Splits a command line into arguments the way Windows programs do (blanks separate, double
// quotes group, backslashes escape a following quote): what a Windows emulator makes of the line.
QStringList splitCommandLine(const QString &commandLine)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool inQuotes = false;
    int backslashes = 0;
    const qsizetype length = commandLine.size();
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = commandLine.at(i);
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            inArgument = true;
            continue;
        }
        if (c == QLatin1Char('"')) {
            current += QString(backslashes / 2, QLatin1Char('\\'));
            const bool escaped = backslashes % 2 == 1;
            backslashes = 0;
            inArgument = true;
            if (escaped) {
                current += c;
            } else if (inQuotes && i + 1 < length && commandLine.at(i + 1) == QLatin1Char('"')) {
                current += c; // "" inside quotes stands for one quote
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
            continue;
        }
        current += QString(backslashes, QLatin1Char('\\'));
        backslashes = 0;
        if ((c == u' ' || c == u'\t') && !inQuotes) {
            if (inArgument)
                arguments.append(current);
            current.clear();
            inArgument = false;
            continue;
        }
        current += c;
        inArgument = true;
    }
    current += QString(backslashes, QLatin1Char('\\'));
    if (inArgument)
        arguments.append(current);
    return arguments;
}

QStringList sortedLines(const QByteArray &text)
{
    QStringList lines = QString::fromUtf8(text).split(u'\n', Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

} // namespace

class TestLaunch : public QObject
{
    Q_OBJECT
private slots:
    // Two zipped ROMs started at once, with a cache that holds only one: each emulator finds its
    // whole ROM as it starts, the other's unpack and trim notwithstanding, and the cache ends
    // holding the game started last.
    void twoArchiveLaunchesAtOnceEachStartWhole()
    {
        QTemporaryDir dir;
        writeProgram(dir.filePath(u"emu/nesticle.exe"_s));
        QStringList archives;
        for (char game : {'a', 'b'}) {
            archives << dir.filePath(u"%1.zip"_s.arg(QLatin1Char(game)));
            writeFile(archives.back(), makeArchive(ArchiveFormat::Zip, {{"Game.nes", nesRom(game, 8)}}));
        }
        struct Seen {
            std::mutex mutex;
            QList<QByteArray> roms; // what each start found in its ROM's file
        };
        const auto seen = std::make_shared<Seen>();
        app::Launcher::Places places{dir.filePath(u"emu"_s), {}, dir.filePath(u"cache"_s), 1,
                                     [seen](const platform::Command &command, const platform::ExitWatch &, QString *) {
                                         const std::lock_guard<std::mutex> lock(seen->mutex);
                                         for (const QString &argument : command.arguments) {
                                             if (argument.endsWith(u"Game.nes"_s))
                                                 seen->roms << readAll(argument);
                                         }
                                         return true;
                                     }};
        app::Launcher launcher(places, nullptr, {});
        QStringList failures;
        connect(&launcher, &app::Launcher::failed, &launcher, [&failures](const QString &text) { failures << text; });
        QSignalSpy started(&launcher, &app::Launcher::started);
        for (const QString &archive : archives)
            launcher.startFile(archive, platform::PathKind::RegularFile, {});
        QTRY_VERIFY2_WITH_TIMEOUT(started.size() + failures.size() == 2, qPrintable(failures.join(u"\n"_s)), 20000);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u"\n"_s)));
        const std::lock_guard<std::mutex> lock(seen->mutex);
        QCOMPARE(seen->roms, (QList<QByteArray>{nesRom('a', 8), nesRom('b', 8)}));
        QCOMPARE(library::RomCache(dir.filePath(u"cache"_s), 1).usedBytes(), nesRom('b', 8).size());
    }

    // The one place the whole command is spelt out: the line a Windows emulator is handed, and
    // the arguments any other is started with.
    void launchCommand_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("resolution");
        QTest::addColumn<Qt::CheckState>("sound");
        QTest::addColumn<int>("controller");
        QTest::addColumn<QString>("line"); // after "nesticle.exe -run "
        QTest::addColumn<QStringList>("arguments");
        const QString sample = u"C:\\Games\\Roms\\"_s;
        const QString native = QDir::separator();
        QTest::newRow("the worked example")
            << sample << "Sample.nes" << 4 << Qt::Unchecked << 1 << "C:\\Games\\Roms\\Sample.nes -nosound -res 320 240 -setinput 1 GRAVIS"
            << QStringList{"-run", "C:\\Games\\Roms\\Sample.nes", "-nosound", "-res", "320", "240", "-setinput", "1", "GRAVIS"};
        QTest::newRow("start-up state: an empty switch keeps its blank")
            << sample << "Sample.nes" << 4 << Qt::Checked << 1 << "C:\\Games\\Roms\\Sample.nes  -res 320 240 -setinput 1 GRAVIS"
            << QStringList{"-run", "C:\\Games\\Roms\\Sample.nes", "-res", "320", "240", "-setinput", "1", "GRAVIS"};
        QTest::newRow("grayed: sound on") << "/r/" << "a.nes" << 0 << Qt::PartiallyChecked << 0
                                          << "/r/a.nes  -res 256 224 -setinput 1 KEY1"
                                          << QStringList{"-run", "/r/a.nes", "-res", "256", "224", "-setinput", "1", "KEY1"};
        QTest::newRow("last of each") << "/r/" << "a.nes" << 5 << Qt::Unchecked << 2 << "/r/a.nes -nosound -res 640 480 -setinput 1 JOY1"
                                      << QStringList{"-run", "/r/a.nes", "-nosound", "-res", "640", "480", "-setinput", "1", "JOY1"};
        QTest::newRow("root with two separators")
            << "C:\\\\" << "Sample.nes" << 2 << Qt::Unchecked << 1 << "C:\\\\Sample.nes -nosound -res 256 256 -setinput 1 GRAVIS"
            << QStringList{"-run", "C:\\\\Sample.nes", "-nosound", "-res", "256", "256", "-setinput", "1", "GRAVIS"};
        QTest::newRow("none selected: three blanks") << "/r/" << "a.nes" << -1 << Qt::Checked << -1 << "/r/a.nes   "
                                                     << QStringList{"-run", "/r/a.nes"};
        QTest::newRow("typed without a separator: this system's one between")
            << "/home/me/roms" << "Sample.nes" << 3 << Qt::Unchecked << 1
            << "/home/me/roms" + native + "Sample.nes -nosound -res 320 200 -setinput 1 GRAVIS"
            << QStringList{"-run", "/home/me/roms" + native + "Sample.nes", "-nosound", "-res", "320", "200", "-setinput", "1", "GRAVIS"};
        QTest::newRow("no folder: the name alone") << "" << "a.nes" << 4 << Qt::Checked << 1 << "a.nes  -res 320 240 -setinput 1 GRAVIS"
                                                   << QStringList{"-run", "a.nes", "-res", "320", "240", "-setinput", "1", "GRAVIS"};
        QTest::newRow("a quote is quoted, and escaped")
            << "/r/" << "say\"hi\".nes" << 4 << Qt::Checked << 1 << "\"/r/say\\\"hi\\\".nes\"  -res 320 240 -setinput 1 GRAVIS"
            << QStringList{"-run", "/r/say\"hi\".nes", "-res", "320", "240", "-setinput", "1", "GRAVIS"};
        QTest::newRow("blanks are quoted")
            << "C:\\Games\\" << "Super Mario Bros. (W) [!].nes" << 1 << Qt::Checked << 1
            << "\"C:\\Games\\Super Mario Bros. (W) [!].nes\"  -res 256 240 -setinput 1 GRAVIS"
            << QStringList{"-run", "C:\\Games\\Super Mario Bros. (W) [!].nes", "-res", "256", "240", "-setinput", "1", "GRAVIS"};
        QTest::newRow("a quoted folder keeps its last backslash")
            << "C:\\My Roms\\" << "" << 4 << Qt::Unchecked << 1 << "\"C:\\My Roms\\\\\" -nosound -res 320 240 -setinput 1 GRAVIS"
            << QStringList{"-run", "C:\\My Roms\\", "-nosound", "-res", "320", "240", "-setinput", "1", "GRAVIS"};
    }

    void launchCommand()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(int, resolution);
        QFETCH(Qt::CheckState, sound);
        QFETCH(int, controller);
        QFETCH(QString, line);
        QFETCH(QStringList, arguments);
        const launch::LaunchCommand command = launch::launchCommand(folder, file, resolution, sound, controller);
        QCOMPARE(command.commandLine(), u"nesticle.exe -run "_s + line);
        QCOMPARE(command.arguments(), arguments);
        QCOMPARE(command.arguments().at(launch::LaunchCommand::kRomArgument), command.romPath);
        // What a Windows program makes of the line is what any other is handed.
        QCOMPARE(splitCommandLine(command.commandLine()).mid(1), arguments);
        // The shipped definition of Nesticle makes the very same line and arguments.
        launch::ExpandedCommand expanded;
        QString error;
        QVERIFY2(launch::expandCommand(launch::nesticleDefinition(), u"nesticle.exe"_s, command.romPath, {}, {resolution, sound, controller},
                                       &expanded, &error), qPrintable(error));
        QCOMPARE(expanded.windowsLine, command.commandLine());
        QCOMPARE(expanded.arguments, arguments);
        QCOMPARE(expanded.pathArguments, QList<qsizetype>{launch::LaunchCommand::kRomArgument});
    }

    void replaceAll_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every one, leftmost first") << "a.nes.b.nes" << ".nes" << ".jpg" << "a.jpg.b.jpg";
        QTest::newRow("case-sensitive") << "GAME.Nes" << ".nes" << ".jpg" << "GAME.Nes";
        QTest::newRow("searched again from the start") << "aabb" << "ab" << "" << "";
        QTest::newRow("refused: an empty search would never end") << "abc" << "" << "x" << "abc";
        QTest::newRow("refused: the replacement holds the search") << "a.nes" << ".nes" << "x.nes" << "a.nes";
    }

    void replaceAll()
    {
        QFETCH(QString, text);
        QFETCH(QString, search);
        QFETCH(QString, replacement);
        QFETCH(QString, expected);
        QCOMPARE(launch::replaceAll(text, search, replacement), expected);
        QCOMPARE(text, expected); // changed in place
    }

    void planFindsTheEmulatorOrSaysWhy()
    {
        QTemporaryDir dir;
        const QString emulator = dir.filePath(u"nesticle.exe"_s);
        const launch::LaunchCommand command = launch::launchCommand(u"/home/me/my roms/"_s, u"a.nes"_s, 4, Qt::Checked, 1);
        const launch::LaunchOptionsState options{4, Qt::Checked, 1};
        launch::LaunchPlan plan;
        QString error;
        const auto planNesticle = [&](const QString &folder, launch::LaunchPlan *into, const QString &romPath = u"/home/me/my roms/a.nes"_s) {
            return launch::planLaunch({}, romPath, options, folder, into, &error);
        };
        QVERIFY(!planNesticle(dir.path(), &plan) && !error.isEmpty());
        QCOMPARE(plan.tried, QDir::toNativeSeparators(emulator));
        writeProgram(emulator);
        QVERIFY2(planNesticle(dir.path(), &plan), qPrintable(error));
        QCOMPARE(plan.command.program, QDir::toNativeSeparators(emulator));
        QCOMPARE(plan.command.arguments, command.arguments());
        QCOMPARE(plan.romPath, u"/home/me/my roms/a.nes"_s);
        const QByteArray savedPath = qgetenv("PATH");
        const auto restore = qScopeGuard([&] { qputenv("PATH", savedPath); });
        qputenv("PATH", QFile::encodeName(QDir::toNativeSeparators(dir.path()))); // not in the application folder: on the search path
        launch::LaunchPlan found;
        QVERIFY(planNesticle(dir.filePath(u"elsewhere"_s), &found));
        QCOMPARE(QDir::fromNativeSeparators(found.command.program), QDir::fromNativeSeparators(emulator));
#ifdef Q_OS_WIN
        QCOMPARE(plan.command.commandLine, command.commandLine()); // handed over as built
#else
        // A Windows program runs through Wine, which must be on the search path.
        writeFile(emulator, "MZ\x90 a windows program");
        qputenv("PATH", dir.filePath(u"bin"_s).toLocal8Bit());
        QVERIFY(!planNesticle(dir.path(), &plan));
        QVERIFY2(error.contains("Wine"_L1), qPrintable(error));
        writeProgram(dir.filePath(u"bin/wine"_s));
        QVERIFY(planNesticle(dir.path(), &plan));
        QCOMPARE(plan.command.program, dir.filePath(u"bin/wine"_s));
        QCOMPARE(plan.command.arguments.first(), emulator);
        // The ROM in Wine's drive form, and nothing else changed: a switch that looks like a path
        // stays as it is.
        QStringList wineArguments = command.arguments();
        wineArguments[launch::LaunchCommand::kRomArgument] = u"Z:\\home\\me\\my roms\\a.nes"_s;
        QCOMPARE(plan.command.arguments.mid(1), wineArguments);
        launch::EmulatorRun pathLike{launch::nesticleDefinition(), {}};
        pathLike.definition.soundOn = u"/not/a/rom"_s;
        pathLike.found = launch::findEmulator(pathLike.definition, launch::SearchPlaces{dir.path(), {}, {}, {}, {}, {}});
        QVERIFY(launch::planLaunch(pathLike, command.romPath, options, dir.path(), &plan, &error));
        QCOMPARE(plan.command.arguments.at(3), u"/not/a/rom"_s);
        // Names Wine would hand on as another file, or as none: refused, with the reason.
        const QString undecodable = u"/r"_s + QChar(0xDCE9) + u"ms/"_s;
        for (const auto &[folder, reason] : {std::pair{u"/a\\b/"_s, "backslash"}, std::pair{undecodable, "UTF-8"}}) {
            QVERIFY(!planNesticle(dir.path(), &plan, folder + u"x.nes"_s));
            QVERIFY2(error.contains(QLatin1String(reason)), qPrintable(error));
        }
#endif
    }

    // A zipped ROM started with the real stand-in, which keeps a battery save beside the ROM it is
    // given: the exact command line, the file it got, and its save through a cache trimmed to
    // nothing and a restart, beside the ROM again at the next start.
    void aZippedRomKeepsTheEmulatorsSave()
    {
        const auto unset = standInSavesAndEnds();
        Layout layout;
        const QString roms = layout.dir.filePath(u"my roms"_s) + u'/';
        const QByteArray rom = nesRom('s', 2);
        writeFile(roms + u"game.zip"_s, makeArchive(ArchiveFormat::Zip, {{"Game (U).nes", rom}}));
        writeFile(roms + u"game.nes"_s, "the user's own game.nes");
        writeFile(layout.config(), configFor(roms, "", ""));
        app::AppContext context = standInContext(layout);
        context.romCacheFolder = layout.dir.filePath(u"cache/roms"_s);
        context.libraryFile = layout.dir.filePath(u"data/quorvane.db"_s);
        const QString gameFolder = context.romCacheFolder + u'/'
                                   + QString::fromLatin1(QCryptographicHash::hash(rom.mid(16), QCryptographicHash::Sha1).toHex());
        const QString log = layout.app() + u"/nesticle.log"_s, save = gameFolder + u"/Game (U).sav"_s;
        const QByteArray given = QCryptographicHash::hash(rom, QCryptographicHash::Sha1).toHex() + '\n';
        const launch::LaunchCommand expected =
            launch::launchCommand(QDir::toNativeSeparators(gameFolder + u'/'), u"Game (U).nes"_s, 4, Qt::Checked, 1);
        const QByteArray line = QJsonDocument(QJsonArray::fromStringList(expected.arguments())).toJson(QJsonDocument::Compact);
        for (int start = 1; start <= 2; ++start) { // the second after a restart
            app::MainWindow window(context);
            window.loadStartState();
            const MainControls controls(&window);
            QVERIFY(controls.list(0)->selectFile(u"game.zip"_s));
            window.launchRom(0);
            // Said on failure: what the program told, and what the emulator was asked.
            auto told = [&] {
                QStringList texts{QString::fromUtf8(readAll(log))};
                for (const auto &message : layout.recorder.messages)
                    texts << message.text;
                return texts.join(u'\n');
            };
            QTRY_VERIFY2_WITH_TIMEOUT(readAll(save).count('\n') == start, qPrintable(told()), 20000);
            QCOMPARE(readAll(save), given.repeated(start));
            QCOMPARE(readAll(log).trimmed().split('\n').value(start - 1).trimmed(), line);
            library::RomCache(context.romCacheFolder, 0).trim();
            QVERIFY(!QFile::exists(gameFolder + u"/Game (U).nes"_s));
            QCOMPARE(readAll(save), given.repeated(start));
        }
        QCOMPARE(readAll(roms + u"game.nes"_s), "the user's own game.nes");
        QVERIFY(layout.recorder.messages.isEmpty());
    }

    // The real stand-in emulator started through the main window: no shell, names arrive whole.
    void hostileNamesArriveAsOneArgument()
    {
        qputenv("NESTICLE_STANDIN_EXIT", "1"); // the stand-in logs its arguments and ends
        const auto unset = qScopeGuard([] { qunsetenv("NESTICLE_STANDIN_EXIT"); });
        Layout layout;
        const QString roms = QDir::toNativeSeparators(layout.dir.filePath(u"my roms"_s) + u'/');
        QStringList names{"Super Mario Bros. (W) [!].nes", "a;b&c^d$(touch x)`id`.nes", "it's.nes", "%PATH% 100%.nes",
                          "-nosound.nes", u"\u00FCn\u00EFc\u00F6d\u00E9 \u30B2\u30FC\u30E0.nes"_s, " leading.nes"};
#ifndef Q_OS_WIN // names Windows does not allow
        names << "say \"hi\".nes" << "say\"hi\"\\.nes" << "pipe|d.nes" << "back\\slash\\.nes" << "tab\there.nes";
#endif
        QStringList expected, lines;
        for (const QString &name : names) {
            const launch::LaunchCommand command = launch::launchCommand(roms, name, 4, Qt::Unchecked, 1);
            lines << command.commandLine();
            writeFile(roms + name, "NES\x1A");
            expected << QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(command.arguments())).toJson(QJsonDocument::Compact));
        }
        writeFile(layout.config(), configFor(roms, "", ""));
        app::MainWindow window(standInContext(layout));
        window.loadStartState();
        const MainControls controls(&window);
        controls.sound->setCheckState(Qt::Unchecked);
        for (const QString &name : names) {
            QVERIFY(controls.list(0)->selectFile(name));
            window.launchRom(0);
        }
        const QString log = layout.app() + u"/nesticle.log"_s;
        QTRY_VERIFY_WITH_TIMEOUT(readAll(log).count('\n') >= names.size(), 20000);
        expected.sort();
        QCOMPARE(sortedLines(readAll(log)), expected);
        QVERIFY(layout.recorder.messages.isEmpty());
        QVERIFY(!QFileInfo::exists(layout.app() + u"/x"_s)); // no shell ran anything
#ifdef Q_OS_WIN // the very line that was built, not one quoted anew
        lines.sort();
        QCOMPARE(sortedLines(readAll(layout.app() + u"/nesticle.cmdline"_s)), lines);
#endif
    }

#ifndef Q_OS_WIN
    // A name that is not UTF-8 keeps its bytes all the way: in the log of the launch, and to the
    // emulator, which opens the file (the stand-in writes its save beside it).
    void aNameThatIsNotUtf8KeepsItsBytes()
    {
        const auto unset = standInSavesAndEnds();
        Layout layout;
        const QByteArray folder = QFile::encodeName(layout.rom(0));
        const QByteArray name = "Caf\xE9 Latin1 (Europe).nes";
        QVERIFY(QDir().mkpath(layout.rom(0)));
        QFile rom;
        QVERIFY(rom.open(::open(folder + name, O_WRONLY | O_CREAT, 0644), QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        QCOMPARE(rom.write("NES\x1A"), 4);
        rom.close();
        writeFile(layout.config(), configFor(layout.rom(0), "", ""));
        const app::AppContext context = standInContext(layout);
        app::MainWindow window(context);
        window.loadStartState();
        QVERIFY(MainControls(&window).list(0)->selectFile(platform::fromSystem8Bit(name)));
        window.launchRom(0);
        const QByteArray save = folder + "Caf\xE9 Latin1 (Europe).sav";
        QTRY_VERIFY_WITH_TIMEOUT(::access(save.constData(), F_OK) == 0, 20000);
        QVERIFY(readAll(context.logFolder + u"/last-launch.log"_s).contains(folder + name));
        QVERIFY(layout.recorder.messages.isEmpty());
        // Qt removes no name that is not UTF-8: the temporary folder is left empty of them.
        QCOMPARE(::unlink(save.constData()), 0);
        QCOMPARE(::unlink((folder + name).constData()), 0);
    }
#endif

    void startsInTheGivenFolderOrSaysWhy()
    {
        QTemporaryDir dir;
#ifdef Q_OS_WIN
        const platform::Command command{qEnvironmentVariable("ComSpec"), {}, u"cmd /c cd > where.txt"_s, dir.path(), {}};
#else
        const platform::Command command{u"/bin/sh"_s, {"-c", "pwd > where.txt"}, {}, dir.path(), {}};
#endif
        QString error;
        QVERIFY2(platform::startDetached(command, {}, &error), qPrintable(error));
        const QString where = dir.filePath(u"where.txt"_s);
        QTRY_VERIFY_WITH_TIMEOUT(readAll(where).endsWith('\n'), 20000);
        QCOMPARE(QDir(QString::fromLocal8Bit(readAll(where).trimmed())).canonicalPath(), QDir(dir.path()).canonicalPath());
        QVERIFY(!platform::startDetached({dir.filePath(u"no-such-program"_s), {}, {}, dir.path(), {}}, {}, &error));
        QVERIFY(!error.isEmpty());
    }

    void anEmulatorThatFailsSaysWhy_data()
    {
        QTest::addColumn<QString>("fail"); // the stand-in's exit status, delay and words
        QTest::addColumn<QString>("reported"); // what the message says of the end; empty: no message
        QTest::newRow("fails at once") << "3 0 bad header" << "exit status 3";
        QTest::newRow("ends well at once") << "0 0 all good" << "";
        QTest::newRow("fails after 6 s") << "1 6000 the user quit" << "";
#ifndef Q_OS_WIN
        QTest::newRow("ended by a signal") << "-6 0 aborted" << "ended by signal 6";
#endif
    }

    // The emulator's output goes to the log of the last launch, and a failure in its first seconds
    // is told with its last words; an end with status 0, or a later one, is the user quitting.
    void anEmulatorThatFailsSaysWhy()
    {
        QFETCH(QString, fail);
        QFETCH(QString, reported);
        const int delay = fail.section(u' ', 1, 1).toInt();
        if (delay > 5000)
            QUORVANE_HEAVY_TEST();
        const QByteArray words = fail.section(u' ', 2).toUtf8();
        qputenv("NESTICLE_STANDIN_FAIL", fail.toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("NESTICLE_STANDIN_FAIL"); });
        Layout layout;
        writeFile(layout.rom(0) + u"a.nes"_s, "NES\x1A");
        writeFile(layout.config(), configFor(layout.rom(0), "", ""));
        const app::AppContext context = standInContext(layout);
        app::MainWindow window(context);
        window.loadStartState();
        QVERIFY(MainControls(&window).list(0)->selectFile(u"a.nes"_s));
        window.launchRom(0); // returns at once, whatever the emulator does
        const QString log = context.logFolder + u"/last-launch.log"_s;
        QTRY_VERIFY_WITH_TIMEOUT(readAll(log).contains("stand-in error: " + words), 20000);
        QVERIFY(readAll(log).contains("nesticle.exe -run ") && readAll(log).contains("stand-in output: " + words));
        if (reported.isEmpty()) {
            QTest::qWait(delay + 1500);
            QVERIFY(layout.recorder.messages.isEmpty());
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(layout.recorder.messages.size(), 1, 20000);
        const QString text = layout.recorder.messages.front().text;
        for (const QString &part : {reported, u"stand-in error: "_s + words, QDir::toNativeSeparators(log)})
            QVERIFY2(text.contains(part), qPrintable(text));
    }

    void aLateEndGoesNowhereOnceQuit()
    {
        qputenv("NESTICLE_STANDIN_FAIL", "3 300 late");
        const auto unset = qScopeGuard([] { qunsetenv("NESTICLE_STANDIN_FAIL"); });
        QProcess program;
        program.start(QStringLiteral(LATE_EXIT), {QStringLiteral(STANDIN_EMULATOR)});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        const QByteArray reported = program.readAllStandardOutput();
        QVERIFY2(reported.contains("quit cleanly") && !reported.contains("told"), reported.constData());
    }
};

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
