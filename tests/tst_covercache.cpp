// The cover view's disk cache: made with its marker, read back, never someone else's, trimmed
// oldest first without touching anything it did not write.
#include "preview/covercache.h"
#include "preview/titlepictures.h"
#include "testutil.h"

#include <QSignalSpy>

using namespace testutil;

namespace {

const QSize kCover(96, 134);

QString boxArt(const QString &folder, const QString &title)
{
    return folder + u"/Nintendo - Nintendo Entertainment System/Named_Boxarts/"_s + preview::titlePictureName(title);
}

// The cover of title once it has come (a null image when it has none).
QImage coverOf(preview::CoverCache &cache, const QString &title)
{
    for (QDeadlineTimer patience(10000); !patience.hasExpired(); QTest::qWait(5)) {
        const preview::CoverCache::Lookup found = cache.cover(title);
        if (!found.coming)
            return found.picture;
    }
    qWarning("no cover came for %s in 10 s", qPrintable(title));
    return QImage();
}

} // namespace

class TestCoverCache : public QObject
{
    Q_OBJECT
private slots:
    // Box art is scaled to the cover's size once, kept on disk, and read back from there by the
    // next start; a title without box art, or with a picture that is none, has no cover.
    void coversAreScaledOnceAndKept()
    {
        QTemporaryDir dir;
        const QString pictures = dir.filePath(u"thumbnails"_s), cacheFolder = dir.filePath(u"cache/covers"_s);
        writePicture(boxArt(pictures, u"Game: One"_s), QSize(512, 720), Qt::green);
        writeFile(boxArt(pictures, u"Broken"_s), "\x89PNG\r\n\x1A\n and no more");
        QStringList kept;
        {
            preview::CoverCache cache(cacheFolder, kCover);
            cache.setPictureFolders({dir.filePath(u"elsewhere"_s), pictures});
            QSignalSpy came(&cache, &preview::CoverCache::came);
            QVERIFY(cache.cover(u"Game: One"_s).coming);
            const QImage cover = coverOf(cache, u"Game: One"_s);
            QCOMPARE(cover.size(), QSize(95, 134));
            QCOMPARE(QColor(cover.pixel(40, 60)), QColor(Qt::green));
            QVERIFY(came.count() >= 1);
            QVERIFY(coverOf(cache, u"Broken"_s).isNull());
            QVERIFY(coverOf(cache, u"No Such Game"_s).isNull());
            QVERIFY(!cache.cover(QString()).coming);
            kept = filesBelow(cacheFolder);
        }
        QCOMPARE(kept.size(), 2); // the one cover and the marker
        QCOMPARE(kept.last(), preview::CoverCache::kMarkerName);
        QVERIFY(QRegularExpression(u"^[0-9a-f]{2}/[0-9a-f]{40}\\.jpg$"_s).match(kept.first()).hasMatch());
        // Read back from disk: the kept file itself (made red here) is what the next start shows.
        QImage red(QSize(95, 134), QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(cacheFolder + u'/' + kept.first(), "JPEG", 95));
        preview::CoverCache again(cacheFolder, kCover);
        again.setPictureFolders({pictures});
        QCOMPARE(QColor(coverOf(again, u"Game: One"_s).pixel(40, 60)).red() > 200, true);
        // A changed picture is scaled anew.
        QTest::qWait(20);
        writePicture(boxArt(pictures, u"Game: One"_s), QSize(720, 512), Qt::blue);
        preview::CoverCache third(cacheFolder, kCover);
        third.setPictureFolders({pictures});
        const QImage changed = coverOf(third, u"Game: One"_s);
        QCOMPARE(changed.size(), QSize(96, 68));
        QCOMPARE(QColor(changed.pixel(40, 30)), QColor(Qt::blue));
    }

    // A folder that holds files but no marker is someone else's: covers are made in memory only,
    // and nothing is written there or removed.
    void aFolderThatIsNotTheCachesIsLeftAlone()
    {
        QTemporaryDir dir;
        const QString pictures = dir.filePath(u"thumbnails"_s), foreign = dir.filePath(u"mine"_s);
        writePicture(boxArt(pictures, u"Game"_s), QSize(100, 140), Qt::green);
        writeFile(foreign + u"/ab/0123456789012345678901234567890123456789.jpg"_s, "someone else's");
        writeFile(foreign + u"/notes.txt"_s, "mine");
        const QStringList before = filesBelow(foreign);
        preview::CoverCache cache(foreign, kCover, nullptr, 1); // a cap that would trim everything of its own
        cache.setPictureFolders({pictures});
        QCOMPARE(coverOf(cache, u"Game"_s).size(), QSize(95, 134));
        QCOMPARE(filesBelow(foreign), before);
    }

    // Past its cap the cache loses its oldest covers first, and what an unfinished write left an
    // hour ago; never a file of another name, one in a folder of another name, or through a link.
    void theCacheIsTrimmedOldestFirst()
    {
        QTemporaryDir dir;
        const QString cache = dir.filePath(u"covers"_s);
        writeFile(cache + u'/' + preview::CoverCache::kMarkerName, "ours");
        const QDateTime now = QDateTime::currentDateTime();
        auto age = [](const QString &path, const QDateTime &time) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime));
        };
        QStringList covers;
        for (int i = 0; i < 10; ++i) {
            const QString name = QString::number(i).repeated(40);
            covers << name.left(2) + u'/' + name + u".jpg"_s;
            writeFile(cache + u'/' + covers.last(), QByteArray(10000, 'x'));
            age(cache + u'/' + covers.last(), now.addSecs(-100 * (10 - i))); // 0 the oldest
        }
        const QString leftover = u"aa/"_s + u"a"_s.repeated(40) + u".jpg.Xy12ab"_s, fresh = u"aa/"_s + u"b"_s.repeated(40) + u".jpg.Qw34cd"_s;
        writeFile(cache + u'/' + leftover, "half");
        age(cache + u'/' + leftover, now.addSecs(-7200));
        writeFile(cache + u'/' + fresh, "being written now");
        const QStringList others{u"notes.txt"_s, u"aa/readme.jpg"_s, u"other/"_s + u"c"_s.repeated(40) + u".jpg"_s};
        for (const QString &other : others) {
            writeFile(cache + u'/' + other, QByteArray(50000, 'o'));
            age(cache + u'/' + other, now.addYears(-5));
        }
        const QString outside = dir.filePath(u"outside/"_s + u"d"_s.repeated(40) + u".jpg"_s);
        writeFile(outside, QByteArray(50000, 'o'));
#ifdef Q_OS_UNIX
        QVERIFY(QFile::link(QFileInfo(outside).absolutePath(), cache + u"/dd"_s));
        QVERIFY(QFile::link(outside, cache + u"/ee/"_s + u"e"_s.repeated(40) + u".jpg"_s) || (QDir().mkpath(cache + u"/ee"_s)
                && QFile::link(outside, cache + u"/ee/"_s + u"e"_s.repeated(40) + u".jpg"_s)));
#endif
        preview::trimCoverCache(cache, 65000); // six covers fit; trimmed to 90% of it: five stay
        for (int i = 0; i < 10; ++i)
            QCOMPARE(std::make_pair(i, QFileInfo::exists(cache + u'/' + covers[i])), std::make_pair(i, i >= 5));
        QVERIFY(!QFileInfo::exists(cache + u'/' + leftover));
        QVERIFY(QFileInfo::exists(cache + u'/' + fresh));
        for (const QString &other : others)
            QVERIFY2(QFileInfo::exists(cache + u'/' + other), qPrintable(other));
        QVERIFY(QFileInfo::exists(outside));
        QVERIFY(QFileInfo::exists(cache + u'/' + preview::CoverCache::kMarkerName));
    }
};

QTEST_MAIN(TestCoverCache)
#include "tst_covercache.moc"
