#include "launch/emulator.h"
#include "launch/launchcommand.h"
#include "launch/textreplace.h"
#include "launch/snapshot.h"
#include "testutil.h"

#include <QPainter>

using namespace testutil;

class TestLaunch : public QObject
{
    Q_OBJECT
private slots:
    void launchCommand_data();
    void launchCommand();
    void romPathArrivesWhole_data();
    void romPathArrivesWhole();
    void replaceAllAndSnapshotPath();
    void snapshotDecodesOnlyTheVisiblePart();
    void planFindsTheEmulatorOrSaysWhy();
};

void TestLaunch::launchCommand_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("resolution");
    QTest::addColumn<int>("sound");
    QTest::addColumn<int>("controller");
    QTest::addColumn<QString>("expected");
    const QString c = QStringLiteral("C:\\Games\\Roms\\");
    QTest::newRow("worked example") << c << "Sample.nes" << 4 << 0 << 1
        << "nesticle.exe -run C:\\Games\\Roms\\Sample.nes -nosound -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("start-up state: empty switch keeps its blank") << c << "Sample.nes" << 4 << 1 << 1
        << "nesticle.exe -run C:\\Games\\Roms\\Sample.nes  -res 320 240 -setinput 1 GRAVIS";
    QTest::newRow("grayed is sound on; first items") << "/r/" << "a.nes" << 0 << 2 << 0
        << "nesticle.exe -run /r/a.nes  -res 256 224 -setinput 1 KEY1";
    QTest::newRow("last items") << "/r/" << "a.nes" << 5 << 0 << 2 << "nesticle.exe -run /r/a.nes -nosound -res 640 480 -setinput 1 JOY1";
    QTest::newRow("none selected: three blanks") << "/r/" << "a.nes" << -1 << 1 << -1 << "nesticle.exe -run /r/a.nes   ";
    QTest::newRow("no trailing separator") << "C:\\Games\\Roms" << "Sample.nes" << 3 << 0 << 1
        << "nesticle.exe -run C:\\Games\\RomsSample.nes -nosound -res 320 200 -setinput 1 GRAVIS";
    QTest::newRow("root, doubled separator") << "C:\\\\" << "Sample.nes" << 2 << 0 << 1
        << "nesticle.exe -run C:\\\\Sample.nes -nosound -res 256 256 -setinput 1 GRAVIS";
    QTest::newRow("blanks are quoted") << "C:\\Games\\" << "Super Mario Bros. (W) [!].nes" << 1 << 1 << 1
        << "nesticle.exe -run \"C:\\Games\\Super Mario Bros. (W) [!].nes\"  -res 256 240 -setinput 1 GRAVIS";
    QTest::newRow("quoted folder keeps its last backslash") << "C:\\My Roms\\" << "" << 4 << 0 << 1
        << "nesticle.exe -run \"C:\\My Roms\\\\\" -nosound -res 320 240 -setinput 1 GRAVIS";
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

void TestLaunch::romPathArrivesWhole_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::newRow("blanks and tab") << "/my roms/" << "a\tb (W) [!].nes";
    QTest::newRow("quotes after backslashes") << "C:\\a\\\\" << "say \"hi\".nes";
    QTest::newRow("trailing backslashes") << "C:\\my roms\\\\" << "";
    QTest::newRow("shell characters") << "/r/" << "a;b&c|d$(rm -rf x)`e`'f'.nes";
    QTest::newRow("non-ascii, leading dash") << "/r\u00F6ms/" << "-nosound \u30B2\u30FC\u30E0.nes";
}

void TestLaunch::romPathArrivesWhole()
{
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QCOMPARE(launch::splitCommandLine(launch::LaunchCommand(folder, file, 5, 0, 2)),
             (QStringList{"nesticle.exe", "-run", folder + file, "-nosound", "-res", "640", "480", "-setinput", "1", "JOY1"}));
}

void TestLaunch::replaceAllAndSnapshotPath()
{
    const struct { const char *text, *search, *replacement, *expected; } cases[] = {
        {"a.nes.b.nes", ".nes", ".jpg", "a.jpg.b.jpg"}, // every one, leftmost first
        {"GAME.Nes", ".nes", ".jpg", "GAME.Nes"},       // case-sensitive
        {"abb", "ab", "a", "a"},                         // searched again from the start
        {"abc", "", "x", "abc"},                         // refused: would never end
        {"a.nes", ".nes", "x.nes", "a.nes"},
    };
    for (const auto &c : cases) {
        QString text = QString::fromLatin1(c.text);
        QCOMPARE(launch::ReplaceAll(text, QString::fromLatin1(c.search), QString::fromLatin1(c.replacement)),
                 QString::fromLatin1(c.expected));
        QCOMPARE(text, QString::fromLatin1(c.expected)); // changed in place
    }
    QCOMPARE(launch::SnapshotPath("C:\\EMU", "a.nes.b.nes"), QStringLiteral("C:\\EMU/snap/a.jpg.b.jpg"));
    QCOMPARE(launch::SnapshotPath("/opt/emu.nes", "GAME.NES"), QStringLiteral("/opt/emu.jpg/snap/GAME.NES"));
    QCOMPARE(launch::SnapshotPath("/opt/emu", ""), QStringLiteral("/opt/emu/snap/"));
}

void TestLaunch::snapshotDecodesOnlyTheVisiblePart()
{
    QTemporaryDir dir;
    QImage big(600, 500, QImage::Format_RGB32);
    big.fill(Qt::blue);
    QPainter(&big).fillRect(0, 0, 16, 16, Qt::red);
    QVERIFY(big.save(dir.filePath(QStringLiteral("big.jpg")), "JPEG", 95));
    const QImage shown = launch::loadSnapshot(dir.filePath(QStringLiteral("big.jpg")), QSize(253, 221));
    QCOMPARE(shown.size(), QSize(253, 221)); // cut at the box, not scaled
    QVERIFY(qRed(shown.pixel(4, 4)) > 200 && qBlue(shown.pixel(200, 200)) > 200);
    QVERIFY(QImage(40, 30, QImage::Format_RGB32).save(dir.filePath(QStringLiteral("small.png"))));
    QCOMPARE(launch::loadSnapshot(dir.filePath(QStringLiteral("small.png")), QSize(253, 221)).size(), QSize(40, 30));

    writeFile(dir.filePath(QStringLiteral("bad.jpg")), "\xFF\xD8\xFF no picture after all");
    for (const char *name : {"missing.jpg", "bad.jpg", ""}) // a folder, for no selection
        QVERIFY(launch::loadSnapshot(dir.filePath(QLatin1String(name)), QSize(10, 10)).isNull());
}

void TestLaunch::planFindsTheEmulatorOrSaysWhy()
{
    QTemporaryDir dir;
    const QString emulator = dir.filePath(QStringLiteral("nesticle.exe"));
    const QString line = launch::LaunchCommand(QStringLiteral("/home/me/my roms/"), QStringLiteral("a.nes"), 4, 1, 1);
    launch::LaunchPlan plan = launch::planLaunch(line, dir.path());
    QVERIFY(!plan.error.isEmpty());
    QCOMPARE(plan.tried, QDir::toNativeSeparators(emulator));

    writeFile(emulator, "#!/bin/sh\n");
    QFile::setPermissions(emulator, QFile::permissions(emulator) | QFileDevice::ExeOwner);
    plan = launch::planLaunch(line, dir.path());
    QCOMPARE(plan.program, QDir::toNativeSeparators(emulator));
    QCOMPARE(plan.arguments, (QStringList{"-run", "/home/me/my roms/a.nes", "-res", "320", "240", "-setinput", "1", "GRAVIS"}));
#ifdef Q_OS_WIN
    QCOMPARE(plan.commandLine, line); // handed over as built
#endif
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
