// What only POSIX systems have: signals, users, FIFOs and devices, mount tables, a removed
// current folder, posix_spawn, and Windows programs run through Wine.

#include "config/folderpicker.h"
#include "config/profilefile.h"
#include "config/romfolders.h"
#include "forms/dirlistbox.h"
#include "launch/emulator.h"
#include "launch/launchcommand.h"
#include "platform/drives.h"
#include "testutil.h"

#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testutil;

namespace {
const QByteArray kSection = "[Quorvane v1.0b Config File]";
const QStringList kSetA{QStringLiteral("/a/"), QStringLiteral("/aa/"), QStringLiteral("/aaa/")};
const QStringList kSetB{QStringLiteral("/") + QString(200, QLatin1Char('b')) + QStringLiteral("/"),
                        QStringLiteral("/b b/"), QString(300, QLatin1Char('c'))};
} // namespace

class TestPosix : public QObject
{
    Q_OBJECT
private slots:
    void boundedOnAOneLineFileOf300MB();
    void noRegularFileIsNeverOpened();
    void userFileFollowsXdgConfigHome();
    void savesAsAnOrdinaryUser();
    void killedSavesNeverTearTheFile();
    void pickerStartsAboveAnUnreadableCurrentFolder();
    void drivesAreTheUsersVolumes_data();
    void drivesAreTheUsersVolumes();
    void startsInTheGivenFolderAndReportsFailures();
    void windowsProgramRunsThroughWine();
};

// First, while the process's peak memory is still that of a normal start.
void TestPosix::boundedOnAOneLineFileOf300MB()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    writeFile(file, kSection + "\r\nRoms=");
    QVERIFY(::truncate(QFile::encodeName(file).constData(), 300 << 20) == 0); // one 300 MB line
    QFile tail(file);
    QVERIFY(tail.open(QIODevice::Append));
    tail.write("\r\nRoms2=/after/\r\n");
    tail.close();
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    QString error;
    QCOMPARE(config::ReadRomFolders(file, &error), (QStringList{"", "/after/", ""})); // the key's own line: default
    QVERIFY(error.isEmpty());
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    qInfo("peak memory %ld KB before reading, %ld KB after", before.ru_maxrss, after.ru_maxrss);
    QVERIFY(after.ru_maxrss - before.ru_maxrss < 100 * 1024);
}

// Permissions do not stop root: the saves run as the user nobody.
void TestPosix::savesAsAnOrdinaryUser()
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        QSKIP("needs root and setpriv to act as the user nobody");
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther | QFile::ExeOther));
    auto saveAsNobody = [](const QString &file, QString *reason) {
        QProcess saver;
        saver.start(QStringLiteral("setpriv"), {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                                QStringLiteral(SAVE_LOOP), file, "once"});
        saver.waitForFinished(30000);
        *reason = QString::fromLocal8Bit(saver.readAllStandardError());
        return saver.exitStatus() == QProcess::NormalExit && saver.exitCode() == 0;
    };
    const QStringList saved{"/a/", "/aa/", "/aaa/"};
    QString reason;
    // The user's own configuration folder, not there yet: created, then saved.
    const QString home = dir.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    QVERIFY(::chown(QFile::encodeName(home).constData(), 65534, 65534) == 0);
    const QString mine = home + QStringLiteral("/.config/quorvane/quorvane.ini");
    QVERIFY2(saveAsNobody(mine, &reason), qPrintable(reason));
    QCOMPARE(config::ReadRomFolders(mine), saved);

    // A root-owned folder with a file nobody owns: written in place.
    const QString shared = dir.filePath(QStringLiteral("etc/quorvane.ini"));
    writeFile(shared, "; kept\r\n" + configFor("/x/", "", ""));
    QVERIFY(::chown(QFile::encodeName(shared).constData(), 65534, 65534) == 0);
    QVERIFY2(saveAsNobody(shared, &reason), qPrintable(reason));
    QCOMPARE(config::ReadRomFolders(shared), saved);
    QVERIFY(readAll(shared).startsWith("; kept\r\n"));

    // The same, the file root's own: refused, reason given, file untouched.
    QVERIFY(::chown(QFile::encodeName(shared).constData(), 0, 0) == 0);
    const QByteArray before = readAll(shared);
    QVERIFY(!saveAsNobody(shared, &reason));
    QVERIFY2(reason.contains(QLatin1String("save failed: ")) && reason.size() > 14, qPrintable(reason));
    QCOMPARE(readAll(shared), before);
}

void TestPosix::killedSavesNeverTearTheFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    writeFile(file, "[Unrelated]\r\nx=1\r\n");
    QVERIFY(config::WriteRomFolders(file, kSetA));

    QRandomGenerator random(2026);
    int survived = 0;
    int seen[2] = {0, 0};
    for (int round = 0; round < 220; ++round) {
        QProcess saver;
        saver.start(QStringLiteral(SAVE_LOOP), {file});
        QVERIFY2(saver.waitForStarted(), qPrintable(saver.errorString()));
        QVERIFY(saver.waitForReadyRead(30000)); // it has started saving
        QThread::usleep(random.bounded(8000));
        saver.kill(); // SIGKILL, wherever the save stands
        QVERIFY(saver.waitForFinished());
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

        const QStringList folders = config::ReadRomFolders(file);
        QVERIFY2(folders == kSetA || folders == kSetB, qPrintable(folders.join(QLatin1Char('|'))));
        ++seen[folders == kSetA ? 0 : 1];
        QCOMPARE(profile::GetPrivateProfileString(QStringLiteral("Unrelated"), QStringLiteral("x"), QString(), file),
                 QStringLiteral("1"));
        ++survived;
    }
    qInfo("survived %d kills: the file held the first set %d times, the second %d times", survived, seen[0], seen[1]);
    QVERIFY(seen[0] > 0 && seen[1] > 0); // the kills did land in the middle of the saving
}

void TestPosix::pickerStartsAboveAnUnreadableCurrentFolder()
{
    QTemporaryDir dir;
    const QString gone = dir.filePath(QStringLiteral("a/gone"));
    QDir().mkpath(gone);
    QDir::setCurrent(gone);
    QDir(gone).removeRecursively(); // the process stands in a folder that no longer exists
    QLineEdit target;
    QList<Message> messages;
    config::FolderPicker picker("Form3", &target, [&](QWidget *, const QString &t, const QString &x) { messages.append({t, x}); },
                                nullptr);
    QDir::setCurrent(dir.path());
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].text.contains(QLatin1String("cannot be opened")), qPrintable(messages[0].text));
    QCOMPARE(QDir(picker.dir1()->path()).canonicalPath(), QDir(dir.filePath(QStringLiteral("a"))).canonicalPath());
    QCOMPARE(picker.drive1()->drive(), platform::driveOf(picker.dir1()->path()));
}

void TestPosix::drivesAreTheUsersVolumes_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<bool>("listed");
    QTest::newRow("second disk") << "/data" << QByteArray("ext4") << QByteArray("/dev/sdb1") << true;
    QTest::newRow("usb stick") << "/media/me/STICK" << QByteArray("vfat") << QByteArray("/dev/sdc1") << true;
    QTest::newRow("ntfs through fuse") << "/mnt/win" << QByteArray("fuseblk") << QByteArray("/dev/nvme0n1p3") << true;
    QTest::newRow("nfs share") << "/mnt/nas" << QByteArray("nfs4") << QByteArray("nas:/export") << true;
    QTest::newRow("tmpfs") << "/tmp" << QByteArray("tmpfs") << QByteArray("tmpfs") << false;
    QTest::newRow("run") << "/run/user/1000" << QByteArray("tmpfs") << QByteArray("tmpfs") << false;
    QTest::newRow("efi partition") << "/boot/efi" << QByteArray("vfat") << QByteArray("/dev/sda1") << false;
    QTest::newRow("snap image") << "/snap/core/1" << QByteArray("squashfs") << QByteArray("/dev/loop3") << false;
    QTest::newRow("proc") << "/proc" << QByteArray("proc") << QByteArray("proc") << false;
    QTest::newRow("bind mount of the root disk") << "/srv/www" << QByteArray("ext4") << QByteArray("/dev/sda2") << false;
}

void TestPosix::drivesAreTheUsersVolumes()
{
    QFETCH(QString, root);
    QFETCH(QByteArray, type);
    QFETCH(QByteArray, device);
    QFETCH(bool, listed);
    const QList<platform::MountEntry> mounts{
        {QStringLiteral("/"), "ext4", "/dev/sda2", {}, true},
        {root, type, device, {}, true},
        {QStringLiteral("/etc/hosts"), "ext4", "/dev/sdb1", {}, false}, // a file bind-mounted
    };
    QCOMPARE(platform::userVolumes(mounts), (listed ? QStringList{"/", root} : QStringList{"/"}));
}

void TestPosix::startsInTheGivenFolderAndReportsFailures()
{
    QTemporaryDir dir;
    const auto started = platform::startDetached({QStringLiteral("/bin/sh"), {"-c", "pwd > where.txt"}, {}, dir.path()});
    QVERIFY2(started.started, qPrintable(started.error));
    QTRY_VERIFY_WITH_TIMEOUT(!readAll(dir.filePath(QStringLiteral("where.txt"))).isEmpty(), 10000);
    QCOMPARE(QDir(QString::fromLocal8Bit(readAll(dir.filePath(QStringLiteral("where.txt"))).trimmed())).canonicalPath(),
             QDir(dir.path()).canonicalPath());
    const auto missing = platform::startDetached({dir.filePath(QStringLiteral("no-such-program")), {}, {}, dir.path()});
    QVERIFY(!missing.started && !missing.error.isEmpty());
}

// A FIFO would block a read forever and a device never ends: neither is read nor replaced.
void TestPosix::noRegularFileIsNeverOpened()
{
    QTemporaryDir dir;
    const QStringList odd{dir.filePath(QStringLiteral("zero.ini")), dir.filePath(QStringLiteral("fifo.ini"))};
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), odd[0]));
    QVERIFY(::mkfifo(QFile::encodeName(odd[1]).constData(), 0600) == 0);
    for (const QString &path : odd) {
        QString error;
        QCOMPARE(config::ReadRomFolders(path, &error), (QStringList{"", "", ""}));
        QVERIFY2(error.contains(QLatin1String("not a regular file")), qPrintable(error));
        error.clear();
        QVERIFY(!config::WriteRomFolders(path, {"/a/", "", ""}, &error));
        QVERIFY2(error.contains(QLatin1String("not a regular file")), qPrintable(error));
    }
}

void TestPosix::userFileFollowsXdgConfigHome()
{
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    QCOMPARE(config::configFiles(QString()).file, dir.filePath(QStringLiteral("quorvane/quorvane.ini")));
    qputenv("XDG_CONFIG_HOME", "");
    QCOMPARE(config::configFiles(QString()).file, QDir::homePath() + QStringLiteral("/.config/quorvane/quorvane.ini"));
    qputenv("XDG_CONFIG_HOME", saved);
}

// A Windows program runs through Wine, which must be on the search path.
void TestPosix::windowsProgramRunsThroughWine()
{
    QTemporaryDir dir;
    const QString emulator = dir.filePath(QStringLiteral("nesticle.exe"));
    const QString line = launch::LaunchCommand(QStringLiteral("/home/me/my roms/"), QStringLiteral("a.nes"), 4, 1, 1);
    writeFile(emulator, "MZ\x90 a windows program");
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", dir.filePath(QStringLiteral("bin")).toLocal8Bit());
    launch::LaunchPlan plan = launch::planLaunch(line, dir.path());
    QVERIFY2(plan.error.contains(QLatin1String("Wine")), qPrintable(plan.error));
    const QString wine = dir.filePath(QStringLiteral("bin/wine"));
    writeFile(wine, "#!/bin/sh\n");
    QFile::setPermissions(wine, QFile::permissions(wine) | QFileDevice::ExeOwner);
    plan = launch::planLaunch(line, dir.path());
    qputenv("PATH", savedPath);
    QCOMPARE(plan.program, wine);
    QCOMPARE(plan.arguments, (QStringList{emulator, "-run", "Z:\\home\\me\\my roms\\a.nes", "-res", "320", "240",
                                          "-setinput", "1", "GRAVIS"}));
}

QTEST_MAIN(TestPosix)
#include "tst_posix.moc"
