// The emulator's command line, the snapshot, and the real stand-in emulator started for real.

#include "forms/filelistbox.h"
#include "launch/emulator.h"
#include "launch/launchcommand.h"
#include "launch/textreplace.h"
#include "preview/snapshot.h"
#include "preview/snapshotloader.h"
#include "testutil.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>

using namespace testutil;

class TestLaunch : public QObject
{
    Q_OBJECT
private slots:
    void launchCommand();
    void romPathArrivesWhole();
    void replaceAllAndSnapshotPath();
    void snapshotDecodesOnlyTheVisiblePart();
    void planFindsTheEmulatorOrSaysWhy();
    void snapshotsNeverHoldUpTheWindow();
    void hostileNamesArriveAsOneArgument();
    void startsInTheGivenFolderOrSaysWhy();
};

void TestLaunch::launchCommand()
{
    const struct { const char *folder, *file; int resolution, sound, controller; const char *expected; } cases[] = {
        {"C:\\Games\\Roms\\", "Sample.nes", 4, 0, 1, // the worked example
         "nesticle.exe -run C:\\Games\\Roms\\Sample.nes -nosound -res 320 240 -setinput 1 GRAVIS"},
        {"C:\\Games\\Roms\\", "Sample.nes", 4, 1, 1, // start-up state: an empty switch keeps its blank
         "nesticle.exe -run C:\\Games\\Roms\\Sample.nes  -res 320 240 -setinput 1 GRAVIS"},
        {"/r/", "a.nes", 0, 2, 0, "nesticle.exe -run /r/a.nes  -res 256 224 -setinput 1 KEY1"}, // grayed: sound on
        {"/r/", "a.nes", 5, 0, 2, "nesticle.exe -run /r/a.nes -nosound -res 640 480 -setinput 1 JOY1"},
        {"C:\\\\", "Sample.nes", 2, 0, 1, "nesticle.exe -run C:\\\\Sample.nes -nosound -res 256 256 -setinput 1 GRAVIS"},
        {"/r/", "a.nes", -1, 1, -1, "nesticle.exe -run /r/a.nes   "}, // none selected: three blanks
        {"C:\\Games\\Roms", "Sample.nes", 3, 0, 1, // no trailing separator
         "nesticle.exe -run C:\\Games\\RomsSample.nes -nosound -res 320 200 -setinput 1 GRAVIS"},
        {"C:\\Games\\", "Super Mario Bros. (W) [!].nes", 1, 1, 1, // blanks are quoted
         "nesticle.exe -run \"C:\\Games\\Super Mario Bros. (W) [!].nes\"  -res 256 240 -setinput 1 GRAVIS"},
        {"C:\\My Roms\\", "", 4, 0, 1, // a quoted folder keeps its last backslash
         "nesticle.exe -run \"C:\\My Roms\\\\\" -nosound -res 320 240 -setinput 1 GRAVIS"},
    };
    for (const auto &c : cases) {
        QCOMPARE(launch::LaunchCommand(QString::fromLatin1(c.folder), QString::fromLatin1(c.file), c.resolution, c.sound,
                                       c.controller), QString::fromLatin1(c.expected));
    }
}

// Whatever the name, Windows' way of splitting the line gives the ROM path back whole.
void TestLaunch::romPathArrivesWhole()
{
    const QStringList paths{"/my roms/a\tb (W) [!].nes", "/r/say\"hi\".nes", "C:\\a\\\\say \"hi\".nes", "C:\\my roms\\\\",
                            "/r/a;b&c|d$(rm -rf x)`e`'f'%PATH%.nes", QStringLiteral("/r\u00F6ms/-nosound \u30B2\u30FC\u30E0.nes")};
    for (const QString &path : paths) {
        QCOMPARE(launch::splitCommandLine(launch::LaunchCommand(path, QString(), 5, 0, 2)),
                 (QStringList{"nesticle.exe", "-run", path, "-nosound", "-res", "640", "480", "-setinput", "1", "JOY1"}));
    }
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
    QCOMPARE(preview::SnapshotPath("C:\\EMU", "a.nes.b.nes"), QStringLiteral("C:\\EMU/snap/a.jpg.b.jpg"));
    QCOMPARE(preview::SnapshotPath("/opt/emu.nes", "GAME.NES"), QStringLiteral("/opt/emu.jpg/snap/GAME.NES"));
    QCOMPARE(preview::SnapshotPath("/opt/emu", ""), QStringLiteral("/opt/emu/snap/"));
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
    const QString line = launch::LaunchCommand(QStringLiteral("/home/me/my roms/"), QStringLiteral("a.nes"), 4, 1, 1);
    launch::LaunchPlan plan = launch::planLaunch(line, dir.path());
    QVERIFY(!plan.error.isEmpty());
    QCOMPARE(plan.tried, QDir::toNativeSeparators(emulator));

    writeFile(emulator, "#!/bin/sh\n");
    QFile::setPermissions(emulator, QFile::permissions(emulator) | QFileDevice::ExeOwner);
    plan = launch::planLaunch(line, dir.path());
    QCOMPARE(plan.program, QDir::toNativeSeparators(emulator));
    QCOMPARE(plan.arguments, (QStringList{"-run", "/home/me/my roms/a.nes", "-res", "320", "240", "-setinput", "1", "GRAVIS"}));
    const QByteArray savedPath = qgetenv("PATH"); // not in the application folder: on the search path
    qputenv("PATH", QFile::encodeName(QDir::toNativeSeparators(dir.path())));
    QCOMPARE(QDir::fromNativeSeparators(launch::planLaunch(line, dir.filePath(QStringLiteral("elsewhere"))).program),
             QDir::fromNativeSeparators(emulator));
    qputenv("PATH", savedPath);
#ifdef Q_OS_WIN
    QCOMPARE(plan.commandLine, line); // handed over as built
#else
    // A Windows program runs through Wine, which must be on the search path.
    writeFile(emulator, "MZ\x90 a windows program");
    qputenv("PATH", dir.filePath(QStringLiteral("bin")).toLocal8Bit());
    QVERIFY2(launch::planLaunch(line, dir.path()).error.contains(QLatin1String("Wine")), qPrintable(plan.error));
    const QString wine = dir.filePath(QStringLiteral("bin/wine"));
    writeFile(wine, "#!/bin/sh\n");
    QFile::setPermissions(wine, QFile::permissions(wine) | QFileDevice::ExeOwner);
    plan = launch::planLaunch(line, dir.path());
    qputenv("PATH", savedPath);
    QCOMPARE(plan.program, wine);
    QCOMPARE(plan.arguments, (QStringList{emulator, "-run", "Z:\\home\\me\\my roms\\a.nes", "-res", "320", "240",
                                          "-setinput", "1", "GRAVIS"}));
    // Names Wine would hand on as another file, or as none: refused, with the reason.
    const QString undecodable = QStringLiteral("/r") + QChar(0xDCE9) + QStringLiteral("ms/");
    for (const auto &[folder, reason] : {std::pair{QStringLiteral("/a\\b/"), "backslash"}, std::pair{undecodable, "UTF-8"}}) {
        plan = launch::planLaunch(launch::LaunchCommand(folder, QStringLiteral("x.nes"), 4, 1, 1), dir.path());
        QVERIFY2(plan.program.isEmpty() && plan.error.contains(QLatin1String(reason)), qPrintable(plan.error));
    }
#endif
}

// The real stand-in emulator started through the main window: no shell, names arrive whole.
void TestLaunch::hostileNamesArriveAsOneArgument()
{
    qputenv("NESTICLE_STANDIN_EXIT", "1"); // the stand-in logs its arguments and ends
    Layout layout;
    const QString roms = QDir::toNativeSeparators(layout.dir.filePath(QStringLiteral("my roms")) + QLatin1Char('/'));
    QStringList names{"Super Mario Bros. (W) [!].nes", "a;b&c^d$(touch x)`id`.nes", "it's.nes", "%PATH% 100%.nes",
                      "-nosound.nes", QStringLiteral("\u00FCn\u00EFc\u00F6d\u00E9 \u30B2\u30FC\u30E0.nes"), " leading.nes"};
#ifndef Q_OS_WIN // names Windows does not allow
    names << "say \"hi\".nes" << "pipe|d.nes" << "back\\slash\\.nes" << "tab\there.nes";
#endif
    QStringList expected, lines;
    for (const QString &name : names) {
        lines << launch::LaunchCommand(roms, name, 4, 0, 1);
        writeFile(roms + name, "NES\x1A");
        const QStringList arguments{"-run", roms + name, "-nosound", "-res", "320", "240", "-setinput", "1", "GRAVIS"};
        expected << QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact));
    }
    writeFile(layout.config(), configFor(roms, "", ""));
    QDir().mkpath(layout.app());
    app::AppContext context = layout.recorder.context(layout.app(), layout.config());
    context.start = platform::startDetached; // the real thing
    app::MainWindow window(context);
    window.Form_Load();
    window.fileList(1)->selectFile(names.front());
    window.File1_DblClick(); // no emulator yet: said, and the window goes on
    QVERIFY(layout.recorder.messages.value(0).text.contains(QDir::toNativeSeparators(layout.app() + "/nesticle.exe")));

    QVERIFY(QFile::copy(QStringLiteral(STANDIN_EMULATOR), layout.app() + QStringLiteral("/nesticle.exe")));
    window.check1()->setValue(0);
    for (const QString &name : names) {
        QVERIFY(window.fileList(1)->selectFile(name));
        window.File1_DblClick();
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
    const auto started = platform::startDetached({shell, {}, QStringLiteral("cmd /c cd > where.txt"), dir.path()});
#else
    const auto started = platform::startDetached({QStringLiteral("/bin/sh"), {"-c", "pwd > where.txt"}, {}, dir.path()});
#endif
    QVERIFY2(started.started, qPrintable(started.error));
    QTRY_VERIFY_WITH_TIMEOUT(readAll(dir.filePath(QStringLiteral("where.txt"))).endsWith('\n'), 20000);
    QCOMPARE(QDir(QString::fromLocal8Bit(readAll(dir.filePath(QStringLiteral("where.txt"))).trimmed())).canonicalPath(),
             QDir(dir.path()).canonicalPath());
    const auto missing = platform::startDetached({dir.filePath(QStringLiteral("no-such-program")), {}, {}, dir.path()});
    QVERIFY(!missing.started && !missing.error.isEmpty());
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
