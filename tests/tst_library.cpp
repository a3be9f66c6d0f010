// A ROM folder as a folder: which folder a text names, its names sorted for the user's language,
// and the watch that keeps them current, however the folder is spelt and even before it exists.

#include "library/folders/folderwatcher.h"
#include "library/identity/nesheader.h"
#include "library/folders/romfilter.h"
#include "library/folders/romfolder.h"
#include "platform/folders.h"
#include "platform/workqueue.h"
#include "testutil.h"

#include <QCollator>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>

#include <atomic>
#include <mutex>
#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace testutil;

namespace {

// The names a model shows, in order.
QStringList shown(const QAbstractItemModel &model)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names.append(model.index(row, 0).data(Qt::EditRole).toString());
    return names;
}
QStringList shown(const library::RomFolder &folder) { return shown(*folder.model()); }

// Case aside, numbers by their value: as a file manager orders names.
int naturalCompare(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i, endB = j;
            while (endA < a.size() && a[endA].isDigit())
                ++endA;
            while (endB < b.size() && b[endB].isDigit())
                ++endB;
            while (i + 1 < endA && a[i] == u'0')
                ++i;
            while (j + 1 < endB && b[j] == u'0')
                ++j;
            if (endA - i != endB - j)
                return endA - i < endB - j ? -1 : 1;
            if (const int digits = a.mid(i, endA - i).compare(b.mid(j, endB - j)); digits != 0)
                return digits;
            i = endA, j = endB;
            continue;
        }
        const QChar x = a[i++].toCaseFolded(), y = b[j++].toCaseFolded();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

} // namespace

class TestLibrary : public QObject
{
    Q_OBJECT
private slots:
    void sortedAsTheUsersLanguageSorts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("names"); // in the order expected
        QTest::newRow("English: accents among their letters, case aside")
            << "en_US" << QStringList{"apple.nes", "Banana.nes", "\u00E9clair.nes", "ecu.nes", "Zelda-like.nes"};
        QTest::newRow("Swedish: \u00E4 after z") << "sv_SE" << QStringList{"apa.nes", "Zebra.nes", "\u00E4pple.nes"};
        QTest::newRow("English: \u00E4 with a") << "en_US" << QStringList{"apa.nes", "\u00E4pple.nes", "Zebra.nes"};
        QTest::newRow("English, plain ASCII: blanks, digits, letters")
            << "en_US" << QStringList{"1942.nes", "a b.nes", "a.nes", "B.nes", "contra.nes"};
        for (const char *locale : {"en_US", "C"}) {
            QTest::addRow("%s: numbers by their value", locale)
                << locale << QStringList{"Adventure 1166.nes", "Adventure 10286.nes", "Mega Man 2.nes", "Mega Man 3.nes", "Mega Man 10.nes",
                                         "Mega Man 10a.nes", "Mega Man X.nes"};
        }
        QTest::newRow("C: leading zeros aside, then the names' own order")
            << "C" << QStringList{"Game 1.nes", "Game 007.nes", "Game 7.nes", "Game 08.nes", "Game 12345678901234567890123.nes"};
#ifndef Q_OS_WIN // Wine's tables carry no Czech rules
        QTest::newRow("Czech: ch after h") << "cs_CZ" << QStringList{"hra.nes", "chata.nes", "ikarus.nes"};
#endif
        QTest::newRow("C: code points, case aside")
            << "C" << QStringList{"apple.nes", "B.nes", "Zelda.nes", "\u00C9clair.nes", "\u00E9cu.nes"};
        // Enough names, sharing prefixes longer than sixteen bytes, to be sorted in buckets.
        QStringList many;
        for (int i = 0; i < 400; ++i) {
            static const char *const prefixes[] = {"Super Mario Bros.", "super mario bros. 2", "Zelda", "a"};
            many << u"%1 %2 (Rev %3).nes"_s.arg(QLatin1String(prefixes[i % 4])).arg(i * 7919 % 400).arg(i % 3);
        }
        QCollator english(QLocale(u"en_US"_s));
        english.setCaseSensitivity(Qt::CaseInsensitive);
        english.setNumericMode(true);
        for (const bool c : {false, true}) { // ties broken by the names' own order
            std::sort(many.begin(), many.end(), [&](const QString &a, const QString &b) {
                const int order = c ? naturalCompare(a, b) : english.compare(a, b);
                return order != 0 ? order < 0 : a < b;
            });
            QTest::newRow(c ? "C: many names" : "English: many names") << (c ? "C" : "en_US") << many;
        }
#ifndef Q_OS_WIN // one file there
        QTest::newRow("names that differ in case only keep one order") << "C" << QStringList{"A.nes", "a.nes", "b.nes"};
#endif
    }

    void sortedAsTheUsersLanguageSorts()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, names);
        QTemporaryDir dir;
        QStringList shuffled = names;
        std::reverse(shuffled.begin(), shuffled.end());
        for (const QString &name : shuffled)
            writeFile(dir.filePath(name), "x");
        bool ok = false;
        const library::RomNames read = library::readRomNames(dir.path(), u"*.nes"_s, QLocale(locale), &ok);
        QVERIFY(ok);
        for (qsizetype row = 0; row < read.count(); ++row)
            QCOMPARE(read.nameAt(row), names.value(row));
        QCOMPARE(read.count(), names.size());
    }

    // A folder text is read against the application folder, whichever folder the program was
    // started from, as the system reads it while that folder is current: on Windows "\\roms" is its
    // drive's root, "D:roms" drive D's own folder.
    void relativeFoldersAreTheApplicationFolders_data()
    {
        QTest::addColumn<QString>("text");     // as typed, "<root>" standing for the test's folder
        QTest::addColumn<QString>("expected"); // the file listed, relative to the test's folder
        QTest::addColumn<bool>("fromElsewhere");
        const struct { const char *text, *expected; } rows[] = {
            {"roms", "emu/roms/inapp.nes"}, {"roms/", "emu/roms/inapp.nes"}, {"./roms", "emu/roms/inapp.nes"},
            {"../x/roms", "x/roms/x.nes"},   {"<root>/x/roms/", "x/roms/x.nes"}, {"", ""},
        };
        for (const bool elsewhere : {false, true}) {
            for (const auto &row : rows) {
                QTest::addRow("\"%s\" started from %s", row.text, elsewhere ? "another folder" : "the application folder")
                    << QString::fromLatin1(row.text) << QString::fromLatin1(row.expected) << elsewhere;
            }
        }
    }

    void relativeFoldersAreTheApplicationFolders()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QFETCH(bool, fromElsewhere);
        QTemporaryDir dir;
        const QString root = dir.path();
        for (const char *file : {"emu/roms/inapp.nes", "start/roms/elsewhere.nes", "x/roms/x.nes"})
            writeFile(root + u'/' + QLatin1String(file), "NES\x1A");
        QDir::setCurrent(root + (fromElsewhere ? u"/start"_s : u"/emu"_s));
        const auto leave = qScopeGuard([] { QDir::setCurrent(QDir::tempPath()); }); // Windows removes no current folder
        library::FolderWatcher watcher;
        library::RomFolder folder(u"*.nes"_s, root + u"/emu"_s, library::readFolderNames, &watcher);
        bool listed = false;
        connect(&folder, &library::RomFolder::listed, this, [&] { listed = true; });
        folder.setFolder(text.replace(u"<root>"_s, root));
        QTRY_VERIFY(listed);
        QCOMPARE(shown(folder), expected.isEmpty() ? QStringList() : QStringList{QFileInfo(expected).fileName()});
        if (!expected.isEmpty()) // the folder a launch names
            QCOMPARE(QFileInfo(QDir(folder.listedFolder()), shown(folder).front()).canonicalFilePath(),
                     QFileInfo(root + u'/' + expected).canonicalFilePath());
#ifdef Q_OS_WIN
        const QString base = QDir::toNativeSeparators(root);
        QDir::setCurrent(base);
        for (const QString &typed : {u"roms"_s, u"roms\\"_s, u".\\roms"_s, u"..\\x\\roms"_s, u"\\roms"_s, base.left(2) + u"roms"_s,
                                     u"Z:roms"_s, u"Z:\\roms"_s, u"C:\\a\\"_s}) {
            wchar_t buffer[4096] = {};
            const DWORD length = GetFullPathNameW(typed.toStdWString().c_str(), 4096, buffer, nullptr);
            QCOMPARE(QDir::cleanPath(platform::absoluteFolder(typed, base)), QDir::cleanPath(QString::fromWCharArray(buffer, int(length))));
        }
#else
        QCOMPARE(platform::absoluteFolder(u"C:\\roms"_s, u"/emu/"_s), u"/emu/C:\\roms"_s);
#endif
    }

    // Spellings of one folder (with and without its separator, relative and absolute, through a
    // link) share one watch of the system's: each folder follows every change, additions and
    // removals alike.
    void everySpellingOfAFolderFollowsIt()
    {
        QTemporaryDir dir;
        const QString roms = dir.filePath(u"roms"_s);
        writeFile(roms + u"/a.nes"_s, "x");
        library::FolderWatcher watcher;
        QStringList spellings{roms + u'/', roms, u"roms"_s, u"./roms/"_s};
#ifdef Q_OS_UNIX // through a link: the same folder
        QVERIFY(QFile::link(roms, dir.filePath(u"link"_s)));
        spellings << dir.filePath(u"link/"_s);
#endif
        std::vector<std::unique_ptr<library::RomFolder>> folders;
        for (const QString &spelling : spellings) {
            folders.push_back(std::make_unique<library::RomFolder>(u"*.nes"_s, dir.path(), library::readFolderNames, &watcher));
            folders.back()->setFolder(spelling);
        }
        for (const auto &folder : folders)
            QTRY_COMPARE(shown(*folder), QStringList{u"a.nes"_s});
        QTest::qWait(200); // the watches are set off this thread
        writeFile(roms + u"/b.nes"_s, "x");
        for (const auto &folder : folders)
            QTRY_COMPARE(shown(*folder), (QStringList{"a.nes", "b.nes"}));
        QVERIFY(QFile::remove(roms + u"/a.nes"_s));
        for (const auto &folder : folders)
            QTRY_COMPARE(shown(*folder), QStringList{u"b.nes"_s});
    }

    // A folder that is not there yet (a stick not plugged in, a folder made later) is watched
    // through the nearest folder above it that is: its names show once it appears, however deep.
    void aFolderThatAppearsLaterIsListed()
    {
        QTemporaryDir dir;
        library::FolderWatcher watcher;
        library::RomFolder folder(u"*.nes"_s, dir.path(), library::readFolderNames, &watcher);
        int listings = 0;
        connect(&folder, &library::RomFolder::listed, this, [&] { ++listings; });
        folder.setFolder(u"stick/roms/"_s);
        QTRY_COMPARE(listings, 1);
        QCOMPARE(shown(folder), QStringList());
        QCOMPARE(folder.listedFolder(), platform::absoluteFolder(u"stick/roms/"_s, dir.path()));
        QTest::qWait(200);
        QVERIFY(QDir(dir.path()).mkdir(u"stick"_s));
        QTRY_VERIFY(listings >= 2); // read again, and now watched through stick/
        QTest::qWait(200);
        writeFile(dir.filePath(u"stick/roms/late.nes"_s), "x");
        QTRY_COMPARE_WITH_TIMEOUT(shown(folder), QStringList{u"late.nes"_s}, 5000);
        QTest::qWait(200);
        writeFile(dir.filePath(u"stick/roms/later.nes"_s), "x"); // the folder itself is watched now
        QTRY_COMPARE_WITH_TIMEOUT(shown(folder), (QStringList{"late.nes", "later.nes"}), 5000);
    }

    // 5,000 names: ten titles in mixed case and accents, each numbered 0 to 499. A query shows
    // exactly the names that hold each of its words, in the list's order, and the count follows.
    void aQueryShowsTheNamesHoldingEveryWord_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QList<int>>("titles"); // the titles it finds
        QTest::addColumn<QString>("digit");     // and a digit their number must hold, if any
        QTest::newRow("no query: every row") << "" << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9} << "";
        QTest::newRow("blanks alone: every row") << "   " << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9} << "";
        QTest::newRow("accents and case aside") << "pokemon" << QList<int>{0, 1} << "";
        QTest::newRow("accented query") << "POKÉMON" << QList<int>{0, 1} << "";
        QTest::newRow("two words, and a number") << "mega 3" << QList<int>{2, 3, 4} << "3";
        QTest::newRow("words in any order") << "man mega" << QList<int>{2, 3, 4} << "";
        QTest::newRow("punctuation kept") << "d-gen" << QList<int>{7} << "";
        QTest::newRow("a diaeresis") << "excite" << QList<int>{9} << "";
        QTest::newRow("every word must be there") << "zelda mario" << QList<int>{} << "";
        QTest::newRow("the extension is no part of the name") << "usa NES" << QList<int>{} << "";
    }

    void aQueryShowsTheNamesHoldingEveryWord()
    {
        QFETCH(QString, query);
        QFETCH(QList<int>, titles);
        QFETCH(QString, digit);
        const QStringList bases{u"Pok\u00E9mon"_s, u"POKEMON"_s, u"Mega Man"_s, u"mega man"_s, u"M\u00E9g\u00E0 M\u00E2n"_s,
                                u"Zelda"_s, u"Drol"_s, u"D-Generation"_s, u"Super Mario Bros."_s, u"\u00CBxcite Bike"_s};
        library::RomNames names;
        QHash<QString, int> titleOf;
        for (int i = 0; i < 5000; ++i) {
            const QString name = u"%1 %2 (USA).nes"_s.arg(bases[i % 10]).arg(i / 10);
            names.append(name.toUtf8());
            titleOf.insert(name, i % 10);
        }
        names.sort(QLocale(u"en_US"_s));
        library::RomListModel model;
        model.reset(names);
        library::RomFilter filter(&model);
        filter.setQuery(query);
        QStringList expected;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QString name = model.fileName(row);
            if (titles.contains(titleOf.value(name)) && name.section(u' ', -2, -2).contains(digit))
                expected << name;
        }
        QCOMPARE(shown(filter), expected);
        QCOMPARE(filter.totalCount(), 5000);
        QCOMPARE(filter.filtering(), !query.trimmed().isEmpty());
        // A new reading while the query is on: one name gone, one like a shown one come.
        if (!filter.filtering() || expected.isEmpty() || query.contains("usa"_L1))
            return;
        const QString gone = model.fileName(0);
        const QString come = QString(expected.back()).replace(u"(USA)"_s, u"(Europe)"_s);
        library::RomNames changed;
        for (int row = 1; row < model.rowCount(); ++row)
            changed.append(model.bytesAt(row));
        changed.append(come.toUtf8());
        changed.sort(QLocale(u"en_US"_s));
        model.update(changed);
        QCOMPARE(filter.rowCount(), expected.size() - int(expected.contains(gone)) + 1);
        QVERIFY(!shown(filter).contains(gone) && shown(filter).contains(come));
    }

    // A folder read again in another order (its language's sorting changed, say): the rows are
    // those of the new reading, in its order, and a view's selection starts afresh.
    void aNewReadingInAnotherOrderReplacesTheRows()
    {
        library::RomNames before, after;
        for (const char *name : {"a.nes", "b.nes", "c.nes"})
            before.append(QByteArrayView(name));
        for (const char *name : {"c.nes", "a.nes", "d.nes", "b.nes"})
            after.append(QByteArrayView(name));
        library::RomListModel model;
        model.reset(before);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        model.update(after);
        QCOMPARE(resets.size(), 1);
        QStringList rows;
        for (int row = 0; row < model.rowCount(); ++row)
            rows << model.fileName(row);
        QCOMPARE(rows, (QStringList{"c.nes", "a.nes", "d.nes", "b.nes"}));
        QCOMPARE(model.rowOf("d.nes"), 2);
    }

    // Jobs run one after another in the order posted; cancelling drops those not begun and tells
    // the running one; destroying the queue never waits for a job that does not end, and a queue
    // whose jobs are to finish still runs them.
    void workQueuesRunInOrderAndNeverWait()
    {
        struct Shared {
            std::mutex mutex;
            QStringList ran;
            QSemaphore release, began;
            std::atomic<bool> sawCancel{false};
            void note(const QString &what)
            {
                const std::lock_guard<std::mutex> lock(mutex);
                ran << what;
            }
            QStringList all()
            {
                const std::lock_guard<std::mutex> lock(mutex);
                return ran;
            }
        };
        const auto shared = std::make_shared<Shared>();
        {
            platform::WorkQueue queue("test");
            for (int i = 0; i < 20; ++i)
                queue.post([shared, i](const platform::CancelFlag &) { shared->note(QString::number(i)); });
            QVERIFY(queue.waitForIdle(std::chrono::seconds(10)));
            QStringList order;
            for (int i = 0; i < 20; ++i)
                order << QString::number(i);
            QCOMPARE(shared->all(), order);

            // A job that waits until it is cancelled, and one behind it that never runs.
            queue.post([shared](const platform::CancelFlag &cancelled) {
                shared->began.release();
                while (!cancelled.isSet())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                shared->sawCancel = true;
            });
            queue.post([shared](const platform::CancelFlag &) { shared->note(u"dropped"_s); });
            QVERIFY2(shared->began.tryAcquire(1, 10000), "the first job did not begin");
            queue.cancel();
            QVERIFY(queue.waitForIdle(std::chrono::seconds(10)));
            QVERIFY(shared->sawCancel);
            QVERIFY(!shared->all().contains(u"dropped"_s));
            queue.post([shared](const platform::CancelFlag &) { shared->note(u"after"_s); }); // the queue goes on
            QVERIFY(queue.waitForIdle(std::chrono::seconds(10)));
            QVERIFY(shared->all().contains(u"after"_s));

            // Destroyed while a job waits for what comes only after: it returns all the same.
            queue.post([shared](const platform::CancelFlag &) {
                shared->began.release();
                shared->release.acquire();
                shared->note(u"stalled"_s);
            });
            QVERIFY2(shared->began.tryAcquire(1, 10000), "the stalled job did not begin");
        }
        QVERIFY(!shared->all().contains(u"stalled"_s));
        shared->release.release();
        QTRY_VERIFY(shared->all().contains(u"stalled"_s));

        // Jobs that are to finish run after the queue is gone.
        {
            platform::WorkQueue writes("test", platform::WorkQueue::Priority::Normal, platform::WorkQueue::WhenDestroyed::Finish);
            writes.post([shared](const platform::CancelFlag &) {
                shared->release.acquire();
                shared->note(u"first write"_s);
            });
            writes.post([shared](const platform::CancelFlag &cancelled) { shared->note(cancelled.isSet() ? u"cancelled"_s : u"second write"_s); });
        }
        shared->release.release();
        QTRY_VERIFY(shared->all().contains(u"second write"_s));
        QVERIFY(shared->all().contains(u"first write"_s));
    }

    void nesHeaders_data()
    {
        using H = library::NesHeader;
        QTest::addColumn<QByteArray>("bytes");   // the header, then whatever the file holds
        QTest::addColumn<qint64>("fileSize");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("mapper");
        QTest::addColumn<int>("submapper");
        QTest::addColumn<QList<qint64>>("sizes"); // PRG ROM, CHR ROM, CHR RAM, PRG RAM, PRG NVRAM
        QTest::addColumn<QString>("flags");       // mirroring, battery, trainer, console, timing
        QTest::addColumn<QString>("problems");
        const qint64 k = 1024;
        QTest::newRow("iNES, NROM-128") << QByteArray("NES\x1A\x01\x01\x01\0\0\0\0\0\0\0\0\0", 16) << 16 + 24 * k
                                        << int(H::Format::INes) << 0 << -1 << QList<qint64>{16 * k, 8 * k, 0, 0, 0}
                                        << "V - - NES NTSC" << "";
        QTest::newRow("iNES, MMC3 with battery, trainer, PAL, four-screen")
            << QByteArray("NES\x1A\x08\x00\x4E\x40\0\x01\0\0\0\0\0\0", 16) << 16 + 512 + 128 * k << int(H::Format::INes) << 68
            << -1 << QList<qint64>{128 * k, 0, 8 * k, 0, 0} << "4 B T NES PAL" << "";
        QTest::newRow("DiskDude!: the low mapper nibble only, and reported")
            << QByteArray("NES\x1A\x02\x01\x41\x44iskDude!", 16) << 16 + 40 * k << int(H::Format::ArchaicINes) << 4 << -1
            << QList<qint64>{32 * k, 8 * k, 0, 0, 0} << "V - - NES NTSC" << "dirty header";
        QTest::newRow("NES 2.0: high nibbles, submapper, RAM, Dendy")
            << QByteArray("NES\x1A\x02\x00\x10\x09\x31\x01\x07\x07\x03\0\0\0", 16) << 16 + 4128 * k
            << int(H::Format::Nes20) << 0x101 << 3 << QList<qint64>{4128 * k, 0, 8 * k, 8 * k, 0} << "H - - VS Dendy" << "";
        QTest::newRow("NES 2.0 exponent form: 2^5 * 3 bytes of PRG")
            << QByteArray("NES\x1A\x15\x01\x00\x08\0\x0F\0\0\0\0\0\0", 16) << qint64(16 + 96 + 8 * k) << int(H::Format::Nes20)
            << 0 << 0 << QList<qint64>{96, 8 * k, 0, 0, 0} << "H - - NES NTSC" << "";
        QTest::newRow("NES 2.0 high nibbles never apply to iNES")
            << QByteArray("NES\x1A\x01\x01\x00\x00\x0F\xFF\0\0\0\0\0\0", 16) << 16 + 24 * k << int(H::Format::INes) << 0 << -1
            << QList<qint64>{16 * k, 8 * k, 0, 0, 0} << "H - - NES PAL" << "";
        QTest::newRow("claims more than the file holds")
            << QByteArray("NES\x1A\x10\x10\0\0\0\0\0\0\0\0\0\0", 16) << qint64(16 + 1000) << int(H::Format::INes) << 0 << -1
            << QList<qint64>{256 * k, 128 * k, 0, 0, 0} << "H - - NES NTSC" << "short: the header claims 393232 bytes, the file holds 1016";
        QTest::newRow("claims more than any file, size unknown: capped, never overflowing")
            << QByteArray("NES\x1A\xFF\xFF\0\x08\0\xFF\0\0\0\0\0\0", 16) << qint64(-1) << int(H::Format::Nes20) << 0 << 0
            << QList<qint64>{H::kLargestSize, H::kLargestSize, 0, 0, 0} << "H - - NES NTSC" << "more data than any file holds";
        QTest::newRow("NES 2.0 mark whose sizes pass the file's: read as iNES")
            << QByteArray("NES\x1A\x02\x01\x10\x08\0\x01\0\0\0\0\0\0", 16) << 16 + 40 * k << int(H::Format::INes) << 1 << -1
            << QList<qint64>{32 * k, 8 * k, 0, 0, 0} << "H - - NES PAL" << "";
        QTest::newRow("archaic mark: byte 7 is not read, mapper 0-15")
            << QByteArray("NES\x1A\x02\x01\x10\x44\0\0\0\0\0\0\0\0", 16) << 16 + 40 * k << int(H::Format::ArchaicINes) << 1
            << -1 << QList<qint64>{32 * k, 8 * k, 0, 0, 0} << "H - - NES NTSC" << "";
        QTest::newRow("NES 2.0 CHR RAM beside CHR ROM (TQROM)")
            << QByteArray("NES\x1A\x08\x08\x70\x78\0\0\0\x07\0\0\0\0", 16) << 16 + 192 * k << int(H::Format::Nes20) << 119
            << 0 << QList<qint64>{128 * k, 64 * k, 8 * k, 0, 0} << "H - - NES NTSC" << "";
        QTest::newRow("no magic") << QByteArray("NES\x1B\x01\x01\0\0\0\0\0\0\0\0\0\0", 16) << qint64(16) << int(H::Format::NotINes)
                                  << 0 << -1 << QList<qint64>{0, 0, 0, 0, 0} << "H - - NES NTSC" << "not an iNES file";
        QTest::newRow("fewer than 16 bytes") << QByteArray("NES\x1A\x01", 5) << qint64(5) << int(H::Format::NotINes) << 0 << -1
                                             << QList<qint64>{0, 0, 0, 0, 0} << "H - - NES NTSC" << "not an iNES file";
    }

    void nesHeaders()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, fileSize);
        QFETCH(int, format);
        QFETCH(int, mapper);
        QFETCH(int, submapper);
        QFETCH(QList<qint64>, sizes);
        QFETCH(QString, flags);
        QFETCH(QString, problems);
        using H = library::NesHeader;
        const H header = library::decodeNesHeader(bytes, fileSize);
        QCOMPARE(int(header.format), format);
        QCOMPARE(header.mapper, mapper);
        QCOMPARE(header.submapper, submapper);
        QCOMPARE((QList<qint64>{header.prgRom, header.chrRom, header.chrRam, header.prgRam, header.prgNvram}), sizes);
        const char *mirroring[] = {"H", "V", "4"};
        const char *consoles[] = {"NES", "VS", "PC10", "Extended"};
        const char *timings[] = {"NTSC", "PAL", "Multi", "Dendy"};
        QCOMPARE(u"%1 %2 %3 %4 %5"_s.arg(QLatin1String(mirroring[int(header.mirroring)]), header.battery ? u"B"_s : u"-"_s,
                                        header.trainer ? u"T"_s : u"-"_s, QLatin1String(consoles[int(header.console)]),
                                        QLatin1String(timings[int(header.timing)])),
                 flags);
        const QString reported = library::headerProblems(header, std::max<qint64>(fileSize, bytes.size())).join(u"; "_s);
        QVERIFY2(problems.isEmpty() ? reported.isEmpty() : reported.contains(problems), qPrintable(reported));
    }

    void mapperNames()
    {
        QCOMPARE(library::mapperName(4), u"MMC3"_s);
        QCOMPARE(library::mapperName(28), u"Action 53"_s);
        QCOMPARE(library::mapperName(30), u"UNROM 512"_s);
        QCOMPARE(library::mapperName(111), u"GTROM"_s);
        QVERIFY(library::mapperName(4095).isEmpty());
    }
};

QTEST_MAIN(TestLibrary)
#include "tst_library.moc"
