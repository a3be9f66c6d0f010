// ROMs in zip and 7z archives: what a listing finds and refuses, an entry streamed out within its
// bounds, and the cache it is unpacked into, which deletes nothing that is not its own.

#include "testutil.h"

#include <QScopeGuard>
#include "archivewriter.h"

#include "library/archives/romarchive.h"
#include "library/archives/romcache.h"
#include "library/identity/romidentity.h"

#include <QCryptographicHash>
#include <QProcess>

using namespace testutil;
using namespace library;

namespace {

// Every field of a zip that holds what the entry states (local header, data descriptor, central
// directory), each offset by the field's place after its signature, set to value.
QByteArray patchZip(QByteArray zip, int localOffset, int descriptorOffset, int centralOffset, quint32 value)
{
    auto patch = [&zip, value](const char *signature, int offset) {
        for (qsizetype at = zip.indexOf(signature); at >= 0; at = zip.indexOf(signature, at + 4)) {
            for (int i = 0; i < 4; ++i)
                zip[at + offset + i] = char(value >> (8 * i));
        }
    };
    if (localOffset >= 0)
        patch("PK\x03\x04", localOffset);
    if (descriptorOffset >= 0)
        patch("PK\x07\x08", descriptorOffset);
    patch("PK\x01\x02", centralOffset);
    return zip;
}

QString listingProblem(const QByteArray &archive) { return listArchiveBytes(archive).problem; }

ArchiveEntry entryNamed(const QByteArray &name)
{
    ArchiveEntry entry;
    entry.name = name;
    return entry;
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT

private slots:
    void theRomsOfAnArchiveAreListed_data()
    {
        QTest::addColumn<ArchiveFormat>("format");
        QTest::newRow("zip") << ArchiveFormat::Zip;
        QTest::newRow("7z") << ArchiveFormat::SevenZip;
    }
    void theRomsOfAnArchiveAreListed()
    {
        QFETCH(ArchiveFormat, format);
        const QByteArray archive = makeArchive(format, {{"readme.txt", "hello"}, {"sets", {}, Member::Folder},
                                                        {"sets/Game (E).NES", nesRom('e')}, {"Game (U).nes", nesRom('u')}});
        const ArchiveListing listing = listArchiveBytes(archive);
        QVERIFY2(listing.problem.isEmpty(), qPrintable(listing.problem));
        QCOMPARE(listing.roms.size(), size_t(2));
        QCOMPARE(listing.roms[0].name, "sets/Game (E).NES");
        QCOMPARE(listing.roms[0].fileName(), "Game (E).NES");
        QCOMPARE(listing.roms[1].size, nesRom('u').size());

        // Identified as they are listed, as plain files of their bytes are: a favourite's star
        // and its title show before any unpack.
        QCOMPARE(listing.roms[0].data, identifyRomBytes(nesRom('e')).data);
        QCOMPARE(listing.roms[1].file.crc32, identifyRomBytes(nesRom('u')).file.crc32);

        // Streamed out: the bytes, and the identity a plain file of them has.
        ArchiveEntry entry = listing.roms[1];
        QByteArray out;
        QCOMPARE(readArchiveEntryBytes(archive, entry, [&out](QByteArrayView piece) { out += piece; return true; }), QString());
        QCOMPARE(out, nesRom('u'));
        const RomIdentity plain = identifyRomBytes(nesRom('u'));
        QCOMPARE(entry.data, plain.data);
        QCOMPARE(entry.header, plain.header);
        QCOMPARE(entry.file.crc32, plain.file.crc32);

        // Kept in the database and read back; bytes that are no listing are refused.
        ArchiveListing decoded;
        ArchiveListing kept;
        kept.roms.push_back(entry);
        QVERIFY(decodeListing(encodeListing(kept), &decoded));
        QCOMPARE(decoded.roms.front().data, entry.data);
        QCOMPARE(decoded.roms.front().name, entry.name);
        QVERIFY(!decodeListing("\x01garbage", &decoded));

        QVERIFY(listArchiveBytes(makeArchive(format, {{"readme.txt", "no ROM here"}})).roms.empty());
    }

    void hostileArchivesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QString>("reason");
        const QByteArray rom = nesRom('h');
        for (const char *name : {"../x.nes", "/abs/x.nes", "C:\\x.nes", "x/../../y.nes", "x\\..\\y.nes"})
            QTest::newRow(name) << makeArchive(ArchiveFormat::Zip, {{name, rom}}) << u"leads out of the folder"_s;
        QTest::newRow("7z ../") << makeArchive(ArchiveFormat::SevenZip, {{"../x.nes", rom}}) << u"leads out of the folder"_s;
        QTest::newRow("link") << makeArchive(ArchiveFormat::Zip, {{"x.nes", "/etc/passwd", Member::Link}}) << u"is a link"_s;
        QTest::newRow("7z link") << makeArchive(ArchiveFormat::SevenZip, {{"x.nes", "/etc/passwd", Member::Link}}) << u"is a link"_s;
        QTest::newRow("encrypted") << makeArchive(ArchiveFormat::Zip, {{"x.nes", rom}}, "zip:encryption=zipcrypt", "secret")
                                   << u"is encrypted"_s;
        const QByteArray whole = makeArchive(ArchiveFormat::Zip, {{"a.nes", rom}, {"b.nes", rom}});
        QTest::newRow("truncated") << whole.first(whole.size() / 2) << u"\"b.nes\" cannot be unpacked"_s;
        const QByteArray seven = makeArchive(ArchiveFormat::SevenZip, {{"a.nes", rom}});
        QTest::newRow("7z truncated") << seven.first(seven.size() - 40) << u"it is"_s;
        QTest::newRow("not an archive") << QByteArray(4096, 'x') << u"no zip or 7z archive"_s;
        // Found by fuzz_archive: a ROM is read back by its name, so a second of the same name
        // (of another size) would have been streamed as the first.
        QTest::newRow("two of one name") << makeArchive(ArchiveFormat::Zip, {{"d/c.nes", rom}, {"d/c.nes", rom + "more"}})
                                         << u"two entries named \"d/c.nes\""_s;
        // Judged as it is listed, not first when the cache cannot make the file.
        QTest::newRow("name too long") << makeArchive(ArchiveFormat::Zip, {{"d/" + QByteArray(300, 'n') + ".nes", rom}})
                                       << u"has a name too long for a file (304 bytes, at most 255)"_s;
        QTest::newRow("huge") << makeArchive(ArchiveFormat::Zip, {{"big.nes", QByteArray(65 * 1024 * 1024, '\0')}})
                              << u"larger than 64 MB"_s;
    }
    // A 7z is listed apart, in a child process, when a reader program is set: the same listing.
    void aSevenZipIsListedApart()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"set.7z"_s);
        writeFile(path, makeArchive(ArchiveFormat::SevenZip, {{"A.nes", nesRom('a')}, {"../B.nes", nesRom('b')}}));
        const QString good = dir.filePath(u"Caf\u00e9 good.7z"_s);
        writeFile(good, makeArchive(ArchiveFormat::SevenZip, {{"A.nes", nesRom('a')}, {"B.nes", nesRom('b')}}));
        readArchivesApart(QStringLiteral(ARCHIVE_READER), {});
        const auto inProcess = qScopeGuard([] { readArchivesApart({}, {}); });
        const ArchiveListing apart = listArchive(good);
        QVERIFY2(apart.problem.isEmpty(), qPrintable(apart.problem));
        QCOMPARE(apart.roms.size(), size_t(2));
        QCOMPARE(apart.roms[1].data, identifyRomBytes(nesRom('b')).data);
        QVERIFY(listArchive(path).problem.contains(u"leads out of the folder"_s));
        QVERIFY(listArchive(dir.filePath(u"none.7z"_s)).problem.contains(u"cannot be opened"_s));
    }

    void hostileArchivesAreRefused()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QString, reason);
        const ArchiveListing listing = listArchiveBytes(archive);
        QVERIFY2(listing.problem.contains(reason), qPrintable(listing.problem));
        QVERIFY(listing.roms.empty());
    }

    // What an entry really holds is checked as it is read: more than it states, a check sum that
    // does not match. Nothing past the stated size reaches the file.
    void anEntryIsCheckedAsItIsRead()
    {
        const QByteArray rom = nesRom('c', 4);
        const QByteArray zip = makeArchive(ArchiveFormat::Zip, {{"c.nes", rom}});
        ArchiveEntry entry = entryNamed("c.nes");
        QByteArray out;
        auto collect = [&out](QByteArrayView piece) { out += piece; return true; };

        const QByteArray understated = patchZip(zip, 22, 12, 24, 1000);
        QString problem = readArchiveEntryBytes(understated, entry, collect);
        QVERIFY2(!problem.isEmpty(), "an entry larger than it states");
        QVERIFY(out.size() <= 1000);

        out.clear();
        problem = readArchiveEntryBytes(patchZip(zip, 14, 4, 16, 0x12345678), entry, collect);
        QVERIFY2(problem.contains(u"cannot be unpacked"_s), qPrintable(problem));

        out.clear();
        QCOMPARE(readArchiveEntryBytes(zip, entry, collect), QString());
        QCOMPARE(out, rom);

        ArchiveEntry missing = entryNamed("gone.nes");
        QVERIFY(readArchiveEntryBytes(zip, missing, collect).contains(u"no longer holds"_s));
    }

    // A bomb: 64 MB and more of zeros that deflate to a few kilobytes, and an archive of 100,000
    // entries, are refused after reading a bounded part of them.
    void bombsAreRefusedBounded()
    {
        QByteArray archive = makeArchive(ArchiveFormat::Zip, {{"bomb.nes", QByteArray(80 * 1024 * 1024, '\0')}});
        QVERIFY(archive.size() < 1024 * 1024);
        ArchiveEntry entry = entryNamed("bomb.nes");
        qint64 written = 0;
        // Stated as small: the reading stops at the stated size, far below what it holds.
        const QString problem = readArchiveEntryBytes(patchZip(archive, 22, 12, 24, 40000), entry, [&](QByteArrayView piece) {
            written += piece.size();
            return true;
        });
        QVERIFY2(!problem.isEmpty(), "a bomb");
        QVERIFY(written <= 40000);

        std::vector<Member> many;
        for (int i = 0; i < 100000; ++i)
            many.push_back({"f" + QByteArray::number(i) + ".txt", {}});
        archive = makeArchive(ArchiveFormat::Zip, many);
        QVERIFY(listingProblem(archive).contains(u"more than"_s));
    }

    void theNamesOfEntries()
    {
        QVERIFY(isArchiveName("Game.ZIP") && isArchiveName("g.7z") && !isArchiveName("g.zip.nes") && !isArchiveName("7z"));
        QVERIFY(isRomEntryName("a/b.NeS") && !isRomEntryName("b.nes.txt"));
        QCOMPARE(entryNameProblem("sets/Game (U) [!].nes"), QString());
        QCOMPARE(entryNameProblem("a..b.nes"), QString());
        QCOMPARE(entryNameProblem("Contra.nes"), QString());
        for (const char *bad : {"", "..", "a/..", "\\\\server\\x.nes", "D:x.nes", "a\x01.nes", "a|b.nes", "sets/con.nes", "Aux.tar.nes"})
            QVERIFY2(!entryNameProblem(bad).isEmpty(), bad);
    }

    // The cache unpacks into a folder named by the game's identity, once; trims what Quorvane
    // wrote to its cap, least recently launched first, never the game just started; and keeps
    // every file the emulator wrote beside a ROM.
    void theCacheDeletesOnlyWhatItWrote()
    {
        QTemporaryDir dir;
        const QString archivePath = dir.filePath(u"game.zip"_s);
        writeFile(archivePath, makeArchive(ArchiveFormat::Zip, {{"sub/Game.nes", nesRom('g', 8)}})); // 128 KB
        writeFile(dir.filePath(u"b.7z"_s), makeArchive(ArchiveFormat::SevenZip, {{"B.nes", nesRom('b', 8)}}));
        RomCache cache(dir.filePath(u"cache/roms"_s), 200 * 1024);
        QString error;
        QVERIFY2(cache.open(&error), qPrintable(error));
        QVERIFY(QFile::exists(dir.filePath(u"cache/roms/"_s) + RomCache::kMarkerName));

        ArchiveEntry game = listArchive(archivePath).roms.at(0);
        RomCache::Unpacked unpacked = cache.unpack(archivePath, game);
        QVERIFY2(unpacked.error.isEmpty(), qPrintable(unpacked.error));
        const QString gameFolder = dir.filePath(u"cache/roms/"_s) + sha1Text(game.data.sha1);
        QCOMPARE(unpacked.file, gameFolder + u"/Game.nes"_s);
        QCOMPARE(readAll(unpacked.file), nesRom('g', 8));
        writeFile(gameFolder + u"/Game.sav"_s, "the user's save");

        // Known: not unpacked again, even from an archive that is gone.
        QFile::rename(archivePath, archivePath + u".away"_s);
        QCOMPARE(cache.unpack(archivePath, game).file, unpacked.file);
        QFile::rename(archivePath + u".away"_s, archivePath);
        // A cached file that was changed is unpacked anew: shorter, or of the same size (its time
        // tells it changed, and its sum is made again).
        for (const QByteArray &damage : {QByteArray("damaged"), QByteArray(nesRom('g', 8).size(), 'x')}) {
            writeFile(unpacked.file, damage);
            QCOMPARE(cache.unpack(archivePath, game).file, unpacked.file);
            QCOMPARE(readAll(unpacked.file), nesRom('g', 8));
        }

        QTest::qWait(20); // the two games' times differ
        ArchiveEntry other = listArchive(dir.filePath(u"b.7z"_s)).roms.at(0);
        const RomCache::Unpacked second = cache.unpack(dir.filePath(u"b.7z"_s), other);
        QVERIFY2(second.error.isEmpty(), qPrintable(second.error));
        QCOMPARE(cache.usedBytes(), 2 * nesRom('g', 8).size());
        cache.trim(QFileInfo(second.file).absolutePath());
        QVERIFY(QFile::exists(second.file));
        QVERIFY(!QFile::exists(unpacked.file));
        QCOMPARE(readAll(gameFolder + u"/Game.sav"_s), "the user's save");
        QVERIFY(cache.usedBytes() <= 200 * 1024);
        // Never the one just started, even over the cap.
        RomCache(dir.filePath(u"cache/roms"_s), 1).trim(QFileInfo(second.file).absolutePath());
        QVERIFY(QFile::exists(second.file));
        // Unpacked again into the same folder, beside its save.
        QCOMPARE(cache.unpack(archivePath, game).file, unpacked.file);
        QCOMPARE(readAll(gameFolder + u"/Game.sav"_s), "the user's save");
        // A game folder with nothing of the user's goes whole.
        RomCache(dir.filePath(u"cache/roms"_s), 1).trim(gameFolder);
        QVERIFY(!QFileInfo::exists(QFileInfo(second.file).absolutePath()));
    }

    // Launch after launch, more than the cap holds: what Quorvane wrote stays within it, the
    // game just started always there.
    void theCapHoldsOverManyLaunches()
    {
        QTemporaryDir dir;
        RomCache cache(dir.filePath(u"roms"_s), 300 * 1024);
        QString error;
        QVERIFY(cache.open(&error));
        for (int game = 0; game < 8; ++game) {
            const QString archive = dir.filePath(u"g%1.7z"_s.arg(game));
            writeFile(archive, makeArchive(ArchiveFormat::SevenZip, {{"G.nes", nesRom(char('a' + game), 8)}})); // 128 KB each
            ArchiveEntry entry = listArchive(archive).roms.at(0);
            const RomCache::Unpacked unpacked = cache.unpack(archive, entry);
            QVERIFY2(unpacked.error.isEmpty(), qPrintable(unpacked.error));
            cache.trim(QFileInfo(unpacked.file).absolutePath());
            QVERIFY(QFile::exists(unpacked.file));
            QVERIFY2(cache.usedBytes() <= 300 * 1024, qPrintable(QString::number(cache.usedBytes())));
        }
        QCOMPARE(cache.usedBytes(), 2 * nesRom('a', 8).size());
    }

    // One game zipped under two names: A, then B, then A start, each under its own name in the
    // game's folder; both are Quorvane's, counted, and trimmed. One that cannot be deleted stays
    // noted, so that it still counts and its archive still starts.
    void oneGameUnderManyNamesStaysTracked()
    {
        QTemporaryDir dir;
        const QByteArray rom = nesRom('m', 8); // 128 KB
        RomCache cache(dir.filePath(u"roms"_s), 1024 * 1024);
        QString error;
        QVERIFY(cache.open(&error));
        const QStringList names{u"Game.nes"_s, u"Game (USA).nes"_s, u"Game.nes"_s, u"Game (Rev 1).nes"_s};
        QString folder;
        for (int i = 0; i < names.size(); ++i) {
            const QString archive = dir.filePath(u"%1.zip"_s.arg(i));
            writeFile(archive, makeArchive(ArchiveFormat::Zip, {{names[i].toUtf8(), rom}}));
            ArchiveEntry entry = listArchive(archive).roms.at(0);
            const RomCache::Unpacked unpacked = cache.unpack(archive, entry);
            QVERIFY2(unpacked.error.isEmpty(), qPrintable(unpacked.error));
            QCOMPARE(QFileInfo(unpacked.file).fileName(), names[i]);
            folder = QFileInfo(unpacked.file).absolutePath();
        }
        writeFile(folder + u"/Game.sav"_s, "the user's save");
        QCOMPARE(cache.usedBytes(), 3 * rom.size());
        // A name that cannot be deleted (here a folder stands there): the rest goes, it stays noted.
        QVERIFY(QFile::remove(folder + u"/Game (USA).nes"_s) && QDir().mkdir(folder + u"/Game (USA).nes"_s));
        writeFile(folder + u"/Game (USA).nes/inside"_s, "x");
        RomCache(dir.filePath(u"roms"_s), 1).trim();
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{u"Game.sav"_s}));
        QVERIFY(QFileInfo::exists(folder + u"/.quorvane-rom"_s));
        ArchiveEntry usa = listArchive(dir.filePath(u"1.zip"_s)).roms.at(0);
        const RomCache::Unpacked refused = cache.unpack(dir.filePath(u"1.zip"_s), usa);
        QVERIFY2(refused.error.contains(u"did not write"_s), qPrintable(refused.error));
        QVERIFY(QDir(folder + u"/Game (USA).nes"_s).removeRecursively());
        // Gone by another hand now: the archive starts again, under the name it was noted by.
        QVERIFY2(cache.unpack(dir.filePath(u"1.zip"_s), usa).error.isEmpty(), "a noted name blocks its archive");
        RomCache(dir.filePath(u"roms"_s), 1).trim();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), (QStringList{u"Game.sav"_s}));
        QCOMPARE(readAll(folder + u"/Game.sav"_s), "the user's save");
    }

    void aFolderThatIsNotTheCachesIsLeftAlone()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(u"roms/mine.nes"_s), "the user's");
        RomCache cache(dir.filePath(u"roms"_s), 1);
        QString error;
        QVERIFY(!cache.open(&error));
        QVERIFY2(error.contains(u"did not put there"_s), qPrintable(error));
        cache.trim();
        QCOMPARE(readAll(dir.filePath(u"roms/mine.nes"_s)), "the user's");
#ifdef Q_OS_UNIX
        // A game folder that is a link out of the cache is not followed.
        QVERIFY(RomCache(dir.filePath(u"cache"_s), 1).open(&error));
        const QString outside = dir.filePath(u"outside"_s);
        writeFile(outside + u"/x.nes"_s, "outside");
        writeFile(outside + u"/.quorvane-rom"_s, "x.nes\n7\n0\n");
        QVERIFY(QFile::link(outside, dir.filePath(u"cache/"_s) + QString(40, u'a')));
        RomCache(dir.filePath(u"cache"_s), 0).trim();
        QCOMPARE(readAll(outside + u"/x.nes"_s), "outside");
#endif
    }

    // What a killed unpack left is removed at the next start, once its process is gone; a
    // running one's is left.
    void leftoversOfAKilledUnpackAreRemoved()
    {
        QTemporaryDir dir;
        RomCache cache(dir.filePath(u"roms"_s));
        QString error;
        QVERIFY(cache.open(&error));
        QProcess gone;
        gone.start(QStringLiteral(STANDIN_EMULATOR), {});
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        gone.kill();
        gone.waitForFinished();
        const QString left = dir.filePath(u"roms/.unpacking-%1-00ff.tmp"_s).arg(deadPid);
        const QString running = dir.filePath(u"roms/.unpacking-%1-00fe.tmp"_s).arg(QCoreApplication::applicationPid());
        writeFile(left, "half a ROM");
        writeFile(running, "being written");
        QVERIFY(RomCache(dir.filePath(u"roms"_s)).open(&error));
        QVERIFY(!QFile::exists(left));
        QVERIFY(QFile::exists(running));
    }
};

QTEST_MAIN(TestArchive)
#include "tst_archive.moc"
