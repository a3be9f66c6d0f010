#include "config/module2.h"
#include "config/romfolders.h"
#include "testutil.h"

#include <QBuffer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace testutil;

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    void readsLikeTheProfileFunctions_data();
    void readsLikeTheProfileFunctions();
    void writesBytesExactly_data();
    void writesBytesExactly();
    void valuesRoundTrip_data();
    void valuesRoundTrip();
    void refusesValuesThatBreakLines();
    void readingNeverCreatesTheFile();
    void romFoldersUseOneSectionInKeyOrder();
    void failedWriteKeepsTheOldFile();
    void unreadableFileIsReportedAndNotReplaced();
    void malformedInputReadsAsEmpty();
};

void TestConfig::readsLikeTheProfileFunctions_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // "<missing>" when the key does not read at all

    const QByteArray s = "[Quorvane v1.0b Config File]";
    QTest::newRow("crlf") << s + "\r\nRoms=C:\\GAMES\\NES\\\r\n" << "Roms" << "C:\\GAMES\\NES\\";
    QTest::newRow("lf only") << s + "\nRoms=/home/a/\n" << "Roms" << "/home/a/";
    QTest::newRow("cr only") << s + "\rRoms=/x/\rRoms2=/y/" << "Roms2" << "/y/";
    QTest::newRow("blank lines") << "\r\n\r\n" + s + "\r\n\r\n\r\nRoms=/a/\r\n\r\n" << "Roms" << "/a/";
    QTest::newRow("padding trimmed") << " \t" + s + " \r\n  Roms \t=  \t/a b/ \t\r\n" << "Roms" << "/a b/";
    QTest::newRow("double quotes") << s + "\r\nRoms=\" /pad/ \"\r\n" << "Roms" << " /pad/ ";
    QTest::newRow("single quotes") << s + "\r\nRoms='/q/'\r\n" << "Roms" << "/q/";
    QTest::newRow("one quote kept") << s + "\r\nRoms=\"\r\n" << "Roms" << "\"";
    QTest::newRow("mixed quotes kept") << s + "\r\nRoms=\"/a/'\r\n" << "Roms" << "\"/a/'";
    QTest::newRow("empty value") << s + "\r\nRoms=\r\n" << "Roms" << "";
    QTest::newRow("no equals sign") << s + "\r\nRoms\r\n" << "Roms" << "<missing>";
    QTest::newRow("first equals splits") << s + "\r\nRoms=a=b\r\n" << "Roms" << "a=b";
    QTest::newRow("key case") << s + "\r\nROMS2=/up/\r\n" << "Roms2" << "/up/";
    QTest::newRow("section case") << QByteArray("[QUORVANE V1.0B CONFIG FILE]\r\nroms3=/low/\r\n") << "Roms3" << "/low/";
    QTest::newRow("section name trimmed, tail ignored") << QByteArray("[  Quorvane v1.0b Config File ] junk\r\nRoms=/t/\r\n")
                                                        << "Roms" << "/t/";
    QTest::newRow("other section") << QByteArray("[Other]\r\nRoms=/no/\r\n") << "Roms" << "<missing>";
    QTest::newRow("before any section") << "Roms=/no/\r\n" + s + "\r\n" << "Roms" << "<missing>";
    QTest::newRow("first key wins") << s + "\r\nRoms=/1/\r\nroms=/2/\r\n" << "Roms" << "/1/";
    QTest::newRow("first section wins") << s + "\r\nRoms2=/1/\r\n" + s + "\r\nRoms=/2/\r\n" << "Roms" << "<missing>";
    QTest::newRow("key of another section") << s + "\r\n[Next]\r\nRoms=/n/\r\n" << "Roms" << "<missing>";
    QTest::newRow("utf-8 bom") << "\xEF\xBB\xBF" + s + "\r\nRoms=/b/\r\n" << "Roms" << "/b/";
    QTest::newRow("utf-8 text") << s + "\r\nRoms=/home/j\xC3\xB6rg/\r\n" << "Roms" << QStringLiteral("/home/j\u00F6rg/");
    QTest::newRow("nul cuts the value") << s + "\r\nRoms=/a/" + QByteArray(1, '\0') + "rest\r\n" << "Roms" << "/a/";
    QTest::newRow("no final line break") << s + "\r\nRoms=/end/" << "Roms" << "/end/";
    const QString longPath = QStringLiteral("/") + QString(300, QLatin1Char('x')) + QStringLiteral("/");
    QTest::newRow("long value whole") << s + "\r\nRoms=" + longPath.toUtf8() + "\r\n" << "Roms" << longPath;
    const QString path74 = QString(73, QLatin1Char('p')) + QStringLiteral("/");
    QTest::newRow("74 characters") << s + "\r\nRoms=" + path74.toUtf8() + "\r\n" << "Roms" << path74;
}

void TestConfig::readsLikeTheProfileFunctions()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const auto value = Module2::profileValue(contents, config::kConfigSection, key);
    QCOMPARE(value.value_or(QStringLiteral("<missing>")), expected);
    // Read from a file in pieces of every small size: lines cut anywhere read the same.
    for (const qsizetype piece : {1, 2, 3, 5, 7, 64}) {
        QBuffer device(&contents);
        QVERIFY(device.open(QIODevice::ReadOnly));
        QCOMPARE(Module2::profileValue(device, config::kConfigSection, key, piece).value_or(QStringLiteral("<missing>")),
                 expected);
    }
}

void TestConfig::writesBytesExactly_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QStringList>("values"); // Roms, Roms2, Roms3
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("create")
        << QByteArray() << QStringList{"C:\\GAMES\\NES\\", "D:\\ROMS\\", "E:\\\\"}
        << QByteArray("[Quorvane v1.0b Config File]\r\nRoms=C:\\GAMES\\NES\\\r\nRoms2=D:\\ROMS\\\r\nRoms3=E:\\\\\r\n");
    QTest::newRow("replace in place keeps spelling and padding")
        << QByteArray("; mine\n[QUORVANE v1.0b config file]\nROMS = old \n  roms2=\nRoms3=\"q\"\n[Keep]\nx=1\n")
        << QStringList{"/a/", "/b/", "/c/"}
        << QByteArray("; mine\n[QUORVANE v1.0b config file]\nROMS = /a/ \n  roms2=/b/\nRoms3=/c/\n[Keep]\nx=1\n");
    QTest::newRow("new keys at the end of their section")
        << QByteArray("[Quorvane v1.0b Config File]\r\nRoms2=/old/\r\n\r\n[Other]\r\nk=v\r\n")
        << QStringList{"/1/", "/2/", "/3/"}
        << QByteArray("[Quorvane v1.0b Config File]\r\nRoms2=/2/\r\nRoms=/1/\r\nRoms3=/3/\r\n\r\n[Other]\r\nk=v\r\n");
    QTest::newRow("new section after a file without final break")
        << QByteArray("[Other]\nk=v") << QStringList{"/1/", "", ""}
        << QByteArray("[Other]\nk=v\r\n[Quorvane v1.0b Config File]\r\nRoms=/1/\r\nRoms2=\r\nRoms3=\r\n");
    QTest::newRow("section is the last line")
        << QByteArray("[Quorvane v1.0b Config File]") << QStringList{"/1/", "/2/", "/3/"}
        << QByteArray("[Quorvane v1.0b Config File]\r\nRoms=/1/\r\nRoms2=/2/\r\nRoms3=/3/\r\n");
    QTest::newRow("bom kept")
        << QByteArray("\xEF\xBB\xBF[Quorvane v1.0b Config File]\r\nRoms=/x/\r\n") << QStringList{"/y/", "", ""}
        << QByteArray("\xEF\xBB\xBF[Quorvane v1.0b Config File]\r\nRoms=/y/\r\nRoms2=\r\nRoms3=\r\n");
    QTest::newRow("blanks at the ends are quoted")
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
    QCOMPARE(visible(readAll(file)), visible(after));
    QCOMPARE(config::ReadRomFolders(file), values);
}

void TestConfig::valuesRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("root with doubled separator") << QStringLiteral("E:\\\\");
    QTest::newRow("posix root doubled") << QStringLiteral("//");
    QTest::newRow("blanks inside") << QStringLiteral("/my roms/nes games/");
    QTest::newRow("blanks outside") << QStringLiteral("  /x/  ");
    QTest::newRow("quotes") << QStringLiteral("'/a/'");
    QTest::newRow("equals and brackets") << QStringLiteral("/a=b/[c]/;d#/");
    QTest::newRow("non-ascii") << QStringLiteral("/home/\u00E5sa/\u65E5\u672C/");
    QTest::newRow("very long") << QString(4000, QLatin1Char('d'));
    QTest::newRow("empty") << QString();
}

void TestConfig::valuesRoundTrip()
{
    QFETCH(QString, value);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    QVERIFY(config::WriteRomFolders(file, {QStringLiteral("/one/"), value, QStringLiteral("/three/")}));
    QCOMPARE(config::ReadRomFolders(file), (QStringList{QStringLiteral("/one/"), value, QStringLiteral("/three/")}));
    // Writing the values read back changes nothing: a Save after a read loses nothing.
    const QByteArray bytes = readAll(file);
    QVERIFY(config::WriteRomFolders(file, config::ReadRomFolders(file)));
    QCOMPARE(readAll(file), bytes);
}

void TestConfig::refusesValuesThatBreakLines()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    const QByteArray before = "[Quorvane v1.0b Config File]\r\nRoms=/keep/\r\n";
    writeFile(file, before);
    for (const QString &bad : {QStringLiteral("/a/\r\n[Evil]\r\nx=1"), QStringLiteral("/a/\nRoms2=/b/"),
                               QStringLiteral("/a/\r"), QStringLiteral("/a/") + QChar(0) + QStringLiteral("b")}) {
        QString error;
        QVERIFY(!config::WriteRomFolders(file, {QStringLiteral("/new/"), bad, QString()}, &error));
        QVERIFY2(error.contains(QLatin1String("Roms2")), qPrintable(error));
        QCOMPARE(readAll(file), before); // nothing at all written, not even the valid key
    }
}

void TestConfig::readingNeverCreatesTheFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    QString error;
    QCOMPARE(config::ReadRomFolders(file, &error), (QStringList{QString(), QString(), QString()}));
    QVERIFY(error.isEmpty());
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(Module2::GetPrivateProfileString(config::kConfigSection, QStringLiteral("Roms"),
                                              QStringLiteral("dflt"), file),
             QStringLiteral("dflt"));
}

void TestConfig::romFoldersUseOneSectionInKeyOrder()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    writeFile(file, "[Quorvane v1.0b Config File]\r\nRoms3=/3/\r\nRoms=/1/\r\nRoms2=/2/\r\n");
    QCOMPARE(config::ReadRomFolders(file), (QStringList{"/1/", "/2/", "/3/"}));
    // Slot 2 changed alone: the others are written again unchanged, the file keeps its order.
    QVERIFY(config::WriteRomFolders(file, {"/1/", "/new2/", "/3/"}));
    QCOMPARE(readAll(file), QByteArray("[Quorvane v1.0b Config File]\r\nRoms3=/3/\r\nRoms=/1/\r\nRoms2=/new2/\r\n"));
}

void TestConfig::failedWriteKeepsTheOldFile()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("etc"));
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/quorvane.ini");
    const QByteArray before = "[Quorvane v1.0b Config File]\r\nRoms=/old/\r\n";
    writeFile(file, before);
    QString error;

    // A folder that does not exist at all.
    const QString missing = dir.filePath(QStringLiteral("nowhere/quorvane.ini"));
    QVERIFY(!config::WriteRomFolders(missing, {"/a/", "", ""}, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFileInfo::exists(missing));

    // A read-only folder.
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    error.clear();
    const bool written = config::WriteRomFolders(file, {"/new/", "", ""}, &error);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#ifdef Q_OS_UNIX
    if (written && ::geteuid() == 0)
        QSKIP("root writes into read-only folders");
#endif
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(file), before);
}

void TestConfig::unreadableFileIsReportedAndNotReplaced()
{
    QTemporaryDir dir;
    // A folder where the file should be cannot be read as a file, whoever runs the test.
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    QDir().mkpath(file);
    QString error;
    QCOMPARE(config::ReadRomFolders(file, &error), (QStringList{QString(), QString(), QString()}));
    QVERIFY(!error.isEmpty());
    error.clear();
    QVERIFY(!config::WriteRomFolders(file, {"/a/", "", ""}, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(file).isDir());
}

void TestConfig::malformedInputReadsAsEmpty()
{
    QByteArray garbage;
    quint32 seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage.append(char(seed >> 16));
    }
    QVERIFY(!Module2::profileValue(garbage, config::kConfigSection, QStringLiteral("Roms")).has_value());
    const QByteArray hugeLine = "[Quorvane v1.0b Config File]\r\nRoms=" + QByteArray(5'000'000, 'x');
    QCOMPARE(Module2::profileValue(hugeLine, config::kConfigSection, QStringLiteral("Roms"))->size(), 5'000'000);
    QVERIFY(!Module2::profileValue(QByteArray(1000, '\0'), config::kConfigSection, QStringLiteral("Roms")));
    QVERIFY(!Module2::profileValue("[[[[]]]]=\r\n=\r\n[", config::kConfigSection, QStringLiteral("Roms")));
    QVERIFY(!Module2::profileValue("Roms=/x/\r\nRoms2=/y/", config::kConfigSection, QStringLiteral("Roms")));
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
