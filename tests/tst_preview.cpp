// The snapshot preview: where a ROM's snapshot is, and its decode, bounded and off the window's
// thread.

#include "preview/snapshot.h"
#include "preview/snapshotloader.h"
#include "preview/titlepictures.h"
#include "testutil.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QPainter>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace testutil;

namespace {

const QSize kBox(253, 221);

// The size a JPEG's frame header claims, whatever the data holds.
QByteArray claiming(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && (uchar(jpeg[i + 1]) == 0xC0 || uchar(jpeg[i + 1]) == 0xC2)) {
            const char size[4] = {char(height >> 8), char(height & 0xFF), char(width >> 8), char(width & 0xFF)};
            return jpeg.replace(i + 5, 4, size, 4);
        }
    }
    return QByteArray();
}

// How much the process's peak memory grew while work ran, in KiB; 0 where it cannot be told.
template <class Work>
long peakGrowth(Work work)
{
#ifdef Q_OS_UNIX
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    work();
    getrusage(RUSAGE_SELF, &after);
    return after.ru_maxrss - before.ru_maxrss;
#else
    work();
    return 0;
#endif
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT
private slots:
    // First, while the process's peak memory is still that of a normal start.
    void hostileSnapshotsStayWithinTheirCaps()
    {
        QTemporaryDir dir;
        const QByteArray small = readAll(QStringLiteral(FUZZ_CORPUS "/snapshot/progressive.jpg")); // 24 x 16
        QMap<QString, QByteArray> files{{"claims 20000 x 20000", claiming(small, 20000, 20000)},
                                        {"claims 30000 x 30000", claiming(small, 30000, 30000)},
                                        {"claims 65500 x 65500", claiming(small, 65500, 65500)},
                                        {"CMYK, claims 20000 x 20000", claiming(readAll(QStringLiteral(FUZZ_CORPUS "/snapshot/cmyk.jpg")), 20000, 20000)}};
        // Found by fuzz_snapshot: a PNG text chunk that claims 160 MB made Qt's reader allocate it.
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        QImage(8, 8, QImage::Format_Mono).save(&png, "PNG");
        files.insert(u"PNG text chunk of 160 MB"_s,
                     png.buffer().insert(png.size() - 12, QByteArray::fromHex("0a000025") + "tEXtdate:create" + QByteArray(20, '2')));
        // Found by fuzz_snapshot: a GIF whose frame is empty and whose screen, which Qt's reader
        // allocates, takes 118 MB.
        files.insert(u"GIF screen of 118 MB"_s, readAll(QStringLiteral(FUZZ_CORPUS "/snapshot/gif-screen-of-118-mb.gif")));
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            QVERIFY2(!it.value().isEmpty(), qPrintable(it.key()));
            writeFile(dir.filePath(it.key()), it.value());
        }
#ifdef Q_OS_UNIX
        // 2 GB of nothing behind a valid progressive header: read only up to the input cap.
        const QString sparse = dir.filePath(u"2 GB of zeros"_s);
        writeFile(sparse, small.chopped(2)); // no end marker
        QVERIFY(::truncate(QFile::encodeName(sparse).constData(), off_t(2) << 30) == 0);
        files.insert(u"2 GB of zeros"_s, {});
#endif
        const long growth = peakGrowth([&] {
            for (const QString &name : files.keys()) {
                QVERIFY2(preview::loadSnapshot(dir.filePath(name), kBox).isNull(), qPrintable(name));
                QVERIFY2(preview::loadFitted(dir.filePath(name), kBox).isNull(), qPrintable(name)); // as box art
            }
        });
        QVERIFY2(growth < (preview::kMaxSnapshotMemory >> 10) + 16 * 1024, qPrintable(QString::number(growth)));
        writeFile(dir.filePath(u"honest.jpg"_s), small); // the same small picture, its own size told: shown
        QCOMPARE(preview::loadSnapshot(dir.filePath(u"honest.jpg"_s), kBox).size(), QSize(24, 16));
    }

    // Pictures by title: named as RetroArch's thumbnails are, looked for kind by kind (box art,
    // title screens, snapshots) and folder by folder within a kind; scaled to fit the box whole,
    // never enlarged.
    void picturesByTitle()
    {
        QCOMPARE(preview::titlePictureName(u"A&B*C/D:E`F<G>H?I\\J|K\"L (USA) [!] {x} ~ 'y'"_s),
                 u"A_B_C_D_E_F_G_H_I_J_K_L (USA) [!] {x} ~ 'y'.png"_s);
        QCOMPARE(preview::titlePictureName(QString()), QString());
        const QString nes = u"/Nintendo - Nintendo Entertainment System/"_s;
        QCOMPARE(preview::titlePicturePaths({u"/a"_s, u"/b"_s}, u"Game: 2"_s),
                 (QStringList{"/a" + nes + "Named_Boxarts/Game_ 2.png", "/b" + nes + "Named_Boxarts/Game_ 2.png",
                              "/a" + nes + "Named_Titles/Game_ 2.png", "/b" + nes + "Named_Titles/Game_ 2.png",
                              "/a" + nes + "Named_Snaps/Game_ 2.png", "/b" + nes + "Named_Snaps/Game_ 2.png"}));
        QCOMPARE(preview::titlePicturePaths({u"/a"_s}, u"G"_s, preview::TitlePicture::BoxArt, preview::TitlePicture::BoxArt),
                 (QStringList{"/a" + nes + "Named_Boxarts/G.png"}));
        QVERIFY(preview::titlePicturePaths({u"/a"_s}, QString()).isEmpty());

        QTemporaryDir dir;
        for (const auto &[size, box, fitted] : std::vector<std::tuple<QSize, QSize, QSize>>{
                 {{512, 720}, {200, 200}, {142, 200}}, {{720, 512}, {200, 200}, {200, 142}}, {{50, 40}, {200, 200}, {50, 40}}}) {
            QImage picture(size, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            const QString path = dir.filePath(u"%1.png"_s.arg(size.width()));
            QVERIFY(picture.save(path, "PNG"));
            QCOMPARE(preview::loadFitted(path, box).size(), fitted);
            QVERIFY(picture.save(path + u".jpg"_s, "JPEG"));
            QCOMPARE(preview::loadFitted(path + u".jpg"_s, box).size(), fitted);
        }
    }

    void snapshotPath_data()
    {
        QTest::addColumn<QString>("applicationFolder");
        QTest::addColumn<QString>("rom");
        QTest::addColumn<QString>("expected");
        QTest::newRow("every .nes of the name") << "/opt/emu" << "a.nes.b.nes" << "/opt/emu/snap/a.jpg.b.jpg";
        QTest::newRow("capitals: nothing replaced") << "/opt/emu" << "GAME.NES" << "/opt/emu/snap/GAME.NES";
        QTest::newRow("a folder named .nes keeps its name") << "/games/emu.nes" << "x.nes" << "/games/emu.nes/snap/x.jpg";
        QTest::newRow("nothing selected: the folder") << "/opt/emu" << "" << "/opt/emu/snap/";
    }

    void snapshotPath()
    {
        QFETCH(QString, applicationFolder);
        QFETCH(QString, rom);
        QFETCH(QString, expected);
        QCOMPARE(preview::snapshotPath(applicationFolder, rom), expected);
        QCOMPARE(preview::snapshotPaths(applicationFolder, rom).value(0), expected); // the rule above comes first
    }

    void snapshotsAsEmulatorsSaveThem_data()
    {
        QTest::addColumn<QString>("rom");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("plain") << "Game.nes" << QStringList{"/e/snap/Game.jpg", "/e/snap/Game.png"};
        QTest::newRow("extension in capitals") << "Game.NES" << QStringList{"/e/snap/Game.NES", "/e/snap/Game.jpg", "/e/snap/Game.png"};
        QTest::newRow("the rule's every .nes first")
            << "a.nes.b.nes" << QStringList{"/e/snap/a.jpg.b.jpg", "/e/snap/a.nes.b.jpg", "/e/snap/a.png.b.png", "/e/snap/a.nes.b.png"};
        QTest::newRow("in a subfolder: its path, then its name")
            << "USA/Game.nes" << QStringList{"/e/snap/USA/Game.jpg", "/e/snap/Game.jpg", "/e/snap/USA/Game.png", "/e/snap/Game.png"};
        QTest::newRow("nothing selected: the folder") << "" << QStringList{"/e/snap/"};
    }
    void snapshotsAsEmulatorsSaveThem()
    {
        QFETCH(QString, rom);
        QFETCH(QStringList, expected);
        QCOMPARE(preview::snapshotPaths(u"/e"_s, rom), expected);
    }

    // Whatever its kind, a picture is shown at its own size from the top-left corner, cut at the
    // box; only that part is decoded where the kind allows it, and no more is ever handed on.
    void onlyTheBoxsPartIsShown_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("JPEG") << QByteArray("JPEG");
        QTest::newRow("PNG") << QByteArray("PNG");
        QTest::newRow("BMP") << QByteArray("BMP");
    }

    void onlyTheBoxsPartIsShown()
    {
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        QImage big(600, 500, QImage::Format_RGB32);
        big.fill(Qt::blue);
        QPainter(&big).fillRect(0, 0, 16, 16, Qt::red);
        const QString path = dir.filePath(u"big."_s + QString::fromLatin1(format).toLower());
        QVERIFY(big.save(path, format.constData(), 95));
        const QImage shown = preview::loadSnapshot(path, kBox);
        QCOMPARE(shown.size(), kBox); // cut, not scaled
        QVERIFY(qRed(shown.pixel(4, 4)) > 200 && qBlue(shown.pixel(200, 200)) > 200);
        QImage narrow(40, 300, QImage::Format_RGB32); // cut in one direction only: nothing added
        narrow.fill(Qt::green);
        QVERIFY(narrow.save(path, format.constData(), 95));
        QCOMPARE(preview::loadSnapshot(path, kBox).size(), QSize(40, kBox.height()));
    }

    void whatIsNoPictureStaysBlank()
    {
        // Found by fuzz_snapshot: a GIF whose header says 11,308 x 10, which Qt's reader decodes
        // whole, and wider than the box.
        QFile gif(QStringLiteral(FUZZ_CORPUS "/snapshot/gif-wider-than-the-box.gif"));
        QVERIFY(gif.open(QIODevice::ReadOnly));
        const QImage decoded = preview::decodeSnapshot(gif, kBox);
        QVERIFY(decoded.width() <= kBox.width() && decoded.height() <= kBox.height());
        QTemporaryDir dir;
        writeFile(dir.filePath(u"bad.jpg"_s), "\xFF\xD8\xFF no picture after all");
        for (const char *name : {"missing.jpg", "bad.jpg", ""}) // a folder, for no selection
            QVERIFY(preview::loadSnapshot(dir.filePath(QLatin1String(name)), QSize(10, 10)).isNull());
    }

    // The window hands decodes to another thread: it goes on handling events while one runs, and a
    // newer selection stops the older decode, whose picture is never shown.
    void snapshotsNeverHoldUpTheWindow()
    {
        QAtomicInt began, stopped;
        preview::SnapshotLoader loader(nullptr, [&](const QString &path, const QSize &, const preview::CancelCheck &cancelled) {
            const bool slow = path == "slow"_L1;
            began.storeRelaxed(began.loadRelaxed() | int(slow));
            QImage picture(1, 1, QImage::Format_RGB32);
            picture.fill(slow ? Qt::red : Qt::green);
            for (QDeadlineTimer patience(10000); slow && !cancelled() && !patience.hasExpired();)
                QThread::msleep(1);
            if (slow)
                stopped.storeRelaxed(cancelled() ? 1 : -1);
            return picture;
        });
        QList<QRgb> shown;
        connect(&loader, &preview::SnapshotLoader::loaded, this, [&](const QImage &picture) { shown.append(picture.pixel(0, 0)); });
        loader.request(u"slow"_s, QSize(10, 10));
        bool handled = false;
        QTimer::singleShot(0, this, [&] { handled = true; });
        QTRY_VERIFY(handled && began.loadRelaxed()); // the event loop runs while the slow decode does
        loader.request(u"fast"_s, QSize(10, 10));
        QTRY_COMPARE(stopped.loadRelaxed(), 1);
        QTRY_COMPARE(shown.size(), 1);
        QTest::qWait(50);
        QCOMPARE(shown, QList<QRgb>{QColor(Qt::green).rgb()});
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
