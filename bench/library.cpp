// Find, the check of a folder, the play history, DATs and the configuration file.
#include "bench.h"

namespace bench {

// The words a bare loop looks for: ASCII case folded a byte at a time, as a plain search would.
int bareFind(const QByteArray &buffer, const std::vector<QByteArray> &words)
{
    int found = 0;
    QByteArray folded;
    for (qsizetype at = 0; at < buffer.size();) {
        const qsizetype length = qsizetype(std::strlen(buffer.constData() + at));
        folded.resize(length);
        for (qsizetype i = 0; i < length; ++i) {
            const char c = buffer[at + i];
            folded[i] = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
        }
        found += std::all_of(words.begin(), words.end(), [&](const QByteArray &word) { return folded.contains(word); });
        at += length + 1;
    }
    return found;
}

void benchFind()
{
    static const char *const titles[] = {"Super Mario Bros.", "Mega Man", "The Legend of Zelda", "Castlevania", "Contra",
                                         "Metroid", "Kirby's Adventure", "Duck Tales", "Ninja Gaiden", "Double Dragon"};
    library::RomNames names;
    for (int i = 0; i < 100000; ++i)
        names.append(QByteArray(titles[i % 10]) + ' ' + QByteArray::number(i / 10 % 10) + " (Hack " + QByteArray::number(i / 100)
                     + ") (USA).nes");
    names.sort(QLocale::c());
    library::RomListModel model;
    model.reset(names);
    library::RomFilter filter(&model);
    for (const auto &queryAndWhat : {std::pair{"mario", "1 word"}, std::pair{"super mario 3", "3 words"}}) {
        const char *const query = queryAndWhat.first; // a structured binding cannot be captured in C++17
        const char *const what = queryAndWhat.second;
        std::vector<QByteArray> words;
        for (const QByteArray &word : QByteArray(query).split(' '))
            words.push_back(word);
        std::vector<double> first, next, bare;
        int shown = 0, found = 0;
        for (int run = 0; run < 15; ++run) { // in turns
            model.reset(names); // a new reading: every name is folded again at the first query
            first.push_back(medianMs(1, [&] { filter.setQuery(QString::fromLatin1(query)); }));
            filter.setQuery(QString::fromLatin1(query).chopped(1)); // the last letter typed next
            next.push_back(medianMs(1, [&] { filter.setQuery(QString::fromLatin1(query)); }));
            shown = filter.rowCount();
            filter.setQuery(QString());
            bare.push_back(medianMs(1, [&] { found = bareFind(names.buffer(), words); }));
        }
        std::printf("find         100,000 names, \"%s\": %d shown, %d found bare\n", query, shown, found);
        const QByteArray measured = QByteArray("query of ") + what;
        report("find", (measured + ", first").constData(), median(first), "bare loop", median(bare), 1.5);
        report("find", (measured + ", next").constData(), median(next), "bare loop", median(bare), 1.5);
    }
}

void benchHashing(const QTemporaryDir &dir)
{
    const QString folder = dir.filePath(QStringLiteral("hashing/"));
    QDir().mkpath(folder);
    QByteArray names;
    QByteArray rom(16 + 256 * 1024, '\0');
    std::memcpy(rom.data(), "NES\x1A\x10\x00", 6);
    for (int i = 0; i < 2000; ++i) {
        const QByteArray name = "Game " + QByteArray::number(i) + " (USA).nes";
        for (int at = 16; at < rom.size(); at += 4096)
            rom[at] = char(i + at);
        touch(folder + QString::fromLatin1(name), rom);
        names += name + '\0';
    }
    const QString databaseFile = dir.filePath(QStringLiteral("hashing.db"));
    auto checkAll = [&] {
        library::RomChecker checker({databaseFile, {}});
        QEventLoop loop;
        QObject::connect(&checker, &library::RomChecker::idle, &loop, &QEventLoop::quit);
        checker.check(folder, names);
        loop.exec();
    };
    auto forEachPath = [&](const std::function<void(const QByteArray &)> &work) {
        for (const QByteArray &name : names.split('\0')) {
            if (!name.isEmpty())
                work(QFile::encodeName(folder) + name);
        }
    };
    quint32 crcs = 0;
    auto bareSums = [&] {
        std::vector<char> buffer(256 * 1024);
        forEachPath([&](const QByteArray &path) {
            QFile file(QString::fromUtf8(path));
            if (!file.open(QIODevice::ReadOnly))
                return;
            uLong crc = crc32(0, nullptr, 0);
            QCryptographicHash sha1(QCryptographicHash::Sha1);
            for (qint64 n; (n = file.read(buffer.data(), qint64(buffer.size()))) > 0;) {
                crc = crc32(crc, reinterpret_cast<const Bytef *>(buffer.data()), uInt(n));
                sha1.addData(QByteArrayView(buffer.data(), n));
            }
            crcs += quint32(crc) + quint32(sha1.result().at(0));
        });
    };
    auto bareStat = [&] {
        forEachPath([&](const QByteArray &path) {
            struct stat info {};
            crcs += quint32(::stat(path.constData(), &info) == 0 ? info.st_size : 0);
        });
    };
    std::vector<double> first, bare, second, stats;
    bareSums(); // the files in the cache for both
    for (int run = 0; run < 6; ++run) { // in turns
        QFile::remove(databaseFile);
        QFile::remove(databaseFile + QStringLiteral("-wal"));
        QFile::remove(databaseFile + QStringLiteral("-shm"));
        first.push_back(medianMs(1, checkAll));
        bare.push_back(medianMs(1, bareSums));
        // Each of the pair first as often as second: what runs after reading 500 MB finds the
        // processor's caches cold, and what runs next finds the files' inodes warm.
        if (run % 2 == 0) {
            second.push_back(medianMs(1, checkAll));
            stats.push_back(medianMs(1, bareStat));
        } else {
            stats.push_back(medianMs(1, bareStat));
            second.push_back(medianMs(1, checkAll));
        }
    }
    report("hashing", "2,000 x 256 KB, checked", median(first), "bare read, CRC32, SHA-1", median(bare), 1.3);
    report("hashing", "2,000 x 256 KB, from the DB", median(second), "bare stat()", median(stats), 1.5);
    // Each sum alone over 64 MB in memory, for how far each is from what the machine can do.
    const QByteArray block(64 * 1024 * 1024, 'q');
    const double crcMs = medianMs(3, [&] { crcs += quint32(crc32(0, reinterpret_cast<const Bytef *>(block.data()), uInt(block.size()))); });
    const double shaMs = medianMs(3, [&] { crcs += quint32(QCryptographicHash::hash(block, QCryptographicHash::Sha1).at(0)); });
    const double copyMs = medianMs(3, [&] { QByteArray copy(block.size(), Qt::Uninitialized); std::memcpy(copy.data(), block.data(), size_t(block.size())); crcs += quint32(copy[5]); });
    std::printf("hashing      in memory: zlib crc32 %.0f MB/s, Qt SHA-1 %.0f MB/s, memcpy %.0f MB/s (%u)\n\n", 64e3 / crcMs,
                64e3 / shaMs, 64e3 / copyMs, crcs & 1);
}

QByteArray gameIdentity(int game) { return QCryptographicHash::hash(QByteArray::number(game), QCryptographicHash::Sha1); }

// A library database holding the play of 10,000 games, a tenth of them favourites.
void makeHistory(const QString &path)
{
    QString message;
    const auto db = library::LibraryDatabase::open(path, &message);
    for (int game = 0; game < 10000; ++game) {
        db->recordLaunch(gameIdentity(game), "/roms/Game " + QByteArray::number(game) + " (USA).nes", game, nullptr);
        if (game % 10 == 0)
            db->setFavourite(gameIdentity(game), true, nullptr);
    }
}

void benchHistory(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("history.db"));
    makeHistory(path);
    QString message;
    const auto db = library::LibraryDatabase::open(path, &message);
    sqlite3 *bare = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &bare, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(bare, 5000);
    sqlite3_exec(bare, "CREATE TABLE IF NOT EXISTS bare_launch (sha1 BLOB, at INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert = nullptr, *select = nullptr;
    sqlite3_prepare_v2(bare, "INSERT INTO bare_launch VALUES (?1, ?2)", -1, &insert, nullptr);
    sqlite3_prepare_v2(bare, "SELECT sha1, favourite, launches, played_ms, last_launch_ms FROM rom_play", -1, &select, nullptr);
    constexpr int kLaunches = 200;
    int failures = 0;
    int launch = 0;
    qint64 sum = 0;
    std::vector<double> recorded, inserted, read, selected;
    for (int run = 0; run < 7; ++run) { // in turns
        recorded.push_back(medianMs(1, [&] {
            for (int i = 0; i < kLaunches; ++i, ++launch)
                failures += !db->recordLaunch(gameIdentity(launch % 10000), "/roms/Game " + QByteArray::number(launch % 10000) + " (USA).nes", launch, nullptr);
        }) / kLaunches);
        inserted.push_back(medianMs(1, [&] {
            for (int i = 0; i < kLaunches; ++i, ++launch) {
                const QByteArray game = gameIdentity(launch % 10000);
                sqlite3_exec(bare, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
                sqlite3_bind_blob(insert, 1, game.constData(), int(game.size()), SQLITE_TRANSIENT);
                sqlite3_bind_int64(insert, 2, launch);
                sqlite3_step(insert);
                sqlite3_reset(insert);
                sqlite3_exec(bare, "COMMIT", nullptr, nullptr, nullptr);
            }
        }) / kLaunches);
        read.push_back(medianMs(1, [&] { sum += db->playRecords().size(); }));
        selected.push_back(medianMs(1, [&] {
            while (sqlite3_step(select) == SQLITE_ROW) {
                sum += sqlite3_column_bytes(select, 0) + sqlite3_column_int64(select, 1) + sqlite3_column_int64(select, 2)
                    + sqlite3_column_int64(select, 3) + sqlite3_column_int64(select, 4);
                sum += *static_cast<const char *>(sqlite3_column_blob(select, 0));
            }
            sqlite3_reset(select);
        }));
    }
    sqlite3_finalize(insert);
    sqlite3_finalize(select);
    sqlite3_close(bare);
    report("history", "a launch recorded", median(recorded), "bare INSERT, own transaction", median(inserted), 1.5);
    report("history", "10,000 games' play read", median(read), "bare SELECT of the rows", median(selected), 1.5);
    std::printf("history      launches not saved: %d (%lld)\n\n", failures, static_cast<long long>(sum % 10));
}

// A 7,400-game DAT as No-Intro's NES set is published, in each form: read into a database (each
// entry parsed and indexed) against a bare pass of the same reader's tokenizer over it.
void benchDat(const QTemporaryDir &)
{
    constexpr int kGames = 7400;
    QByteArray xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management Datafile//EN\" "
                     "\"http://www.logiqx.com/Dats/datafile.dtd\">\n<datafile>\n\t<header>\n\t\t<name>Nintendo - NES</name>\n"
                     "\t\t<clrmamepro header=\"No-Intro_NES.xml\"/>\n\t</header>\n";
    QByteArray text = "clrmamepro (\n\tname \"Nintendo - Nintendo Entertainment System\"\n\theader \"No-Intro_NES.xml\"\n)\n\n";
    for (int i = 0; i < kGames; ++i) {
        const QByteArray game = "Game Title Number " + QByteArray::number(i) + " (USA) (Rev 1)";
        const QByteArray sha1 = QCryptographicHash::hash(QByteArray::number(i), QCryptographicHash::Sha1).toHex();
        xml += "\t<game name=\"" + game + "\">\n\t\t<description>" + game + "</description>\n\t\t<rom name=\"" + game
            + ".nes\" size=\"262144\" crc=\"" + sha1.left(8) + "\" md5=\"" + sha1.left(32) + "\" sha1=\"" + sha1
            + "\" status=\"verified\"/>\n\t</game>\n";
        text += "game (\n\tname \"" + game + "\"\n\tdescription \"" + game + "\"\n\trom ( name \"" + game
            + ".nes\" size 262160 crc " + sha1.left(8).toUpper() + " md5 " + sha1.left(32).toUpper() + " sha1 " + sha1.toUpper()
            + " flags verified )\n)\n\n";
    }
    xml += "</datafile>\n";
    int tokens = 0;
    // Read: every entry parsed and handed on; indexed: and kept in a database, looked up by CRC32.
    const auto read = [&](const QByteArray &bytes) {
        library::readDat(bytes, [&](library::DatRom &&rom) { tokens += int(rom.crc32 & 1); }, nullptr);
    };
    const auto index = [&](const QByteArray &bytes) {
        library::RomDatabase database;
        database.addDat(bytes, QStringLiteral("bench"), nullptr);
        tokens += int(database.size());
    };
    std::vector<double> xmlRead, xmlBare, textRead, textBare, xmlIndexed, textIndexed;
    for (int run = 0; run < 11; ++run) {
        xmlRead.push_back(medianMs(1, [&] { read(xml); }));
        xmlBare.push_back(medianMs(1, [&] {
            QXmlStreamReader reader(xml);
            while (!reader.atEnd())
                tokens += reader.readNext();
        }));
        textRead.push_back(medianMs(1, [&] { read(text); }));
        textBare.push_back(medianMs(1, [&] {
            library::ClrMameProTokens reader(text);
            while (reader.next() != library::ClrMameProTokens::Kind::End)
                ++tokens;
        }));
        xmlIndexed.push_back(medianMs(1, [&] { index(xml); }));
        textIndexed.push_back(medianMs(1, [&] { index(text); }));
    }
    std::printf("dat          XML %lld bytes, clrmamepro %lld bytes (%d)\n", qint64(xml.size()), qint64(text.size()), tokens & 1);
    report("dat", "7,400 games, XML, read", median(xmlRead), "bare QXmlStreamReader", median(xmlBare), 1.3);
    report("dat", "7,400 games, text, read", median(textRead), "bare tokenizer", median(textBare), 1.3);
    report("dat", "XML, read and indexed", median(xmlIndexed), "bare QXmlStreamReader", median(xmlBare), 0);
    report("dat", "text, read and indexed", median(textIndexed), "bare tokenizer", median(textBare), 0);
}

void benchConfigRead(const QTemporaryDir &dir)
{
    auto makeFile = [&](const QString &name, qsizetype bytes) {
        QByteArray data;
        data.reserve(bytes + 1024);
        int section = 0;
        while (data.size() < bytes) {
            data += "[Section " + QByteArray::number(section++) + "]\r\n";
            for (int k = 0; k < 20; ++k)
                data += "key" + QByteArray::number(k) + " = some value with blanks " + QByteArray::number(k) + "\r\n";
        }
        data += "[Quorvane v1.0b Config File]\r\nRoms=/roms/\r\nRoms2=/two/\r\nRoms3=/three/\r\n";
        const QString path = dir.filePath(name);
        touch(path, data);
        return path;
    };
    const QString small = makeFile(QStringLiteral("5mb.ini"), 5 * 1024 * 1024);
    const QString large = makeFile(QStringLiteral("50mb.ini"), 50 * 1024 * 1024);
    const double largeMs = medianMs(5, [&] { QStringList folders; config::readRomFolders(large, &folders); });
    const double smallMs = medianMs(5, [&] { QStringList folders; config::readRomFolders(small, &folders); });
    report("config read", "50 MB file", largeMs, "5 MB file", smallMs, 12.0);
}

} // namespace bench
