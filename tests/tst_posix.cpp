// What only POSIX systems have: signals, users, FIFOs and devices, mount tables, a removed
// current folder.

#include "config/profilefile.h"
#include "library/database/librarydatabase.h"
#include "dialogs/folderpicker.h"
#include "forms/dirlistbox.h"
#include "platform/drives.h"
#include "platform/filenames.h"
#include "preview/snapshot.h"
#include "posixtests.h"
#include "testutil.h"
#include "archivewriter.h"
#include "library/archives/romcache.h"
#include "library/folders/romfolder.h"
#include "library/folders/folderwatcher.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <QScopeGuard>

#include <sqlite3.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testutil;

namespace {
// The two sets save_loop writes.
const QStringList kSetA{"/a/", "/aa/", "/aaa/"};
const QStringList kSetB{u"/"_s + QString(200, u'b') + u"/"_s, u"/b b/"_s, QString(300, u'c')};
constexpr uid_t kNobody = 65534;

bool canActAsNobody()
{
    return ::geteuid() == 0 && !QStandardPaths::findExecutable(u"setpriv"_s).isEmpty();
}

QProcess *startSaver(const QStringList &arguments, bool asNobody, QObject *parent)
{
    auto *saver = new QProcess(parent);
    const QStringList asUser{"--reuid=nobody", "--regid=nogroup", "--clear-groups", QStringLiteral(SAVE_LOOP)};
    saver->start(asNobody ? u"setpriv"_s : QStringLiteral(SAVE_LOOP), asNobody ? asUser + arguments : arguments);
    return saver;
}

// Runs one saver to its end: whether it saved, and the reason it gave if not.
std::pair<bool, QString> save(const QStringList &arguments, bool asNobody)
{
    QObject owner;
    QProcess *saver = startSaver(arguments, asNobody, &owner);
    saver->waitForFinished(30000);
    return {saver->exitStatus() == QProcess::NormalExit && saver->exitCode() == 0, QString::fromLocal8Bit(saver->readAllStandardError())};
}

void setOwner(const QString &path, uid_t user)
{
    QVERIFY2(::chown(QFile::encodeName(path).constData(), user, user) == 0, qPrintable(path));
}

// The same file twice: in a folder of root's, who saves it by replacing it, and owned by nobody in
// a folder of root's, which nobody can only write in place.
QStringList ownAndShared(const QString &base, const QByteArray &original)
{
    const QStringList files{base + u"/own/quorvane.ini"_s, base + u"/shared/quorvane.ini"_s};
    for (const QString &file : files)
        writeFile(file, original);
    setOwner(files[1], kNobody);
    return files;
}

// Which set the file holds (-1: neither, whole), when its other keys must have kept their values.
int setIn(const QString &file, const QString &section, const QString &key, const QString &value)
{
    if (profile::GetPrivateProfileString(section, key, QString(), file) != value)
        return -1;
    const QStringList folders = foldersIn(file);
    return folders == kSetA ? 0 : folders == kSetB ? 1 : -1;
}

} // namespace

class TestPosix : public QObject
{
    Q_OBJECT
private slots:
    // First, while the process's peak memory is still that of a normal start.
    void boundedOnAOneLineFileOf300MB()
    {
        QUORVANE_HEAVY_TEST();
        QTemporaryDir dir;
        const QString file = dir.filePath(u"quorvane.ini"_s);
        writeFile(file, "[Quorvane v1.0b Config File]\r\nRoms=");
        QVERIFY(::truncate(QFile::encodeName(file).constData(), 300 << 20) == 0); // one 300 MB line
        QFile tail(file);
        QVERIFY(tail.open(QIODevice::Append) && tail.write("\r\nRoms2=/after/\r\n") > 0);
        tail.close();
        QStringList read;
        const long growth = peakGrowth([&] { read = foldersIn(file); });
        QCOMPARE(read, (QStringList{"", "/after/", ""})); // the key's own line: default
        QVERIFY2(growth < 100 * 1024, qPrintable(QString::number(growth)));
    }

    // Where the folder is the user's, a save goes to a new file that replaces the old one; where only
    // the file is theirs (the folder is root's), it is written in place. Neither ever says "saved"
    // on a full disk, and neither leaves the file other than it was.
    void aFullDiskIsNeverSaved()
    {
        QUORVANE_HEAVY_TEST();
        if (!canActAsNobody())
            QSKIP("needs root to mount a small file system, and setpriv to save as the user nobody");
        SmallDisk disk("256k");
        if (!disk.reason.isEmpty())
            QSKIP(qPrintable(u"no tmpfs can be mounted here: "_s + disk.reason));
        // Just under a page of memory: the longer folders need a second one, which a full disk lacks.
        const QByteArray head = "; mine\r\n" + configFor("/x/", "", "") + "[Keep]\r\nk=";
        const QByteArray original = head + QByteArray(4090 - head.size() - 2, 'k') + "\r\n";
        const QStringList files = ownAndShared(disk.dir.path(), original);
        disk.fill();
        for (const QString &file : files) {
            const auto [saved, reason] = save({file, "once"}, file == files[1]);
            QVERIFY2(!saved && reason.contains("No space left on device"_L1), qPrintable(reason));
            QCOMPARE(readAll(file), original);
            QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden), QStringList{"quorvane.ini"});
        }
        QVERIFY(QFile::remove(disk.dir.filePath(u"filler"_s)));
        for (const QString &file : files) {
            const auto [saved, reason] = save({file, "once"}, file == files[1]);
            QVERIFY2(saved, qPrintable(reason));
            QCOMPARE(foldersIn(file), kSetA);
            QVERIFY(readAll(file).endsWith(original.mid(head.size())));
        }
    }

    // Two programs saving the same file at once: on both paths every result is one whole version.
    void concurrentSavesLeaveOneCompleteVersion()
    {
        QUORVANE_HEAVY_TEST();
        if (!canActAsNobody())
            QSKIP("needs root and setpriv to save in place as the user nobody");
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther | QFile::ExeOther));
        const QStringList files = ownAndShared(dir.path(), "; mine\r\n" + configFor("/x/", "", "") + "[Keep]\r\nk=1\r\n");
        for (const QString &file : files) {
            int seen[2] = {0, 0};
            for (int round = 0; round < 100; ++round) {
                QObject owner;
                for (QProcess *saver : {startSaver({file, "repeat", "3", "0"}, file == files[1], &owner),
                                        startSaver({file, "repeat", "3", "1"}, file == files[1], &owner)})
                    QVERIFY2(saver->waitForFinished(30000) && saver->exitCode() == 0, saver->readAllStandardError().constData());
                const int set = setIn(file, u"Keep"_s, u"k"_s, u"1"_s);
                QVERIFY2(set >= 0 && readAll(file).startsWith("; mine\r\n"), readAll(file).left(300).constData());
                ++seen[set];
            }
            qInfo("%s: 100 rounds of two savers, the first set won %d times, the second %d times", qPrintable(file), seen[0], seen[1]);
        }
        // Not luck but the lock: while another program holds the shared file, a save waits for it.
        const int other = 1 - setIn(files[1], u"Keep"_s, u"k"_s, u"1"_s);
        const int held = ::open(QFile::encodeName(files[1]).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        const QByteArray before = readAll(files[1]);
        QObject owner;
        QProcess *waiting = startSaver({files[1], "repeat", "1", QString::number(other)}, true, &owner);
        QVERIFY(!waiting->waitForFinished(500));
        QCOMPARE(readAll(files[1]), before);
        ::close(held);
        QVERIFY2(waiting->waitForFinished(30000) && waiting->exitCode() == 0, waiting->readAllStandardError().constData());
        QCOMPARE(setIn(files[1], u"Keep"_s, u"k"_s, u"1"_s), other);
    }

    // File names that are no valid UTF-8 keep their bytes: listed apart, started as they are, their
    // snapshots found, their folder saved back unchanged and opened by the picker.
    void namesAreBytes()
    {
        Layout layout;
        const QByteArray folder = QFile::encodeName(layout.dir.path()) + "/r\xE9ms/";
        const QByteArray snapshot = QFile::encodeName(layout.app()) + "/snap/caf\xE9.jpg";
        QVERIFY(::mkdir(folder.constData(), 0755) == 0);
        for (const char *name : {"caf\xE9.nes", "caf\xE8.nes", "\xEF\xBB\xBF.nes"}) // the last, found by fuzz_filenames
            QVERIFY(::close(::open((folder + name).constData(), O_WRONLY | O_CREAT, 0644)) == 0);
        QDir().mkpath(layout.app() + u"/snap"_s);
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::yellow);
        QVERIFY(picture.save(layout.app() + u"/snap/plain.jpg"_s));
        QVERIFY(::rename(QFile::encodeName(layout.app() + "/snap/plain.jpg").constData(), snapshot.constData()) == 0);
        // An emulator that writes down the ROM argument it received, byte for byte.
        const QString received = layout.dir.filePath(u"received"_s);
        writeProgram(layout.emulator(), "#!/bin/sh\nprintf '%s' \"$2\" > '" + received.toUtf8() + "'\n");
        const QByteArray saved = "[Quorvane v1.0b Config File]\r\nRoms=" + folder + "\r\nRoms2=\r\nRoms3=\r\n";
        writeFile(layout.config(), saved);
        app::MainWindow window(layout.startingContext());
        window.loadStartState();
        const MainControls controls(&window);
        QCOMPARE(controls.list(0)->listCount(), 3);
        for (const QString &name : entries(controls.list(0))) {
            QVERIFY(controls.list(0)->selectFile(name));
            window.launchRom(0);
            QTRY_COMPARE(readAll(received), folder + platform::toSystem8Bit(name));
            QFile::remove(received);
            QTRY_COMPARE(controls.snapshot->picture().isNull(), platform::toSystem8Bit(name) != "caf\xE9.nes");
        }
        // Given from outside, by their bytes: as the command line gives them, and dropped.
        window.show();
        QTRY_VERIFY(window.acceptDrops());
        window.startFile(platform::fromSystem8Bit(folder + "caf\xE9.nes"));
        QTRY_COMPARE(readAll(received), folder + "caf\xE9.nes");
        QFile::remove(received);
        QMimeData dropped;
        dropped.setUrls({QUrl::fromEncoded("file://" + (folder + "caf\xE8.nes").toPercentEncoding("/"))});
        QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QTRY_COMPARE(readAll(received), folder + "caf\xE8.nes");
        QVERIFY(layout.recorder.messages.isEmpty());
        onNextModal(&window, [](QWidget *dialog) { child<QPushButton>(dialog, u"Command2"_s)->click(); });
        window.editRomFolders(); // Save: written back as read
        QCOMPARE(readAll(layout.config()), saved);
        forms::DirListBox picker;
        QVERIFY(picker.setPath(platform::fromSystem8Bit(folder)));
        QCOMPARE(platform::toSystem8Bit(picker.path()) + '/', folder);
        // Qt's own removal cannot name these files.
        for (const QByteArray &path : {folder + "caf\xE9.nes", folder + "caf\xE8.nes", folder + "\xEF\xBB\xBF.nes", snapshot})
            QVERIFY(::unlink(path.constData()) == 0);
        QVERIFY(::rmdir(folder.constData()) == 0);
    }

    // A FIFO would block a read forever and a device never ends: neither is read nor replaced, nor
    // taken for a snapshot (the window would hang in the preview).
    void nonRegularFilesAreNeverOpened()
    {
        QTemporaryDir dir;
        const QStringList odd{dir.filePath(u"zero.ini"_s), dir.filePath(u"fifo.ini"_s)};
        QVERIFY(QFile::link(u"/dev/zero"_s, odd[0]));
        QVERIFY(::mkfifo(QFile::encodeName(odd[1]).constData(), 0600) == 0);
        for (const QString &path : odd) {
            QString readError, writeError;
            QStringList read;
            QVERIFY(!config::readRomFolders(path, &read, &readError));
            QCOMPARE(read, (QStringList{"", "", ""}));
            QVERIFY(!config::writeRomFolders(path, {"/a/", "", ""}, &writeError));
            QVERIFY2(readError.contains("not a regular file"_L1) && writeError == readError, qPrintable(writeError));
            QVERIFY(preview::loadSnapshot(path, QSize(10, 10)).isNull());
        }
    }

    // Permissions do not stop root: the saves run as the user nobody.
    void savesAsAnOrdinaryUser()
    {
        if (!canActAsNobody())
            QSKIP("needs root and setpriv to act as the user nobody");
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther | QFile::ExeOther));
        // Their own configuration folder, not there yet: created, then saved.
        const QString home = dir.filePath(u"home"_s);
        QDir().mkpath(home);
        setOwner(home, kNobody);
        auto [saved, reason] = save({home + u"/.config/quorvane/quorvane.ini"_s, "once"}, true);
        QVERIFY2(saved, qPrintable(reason));
        QCOMPARE(foldersIn(home + u"/.config/quorvane/quorvane.ini"_s), kSetA);
        // A root-owned folder with a file nobody owns: written in place. Then root's file: refused,
        // the reason given, the file untouched.
        const QString shared = dir.filePath(u"etc/quorvane.ini"_s);
        writeFile(shared, "; kept\r\n" + configFor("/x/", "", ""));
        setOwner(shared, kNobody);
        std::tie(saved, reason) = save({shared, "once"}, true);
        QVERIFY2(saved, qPrintable(reason));
        const QByteArray written = readAll(shared);
        QVERIFY(written.startsWith("; kept\r\n") && foldersIn(shared) == kSetA);
        setOwner(shared, 0);
        std::tie(saved, reason) = save({shared, "once"}, true);
        QVERIFY2(!saved && reason.contains("save failed: "_L1) && reason.size() > 14, qPrintable(reason));
        QCOMPARE(readAll(shared), written);
        // A portable file in a program folder that is not theirs: refused, with the reason, and
        // nothing written in its place (their own configuration folder stays empty).
        const QString application = dir.filePath(u"program"_s);
        writeFile(application + u"/quorvane.ini"_s, "");
        std::tie(saved, reason) = save({"portable", application, home + u"/.config/quorvane2"_s}, true);
        QVERIFY2(!saved && reason.contains("Permission denied"_L1), qPrintable(reason));
        QCOMPARE(readAll(application + u"/quorvane.ini"_s), QByteArray());
        QVERIFY(!QFileInfo::exists(home + u"/.config/quorvane2"_s));
    }

    // A database that cannot be opened (no read permission for an ordinary user) is no damaged
    // one: the reason is given, and the file stays where it is, as it is.
    void anUnreadableDatabaseIsLeftAlone()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther | QFile::ExeOther));
        const QString folder = dir.filePath(u"data"_s), path = folder + u"/quorvane.db"_s;
        {
            QString message;
            QVERIFY(QDir().mkpath(folder) && library::LibraryDatabase::open(path, &message)->setFavourite(QByteArray(20, 'f'), true, nullptr));
        }
        const QByteArray before = readAll(path);
        QVERIFY(QFile::setPermissions(path, {}));
        const bool asNobody = ::geteuid() == 0;
        if (asNobody && !canActAsNobody())
            QSKIP("as root, needs setpriv to act as the user nobody");
        if (asNobody) {
            setOwner(folder, kNobody);
            setOwner(path, kNobody);
        }
        QProcess loop;
        const QStringList arguments{path, "1"};
        loop.start(asNobody ? u"setpriv"_s : QStringLiteral(HISTORY_LOOP),
                   asNobody ? QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", HISTORY_LOOP} + arguments : arguments);
        QVERIFY(loop.waitForFinished(30000));
        const QString errors = QString::fromLocal8Bit(loop.readAllStandardError());
        QCOMPARE(loop.exitCode(), 1);
        QVERIFY2(errors.contains(u"cannot be read: permission denied"_s) && !errors.contains(u"damaged"_s), qPrintable(errors));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"quorvane.db"_s});
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(readAll(path), before);
    }

    // A folder on a fixed mount point: emptied when its file system goes, filled again when a new
    // one is mounted there and the folder made anew, without a click.
    void aFolderComesBackAfterARemount()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to mount a file system");
        QTemporaryDir dir;
        const QString usb = dir.filePath(u"usb"_s), folder = usb + u"/NES/"_s;
        QVERIFY(QDir().mkpath(usb));
        const QByteArray where = QFile::encodeName(usb);
        auto mount = [&] { return ::mount("tmpfs", where.constData(), "tmpfs", 0, "size=1m") == 0; };
        if (!mount())
            QSKIP(qPrintable(u"no tmpfs can be mounted here: "_s + QString::fromLocal8Bit(std::strerror(errno))));
        auto unmount = qScopeGuard([&] { ::umount2(where.constData(), MNT_DETACH); });
        writeFile(folder + u"first.nes"_s, "NES\x1A");
        library::FolderWatcher watcher;
        library::RomFolder roms(u"*.nes"_s, dir.path(), library::readFolderNames, &watcher);
        auto shown = [&roms] { return roms.model()->rowCount(); };
        roms.setFolder(folder);
        QTRY_COMPARE(shown(), 1);
        QCOMPARE(::umount2(where.constData(), 0), 0);
        QTRY_COMPARE_WITH_TIMEOUT(shown(), 0, 10000);
        QVERIFY(mount());
        for (int i = 0; i < 7; ++i)
            writeFile(folder + u"game %1.nes"_s.arg(i), "NES\x1A");
        QTRY_COMPARE_WITH_TIMEOUT(shown(), 7, 10000);
    }

    void killedSavesNeverTearTheFile()
    {
        QUORVANE_HEAVY_TEST();
        QTemporaryDir dir;
        const QString file = dir.filePath(u"quorvane.ini"_s);
        writeFile(file, "[Unrelated]\r\nx=1\r\n");
        QVERIFY(config::writeRomFolders(file, kSetA));
        QRandomGenerator random(2026);
        int seen[2] = {0, 0};
        for (int round = 0; round < 220; ++round) {
            QProcess saver;
            saver.start(QStringLiteral(SAVE_LOOP), {file});
            QVERIFY(saver.waitForReadyRead(30000)); // it has started saving
            QThread::usleep(random.bounded(8000));
            saver.kill(); // SIGKILL, wherever the save stands
            QVERIFY(saver.waitForFinished() && saver.exitStatus() == QProcess::CrashExit);
            const int set = setIn(file, u"Unrelated"_s, u"x"_s, u"1"_s);
            QVERIFY2(set >= 0, readAll(file).left(300).constData());
            ++seen[set];
        }
        qInfo("220 kills: the file held the first set %d times, the second %d times", seen[0], seen[1]);
        QVERIFY(seen[0] > 0 && seen[1] > 0); // the kills did land in the middle of the saving
    }

    void pickerStartsAboveAnUnreadableCurrentFolder()
    {
        QTemporaryDir dir;
        const QString gone = dir.filePath(u"a/gone"_s);
        QDir().mkpath(gone);
        QDir::setCurrent(gone);
        QDir(gone).removeRecursively(); // the process stands in a folder that no longer exists
        QLineEdit target;
        QList<Message> messages;
        dialogs::FolderPicker picker(0, &target, [&](QWidget *, const QString &t, const QString &x) { messages.append({t, x}); },
                                    nullptr);
        QDir::setCurrent(dir.path());
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].text.contains("cannot be opened"_L1), qPrintable(messages[0].text));
        const QString shown = child<forms::DirListBox>(&picker, u"Dir1"_s)->path();
        QCOMPARE(QDir(shown).canonicalPath(), QDir(dir.filePath(u"a"_s)).canonicalPath());
        QCOMPARE(child<forms::DriveListBox>(&picker, u"Drive1"_s)->drive(), platform::driveOf(shown));
    }

    void drivesAreTheUsersVolumes()
    {
        const struct { const char *root, *type, *device; bool listed; } mounts[] = {
            {"/data", "ext4", "/dev/sdb1", true},           {"/media/me/STICK", "vfat", "/dev/sdc1", true},
            {"/mnt/win", "fuseblk", "/dev/nvme0n1p3", true}, {"/mnt/nas", "nfs4", "nas:/export", true},
            {"/tmp", "tmpfs", "tmpfs", false},               {"/run/user/1000", "tmpfs", "tmpfs", false},
            {"/boot/efi", "vfat", "/dev/sda1", false},       {"/snap/core/1", "squashfs", "/dev/loop3", false},
            {"/proc", "proc", "proc", false},                {"/srv/www", "ext4", "/dev/sda2", false}, // a bind mount of /
        };
        for (const auto &m : mounts) {
            const QList<platform::MountEntry> table{{u"/"_s, "ext4", "/dev/sda2", {}, true},
                                                    {QLatin1String(m.root), m.type, m.device, {}, true},
                                                    {u"/etc/hosts"_s, "ext4", "/dev/sdb1", {}, false}}; // a file bind-mounted
            QCOMPARE(platform::userVolumes(table), (m.listed ? QStringList{"/", QLatin1String(m.root)} : QStringList{"/"}));
        }
    }
};

QTEST_MAIN(TestPosix)
#include "tst_posix.moc"
