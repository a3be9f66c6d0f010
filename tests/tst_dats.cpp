// ROM databases as they are published: headered and headerless Logiqx XML, clrmamepro's text
// form, DATs without SHA-1, zipped DATs, and files that are no DAT. Each shape is generated from
// the demo ROMs and ROMs made here, and holds a trap: an entry with a ROM's CRC32 whose other sums
// are not that ROM's.

#include "romtests.h"

#include "library/archives/romarchive.h"
#include "library/checking/datfolder.h"
#include "library/checking/romfacts.h"
#include "library/checking/rominformation.h"
#include "library/database/librarydatabase.h"
#include "library/identity/datfiles.h"
#include "library/identity/romdatabase.h"
#include "platform/filenames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

using namespace testutil;
using namespace library;

namespace {

struct Rom {
    QString title;
    QByteArray bytes; // the whole file
};

// The demo ROMs and two made here: a headered one and one without a header.
QList<Rom> roms()
{
    QList<Rom> all;
    const QDir demo(QStringLiteral(DEMO_DIR "/roms"));
    for (const QString &name : demo.entryList({u"*.nes"_s}, QDir::Files, QDir::Name))
        all.append({name.chopped(4) + u" (Demo)"_s, readAll(demo.filePath(name))});
    all.append({u"Made Here (USA) (Rev 1)"_s, header(2, 1, 0x01) + QByteArray(32768, 'p') + QByteArray(8192, 'c')});
    all.append({u"Headerless (Japan)"_s, QByteArray(16384, 'h')});
    return all;
}

enum Sums { Sha1 = 1, Md5 = 2, Size = 4 };

QString hex(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex()); }

struct Entry {
    QString title;
    QByteArray data; // what the entry's sums are of
    int sums;
    // Instead of data's, for the trap.
    QByteArray sha1 = {};
    QByteArray md5 = {};
    qint64 size = -1;

    qint64 sizeGiven() const { return size >= 0 ? size : data.size(); }
    QString sha1Given() const { return hex(sha1.isEmpty() ? sumsOf(data).sha1 : sha1); }
    QString md5Given() const { return hex(md5.isEmpty() ? QCryptographicHash::hash(data, QCryptographicHash::Md5) : md5); }
};

QString xmlDat(const QList<Entry> &entries, const QString &headerLine = {})
{
    QString text = u"<?xml version=\"1.0\"?>\n<datafile>\n<header><name>Nintendo - Nintendo Entertainment System</name>"_s + headerLine
        + u"</header>\n"_s;
    for (const Entry &entry : entries) {
        const RomSums sums = sumsOf(entry.data);
        text += u"<game name=\"%1\"><description>%1</description><rom name=\"%1.nes\""_s.arg(entry.title.toHtmlEscaped());
        if (entry.sums & Size)
            text += u" size=\"%1\""_s.arg(entry.sizeGiven());
        text += u" crc=\"%1\""_s.arg(crc32Text(sums.crc32));
        if (entry.sums & Md5)
            text += u" md5=\"%1\""_s.arg(entry.md5Given());
        if (entry.sums & Sha1)
            text += u" sha1=\"%1\""_s.arg(entry.sha1Given());
        text += u"/></game>\n"_s;
    }
    return text + u"</datafile>\n"_s;
}

QString textDat(const QList<Entry> &entries)
{
    QString text = u"clrmamepro (\n\tname \"Nintendo - Nintendo Entertainment System\"\n\theader \"No-Intro_NES.xml\"\n)\n\n"_s;
    for (const Entry &entry : entries) {
        const RomSums sums = sumsOf(entry.data);
        text += u"game (\n\tname \"%1\"\n\tdescription \"%1\"\n\trom ( name \"%1.nes\""_s.arg(entry.title);
        if (entry.sums & Size)
            text += u" size %1"_s.arg(entry.sizeGiven());
        text += u" crc %1"_s.arg(crc32Text(sums.crc32).toUpper());
        if (entry.sums & Md5)
            text += u" md5 %1"_s.arg(entry.md5Given().toUpper());
        if (entry.sums & Sha1)
            text += u" sha1 %1"_s.arg(entry.sha1Given().toUpper());
        text += u" )\n)\n\n"_s;
    }
    return text;
}

QByteArray zipped(const QString &name, const QByteArray &bytes)
{
    QByteArray zip(bytes.size() + 4096, '\0');
    size_t used = 0;
    archive *writer = archive_write_new();
    archive_write_set_format_zip(writer);
    archive_write_open_memory(writer, zip.data(), size_t(zip.size()), &used);
    archive_entry *entry = archive_entry_new();
    archive_entry_set_pathname(entry, name.toUtf8().constData());
    archive_entry_set_size(entry, bytes.size());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_write_header(writer, entry);
    archive_write_data(writer, bytes.constData(), size_t(bytes.size()));
    archive_entry_free(entry);
    archive_write_close(writer);
    archive_write_free(writer);
    zip.truncate(qsizetype(used));
    return zip;
}

QByteArray dataOf(const QByteArray &file) { return file.startsWith("NES\x1A") ? file.mid(16) : file; }

// The facts of a ROM file as the checker reaches them: summed quickly, then again with every sum
// when an entry needs one.
RomFacts judged(const QString &path, const RomDatabase &database)
{
    RomFacts facts = judgeRom(identifyRom(path, WholeFileSums::CrcOnly), &database);
    if (facts.needsEverySum)
        facts = judgeRom(identifyRom(path, WholeFileSums::Every), &database);
    return facts;
}

} // namespace

class TestDats : public QObject
{
    Q_OBJECT

private slots:
    void everyShapeFindsItsRomsAndNoTrap_data()
    {
        QTest::addColumn<QString>("form"); // how the DAT is written: xml, text, xml.zip, text.zip
        QTest::addColumn<bool>("headered");
        QTest::addColumn<int>("sums");
        QTest::addColumn<QString>("matchedBy"); // what ROM Information says of a headered ROM
        QTest::newRow("headered XML") << u"xml"_s << true << (Sha1 | Md5 | Size) << u"CRC32, size, SHA-1 and MD5 of the whole file"_s;
        QTest::newRow("headerless XML") << u"xml"_s << false << (Sha1 | Md5 | Size)
                                        << u"CRC32, size, SHA-1 and MD5 of the ROM without its header"_s;
        QTest::newRow("clrmamepro text") << u"text"_s << true << (Sha1 | Md5 | Size) << u"SHA-1 and MD5 of the whole file"_s;
        QTest::newRow("CRC32, size and MD5") << u"xml"_s << false << (Md5 | Size) << u"CRC32, size and MD5 of the ROM without"_s;
        QTest::newRow("CRC32 and size only") << u"text"_s << true << int(Size) << u"CRC32 and size only, of the whole file"_s;
        QTest::newRow("zipped XML") << u"xml.zip"_s << true << (Sha1 | Size) << u"CRC32, size and SHA-1 of the whole file"_s;
        QTest::newRow("zipped text") << u"text.zip"_s << false << (Sha1 | Size) << u"CRC32, size and SHA-1 of the ROM without"_s;
    }
    void everyShapeFindsItsRomsAndNoTrap()
    {
        QFETCH(QString, form);
        QFETCH(bool, headered);
        QFETCH(int, sums);
        QFETCH(QString, matchedBy);
        QTemporaryDir dir;
        const QList<Rom> all = roms();
        QList<Entry> entries;
        for (const Rom &rom : all)
            entries.append({rom.title, headered ? rom.bytes : dataOf(rom.bytes), sums});
        // The trap comes first: the first ROM's CRC32 and size with another SHA-1 or MD5, or, in a
        // DAT with neither, another size.
        const QByteArray trapped = headered ? all[0].bytes : dataOf(all[0].bytes);
        Entry trap{u"Trap"_s, trapped, sums, QByteArray(20, '\x5a'), QByteArray(16, '\xa5')};
        if (!(sums & (Sha1 | Md5)))
            trap.size = trapped.size() + 1;
        const QString text = form.startsWith(u"xml"_s) ? xmlDat(QList<Entry>{trap} + entries, u"<clrmamepro header=\"No-Intro_NES.xml\"/>"_s)
                                                       : textDat(QList<Entry>{trap} + entries);
        const QByteArray bytes = text.toUtf8();
        if (form.endsWith(u".zip"_s))
            writeFile(dir.filePath(u"dat/Nintendo.zip"_s), zipped(u"Nintendo - Nintendo Entertainment System.dat"_s, bytes));
        else
            writeFile(dir.filePath(u"dat/Nintendo.dat"_s), bytes);

        RomDatabase database;
        QStringList errors;
        readDatFolder(database, dir.filePath(u"dat"_s), &errors);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        for (qsizetype i = 0; i < all.size(); ++i) {
            const QString path = dir.filePath(u"roms/%1.nes"_s.arg(i));
            writeFile(path, all[i].bytes);
            const RomFacts facts = judged(path, database);
            QCOMPARE(facts.title, all[i].title);
            const bool hasHeader = all[i].bytes.startsWith("NES\x1A");
            if (hasHeader)
                QVERIFY2(facts.matchedBy.contains(matchedBy), qPrintable(facts.matchedBy));
            else
                QVERIFY2(!facts.matchedBy.contains(u"header"_s) && !facts.matchedBy.contains(u"whole"_s), qPrintable(facts.matchedBy));
        }
        // A ROM whose only entry is the trap is in no database.
        QList<Entry> onlyTrap{trap};
        const QString trapText = form.startsWith(u"xml"_s) ? xmlDat(onlyTrap) : textDat(onlyTrap);
        RomDatabase trapOnly;
        QString error;
        QVERIFY2(trapOnly.addDat(trapText.toUtf8(), u"trap"_s, &error), qPrintable(error));
        QVERIFY(judged(dir.filePath(u"roms/0.nes"_s), trapOnly).title.isEmpty());
    }

    // ROM Information says which sums matched; a zipped ROM is found by its ROM's sums.
    void romInformationAndArchivesSayWhatMatched()
    {
        QTemporaryDir dir;
        const Rom rom = roms().last(); // no header
        const Rom headered = roms().first();
        writeFile(dir.filePath(u"dat/old.xml"_s),
                  xmlDat({{headered.title, headered.bytes, Size | Md5}, {rom.title, rom.bytes, Size}}).toUtf8());
        RomDatabase database;
        QStringList errors;
        readDatFolder(database, dir.filePath(u"dat"_s), &errors);
        QVERIFY(errors.isEmpty());
        writeFile(dir.filePath(u"set.zip"_s), zipped(u"inside.nes"_s, headered.bytes));
        ArchiveListing listing = listArchive(dir.filePath(u"set.zip"_s));
        RomFacts facts = judgeArchive(listing, &database);
        QVERIFY(facts.needsEverySum && facts.title.isEmpty()); // its MD5 was not computed as it was listed
        facts = judgeArchive(listArchive(dir.filePath(u"set.zip"_s), {}, Reading::EverySum), &database);
        QCOMPARE(facts.title, headered.title);
        // The more sums survive the listing's round trip through the database's bytes.
        ArchiveListing kept;
        QVERIFY(decodeListing(encodeListing(*facts.archive), &kept));
        QVERIFY(!judgeArchive(kept, &database).needsEverySum);

        writeFile(dir.filePath(u"plain.nes"_s), rom.bytes);
        const RomFacts plain = judged(dir.filePath(u"plain.nes"_s), database);
        QCOMPARE(plain.title, rom.title);
        QString information;
        for (const InfoLine &line : romInformationLines(dir.filePath(u"plain.nes"_s), &plain, nullptr))
            information += line.label == u"Database"_s ? line.value : QString();
        QVERIFY2(information.contains(u"matched by CRC32 and size only"_s), qPrintable(information));
    }

    // The checker reads a ROM again only once for a DAT's extra sums, and keeps them: a second
    // start finds the ROM by what it kept.
    void theCheckerKeepsTheSumsAHeaderedDatNeeds()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"roms/"_s);
        const QList<Rom> all = roms();
        QList<Entry> entries;
        QStringList names;
        for (qsizetype i = 0; i < all.size(); ++i) {
            entries.append({all[i].title, all[i].bytes, Sha1 | Md5 | Size});
            names << u"%1.nes"_s.arg(i);
            writeFile(folder + names.last(), all[i].bytes);
        }
        writeFile(dir.filePath(u"dat/headered.dat"_s), xmlDat(entries).toUtf8());
        const QDateTime modified = QDateTime::currentDateTime().addSecs(-3600);
        for (const QString &name : names) {
            QFile file(folder + name);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(modified, QFileDevice::FileModificationTime));
        }
        const RomChecker::Places places{dir.filePath(u"quorvane.db"_s), {dir.filePath(u"dat"_s)}};
        {
            RomChecker checker(places);
            const FactsByName facts = checkAll(checker, folder, names);
            for (qsizetype i = 0; i < all.size(); ++i)
                QCOMPARE(facts[names[i].toUtf8()].title, all[i].title);
        }
        // Changed behind their times' backs: what was kept is what shows.
        for (const QString &name : names) {
            QFile file(folder + name);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(20) && file.write("XXXX") == 4 && file.flush());
            QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
        }
        RomChecker again(places);
        const FactsByName facts = checkAll(again, folder, names);
        for (qsizetype i = 0; i < all.size(); ++i)
            QCOMPARE(facts[names[i].toUtf8()].title, all[i].title);
    }

    void filesThatAreNoDatSaySoAndTheOthersAreRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("said");
        QTest::newRow("a text file") << u"readme.txt"_s << QByteArray("These DATs come from ...\n") << u"Logiqx XML"_s;
        QTest::newRow("empty") << u"empty.dat"_s << QByteArray() << u"it is empty"_s;
        QTest::newRow("binary") << u"picture.dat"_s << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10) << u"clrmamepro's text form"_s;
        QTest::newRow("XML, no DAT") << u"page.xml"_s << QByteArray("<?xml version=\"1.0\"?>\n<html><body/></html>\n") << u"line 2"_s;
        QTest::newRow("text, unclosed game") << u"cut.dat"_s << QByteArray("clrmamepro ( name \"x\" )\ngame (\n name \"a\"\n")
                                             << u"line 4: a block is not closed"_s;
        QTest::newRow("text, unclosed quote") << u"quote.dat"_s << QByteArray("game ( name \"a )\n)\n") << u"line 1: a quoted string"_s;
        QTest::newRow("text, too deep") << u"deep.dat"_s << QByteArray("clrmamepro ") + QByteArray(40, '(') << u"nested more than 32"_s;
        QTest::newRow("a zip without a DAT") << u"roms.zip"_s << zipped(u"game.nes"_s, "NES\x1A") << u"no .dat or .xml file"_s;
    }
    void filesThatAreNoDatSaySoAndTheOthersAreRead()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QByteArray kept(8192, 'k');
        writeFile(dir.filePath(u"dat/"_s) + name, bytes);
        writeFile(dir.filePath(u"dat/zz-good.dat"_s), textDat({{u"Kept"_s, kept, Sha1 | Size}}).toUtf8());
        RomDatabase database;
        QStringList errors;
        readDatFolder(database, dir.filePath(u"dat"_s), &errors);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(name) && errors[0].contains(said), qPrintable(errors[0]));
        QCOMPARE(database.size(), 1);
        writeFile(dir.filePath(u"kept.nes"_s), kept);
        QCOMPARE(judged(dir.filePath(u"kept.nes"_s), database).title, u"Kept"_s);
    }

    // The text form as RetroArch's database project writes it: blocks the reader does not use
    // are passed over, a CRC32 alone is no entry, "flags baddump" is a bad dump.
    void theTextFormAsPublished()
    {
        const QByteArray text = "clrmamepro (\n\tname \"NES\"\n\tversion 20240101\n)\n"
                                "resource ( name \"bios\" rom ( name \"x\" size 1 crc 00000001 ) )\n"
                                "game (\n\tname \"A (USA)\"\n\tregion \"USA\"\n\trom ( name \"A.nes\" size 16 crc 0000ABCD flags baddump )\n"
                                "\tdisk ( name \"d\" sha1 0000000000000000000000000000000000000000 )\n)\n"
                                "game ( name \"B\" rom ( name \"B.nes\" crc 0000BBBB ) )\n"
                                "game ( rom ( crc 0000CCCC size 2 ) name \"C, named last\" )\n";
        QList<DatRom> read;
        QString error;
        QVERIFY2(readDat(text, [&](DatRom &&rom) { read.append(rom); }, &error), qPrintable(error));
        QCOMPARE(read.size(), 3);
        QCOMPARE(read[1].game, u"A (USA)"_s);
        QVERIFY(read[1].isBadDump());
        QCOMPARE(read[1].size, 16);
        QCOMPARE(read[2].game, u"C, named last"_s);
        QCOMPARE(datFormOf("\xEF\xBB\xBF  game ("), DatForm::ClrMamePro);
    }
};

QTEST_MAIN(TestDats)
#include "tst_dats.moc"
