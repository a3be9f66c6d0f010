// What only POSIX systems have: signals, users, FIFOs and devices, mount tables, a removed
// current folder.

#include "config/folderpicker.h"
#include "config/profilefile.h"
#include "config/romfolders.h"
#include "forms/dirlistbox.h"
#include "preview/snapshot.h"
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
    void nonRegularFilesAreNeverOpened();
    void savesAsAnOrdinaryUser();
    void killedSavesNeverTearTheFile();
    void pickerStartsAboveAnUnreadableCurrentFolder();
    void drivesAreTheUsersVolumes();
};

// First, while the process's peak memory is still that of a normal start.
void TestPosix::boundedOnAOneLineFileOf300MB()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    writeFile(file, kSection + "\r\nRoms=");
    QVERIFY(::truncate(QFile::encodeName(file).constData(), 300 << 20) == 0); // one 300 MB line
    QFile tail(file);
    QVERIFY(tail.open(QIODevice::Append) && tail.write("\r\nRoms2=/after/\r\n") > 0);
    tail.close();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QCOMPARE(config::ReadRomFolders(file), (QStringList{"", "/after/", ""})); // the key's own line: default
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
    // Their own configuration folder, not there yet: created, then saved.
    const QString home = dir.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    QVERIFY(::chown(QFile::encodeName(home).constData(), 65534, 65534) == 0);
    QVERIFY2(saveAsNobody(home + QStringLiteral("/.config/quorvane/quorvane.ini"), &reason), qPrintable(reason));
    QCOMPARE(config::ReadRomFolders(home + QStringLiteral("/.config/quorvane/quorvane.ini")), saved);
    // A root-owned folder with a file nobody owns: written in place. Then root's file: refused,
    // the reason given, the file untouched.
    const QString shared = dir.filePath(QStringLiteral("etc/quorvane.ini"));
    writeFile(shared, "; kept\r\n" + configFor("/x/", "", ""));
    QVERIFY(::chown(QFile::encodeName(shared).constData(), 65534, 65534) == 0);
    QVERIFY2(saveAsNobody(shared, &reason), qPrintable(reason));
    const QByteArray written = readAll(shared);
    QVERIFY(written.startsWith("; kept\r\n") && config::ReadRomFolders(shared) == saved);
    QVERIFY(::chown(QFile::encodeName(shared).constData(), 0, 0) == 0);
    QVERIFY(!saveAsNobody(shared, &reason));
    QVERIFY2(reason.contains(QLatin1String("save failed: ")) && reason.size() > 14, qPrintable(reason));
    QCOMPARE(readAll(shared), written);
}

void TestPosix::killedSavesNeverTearTheFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    writeFile(file, "[Unrelated]\r\nx=1\r\n");
    QVERIFY(config::WriteRomFolders(file, kSetA));

    QRandomGenerator random(2026);
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
    }
    qInfo("220 kills: the file held the first set %d times, the second %d times", seen[0], seen[1]);
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

void TestPosix::drivesAreTheUsersVolumes()
{
    const struct { const char *root, *type, *device; bool listed; } mounts[] = {
        {"/data", "ext4", "/dev/sdb1", true},           {"/media/me/STICK", "vfat", "/dev/sdc1", true},
        {"/mnt/win", "fuseblk", "/dev/nvme0n1p3", true}, {"/mnt/nas", "nfs4", "nas:/export", true},
        {"/tmp", "tmpfs", "tmpfs", false},               {"/run/user/1000", "tmpfs", "tmpfs", false},
        {"/boot/efi", "vfat", "/dev/sda1", false},       {"/snap/core/1", "squashfs", "/dev/loop3", false},
        {"/proc", "proc", "proc", false},
        {"/srv/www", "ext4", "/dev/sda2", false}, // a bind mount of the root disk
    };
    for (const auto &m : mounts) {
        const QList<platform::MountEntry> table{
            {QStringLiteral("/"), "ext4", "/dev/sda2", {}, true},
            {QLatin1String(m.root), m.type, m.device, {}, true},
            {QStringLiteral("/etc/hosts"), "ext4", "/dev/sdb1", {}, false}, // a file bind-mounted
        };
        QCOMPARE(platform::userVolumes(table), (m.listed ? QStringList{"/", QLatin1String(m.root)} : QStringList{"/"}));
    }
}

// A FIFO would block a read forever and a device never ends: neither is read nor replaced, nor
// taken for a snapshot (the window would hang in the preview).
void TestPosix::nonRegularFilesAreNeverOpened()
{
    QTemporaryDir dir;
    const QStringList odd{dir.filePath(QStringLiteral("zero.ini")), dir.filePath(QStringLiteral("fifo.ini"))};
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), odd[0]));
    QVERIFY(::mkfifo(QFile::encodeName(odd[1]).constData(), 0600) == 0);
    for (const QString &path : odd) {
        QString readError, writeError;
        QCOMPARE(config::ReadRomFolders(path, &readError), (QStringList{"", "", ""}));
        QVERIFY(!config::WriteRomFolders(path, {"/a/", "", ""}, &writeError));
        QVERIFY2(readError.contains(QLatin1String("not a regular file")) && writeError == readError, qPrintable(writeError));
        QVERIFY(preview::loadSnapshot(path, QSize(10, 10)).isNull());
    }
}

QTEST_MAIN(TestPosix)
#include "tst_posix.moc"
