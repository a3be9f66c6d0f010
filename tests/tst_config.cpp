#include "config/profilefile.h"
#include "config/romfolders.h"
#include "testutil.h"

#include <QBuffer>

using namespace testutil;

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    void reads_data();
    void reads();
    void writesBytesExactly_data();
    void writesBytesExactly();
    void valuesRoundTrip();
    void failuresLeaveTheFileAsItWas();
};

void TestConfig::reads_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // "<missing>" when the key reads as nothing at all

    const QByteArray s = "[Quorvane v1.0b Config File]";
    const QString long74 = QString(73, QLatin1Char('p')) + QLatin1Char('/');
    QTest::newRow("crlf") << s + "\r\nRoms=C:\\GAMES\\NES\\\r\n" << "Roms" << "C:\\GAMES\\NES\\";
    QTest::newRow("cr only, no final break") << s + "\rRoms=/x/\rRoms2=/y/" << "Roms2" << "/y/";
    QTest::newRow("blank lines, padding") << "\n\n \t" + s + " \n\n  Roms \t=  /a b/ \t\n" << "Roms" << "/a b/";
    QTest::newRow("quotes taken off once") << s + "\nRoms=\" /pad/ \"\n" << "Roms" << " /pad/ ";
    QTest::newRow("unpaired quotes kept") << s + "\nRoms=\"/a/'\n" << "Roms" << "\"/a/'";
    QTest::newRow("empty value") << s + "\r\nRoms=\r\n" << "Roms" << "";
    QTest::newRow("no equals sign") << s + "\r\nRoms\r\n" << "Roms" << "<missing>";
    QTest::newRow("first equals splits") << s + "\r\nRoms=a=b\r\n" << "Roms" << "a=b";
    QTest::newRow("names in any case") << QByteArray("[ QUORVANE V1.0B CONFIG FILE ] x\nroms3=/low/") << "Roms3" << "/low/";
    QTest::newRow("other section") << QByteArray("[Other]\r\nRoms=/no/\r\n") << "Roms" << "<missing>";
    QTest::newRow("before any section") << "Roms=/no/\r\n" + s << "Roms" << "<missing>";
    QTest::newRow("first key wins") << s + "\r\nRoms=/1/\r\nroms=/2/\r\n" << "Roms" << "/1/";
    QTest::newRow("first section wins") << s + "\nRoms2=/1/\n" + s + "\nRoms=/2/\n" << "Roms" << "<missing>";
    QTest::newRow("utf-8 bom and text") << "\xEF\xBB\xBF" + s + "\nRoms=/j\xC3\xB6rg/\n" << "Roms" << QStringLiteral("/j\u00F6rg/");
    QTest::newRow("nul cuts the value") << s + "\nRoms=/a/" + QByteArray(1, '\0') + "rest\n" << "Roms" << "/a/";
    QTest::newRow("74 characters") << s + "\nRoms=" + long74.toUtf8() << "Roms" << long74;
    QTest::newRow("longer, whole") << s + "\nRoms=" + QByteArray(5000, 'x') << "Roms" << QString(5000, QLatin1Char('x'));
}

void TestConfig::reads()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(profile::profileValue(contents, config::kConfigSection, key).value_or("<missing>"), expected);
    // Read from a device in pieces of any size: lines cut anywhere read the same.
    for (const qsizetype piece : {1, 3, 7, 64 * 1024}) {
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
        << QByteArray("[Quorvane v1.0b Config File]\r\nRoms=C:\\GAMES\\NES\\\r\nRoms2=D:\\ROMS\\\r\nRoms3=E:\\\\\r\n");
    QTest::newRow("replace in place, spelling and other bytes kept")
        << QByteArray("\xEF\xBB\xBF; mine\n[QUORVANE v1.0b config file]\nROMS = old \n  roms2=\nRoms3=\"q\"\n[Keep]\nx=1\n")
        << QStringList{"/a/", "/b/", "/c/"}
        << QByteArray("\xEF\xBB\xBF; mine\n[QUORVANE v1.0b config file]\nROMS = /a/ \n  roms2=/b/\nRoms3=/c/\n[Keep]\nx=1\n");
    QTest::newRow("new keys at the end of their section")
        << QByteArray("[Quorvane v1.0b Config File]\r\nRoms2=/old/\r\n\r\n[Other]\r\nk=v\r\n") << QStringList{"/1/", "/2/", "/3/"}
        << QByteArray("[Quorvane v1.0b Config File]\r\nRoms2=/2/\r\nRoms=/1/\r\nRoms3=/3/\r\n\r\n[Other]\r\nk=v\r\n");
    QTest::newRow("new section after a file without final break")
        << QByteArray("[Other]\nk=v") << QStringList{"/1/", "", ""}
        << QByteArray("[Other]\nk=v\r\n[Quorvane v1.0b Config File]\r\nRoms=/1/\r\nRoms2=\r\nRoms3=\r\n");
    QTest::newRow("values the reader would alter are quoted")
        << QByteArray() << QStringList{" /lead", "/trail ", "\"q\""}
        << QByteArray("[Quorvane v1.0b Config File]\r\nRoms=\" /lead\"\r\nRoms2=\"/trail \"\r\nRoms3=\"\"q\"\"\r\n");
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
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    QString error;
    // Reading never creates the file.
    QCOMPARE(config::ReadRomFolders(file, &error), (QStringList{"", "", ""}));
    QVERIFY(error.isEmpty() && !QFileInfo::exists(file));

    // A line break or NUL would inject lines: nothing at all is written, not even the valid keys.
    const QByteArray before = "[Quorvane v1.0b Config File]\r\nRoms=/keep/\r\n";
    writeFile(file, before);
    for (const QString &bad : {QStringLiteral("/a/\r\n[Evil]"), QStringLiteral("/a/\nRoms=/b/"),
                               QStringLiteral("/a/") + QChar(0)}) {
        QVERIFY(!config::WriteRomFolders(file, {"/new/", bad, ""}, &error));
        QVERIFY2(error.contains(QLatin1String("Roms2")), qPrintable(error));
        QCOMPARE(readAll(file), before);
    }

    // No folder to write into.
    error.clear();
    QVERIFY(!config::WriteRomFolders(dir.filePath(QStringLiteral("gone/quorvane.ini")), {"/a/", "", ""}, &error));
    QVERIFY(!error.isEmpty());

    // A file that cannot be read (here a folder in its place) is reported and never replaced.
    const QString unreadable = dir.filePath(QStringLiteral("folder.ini"));
    QDir().mkpath(unreadable);
    error.clear();
    QCOMPARE(config::ReadRomFolders(unreadable, &error), (QStringList{"", "", ""}));
    QVERIFY(!error.isEmpty());
    error.clear();
    QVERIFY(!config::WriteRomFolders(unreadable, {"/a/", "", ""}, &error));
    QVERIFY(!error.isEmpty() && QFileInfo(unreadable).isDir());
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
