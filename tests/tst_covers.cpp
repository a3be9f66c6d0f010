// The main window grown, its pictures by title, the cover view and the sort orders.
#include "romtests.h"
#include "windowtest.h"
#include "archivewriter.h"

#include <QAccessible>
#include <QAction>

#include "app/coverpictures.h"
#include "library/folders/rememberedselection.h"

namespace {

constexpr int kBackgroundMs = 20000; // what runs off the window's thread, on a loaded machine or under Wine

// Folder 1 of a layout holding sound ROMs only: no row ever gets a warning's mark, so the window
// looks the same whenever their checks end.
struct SoundRoms : Layout {
    SoundRoms()
    {
        const QByteArray data = header(1, 1) + QByteArray(24 * 1024, '\x5A');
        for (const char *name : {"Adventure (USA).nes", "Mega Man 2 (Europe) (Rev A).nes", "Zelda II - The Adventure of Link (USA).nes"})
            writeFile(rom(0) + QLatin1String(name), data + name);
        QDir().mkpath(app() + u"/snap"_s);
        writeFile(config(), configFor(rom(0), rom(1), rom(2)));
    }
};

// Where control stands on the window's surface.
QRect placeOf(const QWidget *window, const char *control)
{
    const QWidget *widget = child(window, QLatin1String(control));
    return QRect(widget->mapTo(window->findChild<QWidget *>(u"surface"_s), QPoint()), widget->size());
}

// A ROM of 16 KB of program and 8 KB of pictures, each byte fill: its game is the SHA-1 of those.
QByteArray soundRom(char fill) { return header(1, 1) + QByteArray(24 * 1024, fill); }
QByteArray gameOf(char fill) { return QCryptographicHash::hash(QByteArray(24 * 1024, fill), QCryptographicHash::Sha1); }

// A ROM database (Logiqx XML) naming the sound ROMs of fills by titles.
QByteArray romDatabase(const std::vector<std::pair<char, QString>> &games)
{
    QString text = u"<?xml version=\"1.0\"?>\n<datafile>\n"_s;
    for (const auto &[fill, title] : games) {
        const library::RomSums sums = sumsOf(QByteArray(24 * 1024, fill));
        text += u"<game name=\"%1\"><rom name=\"x.nes\" size=\"24576\" crc=\"%2\" sha1=\"%3\"/></game>\n"_s.arg(
            title.toHtmlEscaped(), QString::number(sums.crc32, 16).rightJustified(8, u'0'), QString::fromLatin1(sums.sha1.toHex()));
    }
    return (text + u"</datafile>\n"_s).toUtf8();
}

// The first thumbnails folder's picture of a title, of a kind ("Named_Boxarts").
QString titlePicture(const QString &folder, const char *kind, const QString &file)
{
    return folder + u"/Nintendo - Nintendo Entertainment System/"_s + QLatin1String(kind) + u'/' + file;
}

// The program started again: the window's last writes of its state done first, so that the next
// window's do not race them, then a new window after start-up.
void startAgain(std::unique_ptr<app::MainWindow> &window, const app::AppContext &context)
{
    auto *keeper = window->findChild<library::SelectionKeeper *>();
    QVERIFY2(keeper && keeper->waitForWrites(std::chrono::milliseconds(kBackgroundMs)), "the window's state was not written in time");
    window.reset();
    window = std::make_unique<app::MainWindow>(context);
    window->loadStartState();
}

QImage shot(QWidget *window)
{
    QApplication::processEvents();
    return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestCovers : public QObject
{
    Q_OBJECT

private slots:
    // At its first size the window is, pixel for pixel, what it was while it could not grow. The
    // picture was taken of that window; QUORVANE_WRITE_LOOKS=1 takes it again.
    void theFirstSizeLooksAsItAlwaysHas()
    {
#ifdef Q_OS_WIN
        QSKIP("the picture is of Qt's own style on the offscreen platform");
#endif
        SoundRoms f;
        const auto w = f.loaded();
        w->adjustSize();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTRY_COMPARE_WITH_TIMEOUT(MainControls(w.get()).count(0)->text(), u"ROMs : 3"_s, kBackgroundMs);
        const QString reference = QStringLiteral(LOOKS_DIR "/main-window.png");
        const QImage now = shot(w.get());
        if (qEnvironmentVariableIsSet("QUORVANE_WRITE_LOOKS"))
            QVERIFY(now.save(reference));
        const QImage before = QImage(reference).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(now.size(), before.size());
        if (now != before) {
            now.save(QDir::temp().filePath(u"main-window-now.png"_s));
            QFAIL("the window differs from tests/looks/main-window.png (saved as main-window-now.png in the temporary folder)");
        }
    }

    // Grown by 400 x 300 pixels, the lists and the picture share the new width and take all of the
    // new height; the option column keeps its size at the right edge, the hint stays under the
    // picture, the count at the foot of its list. Maximised and resized, the size is kept for the
    // next start, and only in the program's own file.
    void aGrownWindowGivesItsRoomToTheListsAndThePicture()
    {
        SoundRoms f;
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.selectionFile = f.dir.filePath(u"data/selection.ini"_s);
        auto w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        w->showAsLeft();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QSize first = w->size();
        QCOMPARE(w->minimumSize(), first);
        QVERIFY(w->maximumSize().width() > 10000 && (w->windowFlags() & Qt::WindowMaximizeButtonHint));
        const QStringList names{"SSTab1", "File1", "Label3", "Picture2", "Picture1", "Label2", "Check1", "List1", "Label1", "List2", "Label4"};
        std::map<QString, QRect> before;
        for (const QString &name : names)
            before[name] = placeOf(w.get(), qPrintable(name));
        QCOMPARE(before["SSTab1"], QRect(8, 112, 209, 241));
        QCOMPARE(before["Picture2"], QRect(224, 112, 257, 225));
        w->resize(first + QSize(400, 300));
        QTRY_COMPARE_WITH_TIMEOUT(w->centralWidget()->size(), QSize(600, 370) + QSize(400, 300), kBackgroundMs);
        // (left, top, width, height) moved by:
        const std::map<QString, std::array<int, 4>> moved{
            {"SSTab1", {0, 0, 200, 300}},   {"File1", {0, 0, 200, 300}},   {"Label3", {0, 300, 200, 0}},
            {"Picture2", {200, 0, 200, 300}}, {"Picture1", {200, 0, 0, 0}}, {"Label2", {200, 300, 0, 0}},
            {"Check1", {400, 0, 0, 0}},     {"List1", {400, 0, 0, 0}},     {"Label1", {400, 0, 0, 0}},
            {"List2", {400, 0, 0, 0}},      {"Label4", {400, 0, 0, 0}}};
        for (const QString &name : names) {
            const auto [x, y, width, height] = moved.at(name);
            const QRect was = before[name];
            QCOMPARE(std::make_pair(name, placeOf(w.get(), qPrintable(name))),
                     std::make_pair(name, QRect(was.x() + x, was.y() + y, was.width() + width, was.height() + height)));
        }
        QTRY_VERIFY_WITH_TIMEOUT(readAll(context.selectionFile).contains("Width=1000\r\nHeight=688"), kBackgroundMs);
        w->resize(first + QSize(150, 100)); // within the test screen, which bounds a size restored
        QTRY_VERIFY_WITH_TIMEOUT(readAll(context.selectionFile).contains("Width=750\r\nHeight=488"), kBackgroundMs);
        w->showMaximized();
        QTRY_VERIFY_WITH_TIMEOUT(readAll(context.selectionFile).contains("Maximised=1"), kBackgroundMs);
        QVERIFY(readAll(context.selectionFile).contains("Width=750\r\nHeight=488")); // the size to come back to

        const QByteArray config = readAll(f.config());
        startAgain(w, context);
        w->showAsLeft();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTRY_VERIFY_WITH_TIMEOUT(w->isMaximized(), kBackgroundMs);
        w->showNormal();
        QTRY_COMPARE_WITH_TIMEOUT(w->size(), QSize(750, 488), kBackgroundMs);
        QTRY_VERIFY_WITH_TIMEOUT(readAll(context.selectionFile).contains("Maximised=0"), kBackgroundMs);
        QCOMPARE(readAll(f.config()), config);
    }

    // The picture box shows the seed's snapshot first; else a picture found by the ROM's title in a
    // thumbnails folder: box art before a title screen before a snapshot, whichever folder holds
    // it, scaled to fit the box; a zipped ROM by its ROM's title; a title's awkward characters as
    // that layout names its files; a hostile picture leaves the box blank.
    void picturesAreFoundByTitle()
    {
        Layout f;
        writeFile(f.rom(0) + u"mm2.nes"_s, soundRom('m'));
        writeFile(f.rom(0) + u"renamed.zip"_s, makeArchive(ArchiveFormat::Zip, {{"inner name.nes", soundRom('z')}}));
        writeFile(f.rom(0) + u"plain.nes"_s, soundRom('p'));
        writeFile(f.rom(0) + u"hostile.nes"_s, soundRom('h'));
        writeFile(f.app() + u"/dat/nes.dat"_s,
                  romDatabase({{'m', u"Mega Man 2 (USA)"_s}, {'z', u"Zap: Who? <Me> & \"You\" | A*B/C\\D`"_s}, {'p', u"Plain"_s},
                           {'h', u"Hostile"_s}}));
        writeFile(f.config(), configFor(f.rom(0), f.rom(1), f.rom(2)));
        const QString first = f.dir.filePath(u"thumbs-a"_s), second = f.dir.filePath(u"thumbs-b"_s);
        writePicture(titlePicture(first, "Named_Titles", u"Mega Man 2 (USA).png"_s), QSize(300, 200), Qt::red);
        writePicture(titlePicture(second, "Named_Boxarts", u"Mega Man 2 (USA).png"_s), QSize(400, 560), Qt::green);
        writePicture(titlePicture(second, "Named_Snaps", u"Zap_ Who_ _Me_ _ _You_ _ A_B_C_D_.png"_s), QSize(64, 60), Qt::blue);
        writePicture(titlePicture(first, "Named_Boxarts", u"Plain.png"_s), QSize(64, 60), Qt::blue);
        QDir().mkpath(f.app() + u"/snap"_s);
        QImage snap(QSize(20, 10), QImage::Format_RGB32);
        snap.fill(Qt::yellow);
        QVERIFY(snap.save(f.app() + u"/snap/plain.jpg"_s, "JPEG", 95));
        // A PNG that claims 30,000 x 30,000 pixels: refused before any of it is decoded.
        const QByteArray header("IHDR\0\0\x75\x30\0\0\x75\x30\x08\x06\0\0\0", 17);
        const quint32 sum = quint32(crc32(0, reinterpret_cast<const Bytef *>(header.constData()), uInt(header.size())));
        QByteArray hostile = QByteArray("\x89PNG\r\n\x1A\n\0\0\0\x0D", 12) + header;
        for (const int shift : {24, 16, 8, 0})
            hostile += char(sum >> shift);
        writeFile(titlePicture(first, "Named_Boxarts", u"Hostile.png"_s), hostile + QByteArray(1000, '\0'));

        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.datFolders = {f.app() + u"/dat"_s};
        context.thumbnailFolders = {first, second};
        const auto w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        const MainControls c(w.get());
        auto pictureOf = [&](const QString &name) {
            const auto shown = [&] {
                QImage picture = c.snapshot->picture();
                return picture.isNull() ? u"none"_s
                                        : u"%1x%2 %3"_s.arg(picture.width()).arg(picture.height()).arg(QColor(picture.pixel(0, 0)).name());
            };
            c.list(0)->selectFile(name);
            QTest::qWait(300); // the title comes with the check; the picture off the window's thread
            return shown();
        };
        QTRY_VERIFY_WITH_TIMEOUT(!w->romFolder(0)->model()->factsAt(0) ? false : w->romFolder(0)->model()->factsAt(3) != nullptr, kBackgroundMs);
        const QSize box = c.snapshot->visibleSize();
        const QSize fitted = QSize(400, 560).scaled(box, Qt::KeepAspectRatio);
        QTRY_COMPARE_WITH_TIMEOUT(pictureOf(u"mm2.nes"_s), u"%1x%2 #00ff00"_s.arg(fitted.width()).arg(fitted.height()), kBackgroundMs);
        QTRY_COMPARE_WITH_TIMEOUT(pictureOf(u"renamed.zip"_s), u"64x60 #0000ff"_s, kBackgroundMs);
        QTRY_COMPARE_WITH_TIMEOUT(pictureOf(u"plain.nes"_s).left(6), u"20x10 "_s, kBackgroundMs); // the snapshot, not the box art
        QCOMPARE(pictureOf(u"hostile.nes"_s), u"none"_s);
        QVERIFY(f.recorder.messages.isEmpty());
    }

    // Options > Covers, by keyboard only: the arrows move across and down the grid, Enter starts
    // the ROM, Shift+F10 opens its menu, the find line filters the grid and its count; each cover
    // tells a screen reader its shown name, and "favourite" in its description; the covers come
    // from box art, scaled once into a disk cache of their own; and covers come back at the next start.
    void theCoverViewWorksByKeyboardOnly()
    {
        Layout f;
        const QString games = u"abcdefg"_s;
        std::vector<std::pair<char, QString>> titles;
        const QString thumbnails = f.dir.filePath(u"thumbnails"_s);
        for (const QChar fill : games) {
            const QString title = u"Game %1 (USA)"_s.arg(fill.toUpper());
            writeFile(f.rom(0) + fill + u".nes"_s, soundRom(char(fill.unicode())));
            titles.emplace_back(char(fill.unicode()), title);
            if (fill != u'c') // one without box art: a card
                writePicture(titlePicture(thumbnails, "Named_Boxarts", title + u".png"_s), QSize(256, 360), Qt::darkGreen);
        }
        writeFile(f.app() + u"/dat/nes.dat"_s, romDatabase(titles));
        writeFile(f.config(), configFor(f.rom(0), f.rom(1), f.rom(2)));
        writeProgram(f.emulator());
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.datFolders = {f.app() + u"/dat"_s};
        context.thumbnailFolders = {thumbnails};
        context.coverCacheFolder = f.dir.filePath(u"cache/covers"_s);
        context.selectionFile = f.dir.filePath(u"data/selection.ini"_s);
        context.libraryFile = f.dir.filePath(u"data/quorvane.db"_s);
        auto w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        w->showAsLeft();
        w->resize(1100, 700);
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        MainControls c(w.get());
        forms::FileListBox *grid = c.list(0);
        QTRY_VERIFY_WITH_TIMEOUT(w->romFolder(0)->model()->factsAt(6), kBackgroundMs); // every ROM checked: its title known
        w->findChild<QAction *>(u"mnuoptionscovers"_s)->trigger();
        QVERIFY(grid->showsCovers() && grid->isWrapping() && grid->flow() == QListView::LeftToRight);
        const int columns = grid->viewport()->width() / grid->gridSize().width();
        QVERIFY2(columns >= 3 && columns < 7, qPrintable(QString::number(columns)));
        QTRY_VERIFY_WITH_TIMEOUT(filesBelow(context.coverCacheFolder).size() == 7, kBackgroundMs); // six covers and the marker

        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Home);
        QTest::keyClick(grid, Qt::Key_Space); // selects the current cover, as in a list
        QCOMPARE(grid->fileName(), u"a.nes"_s);
        QTest::keyClick(grid, Qt::Key_Right);
        QCOMPARE(grid->fileName(), u"b.nes"_s);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->currentIndex().row(), 1 + columns);
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(grid->fileName(), u"g.nes"_s);
        QTest::keyClick(grid, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(f.recorder.starts.size(), 1, kBackgroundMs);
        QCOMPARE(f.recorder.starts[0].arguments.value(launch::LaunchCommand::kRomArgument), f.rom(0) + u"g.nes"_s);
        QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(w->romMenu() && w->romMenu()->isVisible(), kBackgroundMs);
        w->romMenu()->findChild<QAction *>(u"romMenuFavourite"_s)->trigger();
        QTest::keyClick(w->romMenu(), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!w->romMenu()->isVisible(), kBackgroundMs);
        w->activateWindow(); // no window manager gives it back
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), w.get(), kBackgroundMs);

        // What a screen reader is told of the selected cover.
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(grid);
        QVERIFY(view);
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            for (int i = 0; i < view->childCount(); ++i) {
                QAccessibleInterface *cell = view->child(i);
                if (cell && cell->text(QAccessible::Name) == u"g.nes"_s)
                    return cell->text(QAccessible::Description).contains(u"favourite"_s);
            }
            return false;
        }(), kBackgroundMs);
        // The covers drawn: box art where there is some, nothing for the game without.
        forms::CoverSource *source = w->findChildren<app::CoverPictures *>().value(0); // the first tab's, made first
        QVERIFY(source);
        QTRY_COMPARE_WITH_TIMEOUT(source->coverOf(grid->model()->index(0, 0)).picture.size(), QSize(95, 134), kBackgroundMs);
        QTRY_VERIFY_WITH_TIMEOUT(!source->coverOf(grid->model()->index(2, 0)).coming, kBackgroundMs);
        QVERIFY(source->coverOf(grid->model()->index(2, 0)).picture.isNull());

        QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
        auto *line = child<QLineEdit>(w.get(), u"findLine"_s);
        QVERIFY(line && line->hasFocus());
        QTest::keyClicks(line, u"e"_s);
        QCOMPARE(c.count(0)->text(), u"ROMs : 1 of 7"_s);
        QCOMPARE(grid->fileName(), u"e.nes"_s);
        QVERIFY(grid->showsCovers());
        QTest::keyClick(line, Qt::Key_Escape);
        QCOMPARE(c.count(0)->text(), u"ROMs : 7"_s);
        QTRY_VERIFY_WITH_TIMEOUT(readAll(context.selectionFile).contains("Covers=1"), kBackgroundMs);

        startAgain(w, context);
        QVERIFY(w->findChild<QAction *>(u"mnuoptionscovers"_s)->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(MainControls(w.get()).list(0)->showsCovers(), kBackgroundMs);
        w->findChild<QAction *>(u"mnuoptionscovers"_s)->trigger(); // a list again
        QVERIFY(!MainControls(w.get()).list(0)->showsCovers() && !MainControls(w.get()).list(0)->isWrapping());
        QTRY_VERIFY_WITH_TIMEOUT(readAll(context.selectionFile).contains("Covers=0"), kBackgroundMs);
    }

    // Options > Sort By, over a play history made beforehand: most played first, last played
    // first, the newest file first, ties and the never played by name; a game played meanwhile
    // moves, and the order chosen comes back at the next start.
    void sortOrdersFollowThePlayHistoryAndTheFiles()
    {
        Layout f;
        const std::array<char, 4> fills{'a', 'b', 'c', 'd'};
        const std::array<int, 4> years{2020, 2023, 2021, 2024};
        for (size_t i = 0; i < fills.size(); ++i) {
            const QString path = f.rom(0) + QChar(u'A' + int(i)) + u".nes"_s;
            writeFile(path, soundRom(fills[i]));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime(QDate(years[i], 1, 1), QTime(12, 0)), QFileDevice::FileModificationTime));
        }
        writeFile(f.config(), configFor(f.rom(0), f.rom(1), f.rom(2)));
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.selectionFile = f.dir.filePath(u"data/selection.ini"_s);
        context.libraryFile = f.dir.filePath(u"data/quorvane.db"_s);
        {
            QString message, error;
            const auto db = library::LibraryDatabase::open(context.libraryFile, &message);
            QVERIFY(db);
            // A: 3 plays, last at 3000; B: 5, last at 500; C: 1, at 9000; D: never.
            for (const auto &[fill, at] : std::vector<std::pair<char, qint64>>{{'a', 1000}, {'a', 2000}, {'a', 3000}, {'b', 100}, {'b', 200},
                                                                               {'b', 300}, {'b', 400}, {'b', 500}, {'c', 9000}})
                QVERIFY2(db->recordLaunch(gameOf(fill), "/x.nes", at, &error), qPrintable(error));
        }
        auto w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        const MainControls c(w.get());
        auto order = [&](const char *item) {
            auto *action = w->findChild<QAction *>(QLatin1String(item));
            QVERIFY(action && action->isCheckable());
            action->trigger();
            QVERIFY(action->isChecked());
        };
        QCOMPARE(w->findChild<QMenu *>(u"mnuoptionssort"_s)->title(), u"&Sort By"_s);
        QVERIFY(w->findChild<QAction *>(u"mnusortname"_s)->isChecked());
        QCOMPARE(entries(c.list(0)), (QStringList{"A.nes", "B.nes", "C.nes", "D.nes"}));
        order("mnusortplays");
        QTRY_COMPARE_WITH_TIMEOUT(entries(c.list(0)), (QStringList{"B.nes", "A.nes", "C.nes", "D.nes"}), kBackgroundMs);
        order("mnusortlast");
        QTRY_COMPARE_WITH_TIMEOUT(entries(c.list(0)), (QStringList{"C.nes", "A.nes", "B.nes", "D.nes"}), kBackgroundMs);
        order("mnusortadded");
        QTRY_COMPARE_WITH_TIMEOUT(entries(c.list(0)), (QStringList{"D.nes", "B.nes", "C.nes", "A.nes"}), kBackgroundMs);
        order("mnusortplays");
        QTRY_COMPARE_WITH_TIMEOUT(entries(c.list(0)), (QStringList{"B.nes", "A.nes", "C.nes", "D.nes"}), kBackgroundMs);
        // D played once: it ties with C, and follows it by name; then it is the last played.
        QVERIFY(QMetaObject::invokeMethod(w.get(), [&] {
            w->findChild<library::PlayHistory *>()->recordLaunch(f.rom(0) + u"D.nes"_s, gameOf('d'));
        }));
        QTRY_COMPARE_WITH_TIMEOUT(entries(c.list(0)), (QStringList{"B.nes", "A.nes", "C.nes", "D.nes"}), kBackgroundMs);
        order("mnusortlast");
        QTRY_COMPARE_WITH_TIMEOUT(entries(c.list(0)), (QStringList{"D.nes", "C.nes", "A.nes", "B.nes"}), kBackgroundMs);
        order("mnusortadded");
        QTRY_VERIFY_WITH_TIMEOUT(readAll(context.selectionFile).contains("SortBy=RecentlyAdded"), kBackgroundMs);
        startAgain(w, context);
        QVERIFY(w->findChild<QAction *>(u"mnusortadded"_s)->isChecked());
        QTRY_COMPARE_WITH_TIMEOUT(entries(MainControls(w.get()).list(0)), (QStringList{"D.nes", "B.nes", "C.nes", "A.nes"}), kBackgroundMs);
    }
};

QTEST_MAIN(TestCovers)
#include "tst_covers.moc"
