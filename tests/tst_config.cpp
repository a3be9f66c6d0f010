#include "config/profilefile.h"
#include "testutil.h"

#include <QBuffer>
#include <QStringEncoder>

using namespace testutil;

namespace {
const QByteArray kSection = "[Quorvane v1.0b Config File]";
const QStringList kEmpty{QString(), QString(), QString()};

// Text as Windows' profile functions and Notepad write "Unicode" files: a byte order mark, UTF-16.
QByteArray utf16(const QByteArray &utf8, QStringConverter::Encoding order = QStringConverter::Utf16LE)
{
    QStringEncoder encoder(order, QStringConverter::Flag::WriteBom);
    return encoder(QString::fromUtf8(utf8));
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    void reads_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected"); // "<missing>": the key reads as its default

        const QByteArray s = kSection;
        QTest::newRow("crlf") << s + "\r\nRoms=C:\\GAMES\\NES\\\r\n" << "Roms" << "C:\\GAMES\\NES\\";
        QTest::newRow("cr only, no final break") << s + "\rRoms=/x/\rRoms2=/y/" << "Roms2" << "/y/";
        QTest::newRow("blank lines, padding") << "\n\n \t" + s + " \n\n  Roms \t=  /a b/ \t\n" << "Roms" << "/a b/";
        QTest::newRow("quotes taken off once") << s + "\nRoms=\" /pad/ \"\n" << "Roms" << " /pad/ ";
        QTest::newRow("quotes around nothing") << s + "\nRoms=''\n" << "Roms" << "";
        QTest::newRow("unpaired quotes kept") << s + "\nRoms=\"/a/'\n" << "Roms" << "\"/a/'";
        QTest::newRow("empty value") << s + "\r\nRoms=\r\n" << "Roms" << "";
        QTest::newRow("no equals sign: a key without value") << s + "\r\nRoms\r\nRoms=/later/\r\n" << "Roms" << "<missing>";
        QTest::newRow("first equals splits") << s + "\r\nRoms=a=b\r\n" << "Roms" << "a=b";
        QTest::newRow("names in any case") << QByteArray("[ QUORVANE V1.0B CONFIG FILE ] x\nroms3=/low/") << "Roms3" << "/low/";
        QTest::newRow("other section") << QByteArray("[Other]\r\nRoms=/no/\r\n") << "Roms" << "<missing>";
        QTest::newRow("unclosed bracket is no section") << s + "\r\n[Other\r\nRoms=/still/\r\n" << "Roms" << "/still/";
        QTest::newRow("unclosed bracket starts none") << "[Other]\r\n" + s.chopped(1) + "\r\nRoms=/no/\r\n" << "Roms" << "<missing>";
        QTest::newRow("unclosed bracket is a key") << s + "\r\n[Roms=/odd/\r\n" << "[Roms" << "/odd/";
        QTest::newRow("first key wins") << s + "\r\nRoms=/1/\r\nroms=/2/\r\n" << "Roms" << "/1/";
        QTest::newRow("first section wins") << s + "\nRoms2=/1/\n[Other]\n" + s + "\nRoms=/2/\n" << "Roms" << "<missing>";
        QTest::newRow("utf-8 bom and text") << "\xEF\xBB\xBF" + s + "\nRoms=/j\xC3\xB6rg/\n" << "Roms" << u"/j\u00F6rg/"_s;
        QTest::newRow("utf-16 little endian") << utf16(s + "\r\nRoms=/j\xC3\xB6rg/\r\n") << "Roms" << u"/j\u00F6rg/"_s;
        QTest::newRow("utf-16 big endian, beyond the BMP")
            << utf16(s + "\nRoms2=/\xF0\x9F\x8E\xAE/\n", QStringConverter::Utf16BE) << "Roms2" << u"/\U0001F3AE/"_s;
#ifndef Q_OS_WIN
        QTest::newRow("bytes that are no text are kept") << s + "\nRoms=/r\xE9ms/\n" << "Roms" << (u"/r"_s + QChar(0xDCE9) + u"ms/"_s);
#endif
        QTest::newRow("nul cuts the value") << s + "\nRoms=/a/" + QByteArray(1, '\0') + "rest\n" << "Roms" << "/a/";
        QTest::newRow("longer, whole") << s + "\nRoms=" + QByteArray(5000, 'x') << "Roms" << QString(5000, u'x');
        QTest::newRow("long line passed over") << s + "\nx=" + QByteArray(70000, 'x') + "\nRoms=/y/" << "Roms" << "/y/";
    }

    void reads()
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

    void writesBytesExactly_data()
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
        QTest::newRow("utf-16 stays utf-16, its other lines kept")
            << utf16(kSection + "\r\nRoms=/old/\r\n[Keep]\r\nx=\xC3\xA9\r\n") << QStringList{"/\u65E5\u672C/", "", ""}
            << utf16(kSection + "\r\nRoms=/\xE6\x97\xA5\xE6\x9C\xAC/\r\nRoms2=\r\nRoms3=\r\n[Keep]\r\nx=\xC3\xA9\r\n");
        // Found by replaying fuzz_profile: the writer dropped a U+FEFF that stood first in the text, after the mark.
        QTest::newRow("utf-16 whose text starts with U+FEFF") << "\xFF\xFE\xFF\xFE" + utf16("[x]\n").mid(2) << QStringList{"/a/", "", ""}
            << "\xFF\xFE\xFF\xFE" + utf16("[x]\n" + kSection + "\r\nRoms=/a/\r\nRoms2=\r\nRoms3=\r\n").mid(2);
        QTest::newRow("utf-16 big endian") << utf16("; n\n", QStringConverter::Utf16BE) << QStringList{"/a/", "", ""}
            << utf16("; n\n" + kSection + "\r\nRoms=/a/\r\nRoms2=\r\nRoms3=\r\n", QStringConverter::Utf16BE);
        QTest::newRow("values kept as they are") << QByteArray() << QStringList{"'/a/'x", "/a=b/[c]/;d#/", QString(4000, 'd')}
            << kSection + "\r\nRoms='/a/'x\r\nRoms2=/a=b/[c]/;d#/\r\nRoms3=" + QByteArray(4000, 'd') + "\r\n";
    }

    void writesBytesExactly()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, values);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"quorvane.ini"_s);
        if (!before.isEmpty())
            writeFile(file, before);
        QString error;
        QVERIFY2(config::writeRomFolders(file, values, &error), qPrintable(error));
        QCOMPARE(readAll(file), after);
        QCOMPARE(foldersIn(file), values);
        QVERIFY(config::writeRomFolders(file, foldersIn(file))); // a Save after a read loses nothing
        QCOMPARE(readAll(file), after);
    }

    void failuresLeaveTheFileAsItWas()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"new/folder/quorvane.ini"_s);
        QString error;
        // Reading never creates anything; a first save creates the missing folders.
        QStringList read;
        QVERIFY(config::readRomFolders(file, &read, &error));
        QCOMPARE(read, kEmpty);
        QVERIFY(error.isEmpty() && !QFileInfo::exists(dir.filePath(u"new"_s)));
        QVERIFY(config::writeRomFolders(file, {"/keep/", "", ""}));

        // A line break or NUL would inject lines: nothing at all is written, not even the valid keys.
        const QByteArray before = readAll(file);
        for (const QString &bad : {u"/a/\r\n[Evil]"_s, u"/a/\nRoms=/b/"_s,
                                   u"/a/"_s + QChar(0)}) {
            QVERIFY(!config::writeRomFolders(file, {"/new/", bad, ""}, &error));
            QVERIFY2(error.contains("Roms2"_L1), qPrintable(error));
            QCOMPARE(readAll(file), before);
        }
        // A folder that cannot be made (a file stands in its place); no regular file (a folder here,
        // FIFOs and devices where the system has them), neither read nor replaced.
        writeFile(dir.filePath(u"plain"_s), "x");
        error.clear();
        QVERIFY(!config::writeRomFolders(dir.filePath(u"plain/quorvane.ini"_s), {"/a/", "", ""}, &error));
        QVERIFY(!error.isEmpty());
        QString readError;
        QVERIFY(!config::readRomFolders(dir.path(), &read, &readError));
        QCOMPARE(read, kEmpty);
        QVERIFY(!config::writeRomFolders(dir.path(), {"/a/", "", ""}, &error) && QFileInfo(dir.path()).isDir());
        QVERIFY2(readError.contains("not a regular file"_L1) && error == readError, qPrintable(error));
    }

    // Windows' own functions read a file with a UTF-8 byte order mark as UTF-8 and any other in the
    // ANSI code page. A folder that code page cannot hold turns the file into UTF-8 with a mark.
    void textOutsideTheCodePage()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"quorvane.ini"_s);
        writeFile(file, "; caf\xE9\r\n" + configFor("C:\\old\\", "", ""));
        const QStringList latin{u"D:\\J\u00F6rg\\"_s, QString(), QString()};
        QVERIFY(config::writeRomFolders(file, latin));
        QCOMPARE(foldersIn(file), latin);
#ifdef Q_OS_WIN
        QCOMPARE(readAll(file), "; caf\xE9\r\n" + kSection + "\r\nRoms=D:\\J\xF6rg\\\r\nRoms2=\r\nRoms3=\r\n"); // still the code page
#endif
        const QStringList japanese{u"C:\\\u65E5\u672C\\"_s, u"D:\\J\u00F6rg\\"_s,
                                   u"E:\\\u0420\u043E\u043C\u044B\\"_s};
        QVERIFY(config::writeRomFolders(file, japanese));
        QCOMPARE(foldersIn(file), japanese);
#ifdef Q_OS_WIN
        QCOMPARE(readAll(file), "\xEF\xBB\xBF; caf\xC3\xA9\r\n" + configFor(japanese[0], japanese[1], japanese[2]));
#else
        QVERIFY(readAll(file).startsWith("; caf\xE9\r\n")); // UTF-8 holds any text: nothing converted
#endif
    }

    void whereTheFileLives_data()
    {
        QTest::addColumn<QStringList>("present"); // of "fixed", "application", "user", "windows"
        QTest::addColumn<bool>("fixedAtBuild");
        QTest::addColumn<QString>("saved");       // the folder whose file Save writes
        QTest::addColumn<QString>("read");        // the folder whose file start-up reads

        QTest::newRow("none yet") << QStringList{} << false << "user" << "user";
        QTest::newRow("the user's own") << QStringList{"user"} << false << "user" << "user";
        QTest::newRow("only an old one in the Windows folder") << QStringList{"windows"} << false << "user" << "windows";
        QTest::newRow("the user's own before the old one") << QStringList{"user", "windows"} << false << "user" << "user";
        QTest::newRow("portable: beside the program") << QStringList{"application"} << false << "application" << "application";
        QTest::newRow("portable before the user's own and the old one")
            << QStringList{"application", "user", "windows"} << false << "application" << "application";
        QTest::newRow("fixed at build time before all")
            << QStringList{"application", "user", "windows"} << true << "fixed" << "fixed";
    }

    void whereTheFileLives()
    {
        QFETCH(QStringList, present);
        QFETCH(bool, fixedAtBuild);
        QFETCH(QString, saved);
        QFETCH(QString, read);
        QTemporaryDir dir;
        auto folder = [&](const QString &name) { return dir.filePath(name); };
        auto file = [&](const QString &name) { return QDir::toNativeSeparators(folder(name) + u"/quorvane.ini"_s); };
        const QStringList all{"fixed", "application", "user", "windows"};
        for (const QString &name : all) {
            QDir().mkpath(folder(name));
            if (present.contains(name))
                writeFile(file(name), name == "application"_L1 ? QByteArray() : configFor("/" + name + "/", "", ""));
        }
        const config::ConfigFiles files = config::configFiles(
            config::ConfigFolders{fixedAtBuild ? folder("fixed") : QString(), folder("application"), folder("user"), folder("windows")});
        QCOMPARE(files.file, file(saved));
        QCOMPARE(files.fileToRead(), file(read));
        QCOMPARE(files.portable, saved == "application"_L1);
        // An empty file beside the program reads as three empty folders; Save fills only that file.
        const bool holdsFolders = present.contains(read) && read != "application"_L1;
        QCOMPARE(foldersIn(files.fileToRead()).front(), holdsFolders ? "/" + read + "/" : QString());
        QMap<QString, QByteArray> before;
        for (const QString &name : all)
            before[name] = readAll(file(name));
        QVERIFY(config::writeRomFolders(files.file, {"/new/", "", ""}));
        for (const QString &name : all)
            QCOMPARE(readAll(file(name)), name == saved ? configFor("/new/", "", "") : before[name]);
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
