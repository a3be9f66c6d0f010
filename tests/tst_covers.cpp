// The main window grown, its pictures by title, the cover view and the sort orders.
#include "romtests.h"
#include "windowtest.h"

#include <QAction>

namespace {

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
        QTRY_COMPARE(MainControls(w.get()).count(0)->text(), u"ROMs : 3"_s);
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
        QTRY_COMPARE(w->centralWidget()->size(), QSize(600, 370) + QSize(400, 300));
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
        QTRY_VERIFY(readAll(context.selectionFile).contains("Width=1000\r\nHeight=688"));
        w->resize(first + QSize(150, 100)); // within the test screen, which bounds a size restored
        QTRY_VERIFY(readAll(context.selectionFile).contains("Width=750\r\nHeight=488"));
        w->showMaximized();
        QTRY_VERIFY(readAll(context.selectionFile).contains("Maximised=1"));
        QVERIFY(readAll(context.selectionFile).contains("Width=750\r\nHeight=488")); // the size to come back to

        const QByteArray config = readAll(f.config());
        w.reset();
        w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        w->showAsLeft();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTRY_VERIFY(w->isMaximized());
        w->showNormal();
        QTRY_COMPARE(w->size(), QSize(750, 488));
        QTRY_VERIFY(readAll(context.selectionFile).contains("Maximised=0"));
        QCOMPARE(readAll(f.config()), config);
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
        QTRY_COMPARE(entries(c.list(0)), (QStringList{"B.nes", "A.nes", "C.nes", "D.nes"}));
        order("mnusortlast");
        QTRY_COMPARE(entries(c.list(0)), (QStringList{"C.nes", "A.nes", "B.nes", "D.nes"}));
        order("mnusortadded");
        QTRY_COMPARE(entries(c.list(0)), (QStringList{"D.nes", "B.nes", "C.nes", "A.nes"}));
        order("mnusortplays");
        QTRY_COMPARE(entries(c.list(0)), (QStringList{"B.nes", "A.nes", "C.nes", "D.nes"}));
        // D played once: it ties with C, and follows it by name; then it is the last played.
        QVERIFY(QMetaObject::invokeMethod(w.get(), [&] {
            w->findChild<library::PlayHistory *>()->recordLaunch(f.rom(0) + u"D.nes"_s, gameOf('d'));
        }));
        QTRY_COMPARE(entries(c.list(0)), (QStringList{"B.nes", "A.nes", "C.nes", "D.nes"}));
        order("mnusortlast");
        QTRY_COMPARE(entries(c.list(0)), (QStringList{"D.nes", "C.nes", "A.nes", "B.nes"}));
        order("mnusortadded");
        QTRY_VERIFY(readAll(context.selectionFile).contains("SortBy=RecentlyAdded"));
        w.reset();
        w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        QVERIFY(w->findChild<QAction *>(u"mnusortadded"_s)->isChecked());
        QTRY_COMPARE(entries(MainControls(w.get()).list(0)), (QStringList{"D.nes", "B.nes", "C.nes", "A.nes"}));
    }
};

QTEST_MAIN(TestCovers)
#include "tst_covers.moc"
