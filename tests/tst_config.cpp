#include "config/profilefile.h"
#include "config/romfolders.h"
#include "testutil.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace testutil;

namespace {
const QByteArray kSection = "[Quorvane v1.0b Config File]";
const QStringList kEmpty{QString(), QString(), QString()};
} // namespace

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    void boundedOnAOneLineFileOf300MB();
    void reads_data();
    void reads();
    void writesBytesExactly_data();
    void writesBytesExactly();
    void valuesRoundTrip();
    void failuresLeaveTheFileAsItWas();
    void whereTheFileLives();
    void savesAsAnOrdinaryUser();
};

// First, while the process's peak memory is still that of a normal start.
void TestConfig::boundedOnAOneLineFileOf300MB()
{
#ifdef Q_OS_WIN
    QSKIP("peak memory is read with getrusage");
#else
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
#endif
}

void TestConfig::reads_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // "<missing>": the key reads as its default

    const QByteArray s = kSection;
    const QString long74 = QString(73, QLatin1Char('p')) + QLatin1Char('/');
    QTest::newRow("crlf") << s + "\r\nRoms=C:\\GAMES\\NES\\\r\n" << "Roms" << "C:\\GAMES\\NES\\";
    QTest::newRow("cr only, no final break") << s + "\rRoms=/x/\rRoms2=/y/" << "Roms2" << "/y/";
    QTest::newRow("blank lines, padding") << "\n\n \t" + s + " \n\n  Roms \t=  /a b/ \t\n" << "Roms" << "/a b/";
    QTest::newRow("quotes taken off once") << s + "\nRoms=\" /pad/ \"\n" << "Roms" << " /pad/ ";
    QTest::newRow("unpaired quotes kept") << s + "\nRoms=\"/a/'\n" << "Roms" << "\"/a/'";
    QTest::newRow("empty value") << s + "\r\nRoms=\r\n" << "Roms" << "";
    QTest::newRow("no equals sign: a key without value") << s + "\r\nRoms\r\nRoms=/later/\r\n" << "Roms" << "<missing>";
    QTest::newRow("another key without value") << s + "\r\nRoms2\r\nRoms=/x/\r\n" << "Roms" << "/x/";
    QTest::newRow("first equals splits") << s + "\r\nRoms=a=b\r\n" << "Roms" << "a=b";
    QTest::newRow("names in any case") << QByteArray("[ QUORVANE V1.0B CONFIG FILE ] x\nroms3=/low/") << "Roms3" << "/low/";
    QTest::newRow("other section") << QByteArray("[Other]\r\nRoms=/no/\r\n") << "Roms" << "<missing>";
    QTest::newRow("unclosed bracket is no section")
        << s + "\r\n[Other\r\nRoms=/still/\r\n" << "Roms" << "/still/";
    QTest::newRow("unclosed bracket starts none") << "[Other]\r\n" + s.chopped(1) + "\r\nRoms=/no/\r\n" << "Roms" << "<missing>";
    QTest::newRow("unclosed bracket is a key") << s + "\r\n[Roms=/odd/\r\n" << "[Roms" << "/odd/";
    QTest::newRow("first key wins") << s + "\r\nRoms=/1/\r\nroms=/2/\r\n" << "Roms" << "/1/";
    QTest::newRow("first section wins") << s + "\nRoms2=/1/\n" + s + "\nRoms=/2/\n" << "Roms" << "<missing>";
    QTest::newRow("utf-8 bom and text") << "\xEF\xBB\xBF" + s + "\nRoms=/j\xC3\xB6rg/\n" << "Roms" << QStringLiteral("/j\u00F6rg/");
    QTest::newRow("nul cuts the value") << s + "\nRoms=/a/" + QByteArray(1, '\0') + "rest\n" << "Roms" << "/a/";
    QTest::newRow("74 characters") << s + "\nRoms=" + long74.toUtf8() << "Roms" << long74;
    QTest::newRow("longer, whole") << s + "\nRoms=" + QByteArray(5000, 'x') << "Roms" << QString(5000, QLatin1Char('x'));
    QTest::newRow("long line passed over") << s + "\nx=" + QByteArray(70000, 'x') + "\nRoms=/y/" << "Roms" << "/y/";
}

void TestConfig::reads()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    if (contents.size() < 65536)
        QCOMPARE(profile::profileValue(contents, config::kConfigSection, key).value_or("<missing>"), expected);
    // Read from a device in pieces of any size: lines cut anywhere read the same.
    for (const qsizetype piece : {1, 7, 64 * 1024}) {
        QBuffer device(&contents);
        device.open(QIODevice::ReadOnly);
        QCOMPARE(profile::profileValue(device, config::kConfigSection, key, piece).value_or("<missing>"), expected);
    }
}

void TestConfig::writesBytesExactly_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("values"); // Roms, Roms2, Roms3
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("create") << QByteArray() << QStringList{"C:\\GAMES\\NES\\", "D:\\ROMS\\", "E:\\\\"}
        << kSection + "\r\nRoms=C:\\GAMES\\NES\\\r\nRoms2=D:\\ROMS\\\r\nRoms3=E:\\\\\r\n";
    QTest::newRow("replace in place, spelling and other bytes kept")
        << QByteArray("\xEF\xBB\xBF; mine\n[QUORVANE v1.0b config file]\nROMS = old \n  roms2=\nRoms3=\"q\"\n[Keep]\nx=1\n")
        << QStringList{"/a/", "/b/", "/c/"}
        << QByteArray("\xEF\xBB\xBF; mine\n[QUORVANE v1.0b config file]\nROMS = /a/ \n  roms2=/b/\nRoms3=/c/\n[Keep]\nx=1\n");
    QTest::newRow("key without value gets one; unclosed bracket stays in the section")
        << kSection + "\r\n  roms2 \r\n[Note\r\nRoms2=/old/\r\n" << QStringList{"/1/", "/2/", "/3/"}
        << kSection + "\r\n  Roms2=/2/ \r\n[Note\r\nRoms2=/old/\r\nRoms=/1/\r\nRoms3=/3/\r\n";
    QTest::newRow("new keys at the end of their section")
        << kSection + "\r\nRoms2=/old/\r\n\r\n[Other]\r\nk=v\r\n" << QStringList{"/1/", "/2/", "/3/"}
        << kSection + "\r\nRoms2=/2/\r\nRoms=/1/\r\nRoms3=/3/\r\n\r\n[Other]\r\nk=v\r\n";
    QTest::newRow("new section after a file without final break")
        << QByteArray("[Other]\nk=v") << QStringList{"/1/", "", ""}
        << "[Other]\nk=v\r\n" + kSection + "\r\nRoms=/1/\r\nRoms2=\r\nRoms3=\r\n";
    QTest::newRow("values the reader would alter are quoted")
        << QByteArray() << QStringList{" /lead", "/trail ", "\"q\""}
        << kSection + "\r\nRoms=\" /lead\"\r\nRoms2=\"/trail \"\r\nRoms3=\"\"q\"\"\r\n";
}

void TestConfig::writesBytesExactly()
{
    QFETCH(QByteArray, before);
    QFETCH(QStringList, values);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    if (!before.isEmpty())
        writeFile(file, before);
    QString error;
    QVERIFY2(config::WriteRomFolders(file, values, &error), qPrintable(error));
    QCOMPARE(readAll(file), after);
    QCOMPARE(config::ReadRomFolders(file), values);
}

void TestConfig::valuesRoundTrip()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    const QStringList values{"//", "  /x y/  ", "'/a/'", "/a=b/[c]/;d#/", QStringLiteral("/\u00E5sa/\u65E5\u672C/"),
                             QString(4000, QLatin1Char('d')), QString()};
    for (const QString &value : values) {
        const QStringList folders{"E:\\\\", value, "/three/"};
        QVERIFY(config::WriteRomFolders(file, folders));
        QCOMPARE(config::ReadRomFolders(file), folders);
        // Saving what was read changes nothing: a Save after a read loses nothing.
        const QByteArray bytes = readAll(file);
        QVERIFY(config::WriteRomFolders(file, config::ReadRomFolders(file)));
        QCOMPARE(readAll(file), bytes);
    }
}

void TestConfig::failuresLeaveTheFileAsItWas()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("new/folder/quorvane.ini"));
    QString error;
    // Reading never creates anything; a first save creates the missing folders.
    QCOMPARE(config::ReadRomFolders(file, &error), kEmpty);
    QVERIFY(error.isEmpty() && !QFileInfo::exists(dir.filePath(QStringLiteral("new"))));
    QVERIFY(config::WriteRomFolders(file, {"/keep/", "", ""}));

    // A line break or NUL would inject lines: nothing at all is written, not even the valid keys.
    const QByteArray before = readAll(file);
    for (const QString &bad : {QStringLiteral("/a/\r\n[Evil]"), QStringLiteral("/a/\nRoms=/b/"),
                               QStringLiteral("/a/") + QChar(0)}) {
        QVERIFY(!config::WriteRomFolders(file, {"/new/", bad, ""}, &error));
        QVERIFY2(error.contains(QLatin1String("Roms2")), qPrintable(error));
        QCOMPARE(readAll(file), before);
    }
    // A folder that cannot be made (a file stands in its place).
    writeFile(dir.filePath(QStringLiteral("plain")), "x");
    error.clear();
    QVERIFY(!config::WriteRomFolders(dir.filePath(QStringLiteral("plain/quorvane.ini")), {"/a/", "", ""}, &error));
    QVERIFY(!error.isEmpty());

    // No regular file: a folder, a device, a FIFO. Neither read (a FIFO would block, a device
    // never end) nor replaced.
    QStringList odd{dir.filePath(QStringLiteral("folder.ini"))};
    QDir().mkpath(odd.front());
#ifndef Q_OS_WIN
    odd << dir.filePath(QStringLiteral("zero.ini")) << dir.filePath(QStringLiteral("fifo.ini"));
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), odd[1]));
    QVERIFY(::mkfifo(QFile::encodeName(odd[2]).constData(), 0600) == 0);
#endif
    for (const QString &path : odd) {
        error.clear();
        QCOMPARE(config::ReadRomFolders(path, &error), kEmpty);
        QVERIFY2(error.contains(QLatin1String("not a regular file")), qPrintable(error));
        error.clear();
        QVERIFY(!config::WriteRomFolders(path, {"/a/", "", ""}, &error));
        QVERIFY2(error.contains(QLatin1String("not a regular file")), qPrintable(error));
    }
    QVERIFY(QFileInfo(odd.front()).isDir());
}

void TestConfig::whereTheFileLives()
{
    QTemporaryDir dir;
    QCOMPARE(config::configFiles(dir.path()).file, QDir::toNativeSeparators(dir.filePath(QStringLiteral("quorvane.ini"))));
    QVERIFY(config::configFiles(dir.path()).legacyFile.isEmpty());
#ifndef Q_OS_WIN
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    QCOMPARE(config::configFiles(QString()).file, dir.filePath(QStringLiteral("quorvane/quorvane.ini")));
    qputenv("XDG_CONFIG_HOME", "");
    QCOMPARE(config::configFiles(QString()).file, QDir::homePath() + QStringLiteral("/.config/quorvane/quorvane.ini"));
    qputenv("XDG_CONFIG_HOME", saved);
#endif
    // The legacy file is read only while the user has none of their own.
    const config::ConfigFiles files{dir.filePath(QStringLiteral("mine.ini")), dir.filePath(QStringLiteral("old.ini"))};
    QCOMPARE(files.fileToRead(), files.file);
    writeFile(files.legacyFile, configFor("/old/", "", ""));
    QCOMPARE(config::ReadRomFolders(files.fileToRead()).front(), QStringLiteral("/old/"));
    QVERIFY(config::WriteRomFolders(files.file, {"/new/", "", ""}));
    QCOMPARE(config::ReadRomFolders(files.fileToRead()).front(), QStringLiteral("/new/"));
    QCOMPARE(readAll(files.legacyFile), configFor("/old/", "", ""));
}

// Permissions do not stop root: the saves run as the user nobody.
void TestConfig::savesAsAnOrdinaryUser()
{
#ifdef Q_OS_WIN
    QSKIP("POSIX users");
#else
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
#endif
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
