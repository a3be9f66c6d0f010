// What only POSIX systems have: signals, users, FIFOs and devices, mount tables, a removed
// current folder.

#include "dialogs/folderpicker.h"
#include "config/profilefile.h"
#include "config/romfolders.h"
#include "forms/dirlistbox.h"
#include "preview/snapshot.h"
#include "dialogs/romfoldersdialog.h"
#include "forms/filelistbox.h"
#include "forms/controls.h"
#include "platform/drives.h"
#include "platform/filenames.h"
#include "testutil.h"

#include <QBuffer>
#include <QImageWriter>
#include <QLineEdit>
#include <QPushButton>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef QUORVANE_TEST_LIBJPEG
#include <cstdio>
#include <jpeglib.h>
#endif

using namespace testutil;

namespace {
const QByteArray kSection = "[Quorvane v1.0b Config File]";
const QStringList kSetA{QStringLiteral("/a/"), QStringLiteral("/aa/"), QStringLiteral("/aaa/")};
const QStringList kSetB{QStringLiteral("/") + QString(200, QLatin1Char('b')) + QStringLiteral("/"),
                        QStringLiteral("/b b/"), QString(300, QLatin1Char('c'))};
bool canActAsNobody()
{
    return ::geteuid() == 0 && !QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty();
}

QProcess *startSaver(const QStringList &arguments, bool asNobody, QObject *parent)
{
    auto *saver = new QProcess(parent);
    if (asNobody)
        saver->start(QStringLiteral("setpriv"), QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                                            QStringLiteral(SAVE_LOOP)} + arguments);
    else
        saver->start(QStringLiteral(SAVE_LOOP), arguments);
    return saver;
}

// Runs one saver to its end; true when it saved, else the reason it gave.
bool save(const QStringList &arguments, bool asNobody, QString *reason)
{
    QObject owner;
    QProcess *saver = startSaver(arguments, asNobody, &owner);
    saver->waitForFinished(30000);
    *reason = QString::fromLocal8Bit(saver->readAllStandardError());
    return saver->exitStatus() == QProcess::NormalExit && saver->exitCode() == 0;
}

void setOwner(const QString &path, uid_t user, gid_t group)
{
    QVERIFY2(::chown(QFile::encodeName(path).constData(), user, group) == 0, qPrintable(path));
}

// A small file system of the test's own, filled to the last byte on demand.
struct SmallDisk {
    QTemporaryDir dir;
    QString reason; // empty once mounted
    explicit SmallDisk(const char *size)
    {
        const QByteArray options = QByteArray("size=") + size + ",mode=0755";
        if (::mount("tmpfs", QFile::encodeName(dir.path()).constData(), "tmpfs", 0, options.constData()) != 0)
            reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~SmallDisk()
    {
        if (reason.isEmpty())
            ::umount2(QFile::encodeName(dir.path()).constData(), MNT_DETACH);
    }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    void fill()
    {
        const int fd = ::open(QFile::encodeName(path("filler")).constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        const QByteArray block(512, 'f');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        ::close(fd);
    }
    void release() { QFile::remove(path("filler")); }
};

// The size a JPEG's frame header claims, whatever the data holds.
QByteArray claiming(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && (uchar(jpeg[i + 1]) == 0xC0 || uchar(jpeg[i + 1]) == 0xC2)) {
            jpeg[i + 5] = char(height >> 8);
            jpeg[i + 6] = char(height & 0xFF);
            jpeg[i + 7] = char(width >> 8);
            jpeg[i + 8] = char(width & 0xFF);
            return jpeg;
        }
    }
    return QByteArray();
}

QByteArray progressiveJpeg(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(image);
    return buffer.data();
}

#ifdef QUORVANE_TEST_LIBJPEG
QByteArray cmykProgressiveJpeg()
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = 16;
    info.image_height = 16;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(16 * 4, 100);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    const QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(size));
    jpeg_destroy_compress(&info);
    std::free(out);
    return bytes;
}
#endif

} // namespace

class TestPosix : public QObject
{
    Q_OBJECT
private slots:
    void boundedOnAOneLineFileOf300MB();
    void hostileSnapshotsStayWithinTheirCaps();
    void aFullDiskIsNeverSaved();
    void concurrentSavesLeaveOneCompleteVersion();
    void namesAreBytes();
    void nonRegularFilesAreNeverOpened();
    void savesAsAnOrdinaryUser();
    void killedSavesNeverTearTheFile();
    void pickerStartsAboveAnUnreadableCurrentFolder();
    void drivesAreTheUsersVolumes();
};

// First, while the process's peak memory is still that of a normal start.
void TestPosix::boundedOnAOneLineFileOf300MB()
{
    QUORVANE_HEAVY_TEST();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    writeFile(file, kSection + "\r\nRoms=");
    QVERIFY(::truncate(QFile::encodeName(file).constData(), 300 << 20) == 0); // one 300 MB line
    QFile tail(file);
    QVERIFY(tail.open(QIODevice::Append) && tail.write("\r\nRoms2=/after/\r\n") > 0);
    tail.close();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QCOMPARE(foldersIn(file), (QStringList{"", "/after/", ""})); // the key's own line: default
    getrusage(RUSAGE_SELF, &after);
    qInfo("peak memory %ld KB before reading, %ld KB after", before.ru_maxrss, after.ru_maxrss);
    QVERIFY(after.ru_maxrss - before.ru_maxrss < 100 * 1024);
}

// Early too: peak memory says what these decodes took.
void TestPosix::hostileSnapshotsStayWithinTheirCaps()
{
    QTemporaryDir dir;
    const QByteArray small = progressiveJpeg(QSize(64, 64));
    QMap<QString, QByteArray> files{
        {"claims 20000 x 20000", claiming(small, 20000, 20000)},
        {"claims 30000 x 30000", claiming(small, 30000, 30000)},
        {"claims 65500 x 65500", claiming(small, 65500, 65500)},
    };
#ifdef QUORVANE_TEST_LIBJPEG
    files.insert("CMYK, claims 20000 x 20000", claiming(cmykProgressiveJpeg(), 20000, 20000));
#endif
    // Found by fuzz_snapshot: a PNG text chunk that claims 160 MB made Qt's reader allocate it.
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    QImage(8, 8, QImage::Format_Mono).save(&png, "PNG");
    QByteArray hostilePng = png.data();
    hostilePng.insert(hostilePng.size() - 12, QByteArray::fromHex("0a000025") + "tEXtdate:create" + QByteArray(20, '2'));
    files.insert(QStringLiteral("PNG text chunk of 160 MB"), hostilePng);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QVERIFY2(!it.value().isEmpty(), qPrintable(it.key()));
        writeFile(dir.filePath(it.key()), it.value());
    }
    // 2 GB of nothing behind a valid progressive header: read only up to the input cap.
    const QString sparse = dir.filePath(QStringLiteral("2 GB of zeros"));
    writeFile(sparse, small.chopped(2)); // no end marker
    QVERIFY(::truncate(QFile::encodeName(sparse).constData(), off_t(2) << 30) == 0);
    files.insert(QStringLiteral("2 GB of zeros"), {});

    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    for (const QString &name : files.keys()) {
        QElapsedTimer clock;
        clock.start();
        const QImage picture = preview::loadSnapshot(dir.filePath(name), QSize(253, 221));
        qInfo("%s: blank %d after %lld ms", qPrintable(name), picture.isNull(), clock.elapsed());
        QVERIFY2(picture.isNull(), qPrintable(name));
    }
    getrusage(RUSAGE_SELF, &after);
    qInfo("peak memory %ld KB before the decodes, %ld KB after", before.ru_maxrss, after.ru_maxrss);
    QVERIFY(after.ru_maxrss - before.ru_maxrss < (preview::kMaxSnapshotMemory >> 10) + 16 * 1024);
    // The same small picture, its own size told: shown.
    writeFile(dir.filePath(QStringLiteral("honest.jpg")), small);
    QCOMPARE(preview::loadSnapshot(dir.filePath(QStringLiteral("honest.jpg")), QSize(253, 221)).size(), QSize(64, 64));
}

// Where the folder is the user's, a save goes to a new file that replaces the old one; where only
// the file is theirs (the folder is root's), it is written in place. Neither ever says "saved"
// on a full disk, and neither leaves the file other than it was.
void TestPosix::aFullDiskIsNeverSaved()
{
    QUORVANE_HEAVY_TEST();
    if (!canActAsNobody())
        QSKIP("needs root to mount a small file system, and setpriv to save as the user nobody");
    SmallDisk disk("256k");
    if (!disk.reason.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no tmpfs can be mounted here: ") + disk.reason));
    // Just under a page of memory: the longer folders need a second one, which a full disk lacks.
    const QByteArray head = "; mine\r\n" + configFor("/x/", "", "") + "[Keep]\r\nk=";
    const QByteArray tail = QByteArray(4090 - head.size() - 2, 'k') + "\r\n";
    const QByteArray original = head + tail;
    const QString own = disk.path("own/quorvane.ini");       // saved by root, who may write the folder
    const QString shared = disk.path("shared/quorvane.ini"); // saved by nobody, who may write the file only
    writeFile(own, original);
    writeFile(shared, original);
    setOwner(shared, 65534, 65534);
    disk.fill();
    QString reason;
    for (const QString &file : {own, shared}) {
        QVERIFY(!save({file, "once"}, file == shared, &reason));
        QVERIFY2(reason.contains(QLatin1String("No space left on device")), qPrintable(reason));
        QCOMPARE(readAll(file), original);
        QCOMPARE(QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden), QStringList{"quorvane.ini"});
    }
    disk.release();
    for (const QString &file : {own, shared}) {
        QVERIFY2(save({file, "once"}, file == shared, &reason), qPrintable(reason));
        QCOMPARE(foldersIn(file), kSetA);
        QVERIFY(readAll(file).endsWith(tail));
    }
}

// Two programs saving the same file at once: on both paths every result is one whole version.
void TestPosix::concurrentSavesLeaveOneCompleteVersion()
{
    QUORVANE_HEAVY_TEST();
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther | QFile::ExeOther));
    const QString own = dir.filePath(QStringLiteral("own/quorvane.ini"));
    const QString shared = dir.filePath(QStringLiteral("shared/quorvane.ini"));
    const QByteArray original = "; mine\r\n" + configFor("/x/", "", "") + "[Keep]\r\nk=1\r\n";
    for (const QString &file : {own, shared}) {
        const bool inPlace = file == shared;
        if (inPlace && !canActAsNobody())
            QSKIP("the in-place path needs root and setpriv to save as the user nobody");
        writeFile(file, original);
        if (inPlace)
            setOwner(file, 65534, 65534);
        int seen[2] = {0, 0};
        for (int round = 0; round < 100; ++round) {
            QObject owner;
            QProcess *first = startSaver({file, "repeat", "3", "0"}, inPlace, &owner);
            QProcess *second = startSaver({file, "repeat", "3", "1"}, inPlace, &owner);
            for (QProcess *saver : {first, second}) {
                QVERIFY(saver->waitForFinished(30000));
                QVERIFY2(saver->exitCode() == 0, saver->readAllStandardError().constData());
            }
            const QStringList folders = foldersIn(file);
            QVERIFY2(folders == kSetA || folders == kSetB, qPrintable(folders.join(QLatin1Char('|'))));
            ++seen[folders == kSetA ? 0 : 1];
            QVERIFY(readAll(file).startsWith("; mine\r\n"));
            QCOMPARE(profile::GetPrivateProfileString(QStringLiteral("Keep"), QStringLiteral("k"), QString(), file),
                     QStringLiteral("1"));
        }
        qInfo("%s: 100 rounds of two savers, the first set won %d times, the second %d times",
              inPlace ? "in place" : "replaced", seen[0], seen[1]);
    }
}

// File names that are no valid UTF-8 keep their bytes: listed apart, started as they are, their
// snapshots found, their folder saved back unchanged and opened by the picker.
void TestPosix::namesAreBytes()
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    const QByteArray folder = root + "/r\xE9ms/";
    QVERIFY(::mkdir(folder.constData(), 0755) == 0);
    for (const char *name : {"caf\xE9.nes", "caf\xE8.nes"}) {
        const int fd = ::open((folder + name).constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0 && ::close(fd) == 0);
    }
    const QString app = dir.filePath(QStringLiteral("emu"));
    QDir().mkpath(app + QStringLiteral("/snap"));
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::yellow);
    QVERIFY(picture.save(app + QStringLiteral("/snap/plain.jpg")));
    QVERIFY(::rename(QFile::encodeName(app + "/snap/plain.jpg").constData(),
                     (QFile::encodeName(app) + "/snap/caf\xE9.jpg").constData()) == 0);
    // An emulator that writes down the ROM argument it received, byte for byte.
    const QString received = dir.filePath(QStringLiteral("received"));
    writeFile(app + QStringLiteral("/nesticle.exe"), "#!/bin/sh\nprintf '%s' \"$2\" > '" + received.toUtf8() + "'\n");
    QVERIFY(::chmod(QFile::encodeName(app + "/nesticle.exe").constData(), 0755) == 0);
    const QString config = dir.filePath(QStringLiteral("quorvane.ini"));
    const QByteArray saved = "[Quorvane v1.0b Config File]\r\nRoms=" + folder + "\r\nRoms2=\r\nRoms3=\r\n";
    writeFile(config, saved);

    Recorder recorder;
    app::AppContext context = recorder.context(app, config);
    context.start = platform::startDetached;
    app::MainWindow window(context);
    window.loadStartState();
    const MainControls controls(&window);
    forms::FileListBox *list = controls.list(1);
    QCOMPARE(list->listCount(), 2);
    for (const QString &name : entries(list)) {
        QVERIFY(list->selectFile(name));
        window.launchRom(1);
        QTRY_VERIFY(QFileInfo::exists(received));
        QTRY_COMPARE(readAll(received), folder + platform::toSystem8Bit(name));
        QFile::remove(received);
        const bool hasSnapshot = platform::toSystem8Bit(name) == "caf\xE9.nes";
        QTRY_COMPARE(controls.snapshot->picture().isNull(), !hasSnapshot);
    }
    QVERIFY(recorder.messages.isEmpty());
    onNextModal(&window, [](QWidget *dialog) { child<QPushButton>(dialog, QStringLiteral("Command2"))->click(); });
    window.editRomFolders(); // Save: written back as read
    QCOMPARE(readAll(config), saved);
    forms::DirListBox picker;
    QVERIFY(picker.setPath(platform::fromSystem8Bit(folder)));
    QCOMPARE(platform::toSystem8Bit(picker.path()) + '/', folder);
    // Qt's own removal cannot name these files.
    for (const QByteArray &path : {folder + "caf\xE9.nes", folder + "caf\xE8.nes", QFile::encodeName(app) + "/snap/caf\xE9.jpg"})
        QVERIFY(::unlink(path.constData()) == 0);
    QVERIFY(::rmdir(folder.constData()) == 0);
}

// Permissions do not stop root: the saves run as the user nobody.
void TestPosix::savesAsAnOrdinaryUser()
{
    if (!canActAsNobody())
        QSKIP("needs root and setpriv to act as the user nobody");
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ReadOther | QFile::ExeOther));
    auto saveAsNobody = [](const QString &file, QString *reason) { return save({file, "once"}, true, reason); };
    const QStringList saved{"/a/", "/aa/", "/aaa/"};
    QString reason;
    // Their own configuration folder, not there yet: created, then saved.
    const QString home = dir.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    QVERIFY(::chown(QFile::encodeName(home).constData(), 65534, 65534) == 0);
    QVERIFY2(saveAsNobody(home + QStringLiteral("/.config/quorvane/quorvane.ini"), &reason), qPrintable(reason));
    QCOMPARE(foldersIn(home + QStringLiteral("/.config/quorvane/quorvane.ini")), saved);
    // A root-owned folder with a file nobody owns: written in place. Then root's file: refused,
    // the reason given, the file untouched.
    const QString shared = dir.filePath(QStringLiteral("etc/quorvane.ini"));
    writeFile(shared, "; kept\r\n" + configFor("/x/", "", ""));
    QVERIFY(::chown(QFile::encodeName(shared).constData(), 65534, 65534) == 0);
    QVERIFY2(saveAsNobody(shared, &reason), qPrintable(reason));
    const QByteArray written = readAll(shared);
    QVERIFY(written.startsWith("; kept\r\n") && foldersIn(shared) == saved);
    QVERIFY(::chown(QFile::encodeName(shared).constData(), 0, 0) == 0);
    QVERIFY(!saveAsNobody(shared, &reason));
    QVERIFY2(reason.contains(QLatin1String("save failed: ")) && reason.size() > 14, qPrintable(reason));
    QCOMPARE(readAll(shared), written);
    // A portable file in a program folder that is not theirs: refused, with the reason, and
    // nothing written in its place (their own configuration folder stays empty).
    const QString application = dir.filePath(QStringLiteral("program"));
    writeFile(application + QStringLiteral("/quorvane.ini"), "");
    QVERIFY(!save({"portable", application, home + QStringLiteral("/.config/quorvane2")}, true, &reason));
    QVERIFY2(reason.contains(QLatin1String("Permission denied")), qPrintable(reason));
    QCOMPARE(readAll(application + QStringLiteral("/quorvane.ini")), QByteArray());
    QVERIFY(!QFileInfo::exists(home + QStringLiteral("/.config/quorvane2")));
}

void TestPosix::killedSavesNeverTearTheFile()
{
    QUORVANE_HEAVY_TEST();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    writeFile(file, "[Unrelated]\r\nx=1\r\n");
    QVERIFY(config::writeRomFolders(file, kSetA));

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

        const QStringList folders = foldersIn(file);
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
    dialogs::FolderPicker picker("Form3", &target, [&](QWidget *, const QString &t, const QString &x) { messages.append({t, x}); },
                                nullptr);
    QDir::setCurrent(dir.path());
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].text.contains(QLatin1String("cannot be opened")), qPrintable(messages[0].text));
    const QString shown = child<forms::DirListBox>(&picker, QStringLiteral("Dir1"))->path();
    QCOMPARE(QDir(shown).canonicalPath(), QDir(dir.filePath(QStringLiteral("a"))).canonicalPath());
    QCOMPARE(child<forms::DriveListBox>(&picker, QStringLiteral("Drive1"))->drive(), platform::driveOf(shown));
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
        QStringList read;
        QVERIFY(!config::readRomFolders(path, &read, &readError));
        QCOMPARE(read, (QStringList{"", "", ""}));
        QVERIFY(!config::writeRomFolders(path, {"/a/", "", ""}, &writeError));
        QVERIFY2(readError.contains(QLatin1String("not a regular file")) && writeError == readError, qPrintable(writeError));
        QVERIFY(preview::loadSnapshot(path, QSize(10, 10)).isNull());
    }
}

QTEST_MAIN(TestPosix)
#include "tst_posix.moc"
