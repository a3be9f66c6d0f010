// The emulator's command line, the snapshot, and the real stand-in emulator started for real.

#include "forms/filelistbox.h"
#include "launch/emulator.h"
#include "launch/launchcommand.h"
#include "launch/textreplace.h"
#include "preview/snapshot.h"
#include "platform/folders.h"
#include "preview/snapshotloader.h"
#include "testutil.h"

#include <QCheckBox>

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QProcess>
#include <QScopeGuard>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace testutil;

class TestLaunch : public QObject
{
    Q_OBJECT
private slots:
    void launchCommand_data();
    void launchCommand();
    void romPathArrivesWhole_data();
    void romPathArrivesWhole();
    void replaceAll_data();
    void replaceAll();
    void snapshotDecodesOnlyTheVisiblePart();
    void snapshotsNeverHoldUpTheWindow();
    void planFindsTheEmulatorOrSaysWhy();
    void hostileNamesArriveAsOneArgument();
    void startsInTheGivenFolderOrSaysWhy();
    void foldersReadAsTheSystemReadsThem();
    void anEmulatorThatFailsSaysWhy_data();
    void anEmulatorThatFailsSaysWhy();
    void aLateEndGoesNowhereOnceQuit();
};

void TestLaunch::anEmulatorThatFailsSaysWhy_data()
{
    QTest::addColumn<QString>("fail"); // the stand-in's exit status, delay and words
    QTest::addColumn<QString>("said"); // what the message says of the end; empty: no message
    QTest::newRow("fails at once") << "3 0 bad header" << "exit status 3";
    QTest::newRow("ends well at once") << "0 0 all good" << "";
    QTest::newRow("fails after 6 s") << "1 6000 the user quit" << "";
#ifndef Q_OS_WIN
    QTest::newRow("ended by a signal") << "-6 0 aborted" << "ended by signal 6";
#endif
}

// The emulator's output goes to the log of the last launch, and a failure in its first seconds
// is told with its last words; an end with status 0, or a later one, is the user quitting.
void TestLaunch::anEmulatorThatFailsSaysWhy()
{
    QFETCH(QString, fail);
    QFETCH(QString, said);
    const int delay = fail.section(QLatin1Char(' '), 1, 1).toInt();
    if (delay > 5000)
        QUORVANE_HEAVY_TEST();
    const QString words = fail.section(QLatin1Char(' '), 2);
    qputenv("NESTICLE_STANDIN_FAIL", fail.toUtf8());
    const auto unset = qScopeGuard([] { qunsetenv("NESTICLE_STANDIN_FAIL"); });
    Layout layout;
    writeFile(layout.rom(1) + QStringLiteral("a.nes"), "NES\x1A");
    writeFile(layout.config(), configFor(layout.rom(1), "", ""));
    QDir().mkpath(layout.app());
    QVERIFY(QFile::copy(QStringLiteral(STANDIN_EMULATOR), layout.app() + QStringLiteral("/nesticle.exe")));
    app::AppContext context = layout.recorder.context(layout.app(), layout.config());
    context.start = platform::startDetached;
    context.logFolder = layout.dir.filePath(QStringLiteral("cache"));
    app::MainWindow window(context);
    window.loadStartState();
    QVERIFY(MainControls(&window).list(1)->selectFile(QStringLiteral("a.nes")));
    window.launchRom(1); // returns at once, whatever the emulator does
    const QString log = context.logFolder + QStringLiteral("/last-launch.log");
    QTRY_VERIFY_WITH_TIMEOUT(readAll(log).contains("stand-in error: " + words.toUtf8()), 20000);
    const QByteArray written = readAll(log);
    QVERIFY(written.contains("nesticle.exe -run ") && written.contains("stand-in output: " + words.toUtf8()));
    if (said.isEmpty()) {
        QTest::qWait(delay + 1500);
        QVERIFY(layout.recorder.messages.isEmpty());
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(layout.recorder.messages.size(), 1, 20000);
    const QString text = layout.recorder.messages.front().text;
    for (const QString &part : {said, QStringLiteral("stand-in error: ") + words, QDir::toNativeSeparators(log)})
        QVERIFY2(text.contains(part), qPrintable(text));
}

void TestLaunch::aLateEndGoesNowhereOnceQuit()
{
    qputenv("NESTICLE_STANDIN_FAIL", "3 300 late");
    const auto unset = qScopeGuard([] { qunsetenv("NESTICLE_STANDIN_FAIL"); });
    QProcess program;
    program.start(QStringLiteral(LATE_EXIT), {QStringLiteral(STANDIN_EMULATOR)});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QString said = QString::fromLocal8Bit(program.readAllStandardOutput());
    QVERIFY2(said.contains(QLatin1String("quit cleanly")) && !said.contains(QLatin1String("told")), qPrintable(said));
}

// A folder text is read against the application folder as the system reads it while that folder is
// current: on Windows "\\roms" is its drive's root, "D:roms" drive D's own folder.
void TestLaunch::foldersReadAsTheSystemReadsThem()
{
    QTemporaryDir dir;
    const QString base = QDir::toNativeSeparators(dir.path());
    QCOMPARE(platform::absoluteFolder(QString(), base), QString());
#ifdef Q_OS_WIN
    QDir::setCurrent(base);
    const auto leave = qScopeGuard([] { QDir::setCurrent(QDir::tempPath()); });
    for (const QString &text : {QStringLiteral("roms"), QStringLiteral("roms\\"), QStringLiteral(".\\roms"),
                                QStringLiteral("..\\x\\roms"), QStringLiteral("\\roms"), base.left(2) + QStringLiteral("roms"),
                                QStringLiteral("Z:roms"), QStringLiteral("Z:\\roms"), QStringLiteral("C:\\a\\")}) {
        wchar_t buffer[4096] = {};
        const std::wstring wide = text.toStdWString();
        const DWORD length = GetFullPathNameW(wide.c_str(), 4096, buffer, nullptr);
        QCOMPARE(QDir::cleanPath(platform::absoluteFolder(text, base)), QDir::cleanPath(QString::fromWCharArray(buffer, int(length))));
    }
#else
    QCOMPARE(platform::absoluteFolder(QStringLiteral("roms/"), QStringLiteral("/emu")), QStringLiteral("/emu/roms/"));
    QCOMPARE(platform::absoluteFolder(QStringLiteral("/abs/"), QStringLiteral("/emu")), QStringLiteral("/abs/"));
    QCOMPARE(platform::absoluteFolder(QStringLiteral("C:\\roms"), QStringLiteral("/emu/")), QStringLiteral("/emu/C:\\roms"));
#endif
}

void TestLaunch::launchCommand_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<Qt::CheckState>("sound");
    QTest::addColumn<int>("controller");
    QTest::addColumn<QString>("expected");

    QTest::newRow("the worked example") << "C:\\Games\\Roms\\" << "Sample.nes" << 4 << Qt::Unchecked << 1
        << "nesticle.exe -run C:\\Games\\Roms\\Sample.nes -nosound -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("start-up state: an empty switch keeps its blank") << "C:\\Games\\Roms\\" << "Sample.nes" << 4 << Qt::Checked << 1
        << "nesticle.exe -run C:\\Games\\Roms\\Sample.nes  -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("grayed: sound on") << "/r/" << "a.nes" << 0 << Qt::PartiallyChecked << 0
        << "nesticle.exe -run /r/a.nes  -res 256 224 -setinput 1 KEY1";
    QTest::newRow("last of each") << "/r/" << "a.nes" << 5 << Qt::Unchecked << 2
        << "nesticle.exe -run /r/a.nes -nosound -res 640 480 -setinput 1 JOY1";
    QTest::newRow("root with two separators") << "C:\\\\" << "Sample.nes" << 2 << Qt::Unchecked << 1
        << "nesticle.exe -run C:\\\\Sample.nes -nosound -res 256 256 -setinput 1 GRAVIS";
    QTest::newRow("none selected: three blanks") << "/r/" << "a.nes" << -1 << Qt::Checked << -1 << "nesticle.exe -run /r/a.nes   ";
    QTest::newRow("typed without a separator: this system's one between")
        << "/home/me/roms" << "Sample.nes" << 3 << Qt::Unchecked << 1
        << "nesticle.exe -run /home/me/roms" + QString(QDir::separator()) + "Sample.nes -nosound -res 320 200 -setinput 1 GRAVIS";
    QTest::newRow("no folder: the name alone") << "" << "a.nes" << 4 << Qt::Checked << 1
        << "nesticle.exe -run a.nes  -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("blanks are quoted") << "C:\\Games\\" << "Super Mario Bros. (W) [!].nes" << 1 << Qt::Checked << 1
        << "nesticle.exe -run \"C:\\Games\\Super Mario Bros. (W) [!].nes\"  -res 256 240 -setinput 1 GRAVIS";
    QTest::newRow("a quoted folder keeps its last backslash") << "C:\\My Roms\\" << "" << 4 << Qt::Unchecked << 1
        << "nesticle.exe -run \"C:\\My Roms\\\\\" -nosound -res 320 240 -setinput 1 GRAVIS";
}

void TestLaunch::launchCommand()
{
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(int, resolution);
    QFETCH(Qt::CheckState, sound);
    QFETCH(int, controller);
    QFETCH(QString, expected);
    QCOMPARE(launch::launchCommandLine(folder, file, resolution, sound, controller), expected);
}

void TestLaunch::romPathArrivesWhole_data()
{
    QTest::addColumn<QString>("path");
    for (const QString &path : {QStringLiteral("/my roms/a\tb (W) [!].nes"), QStringLiteral("/r/say\"hi\".nes"),
                                QStringLiteral("C:\\a\\\\say \"hi\".nes"), QStringLiteral("C:\\my roms\\\\"),
                                QStringLiteral("/r/a;b&c|d$(rm -rf x)`e`'f'%PATH%.nes"),
                                QStringLiteral("/r\u00F6ms/-nosound \u30B2\u30FC\u30E0.nes")})
        QTest::newRow(qPrintable(path)) << path;
}

// Whatever the name, Windows' way of splitting the line gives the ROM path back whole.
void TestLaunch::romPathArrivesWhole()
{
    QFETCH(QString, path);
    QCOMPARE(launch::splitCommandLine(launch::launchCommandLine(path, QString(), 5, Qt::Unchecked, 2)),
             (QStringList{"nesticle.exe", "-run", path, "-nosound", "-res", "640", "480", "-setinput", "1", "JOY1"}));
}

void TestLaunch::replaceAll_data()
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

void TestLaunch::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    QCOMPARE(launch::replaceAll(text, search, replacement), expected);
    QCOMPARE(text, expected); // changed in place
    // The snapshot's path is the ROM's name so changed, in the application folder's snap/.
    QCOMPARE(preview::snapshotPath(QStringLiteral("/opt/emu"), QStringLiteral("a.nes.b.nes")), QStringLiteral("/opt/emu/snap/a.jpg.b.jpg"));
    QCOMPARE(preview::snapshotPath(QStringLiteral("/opt/emu.nes"), QStringLiteral("GAME.NES")), QStringLiteral("/opt/emu.jpg/snap/GAME.NES"));
}

void TestLaunch::snapshotDecodesOnlyTheVisiblePart()
{
    QTemporaryDir dir;
    QImage big(600, 500, QImage::Format_RGB32);
    big.fill(Qt::blue);
    QPainter(&big).fillRect(0, 0, 16, 16, Qt::red);
    QVERIFY(big.save(dir.filePath(QStringLiteral("big.jpg")), "JPEG", 95));
    const QImage shown = preview::loadSnapshot(dir.filePath(QStringLiteral("big.jpg")), QSize(253, 221));
    QCOMPARE(shown.size(), QSize(253, 221)); // cut at the box, not scaled
    QVERIFY(qRed(shown.pixel(4, 4)) > 200 && qBlue(shown.pixel(200, 200)) > 200);
    QVERIFY(QImage(40, 30, QImage::Format_RGB32).save(dir.filePath(QStringLiteral("small.png"))));
    QCOMPARE(preview::loadSnapshot(dir.filePath(QStringLiteral("small.png")), QSize(253, 221)).size(), QSize(40, 30));

    writeFile(dir.filePath(QStringLiteral("bad.jpg")), "\xFF\xD8\xFF no picture after all");
    for (const char *name : {"missing.jpg", "bad.jpg", ""}) // a folder, for no selection
        QVERIFY(preview::loadSnapshot(dir.filePath(QLatin1String(name)), QSize(10, 10)).isNull());
}

// The window hands decodes to another thread: it goes on handling events while one runs, and a
// newer selection stops the older decode, whose picture is never shown.
void TestLaunch::snapshotsNeverHoldUpTheWindow()
{
    QAtomicInt stopped;
    preview::SnapshotLoader loader(nullptr, [&](const QString &path, const QSize &, const preview::CancelCheck &cancelled) {
        QImage picture(1, 1, QImage::Format_RGB32);
        picture.fill(path == QLatin1String("slow") ? Qt::red : Qt::green);
        QDeadlineTimer patience(10000);
        while (path == QLatin1String("slow") && !cancelled() && !patience.hasExpired())
            QThread::msleep(1);
        if (path == QLatin1String("slow"))
            stopped.storeRelaxed(cancelled() ? 1 : -1);
        return picture;
    });
    QList<QRgb> shown;
    connect(&loader, &preview::SnapshotLoader::loaded, this, [&](const QImage &picture) { shown.append(picture.pixel(0, 0)); });
    loader.request(QStringLiteral("slow"), QSize(10, 10));
    bool handled = false;
    QTimer::singleShot(0, this, [&] { handled = true; });
    QTRY_VERIFY(handled); // the event loop runs while the slow decode does
    loader.request(QStringLiteral("fast"), QSize(10, 10));
    QTRY_COMPARE(stopped.loadRelaxed(), 1);
    QTRY_COMPARE(shown.size(), 1);
    QTest::qWait(50);
    QCOMPARE(shown, QList<QRgb>{QColor(Qt::green).rgb()});
}

void TestLaunch::planFindsTheEmulatorOrSaysWhy()
{
    QTemporaryDir dir;
    const QString emulator = dir.filePath(QStringLiteral("nesticle.exe"));
    const QString line = launch::launchCommandLine(QStringLiteral("/home/me/my roms/"), QStringLiteral("a.nes"), 4, Qt::Checked, 1);
    launch::LaunchPlan plan;
    QString error;
    QVERIFY(!launch::planLaunch(line, dir.path(), &plan, &error) && !error.isEmpty());
    QCOMPARE(plan.tried, QDir::toNativeSeparators(emulator));

    writeFile(emulator, "#!/bin/sh\n");
    QFile::setPermissions(emulator, QFile::permissions(emulator) | QFileDevice::ExeOwner);
    QVERIFY2(launch::planLaunch(line, dir.path(), &plan, &error), qPrintable(error));
    QCOMPARE(plan.command.program, QDir::toNativeSeparators(emulator));
    QCOMPARE(plan.command.arguments, (QStringList{"-run", "/home/me/my roms/a.nes", "-res", "320", "240", "-setinput", "1", "GRAVIS"}));
    const QByteArray savedPath = qgetenv("PATH"); // not in the application folder: on the search path
    qputenv("PATH", QFile::encodeName(QDir::toNativeSeparators(dir.path())));
    launch::LaunchPlan found;
    QVERIFY(launch::planLaunch(line, dir.filePath(QStringLiteral("elsewhere")), &found, &error));
    QCOMPARE(QDir::fromNativeSeparators(found.command.program), QDir::fromNativeSeparators(emulator));
    qputenv("PATH", savedPath);
#ifdef Q_OS_WIN
    QCOMPARE(plan.command.commandLine, line); // handed over as built
#else
    // A Windows program runs through Wine, which must be on the search path.
    writeFile(emulator, "MZ\x90 a windows program");
    qputenv("PATH", dir.filePath(QStringLiteral("bin")).toLocal8Bit());
    QVERIFY(!launch::planLaunch(line, dir.path(), &plan, &error));
    QVERIFY2(error.contains(QLatin1String("Wine")), qPrintable(error));
    const QString wine = dir.filePath(QStringLiteral("bin/wine"));
    writeFile(wine, "#!/bin/sh\n");
    QFile::setPermissions(wine, QFile::permissions(wine) | QFileDevice::ExeOwner);
    QVERIFY(launch::planLaunch(line, dir.path(), &plan, &error));
    QCOMPARE(plan.command.program, wine);
    QCOMPARE(plan.command.arguments, (QStringList{emulator, "-run", "Z:\\home\\me\\my roms\\a.nes", "-res", "320", "240",
                                                  "-setinput", "1", "GRAVIS"}));
    // Names Wine would hand on as another file, or as none: refused, with the reason.
    const QString undecodable = QStringLiteral("/r") + QChar(0xDCE9) + QStringLiteral("ms/");
    for (const auto &[folder, reason] : {std::pair{QStringLiteral("/a\\b/"), "backslash"}, std::pair{undecodable, "UTF-8"}}) {
        QVERIFY(!launch::planLaunch(launch::launchCommandLine(folder, QStringLiteral("x.nes"), 4, Qt::Checked, 1), dir.path(),
                                    &plan, &error));
        QVERIFY2(error.contains(QLatin1String(reason)), qPrintable(error));
    }
    qputenv("PATH", savedPath);
#endif
}

// The real stand-in emulator started through the main window: no shell, names arrive whole.
void TestLaunch::hostileNamesArriveAsOneArgument()
{
    qputenv("NESTICLE_STANDIN_EXIT", "1"); // the stand-in logs its arguments and ends
    const auto unset = qScopeGuard([] { qunsetenv("NESTICLE_STANDIN_EXIT"); });
    Layout layout;
    const QString roms = QDir::toNativeSeparators(layout.dir.filePath(QStringLiteral("my roms")) + QLatin1Char('/'));
    QStringList names{"Super Mario Bros. (W) [!].nes", "a;b&c^d$(touch x)`id`.nes", "it's.nes", "%PATH% 100%.nes",
                      "-nosound.nes", QStringLiteral("\u00FCn\u00EFc\u00F6d\u00E9 \u30B2\u30FC\u30E0.nes"), " leading.nes"};
#ifndef Q_OS_WIN // names Windows does not allow
    names << "say \"hi\".nes" << "pipe|d.nes" << "back\\slash\\.nes" << "tab\there.nes";
#endif
    QStringList expected, lines;
    for (const QString &name : names) {
        lines << launch::launchCommandLine(roms, name, 4, Qt::Unchecked, 1);
        writeFile(roms + name, "NES\x1A");
        const QStringList arguments{"-run", roms + name, "-nosound", "-res", "320", "240", "-setinput", "1", "GRAVIS"};
        expected << QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact));
    }
    writeFile(layout.config(), configFor(roms, "", ""));
    QDir().mkpath(layout.app());
    app::AppContext context = layout.recorder.context(layout.app(), layout.config());
    context.start = platform::startDetached; // the real thing
    app::MainWindow window(context);
    window.loadStartState();
    auto *list = child<forms::FileListBox>(&window, QStringLiteral("File1"));
    list->selectFile(names.front());
    window.launchRom(1); // no emulator yet: said, and the window goes on
    QVERIFY(layout.recorder.messages.value(0).text.contains(QDir::toNativeSeparators(layout.app() + "/nesticle.exe")));

    QVERIFY(QFile::copy(QStringLiteral(STANDIN_EMULATOR), layout.app() + QStringLiteral("/nesticle.exe")));
    child<QCheckBox>(&window, QStringLiteral("Check1"))->setCheckState(Qt::Unchecked);
    for (const QString &name : names) {
        QVERIFY(list->selectFile(name));
        window.launchRom(1);
    }
    const QString log = layout.app() + QStringLiteral("/nesticle.log");
    for (QDeadlineTimer deadline(20000); readAll(log).count('\n') < names.size() && !deadline.hasExpired();)
        QTest::qWait(20);
    QStringList received = QString::fromUtf8(readAll(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    received.sort();
    expected.sort();
    QCOMPARE(received.join(QLatin1Char('\n')), expected.join(QLatin1Char('\n')));
    QCOMPARE(layout.recorder.messages.size(), 1);
    QVERIFY(!QFileInfo::exists(layout.app() + QStringLiteral("/x"))); // no shell ran anything
#ifdef Q_OS_WIN // the very line that was built, not one quoted anew
    received = QString::fromUtf8(readAll(layout.app() + QStringLiteral("/nesticle.cmdline"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    received.sort();
    lines.sort();
    QCOMPARE(received.join(QLatin1Char('\n')), lines.join(QLatin1Char('\n')));
#endif
}

void TestLaunch::startsInTheGivenFolderOrSaysWhy()
{
    QTemporaryDir dir;
#ifdef Q_OS_WIN
    const QString shell = qEnvironmentVariable("ComSpec");
    const platform::Command command{shell, {}, QStringLiteral("cmd /c cd > where.txt"), dir.path(), {}};
#else
    const platform::Command command{QStringLiteral("/bin/sh"), {"-c", "pwd > where.txt"}, {}, dir.path(), {}};
#endif
    QString error;
    QVERIFY2(platform::startDetached(command, {}, &error), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(readAll(dir.filePath(QStringLiteral("where.txt"))).endsWith('\n'), 20000);
    QCOMPARE(QDir(QString::fromLocal8Bit(readAll(dir.filePath(QStringLiteral("where.txt"))).trimmed())).canonicalPath(),
             QDir(dir.path()).canonicalPath());
    QVERIFY(!platform::startDetached({dir.filePath(QStringLiteral("no-such-program")), {}, {}, dir.path(), {}}, {}, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
