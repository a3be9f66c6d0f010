#include "launch/emulator.h"
#include "launch/launchcommand.h"
#include "launch/module1.h"
#include "launch/snapshot.h"
#include "testutil.h"

#include <QImageWriter>
#include <QTest>

using namespace testutil;

class TestLaunch : public QObject
{
    Q_OBJECT
private slots:
    void launchCommand_data();
    void launchCommand();
    void windowsSplittingKeepsTheRomPathWhole_data();
    void windowsSplittingKeepsTheRomPathWhole();
    void replaceAll_data();
    void replaceAll();
    void replaceAllChangesItsArgument();
    void snapshotPath_data();
    void snapshotPath();
    void snapshotDecodesOnlyTheVisiblePart();
    void snapshotFailuresGiveNoPicture();
    void planFindsTheEmulator();
    void planRunsWindowsProgramsThroughWine();
};

void TestLaunch::launchCommand_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("sound");
    QTest::addColumn<int>("controller");
    QTest::addColumn<QString>("expected");

    QTest::newRow("worked example") << "C:\\Games\\Roms\\" << "Sample.nes" << 4 << 0 << 1
        << "nesticle.exe -run C:\\Games\\Roms\\Sample.nes -nosound -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("start-up state") << "C:\\Games\\Roms\\" << "Sample.nes" << 4 << 1 << 1
        << "nesticle.exe -run C:\\Games\\Roms\\Sample.nes  -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("grayed sound is sound") << "/r/" << "a.nes" << 4 << 2 << 1
        << "nesticle.exe -run /r/a.nes  -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("every resolution 0") << "/r/" << "a.nes" << 0 << 0 << 0
        << "nesticle.exe -run /r/a.nes -nosound -res 256 224 -setinput 1 KEY1";
    QTest::newRow("resolution 1, joystick") << "/r/" << "a.nes" << 1 << 0 << 2
        << "nesticle.exe -run /r/a.nes -nosound -res 256 240 -setinput 1 JOY1";
    QTest::newRow("resolution 2") << "/r/" << "a.nes" << 2 << 0 << 0
        << "nesticle.exe -run /r/a.nes -nosound -res 256 256 -setinput 1 KEY1";
    QTest::newRow("resolution 3") << "/r/" << "a.nes" << 3 << 0 << 0
        << "nesticle.exe -run /r/a.nes -nosound -res 320 200 -setinput 1 KEY1";
    QTest::newRow("resolution 5") << "/r/" << "a.nes" << 5 << 0 << 0
        << "nesticle.exe -run /r/a.nes -nosound -res 640 480 -setinput 1 KEY1";
    QTest::newRow("no resolution") << "/r/" << "a.nes" << -1 << 0 << 1
        << "nesticle.exe -run /r/a.nes -nosound  -setinput 1 GRAVIS";
    QTest::newRow("no resolution, sound on: three blanks") << "/r/" << "a.nes" << -1 << 1 << 1
        << "nesticle.exe -run /r/a.nes   -setinput 1 GRAVIS";
    QTest::newRow("resolution out of range") << "/r/" << "a.nes" << 6 << 0 << 1
        << "nesticle.exe -run /r/a.nes -nosound  -setinput 1 GRAVIS";
    QTest::newRow("no controller: trailing blank") << "/r/" << "a.nes" << 4 << 0 << -1
        << "nesticle.exe -run /r/a.nes -nosound -res 320 240 ";
    QTest::newRow("controller out of range") << "/r/" << "a.nes" << 4 << 0 << 3
        << "nesticle.exe -run /r/a.nes -nosound -res 320 240 ";
    QTest::newRow("no file selected") << "C:\\Games\\Roms\\" << "" << 4 << 0 << 1
        << "nesticle.exe -run C:\\Games\\Roms\\ -nosound -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("folder without separator") << "C:\\Games\\Roms" << "Sample.nes" << 4 << 0 << 1
        << "nesticle.exe -run C:\\Games\\RomsSample.nes -nosound -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("root doubled separator") << "C:\\\\" << "Sample.nes" << 4 << 0 << 1
        << "nesticle.exe -run C:\\\\Sample.nes -nosound -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("posix root doubled") << "//" << "Sample.nes" << 4 << 0 << 1
        << "nesticle.exe -run //Sample.nes -nosound -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("blank in name is quoted") << "C:\\Games\\" << "Super Mario Bros. (W) [!].nes" << 4 << 1 << 1
        << "nesticle.exe -run \"C:\\Games\\Super Mario Bros. (W) [!].nes\"  -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("blank in folder, none selected") << "C:\\My Roms\\" << "" << 4 << 0 << 1
        << "nesticle.exe -run \"C:\\My Roms\\\\\" -nosound -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("tab is quoted") << "/r/" << "a\tb.nes" << 4 << 0 << 1
        << "nesticle.exe -run \"/r/a\tb.nes\" -nosound -res 320 240 -setinput 1 GRAVIS";
}

void TestLaunch::launchCommand()
{
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(int, resolution);
    QFETCH(int, sound);
    QFETCH(int, controller);
    QFETCH(QString, expected);
    QCOMPARE(launch::LaunchCommand(folder, file, resolution, sound, controller), expected);
}

void TestLaunch::windowsSplittingKeepsTheRomPathWhole_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::newRow("plain") << "/roms/" << "game.nes";
    QTest::newRow("blanks") << "/my roms/" << "Super Mario Bros. (W) [!].nes";
    QTest::newRow("quotes") << "/r/" << "say \"hi\".nes";
    QTest::newRow("quote after backslashes") << "C:\\a\\\\" << "\"x\".nes";
    QTest::newRow("trailing backslashes") << "C:\\my roms\\\\" << "";
    QTest::newRow("shell characters") << "/r/" << "a;b&c|d$(rm -rf x)`e`'f'.nes";
    QTest::newRow("non-ascii") << "/r\u00F6ms/" << "\u30B2\u30FC\u30E0 1.nes";
    QTest::newRow("leading dash and blanks") << "/r/" << "-nosound x.nes";
}

void TestLaunch::windowsSplittingKeepsTheRomPathWhole()
{
    QFETCH(QString, folder);
    QFETCH(QString, file);
    const QStringList arguments = launch::splitCommandLine(launch::LaunchCommand(folder, file, 5, 0, 2));
    QCOMPARE(arguments, (QStringList{"nesticle.exe", "-run", folder + file, "-nosound", "-res", "640", "480",
                                     "-setinput", "1", "JOY1"}));
}

void TestLaunch::replaceAll_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one") << "game.nes" << ".nes" << ".jpg" << "game.jpg";
    QTest::newRow("two") << "a.nes.b.nes" << ".nes" << ".jpg" << "a.jpg.b.jpg";
    QTest::newRow("case-sensitive") << "GAME.NES" << ".nes" << ".jpg" << "GAME.NES";
    QTest::newRow("mixed case") << "Game.Nes" << ".nes" << ".jpg" << "Game.Nes";
    QTest::newRow("at the start") << ".nesx" << ".nes" << ".jpg" << ".jpgx";
    QTest::newRow("whole text") << ".nes" << ".nes" << ".jpg" << ".jpg";
    QTest::newRow("empty text") << "" << ".nes" << ".jpg" << "";
    QTest::newRow("restarts from the first character") << "abb" << "ab" << "a" << "a";
    QTest::newRow("shrinking chain") << "aaaab" << "ab" << "b" << "b";
    QTest::newRow("empty search refused") << "abc" << "" << "x" << "abc";
    QTest::newRow("replacement holding search refused") << "a.nes" << ".nes" << ".nes.nes" << "a.nes";
    QTest::newRow("deleting") << "x.nes.nes" << ".nes" << "" << "x";
}

void TestLaunch::replaceAll()
{
    QFETCH(QString, text);
    QFETCH(QString, search);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    QCOMPARE(Module1::ReplaceAll(text, search, replacement), expected);
}

void TestLaunch::replaceAllChangesItsArgument()
{
    QString text = QStringLiteral("a.nes");
    const QString result = Module1::ReplaceAll(text, QStringLiteral(".nes"), QStringLiteral(".jpg"));
    QCOMPARE(text, QStringLiteral("a.jpg"));
    QCOMPARE(result, text);
}

void TestLaunch::snapshotPath_data()
{
    QTest::addColumn<QString>("appFolder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "/opt/emu" << "game.nes" << "/opt/emu/snap/game.jpg";
    QTest::newRow("windows folder keeps its backslashes") << "C:\\EMU" << "game.nes" << "C:\\EMU/snap/game.jpg";
    QTest::newRow("drive root") << "C:\\" << "game.nes" << "C:\\/snap/game.jpg";
    QTest::newRow("every occurrence") << "/opt/emu" << "a.nes.b.nes" << "/opt/emu/snap/a.jpg.b.jpg";
    QTest::newRow("capitals untouched") << "/opt/emu" << "GAME.NES" << "/opt/emu/snap/GAME.NES";
    QTest::newRow("folder part replaced too") << "/opt/emu.nes" << "game.nes" << "/opt/emu.jpg/snap/game.jpg";
    QTest::newRow("nothing selected") << "/opt/emu" << "" << "/opt/emu/snap/";
}

void TestLaunch::snapshotPath()
{
    QFETCH(QString, appFolder);
    QFETCH(QString, file);
    QFETCH(QString, expected);
    QCOMPARE(launch::SnapshotPath(appFolder, file), expected);
}

void TestLaunch::snapshotDecodesOnlyTheVisiblePart()
{
    QTemporaryDir dir;
    QImage big(600, 500, QImage::Format_RGB32);
    big.fill(Qt::blue);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            big.setPixelColor(x, y, Qt::red);
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    QVERIFY(big.save(path, "JPEG", 95));
    const QImage shown = launch::loadSnapshot(path, QSize(253, 221));
    QCOMPARE(shown.size(), QSize(253, 221)); // cut at the box, not scaled
    QVERIFY(qRed(shown.pixel(2, 2)) > 200);    // the top-left corner, not a scaled-down whole
    QVERIFY(qBlue(shown.pixel(200, 200)) > 200);

    const QString small = dir.filePath(QStringLiteral("small.png"));
    QVERIFY(QImage(40, 30, QImage::Format_RGB32).save(small));
    QCOMPARE(launch::loadSnapshot(small, QSize(253, 221)).size(), QSize(40, 30));
}

void TestLaunch::snapshotFailuresGiveNoPicture()
{
    QTemporaryDir dir;
    QVERIFY(launch::loadSnapshot(dir.filePath(QStringLiteral("missing.jpg")), QSize(10, 10)).isNull());
    writeFile(dir.filePath(QStringLiteral("bad.jpg")), "this is no picture");
    QVERIFY(launch::loadSnapshot(dir.filePath(QStringLiteral("bad.jpg")), QSize(10, 10)).isNull());
    QVERIFY(launch::loadSnapshot(dir.path() + QStringLiteral("/snap/"), QSize(10, 10)).isNull());
}

void TestLaunch::planFindsTheEmulator()
{
    QTemporaryDir dir;
    const QString line = launch::LaunchCommand(QStringLiteral("/r/"), QStringLiteral("a b.nes"), 4, 1, 1);
    launch::LaunchPlan plan = launch::planLaunch(line, dir.path());
    QVERIFY(!plan.error.isEmpty());
    QCOMPARE(plan.tried, QDir::toNativeSeparators(dir.filePath(QStringLiteral("nesticle.exe"))));

    const QString emulator = dir.filePath(QStringLiteral("nesticle.exe"));
    writeFile(emulator, "#!/bin/sh\n");
#ifndef Q_OS_WIN
    plan = launch::planLaunch(line, dir.path());
    QVERIFY2(plan.error.contains(QLatin1String("not executable")), qPrintable(plan.error));
#endif
    QFile::setPermissions(emulator, QFile::permissions(emulator) | QFileDevice::ExeOwner);
    plan = launch::planLaunch(line, dir.path());
    QVERIFY2(plan.error.isEmpty(), qPrintable(plan.error));
    QCOMPARE(plan.program, QDir::toNativeSeparators(emulator));
    QCOMPARE(plan.arguments, (QStringList{"-run", "/r/a b.nes", "-res", "320", "240", "-setinput", "1", "GRAVIS"}));
}

void TestLaunch::planRunsWindowsProgramsThroughWine()
{
#ifdef Q_OS_WIN
    QSKIP("Windows programs start directly on Windows");
#else
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("nesticle.exe")), "MZ\x90\x00 a windows program");
    const QString line = launch::LaunchCommand(QStringLiteral("/home/me/my roms/"), QStringLiteral("a.nes"), 4, 0, 1);

    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", dir.filePath(QStringLiteral("bin")).toLocal8Bit());
    launch::LaunchPlan plan = launch::planLaunch(line, dir.path());
    QVERIFY2(plan.error.contains(QLatin1String("Wine")), qPrintable(plan.error));

    const QString wine = dir.filePath(QStringLiteral("bin/wine"));
    writeFile(wine, "#!/bin/sh\n");
    QFile::setPermissions(wine, QFile::permissions(wine) | QFileDevice::ExeOwner);
    plan = launch::planLaunch(line, dir.path());
    qputenv("PATH", savedPath);
    QVERIFY2(plan.error.isEmpty(), qPrintable(plan.error));
    QCOMPARE(plan.program, wine);
    QCOMPARE(plan.arguments, (QStringList{dir.filePath(QStringLiteral("nesticle.exe")), "-run",
                                          "Z:\\home\\me\\my roms\\a.nes", "-nosound", "-res", "320", "240",
                                          "-setinput", "1", "GRAVIS"}));
#endif
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
