// What a ROM file is: its sums, its entry in a ROM database, the library database that keeps
// both, and the checker that fills a list's marks.

#include "testutil.h"

#include "library/database/librarydatabase.h"
#include "library/database/playhistory.h"
#include "library/checking/romchecker.h"
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

QByteArray header(quint8 prg16k, quint8 chr8k, quint8 flags6 = 0, QByteArray tail = QByteArray(8, '\0'))
{
    return QByteArray("NES\x1A", 4) + char(prg16k) + char(chr8k) + char(flags6) + char(0) + tail;
}

RomSums sumsOf(QByteArrayView bytes)
{
    return {quint32(crc32(0, reinterpret_cast<const Bytef *>(bytes.data()), uInt(bytes.size()))),
            QCryptographicHash::hash(bytes, QCryptographicHash::Sha1)};
}

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

QByteArray sha1Of(const QString &path) { return QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha1); }

using FactsByName = QHash<QByteArray, ListedFacts>;

// Checks folder's names with checker, as a list of them (model, when given) asks, and waits until
// it is done; the facts by name.
FactsByName checkAll(RomChecker &checker, const QString &folder, const QStringList &names, RomListModel *model = nullptr)
{
    RomListModel own;
    if (!model)
        model = &own;
    RomNames listed;
    for (const QString &name : names)
        listed.append(name.toUtf8());
    model->reset(listed);
    FactsByName all;
    const QMetaObject::Connection taking = QObject::connect(&checker, &RomChecker::checked, model, [&](const QString &, const CheckedBatch &facts) {
        model->addFacts(facts);
        for (const auto &[ordinal, index] : facts.byOrdinal())
            all.insert(QByteArray(facts.names().constData() + listed.starts()[ordinal]), facts.facts()[index]);
        for (const auto &[name, index] : facts.byName())
            all.insert(name, facts.facts()[index]);
    });
    QSignalSpy idle(&checker, &RomChecker::idle);
    checker.check(folder, model->namesBuffer());
    while (idle.isEmpty() || all.size() < names.size()) {
        if (!idle.wait(10000))
            break;
    }
    QObject::disconnect(taking);
    return all;
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

    void aDatMatchesOnBothSumsOnly()
    {
        const QByteArray good = QByteArray(32768, 'g'), bad = QByteArray(16384, 'b');
        QByteArray sameCrcOtherSha1 = sha1Text(sumsOf(good).sha1).toLatin1();
        sameCrcOtherSha1[0] = sameCrcOtherSha1[0] == '0' ? '1' : '0';
        const QByteArray bytes = dat(datEntry(u"Good Game (USA)"_s, good) + datEntry(u"Bad Game (Europe)"_s, bad, u" status=\"baddump\""_s)
                                     + u"<game name=\"Twin\"><rom crc=\"%1\" sha1=\"%2\"/></game>"_s.arg(crc32Text(sumsOf(good).crc32),
                                                                                                      QString::fromLatin1(sameCrcOtherSha1))
                                     + u"<game name=\"No SHA-1\"><rom crc=\"%1\"/></game>"_s.arg(crc32Text(sumsOf(bad).crc32)));
        QTemporaryDir dir;
        writeFile(dir.filePath(u"dat/nes.dat"_s), bytes);
        RomDatabase database;
        QStringList errors;
        database.addFolder(dir.filePath(u"dat"_s), &errors);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        QCOMPARE(database.size(), 3); // the entry without a SHA-1 can match nothing

        const DatRom *found = database.find(sumsOf(good));
        QVERIFY(found);
        QCOMPARE(found->game, u"Good Game (USA)"_s);
        QCOMPARE(found->status, u"good"_s);
        QVERIFY(database.find(sumsOf(bad))->isBadDump());
        RomSums crcOnly = sumsOf(good);
        crcOnly.sha1 = sumsOf(bad).sha1;
        QVERIFY(!database.find(crcOnly)); // never a false match
        QVERIFY(!database.find({sumsOf(good).crc32, {}}));
    }

    void aMalformedDatIsSaidWithItsLineAndTheOthersAreRead_data()
    {
        QTest::addColumn<QByteArray>("broken");
        QTest::addColumn<int>("line");
        QTest::newRow("unclosed element") << QByteArray("<?xml version=\"1.0\"?>\n<datafile>\n<game name=\"a\">\n<rom crc=\"1\">\n</datafile>\n") << 5;
        QTest::newRow("not a DAT") << QByteArray("<?xml version=\"1.0\"?>\n<html><body/></html>\n") << 2;
        QTest::newRow("empty") << QByteArray() << 1;
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10) << 1;
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
        database.addFolder(dir.filePath(u"dat"_s), &errors);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(u"a-broken.dat"_s) && errors[0].contains(u"line %1"_s.arg(line)), qPrintable(errors[0]));
        QCOMPARE(database.size(), 1);
        QVERIFY(database.find(sumsOf(rom)));
    }

    void theLibraryDatabaseKeepsChecksAndForgetsTheGone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"data/quorvane.db"_s); // its folder is made
        QString message;
        {
            auto db = LibraryDatabase::open(path, &message);
            QVERIFY(db && message.isEmpty());
            const QByteArray folder = "/roms/\xff"; // path bytes, not text
            QVERIFY(db->keepChecks(folder, {{"a.nes", {10, 20}, "NES\x1A", sumsOf("a")}, {"b\xfe.nes", {11, 21}, "x", sumsOf("b")}}, {}, nullptr));
            QVERIFY(db->keepChecks(folder, {}, {"a.nes"}, nullptr));
        }
        auto db = LibraryDatabase::open(path, &message);
        const auto kept = db->checkedFiles("/roms/\xff");
        QCOMPARE(kept.size(), size_t(1));
        QCOMPARE(kept[0].name, "b\xfe.nes");
        QCOMPARE(kept[0].stamp, (platform::FileStamp{11, 21}));
        QCOMPARE(kept[0].sums, sumsOf("b"));
        QVERIFY(db->checkedFiles("/roms/").empty());
    }

    void aDamagedDatabaseIsKeptAsideAndANewOneMade_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("not a database") << QByteArray(8192, 'z');
        QTest::newRow("damaged pages") << QByteArray(); // a real database with its pages overwritten
    }
    void aDamagedDatabaseIsKeptAsideAndANewOneMade()
    {
        QFETCH(QByteArray, damage);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        QString message;
        if (damage.isEmpty()) {
            {
                auto db = LibraryDatabase::open(path, &message);
                std::vector<CheckedFile> files;
                for (int i = 0; i < 2000; ++i)
                    files.push_back({"rom" + QByteArray::number(i) + ".nes", {i, i}, QByteArray(16, 'h'), sumsOf(QByteArray::number(i))});
                QVERIFY(db->keepChecks("/f", files, {}, nullptr));
            }
            sqlite3 *raw = nullptr; // moves the log into the file, so that its pages are what is damaged
            QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
            sqlite3_exec(raw, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE;", nullptr, nullptr, nullptr);
            sqlite3_close(raw);
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(4096 * 3));
            QCOMPARE(file.write(QByteArray(4096 * 4, '\x5a')), 4096 * 4);
            file.close();
        } else {
            writeFile(path, damage);
        }
        const QByteArray before = readAll(path);
        // The checker uses what the file holds first and checks it whole after: it finds the
        // damage all the same, puts the file aside, and checks the folder again into a new one.
        const QString checkersCopy = dir.filePath(u"checker/quorvane.db"_s);
        QVERIFY(QDir().mkpath(dir.filePath(u"checker"_s)) && QFile::copy(path, checkersCopy));
        writeFile(dir.filePath(u"roms/a.nes"_s), header(1, 0) + QByteArray(16384, 'a'));
        {
            RomChecker checker({checkersCopy, {}});
            QSignalSpy problems(&checker, &RomChecker::problem);
            QCOMPARE(checkAll(checker, dir.filePath(u"roms"_s), {u"a.nes"_s}).size(), 1);
            QCOMPARE(problems.size(), 1);
            QVERIFY(problems[0][0].toString().contains(u"kept as"_s));
        }
        QStringList checkersAside = QDir(dir.filePath(u"checker"_s)).entryList({u"quorvane.db.corrupt-*"_s}, QDir::Files);
        checkersAside.removeIf([](const QString &name) { return name.endsWith(u"-wal"_s) || name.endsWith(u"-shm"_s); });
        QCOMPARE(checkersAside.size(), 1); // with its log, if any
        QCOMPARE(LibraryDatabase::open(checkersCopy, &message)->checkedFiles(platform::toUtf8Lossless(dir.filePath(u"roms"_s))).size(), size_t(1));
        message.clear();

        auto db = LibraryDatabase::open(path, &message);
        QVERIFY(db);
        QVERIFY2(message.contains(QDir::toNativeSeparators(path)) && message.contains(u"kept as"_s), qPrintable(message));
        const QStringList aside = QDir(dir.path()).entryList({u"quorvane.db.corrupt-*"_s}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAll(dir.filePath(aside[0])), before); // kept as it was, never deleted
        QVERIFY(db->keepChecks("/f", {{"a.nes", {1, 2}, "h", sumsOf("a")}}, {}, nullptr)); // the new one works
        QCOMPARE(db->checkedFiles("/f").size(), size_t(1));
    }

    void aNewerDatabaseIsReadAndLeftUnchanged()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        QString message;
        {
            auto db = LibraryDatabase::open(path, &message);
            QVERIFY(db->keepChecks("/f", {{"a.nes", {1, 2}, "h", sumsOf("a")}}, {}, nullptr));
        }
        sqlite3 *raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA user_version = 7;", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(raw);
        const QByteArray before = sha1Of(path);
        auto db = LibraryDatabase::open(path, &message);
        QVERIFY(db && db->isReadOnly());
        QVERIFY2(message.contains(u"newer Quorvane"_s) && message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
        QCOMPARE(db->checkedFiles("/f").size(), size_t(1)); // read
        QVERIFY(db->keepChecks("/f", {{"b.nes", {1, 2}, "h", sumsOf("b")}}, {}, nullptr)); // and not written
        db.reset();
        QCOMPARE(sha1Of(path), before);
        QCOMPARE(QDir(dir.path()).entryList({u"*.corrupt-*"_s}).size(), 0);
    }

    // Play is kept by what a ROM is: a renamed or moved file keeps its record, two games of one
    // name stay apart, and a copy of the file elsewhere holds it all. Recent launches: one per
    // path, newest first, ten at most.
    void playFollowsTheGameNotTheFile()
    {
        QTemporaryDir dir;
        QString message;
        auto db = LibraryDatabase::open(dir.filePath(u"quorvane.db"_s), &message);
        const QByteArray mario = sumsOf("mario").sha1, zelda = sumsOf("zelda").sha1;
        QVERIFY(db->recordLaunch(mario, "/roms/game.nes", 1000, nullptr));
        QVERIFY(db->addPlayTime(mario, 60000, nullptr) && db->setFavourite(mario, true, nullptr));
        QVERIFY(db->recordLaunch(mario, "/roms/Mario.nes", 2000, nullptr));  // renamed
        QVERIFY(db->recordLaunch(mario, "/roms2/Mario.nes", 3000, nullptr)); // moved
        QVERIFY(db->addPlayTime(mario, 30000, nullptr));
        QVERIFY(db->recordLaunch(zelda, "/roms3/game.nes", 4000, nullptr)); // another game, the old name
        const PlayRecord m = db->playRecord(mario), z = db->playRecord(zelda);
        QCOMPARE(m.launches, 3);
        QCOMPARE(m.playedMs, 90000);
        QCOMPARE(m.lastLaunchMs, 3000);
        QVERIFY(m.favourite);
        QCOMPARE(z.launches, 1);
        QCOMPARE(z.playedMs, 0);
        QVERIFY(!z.favourite);
        QCOMPARE(db->playRecord(sumsOf("never").sha1).lastLaunchMs, -1);
        QCOMPARE(db->playRecords().size(), 2);
        QVERIFY(db->setFavourite(mario, false, nullptr) && !db->playRecord(mario).favourite);

        for (int i = 0; i < 12; ++i)
            QVERIFY(db->recordLaunch(zelda, "/roms/z" + QByteArray::number(i) + ".nes", 5000 + i, nullptr));
        QVERIFY(db->recordLaunch(mario, "/roms/z5.nes", 9000, nullptr)); // the same path again: first, once
        const std::vector<RecentLaunch> recent = db->recentLaunches();
        QCOMPARE(recent.size(), size_t(LibraryDatabase::kRecentLaunches));
        QCOMPARE(recent[0].path, "/roms/z5.nes");
        QCOMPARE(recent[0].sha1, mario);
        QCOMPARE(recent[1].path, "/roms/z11.nes");
        QCOMPARE(recent[9].path, "/roms/z2.nes");
        QVERIFY(db->forgetRecentLaunch("/roms/z5.nes", nullptr));
        QCOMPARE(db->recentLaunches().front().path, "/roms/z11.nes");

        db.reset(); // a portable folder copied elsewhere: its database holds everything
        QVERIFY(QFile::copy(dir.filePath(u"quorvane.db"_s), dir.filePath(u"copy.db"_s)));
        auto copy = LibraryDatabase::open(dir.filePath(u"copy.db"_s), &message);
        QCOMPARE(copy->playRecord(mario).launches, 4);
        QCOMPARE(copy->recentLaunches().size(), size_t(9));
    }

    // A portable folder moved or copied to another drive: its recent ROMs are found where it is now;
    // a ROM outside it keeps its whole path.
    void aMovedPortableFolderFindsItsRecentRoms()
    {
        QTemporaryDir dir;
        const QByteArray rom = header(1, 0) + QByteArray(16384, 'r');
        writeFile(dir.filePath(u"emu/roms/a.nes"_s), rom);
        writeFile(dir.filePath(u"outside/b.nes"_s), header(1, 0) + QByteArray(16384, 'b'));
        {
            PlayHistory history(dir.filePath(u"emu/quorvane.db"_s));
            QSignalSpy changed(&history, &PlayHistory::changed);
            history.recordLaunch(dir.filePath(u"emu/roms/a.nes"_s), {});
            history.recordLaunch(dir.filePath(u"outside/b.nes"_s), {});
            QTRY_COMPARE(changed.size(), 2);
            QCOMPARE(history.recentLaunches().front().path, dir.filePath(u"outside/b.nes"_s).toUtf8());
        }
        QVERIFY(QDir(dir.path()).rename(u"emu"_s, u"moved"_s));
        PlayHistory history(dir.filePath(u"moved/quorvane.db"_s));
        QSignalSpy changed(&history, &PlayHistory::changed);
        history.load();
        QTRY_COMPARE(changed.size(), 1);
        const std::vector<RecentLaunch> &recent = history.recentLaunches();
        QCOMPARE(recent.size(), size_t(2));
        QCOMPARE(recent[0].path, dir.filePath(u"outside/b.nes"_s).toUtf8());
        QCOMPARE(recent[1].path, dir.filePath(u"moved/roms/a.nes"_s).toUtf8());
        QCOMPARE(history.record(sumsOf(rom.mid(16)).sha1).launches, 1);
        history.forgetRecentLaunch(recent[1].path);
        QTRY_COMPARE(changed.size(), 2);
        QCOMPARE(history.recentLaunches().size(), size_t(1));
    }

    // Another program holds the database: every change it did not keep is reported, launches and
    // favourites alike, and closing waits no more than a second for those still waiting.
    void aLockedDatabaseSaysWhatItDidNotKeepAndClosesAtOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        const QByteArray game = sumsOf("locked").sha1;
        {
            QString message;
            QVERIFY(LibraryDatabase::open(path, &message)->setFavourite(sumsOf("other").sha1, true, nullptr));
        }
        sqlite3 *holder = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        const auto release = qScopeGuard([holder] { sqlite3_close(holder); });
        QStringList messages;
        QElapsedTimer closing;
        {
            PlayHistory history(path);
            connect(&history, &PlayHistory::problem, &history, [&messages](const QString &text) { messages << text; });
            history.load();
            history.setFavourite(u"/roms/locked.nes"_s, game, true);
            history.recordLaunch(u"/roms/locked.nes"_s, game);
            QTRY_VERIFY_WITH_TIMEOUT(messages.size() >= 2, 20000);
            for (int i = 0; i < 4; ++i)
                history.recordLaunch(u"/roms/locked.nes"_s, game);
            closing.start();
        }
        QVERIFY2(closing.elapsed() < 1500, qPrintable(QString::number(closing.elapsed())));
        const QString all = messages.join(u"\n"_s);
        QVERIFY2(all.contains(u"favourites"_s) && all.contains(u"a launch"_s), qPrintable(all));
    }

    // A database of the first version gains the play tables in one step, its checks kept.
    void anOlderDatabaseIsUpgraded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        sqlite3 *raw = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        QCOMPARE(sqlite3_exec(raw,
                              "CREATE TABLE rom_file (folder BLOB NOT NULL, name BLOB NOT NULL, size INTEGER NOT NULL,"
                              " modified INTEGER NOT NULL, header BLOB NOT NULL, crc32 INTEGER NOT NULL, sha1 BLOB NOT NULL,"
                              " PRIMARY KEY (folder, name)) WITHOUT ROWID;"
                              "INSERT INTO rom_file VALUES (x'2f66', 'a.nes', 1, 2, x'00', 3, x'04');"
                              "PRAGMA user_version = 1;",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(raw);
        QString message;
        auto db = LibraryDatabase::open(path, &message);
        QVERIFY2(db && !db->isReadOnly() && message.isEmpty(), qPrintable(message));
        QCOMPARE(db->checkedFiles("/f").size(), size_t(1));
        QVERIFY(db->recordLaunch(sumsOf("a").sha1, "/f/a.nes", 1, nullptr));
        db.reset();
        QCOMPARE(LibraryDatabase::open(path, &message)->playRecord(sumsOf("a").sha1).launches, 1);
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
        sqlite3_stmt *version = nullptr;
        sqlite3_prepare_v2(raw, "PRAGMA user_version", -1, &version, nullptr);
        QCOMPARE(sqlite3_step(version), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(version, 0), LibraryDatabase::kSchemaVersion);
        sqlite3_finalize(version);
        sqlite3_close(raw);
    }

    // Two Quorvanes recording launches of one game at the same moment: every launch counts.
    void twoProgramsRecordingAtOnceBothCount()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"quorvane.db"_s);
        QString message;
        QVERIFY(LibraryDatabase::open(path, &message)); // made by a first start
        QProcess first, second;
        for (QProcess *loop : {&first, &second})
            loop->start(QStringLiteral(HISTORY_LOOP), {path, u"500"_s});
        for (QProcess *loop : {&first, &second}) {
            QVERIFY(loop->waitForFinished(180000));
            QVERIFY2(loop->exitCode() == 0, loop->readAllStandardError().constData());
        }
        QCOMPARE(LibraryDatabase::open(path, &message)->playRecord(QByteArray(20, '\x42')).launches, 1000);
    }

    void aDatabaseThatCannotBeMadeLeavesTheProgramWorking()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(u"file"_s), "a file where a folder should be");
        QString message;
        const QString path = dir.filePath(u"file/quorvane.db"_s);
        QVERIFY(!LibraryDatabase::open(path, &message));
        QVERIFY2(message.contains(QDir::toNativeSeparators(path)) && message.contains(u"works on without it"_s), qPrintable(message));

        // The checker then checks every time, without keeping anything.
        writeFile(dir.filePath(u"roms/a.nes"_s), header(1, 0) + QByteArray(16384, 'a'));
        RomChecker checker({path, {}});
        QSignalSpy problems(&checker, &RomChecker::problem);
        const FactsByName facts = checkAll(checker, dir.filePath(u"roms"_s), {u"a.nes"_s});
        QCOMPARE(facts.size(), 1);
        QVERIFY(facts["a.nes"].warning.isEmpty());
        QCOMPARE(problems.size(), 1);
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
        for (const char *name : {"a.nes", "b.nes", "c.zip"})
            first.append(name);
        RomListModel model;
        model.reset(first);
        RomFacts sound, dirty, empty;
        dirty.warning = u"dirty header"_s;
        empty.archive = std::make_shared<const ArchiveListing>();
        CheckedBatch found(model.namesBuffer());
        found.add(0, sound);
        found.add(1, dirty);
        found.add(2, empty);
        model.addFacts(found);
        using Mark = RomListModel::RomMark;
        auto rows = [&] {
            QStringList shown;
            for (int row = 0; row < model.rowCount(); ++row)
                shown << model.fileName(row) + u':' + QString::number(model.index(row).data(RomListModel::MarkRole).toInt());
            return shown;
        };
        const QString blank = QString::number(int(Mark::Blank)), warned = QString::number(int(Mark::Warning));
        QCOMPARE(rows(), (QStringList{"a.nes:" + blank, "b.nes:" + warned}));

        RomNames second; // another buffer order, a name come, the empty archive still there
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
