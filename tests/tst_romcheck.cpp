// What a ROM file is: its sums, its entry in a ROM database, and the checker that fills a list's
// marks.

#include "romtests.h"

#include "library/database/librarydatabase.h"
#include "library/database/playhistory.h"
#include "library/checking/romchecker.h"
#include "library/checking/datfolder.h"
#include "library/identity/romdatabase.h"
#include "library/folders/romfilter.h"
#include "library/identity/romidentity.h"
#include "library/folders/romlistmodel.h"
#include "library/folders/romnames.h"
#include "library/identity/sha1.h"
#include "platform/filenames.h"

#include <QBuffer>
#include <QProcess>
#include <QRandomGenerator>
#include <QCryptographicHash>
#include <QSignalSpy>
#include <QElapsedTimer>
#include <QScopeGuard>

#include <sqlite3.h>
#include <zlib.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace testutil;
using namespace library;

namespace {

QString datEntry(const QString &game, QByteArrayView data, const QString &extra = {})
{
    const RomSums sums = sumsOf(data);
    return u"<game name=\"%1\"><rom name=\"%1.nes\" size=\"%2\" crc=\"%3\" sha1=\"%4\"%5/></game>\n"_s.arg(game)
        .arg(data.size())
        .arg(crc32Text(sums.crc32).toUpper(), sha1Text(sums.sha1), extra);
}

QByteArray dat(const QString &entries)
{
    return ("<?xml version=\"1.0\"?>\n<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
            "\"http://www.logiqx.com/Dats/datafile.dtd\">\n<datafile>\n<header><name>Test</name></header>\n"
            + entries + "</datafile>\n")
        .toUtf8();
}

} // namespace

class TestRomCheck : public QObject
{
    Q_OBJECT

private slots:
    // The SHA-1 of the processor's instructions is Qt's, whatever the lengths and the pieces.
    void sha1IsQtsInAnyPieces()
    {
        qInfo("SHA-1 with the processor's instructions: %s", Sha1::usesProcessorInstructions() ? "yes" : "no");
        Sha1 abc;
        abc.addData("abc");
        QCOMPARE(abc.result().toHex(), "a9993e364706816aba3e25717850c26c9cd0d89d");
        QRandomGenerator random(31);
        for (int size : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000, 70000}) {
            QByteArray bytes(size, Qt::Uninitialized);
            for (char &c : bytes)
                c = char(random.bounded(256));
            Sha1 sum;
            sum.addData(QByteArrayView()); // no bytes, and no pointer to them (found by fuzz_archive)
            for (qsizetype at = 0; at < size;) {
                const qsizetype piece = std::min<qsizetype>(random.bounded(1, 150), size - at);
                sum.addData(QByteArrayView(bytes).sliced(at, piece));
                at += piece;
            }
            QCOMPARE(sum.result(), QCryptographicHash::hash(bytes, QCryptographicHash::Sha1));
        }
    }

    void identityLeavesOutTheHeaderOnly()
    {
        // The sums of the bytes after the 16-byte header, the trainer kept, as ROM databases' NES
        // header rule reads a file; the whole file's CRC32 follows from the parts.
        const QByteArray trainer(512, 'T');
        const QByteArray rom = header(1, 0, 0x04) + trainer + QByteArray(16384, 'P');
        const RomIdentity id = identifyRomBytes(rom);
        QCOMPARE(id.data, sumsOf(QByteArrayView(rom).sliced(16)));
        QCOMPARE(id.file, sumsOf(rom));
        QCOMPARE(id.header, rom.left(16));
        QCOMPARE(id.size, rom.size());

        // A known vector: the three bytes "abc" after a header, and alone (no header to leave out).
        QCOMPARE(crc32Text(identifyRomBytes(header(1, 1) + "abc").data.crc32), u"352441c2"_s);
        QCOMPARE(sha1Text(identifyRomBytes(header(1, 1) + "abc").data.sha1), u"a9993e364706816aba3e25717850c26c9cd0d89d"_s);
        QCOMPARE(identifyRomBytes("abc").data, identifyRomBytes("abc").file);
        QCOMPARE(identifyRomBytes("abc").data, sumsOf("abc"));
    }

    void aFileIsReadInPiecesAsInMemory()
    {
        QTemporaryDir dir;
        // Sizes about the pieces the reader uses, and files shorter than a header.
        for (const qsizetype size : {0, 3, 16, 17, 256 * 1024 + 16, 256 * 1024 + 17, 3 * 256 * 1024 + 1000}) {
            QByteArray bytes = header(2, 1) + QByteArray(std::max<qsizetype>(0, size - 16), 'x');
            bytes.truncate(size);
            for (qsizetype i = 16; i < bytes.size(); i += 4093)
                bytes[i] = char(i * 7);
            const QString path = dir.filePath(u"r%1.nes"_s.arg(size));
            writeFile(path, bytes);
            const RomIdentity fromDisk = identifyRom(path, WholeFileSums::Both);
            const RomIdentity inMemory = identifyRomBytes(bytes);
            QVERIFY2(fromDisk.error.isEmpty(), qPrintable(fromDisk.error));
            QCOMPARE(fromDisk.data, inMemory.data);
            QCOMPARE(fromDisk.file, inMemory.file);
            QCOMPARE(fromDisk.size, size);
        }
        // Only the CRC of the whole file when its SHA-1 is not asked for.
        const RomIdentity quick = identifyRom(dir.filePath(u"r17.nes"_s), WholeFileSums::CrcOnly);
        QVERIFY(quick.file.sha1.isEmpty());
        QCOMPARE(quick.file.crc32, identifyRomBytes(readAll(dir.filePath(u"r17.nes"_s))).file.crc32);
    }

    void hugeMissingAndSpecialFilesAreRefusedWithoutReading()
    {
        QTemporaryDir dir;
        QFile huge(dir.filePath(u"huge.nes"_s)); // sparse: claims 65 MB, holds nothing
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(kLargestRomFile + 1));
        huge.close();
        QVERIFY(identifyRom(huge.fileName(), WholeFileSums::Both).error.contains(u"64 MB"_s));
        QVERIFY(!identifyRom(dir.filePath(u"none.nes"_s), WholeFileSums::Both).error.isEmpty());
        QVERIFY(!identifyRom(dir.path(), WholeFileSums::Both).error.isEmpty());
#ifdef Q_OS_UNIX
        const QByteArray fifo = QFile::encodeName(dir.filePath(u"fifo.nes"_s));
        QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        QVERIFY(!identifyRom(QString::fromUtf8(fifo), WholeFileSums::Both).error.isEmpty()); // no wait for a writer
#endif
        // Cancelled: stops at once, with no sums.
        writeFile(dir.filePath(u"a.nes"_s), header(1, 0) + QByteArray(1 << 20, 'a'));
        const RomIdentity cancelled = identifyRom(dir.filePath(u"a.nes"_s), WholeFileSums::Both, [] { return true; });
        QVERIFY(!cancelled.error.isEmpty() && !cancelled.data.isValid());
    }

    void aMalformedDatIsSaidWithItsLineAndTheOthersAreRead_data()
    {
        QTest::addColumn<QByteArray>("broken");
        QTest::addColumn<int>("line");
        QTest::newRow("unclosed element") << QByteArray("<?xml version=\"1.0\"?>\n<datafile>\n<game name=\"a\">\n<rom crc=\"1\">\n</datafile>\n") << 5;
        QTest::newRow("not a DAT") << QByteArray("<?xml version=\"1.0\"?>\n<html><body/></html>\n") << 2;
        // Each entity ten times the last: without a limit, a few hundred bytes become gigabytes.
        QByteArray bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile [\n<!ENTITY e0 \"xxxxxxxxxx\">\n";
        for (int level = 1; level < 10; ++level) {
            bomb += "<!ENTITY e" + QByteArray::number(level) + " \"";
            for (int i = 0; i < 10; ++i)
                bomb += "&e" + QByteArray::number(level - 1) + ";";
            bomb += "\">\n";
        }
        bomb += "]>\n<datafile><game name=\"&e9;\"><rom crc=\"00000000\" sha1=\"" + QByteArray(40, '0') + "\"/></game></datafile>\n";
        QTest::newRow("entity expansion") << bomb << 14;
    }
    void aMalformedDatIsSaidWithItsLineAndTheOthersAreRead()
    {
        QFETCH(QByteArray, broken);
        QFETCH(int, line);
        QTemporaryDir dir;
        const QByteArray rom(8192, 'r');
        writeFile(dir.filePath(u"dat/a-broken.dat"_s), broken);
        writeFile(dir.filePath(u"dat/b-good.xml"_s), dat(datEntry(u"Kept"_s, rom)));
        RomDatabase database;
        QStringList errors;
        readDatFolder(database, dir.filePath(u"dat"_s), &errors);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(u"a-broken.dat"_s) && errors[0].contains(u"line %1"_s.arg(line)), qPrintable(errors[0]));
        QCOMPARE(database.size(), 1);
        QVERIFY(database.match(identifyRomBytes(rom)).entry);
    }

    void theCheckerMarksWhatIsWrongAndASecondStartReadsNoRom()
    {
        QTemporaryDir dir;
        const QString roms = dir.filePath(u"roms/"_s);
        const QByteArray prg(32768, 'p'), chr(8192, 'c');
        const QByteArray good = header(2, 1) + prg + chr, bad = header(1, 0) + QByteArray(16384, 'b');
        writeFile(roms + u"good.nes"_s, good);
        const QDateTime modified = QDateTime::currentDateTime().addSecs(-3600); // whole milliseconds, as set again below
        {
            QFile file(roms + u"good.nes"_s);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(modified, QFileDevice::FileModificationTime));
        }
        writeFile(roms + u"dirty.nes"_s, header(2, 1, 0x10, "DiskDude") + prg + chr);
        writeFile(roms + u"short.nes"_s, header(8, 1) + prg);
        writeFile(roms + u"none.nes"_s, "no rom at all");
        writeFile(roms + u"bad.nes"_s, bad);
        writeFile(dir.filePath(u"dat/nes.dat"_s), dat(datEntry(u"Good (USA)"_s, QByteArrayView(good).sliced(16))
                                                    + datEntry(u"Bad (Japan)"_s, QByteArrayView(bad).sliced(16), u" status=\"baddump\""_s)));
        const QStringList names{u"bad.nes"_s, u"dirty.nes"_s, u"good.nes"_s, u"none.nes"_s, u"short.nes"_s};
        const RomChecker::Places places{dir.filePath(u"quorvane.db"_s), {dir.filePath(u"dat"_s), dir.filePath(u"missing"_s)}};
        {
            RomChecker checker(places);
            RomListModel model;
            const FactsByName facts = checkAll(checker, roms, names, &model);
            QCOMPARE(facts.size(), 5);
            QCOMPARE(facts["good.nes"].title, u"Good (USA)"_s);
            QVERIFY(facts["good.nes"].warning.isEmpty());
            QVERIFY(facts["dirty.nes"].warning.contains(u"dirty header"_s));
            QVERIFY(facts["short.nes"].warning.contains(u"short"_s));
            QCOMPARE(facts["none.nes"].warning, u"not an iNES file"_s);
            QCOMPARE(facts["bad.nes"].status, u"baddump"_s);
            QVERIFY(facts["bad.nes"].warning.contains(u"bad dump"_s));

            // In a list: marked rows show the mark and say why; the others hold its place.
            const int goodRow = model.rowOf("good.nes"), dirtyRow = model.rowOf("dirty.nes");
            using Mark = RomListModel::RomMark;
            QCOMPARE(model.index(dirtyRow).data(RomListModel::MarkRole).toInt(), int(Mark::Warning));
            QCOMPARE(model.index(goodRow).data(RomListModel::MarkRole).toInt(), int(Mark::Blank)); // names stay in line
            QCOMPARE(model.index(goodRow).data(Qt::ToolTipRole).toString(), u"Good (USA) (good)"_s);
            QVERIFY(model.index(dirtyRow).data(Qt::AccessibleDescriptionRole).toString().contains(u"dirty header"_s));
        }
        // A second start compares sizes and times only: a file changed behind its time's back
        // still shows what it held, one whose time moved is read again.
        QFile good2(roms + u"good.nes"_s);
        QVERIFY(good2.open(QIODevice::ReadWrite));
        QVERIFY(good2.seek(0) && good2.write("XXXX") == 4 && good2.flush());
        QVERIFY(good2.setFileTime(modified, QFileDevice::FileModificationTime));
        good2.close();
        QVERIFY(QFile::remove(roms + u"none.nes"_s));
        writeFile(roms + u"short.nes"_s, header(1, 1) + QByteArray(16384 + 8192, 's'));
        RomChecker again(places);
        const FactsByName facts = checkAll(again, roms, {u"bad.nes"_s, u"dirty.nes"_s, u"good.nes"_s, u"short.nes"_s});
        QCOMPARE(facts["good.nes"].title, u"Good (USA)"_s); // not read again
        QVERIFY(facts["short.nes"].warning.isEmpty());     // read again
        QString message;
        auto db = LibraryDatabase::open(places.databaseFile, &message);
        QCOMPARE(db->checkedFiles(platform::toUtf8Lossless(roms)).size(), size_t(4)); // none.nes forgotten
    }

    // What was found of a name stays with it through a new reading of its folder, whatever the
    // new buffer's order; an empty archive stays out; facts counted in an earlier reading's names
    // are dropped, those of the new one taken.
    void aNewReadingKeepsWhatWasFoundOfEachName()
    {
        RomNames first;
        for (const char *name : {"a.nes", "b.nes", "c.zip", "ab.nes"})
            first.append(name);
        RomListModel model;
        model.reset(first);
        QCOMPARE(model.rowOf("a.nes"), 0);
        QCOMPARE(model.rowOf("nes"), -1);
        {
            RomNames endings; // a whole name is found, not the end of another before it
            for (const char *name : {"ab.nes", "b.nes"})
                endings.append(name);
            RomListModel found;
            found.reset(endings);
            QCOMPARE(found.rowOf("b.nes"), 1);
        }
        RomFacts sound, dirty, empty;
        dirty.warning = u"dirty header"_s;
        empty.archive = std::make_shared<const ArchiveListing>();
        CheckedBatch found(model.namesBuffer());
        found.add(0, sound);
        found.add(1, dirty);
        found.add(2, empty);
        found.add(3, sound);
        QCOMPARE(found.facts().size(), size_t(3)); // the two sound files share theirs
        model.addFacts(found);
        using Mark = RomListModel::RomMark;
        auto rows = [&] {
            QStringList shown;
            for (int row = 0; row < model.rowCount(); ++row)
                shown << model.fileName(row) + u':' + QString::number(model.index(row).data(RomListModel::MarkRole).toInt());
            return shown;
        };
        const QString blank = QString::number(int(Mark::Blank)), warned = QString::number(int(Mark::Warning));
        QCOMPARE(rows(), (QStringList{"a.nes:" + blank, "b.nes:" + warned, "ab.nes:" + blank}));
        model.update(first); // the same reading again: nothing moves
        QCOMPARE(rows(), (QStringList{"a.nes:" + blank, "b.nes:" + warned, "ab.nes:" + blank}));

        RomNames second; // another buffer order, a name come, one gone, the empty archive still there
        for (const char *name : {"d.nes", "c.zip", "b.nes", "a.nes"})
            second.append(name);
        second.sort(QLocale::c());
        const QByteArray earlier = model.namesBuffer();
        model.update(second);
        QCOMPARE(rows(), (QStringList{"a.nes:" + blank, "b.nes:" + warned, "d.nes:" + blank}));
        CheckedBatch late(earlier); // from the check of the first reading: ordinal 0 was a.nes
        late.add(0, dirty);
        model.addFacts(late);
        QCOMPARE(rows(), (QStringList{"a.nes:" + blank, "b.nes:" + warned, "d.nes:" + blank}));
        CheckedBatch now(model.namesBuffer()); // ordinal 0 is now d.nes
        now.add(0, dirty);
        model.addFacts(now);
        QCOMPARE(rows(), (QStringList{"a.nes:" + blank, "b.nes:" + warned, "d.nes:" + warned}));
        QCOMPARE(model.factsAt(2)->warning, u"dirty header"_s);
    }

    // A leading "*" finds favourites only, by what each ROM is; the list follows the favourites
    // as they change.
    void aStarFindsTheFavourites()
    {
        RomNames names;
        CheckedBatch facts;
        for (const char *name : {"alpha.nes", "beta.nes", "gamma.nes"}) {
            names.append(name);
            RomFacts found;
            found.identity.data = sumsOf(name);
            if (std::strcmp(name, "gamma.nes") == 0)
                found.warning = u"dirty header"_s;
            facts.add(QByteArray(name), found);
        }
        RomListModel model;
        model.reset(names);
        model.addFacts(facts);
        RomFilter filter(&model);
        auto shown = [&] {
            QStringList rows;
            for (int row = 0; row < filter.rowCount(); ++row)
                rows << filter.index(row).data().toString();
            return rows;
        };
        filter.setQuery(u"*"_s);
        QCOMPARE(shown(), QStringList());
        model.setFavourites({sumsOf("beta.nes").sha1, sumsOf("gamma.nes").sha1});
        QCOMPARE(shown(), (QStringList{"beta.nes", "gamma.nes"}));
        filter.setQuery(u" *GAM"_s);
        QCOMPARE(shown(), QStringList{u"gamma.nes"_s});
        filter.setQuery(u"* alpha"_s);
        QCOMPARE(shown(), QStringList());
        filter.setQuery(u"a"_s); // no star: every name that holds the word
        QCOMPARE(shown(), (QStringList{"alpha.nes", "beta.nes", "gamma.nes"}));
        using Mark = RomListModel::RomMark;
        auto mark = [&](int row) { return Mark(model.index(row).data(RomListModel::MarkRole).toInt()); };
        QCOMPARE(mark(0), Mark::Blank);
        QCOMPARE(mark(1), Mark::Favourite);
        QCOMPARE(mark(2), Mark::WarnedFavourite); // a favourite keeps its warning
        QVERIFY(model.index(1).data(Qt::AccessibleDescriptionRole).toString().contains(u"favourite"_s));
        QVERIFY(!model.index(0).data(Qt::AccessibleDescriptionRole).toString().contains(u"favourite"_s));
    }

    void anInspectionReadsTheWholeFile()
    {
        QTemporaryDir dir;
        const QByteArray rom = header(1, 1, 0x04) + QByteArray(512 + 16384 + 8192, 'i');
        writeFile(dir.filePath(u"t.nes"_s), rom);
        RomChecker checker(RomChecker::Places{});
        RomFacts got;
        bool done = false;
        checker.inspect(dir.filePath(u"t.nes"_s), [&](const RomFacts &facts) {
            got = facts;
            done = true;
        });
        QTRY_VERIFY(done);
        QCOMPARE(got.identity.file, sumsOf(rom));
        QCOMPARE(got.identity.data, sumsOf(QByteArrayView(rom).sliced(16)));
    }
};

QTEST_MAIN(TestRomCheck)
#include "tst_romcheck.moc"
