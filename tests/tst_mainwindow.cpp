#include "app/runninginstance.h"
#include "dialogs/romfoldersdialog.h"
#include "dialogs/rominformationdialog.h"
#include "forms/formbuilder.h"
#include "library/database/librarydatabase.h"
#include "library/checking/rominformation.h"
#include "launch/launchcommand.h"
#include "library/archives/romcache.h"
#include "library/folders/romfolder.h"
#include "platform/filenames.h"
#include "testutil.h"
#include "archivewriter.h"

#include <QCryptographicHash>

#include <QClipboard>
#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QLineEdit>
#include <QMimeData>
#include <QSemaphore>
#include <QThread>
#include <QListWidget>

#include <atomic>
#include <thread>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

using namespace testutil;

namespace {

struct Fixture : RomLayout {
    void snapshot(const char *name, QSize size, QColor colour)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QVERIFY(image.save(app() + u"/snap/"_s + QLatin1String(name), "JPEG", 95));
    }
};

QPoint rowCentre(QAbstractItemView *list, int row) { return list->visualRect(list->model()->index(row, 0)).center(); }

void clickFirstEntry(forms::FileListBox *list, bool twice = false, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(list->viewport(), button, {}, rowCentre(list, 0));
    if (twice)
        QTest::mouseDClick(list->viewport(), button, {}, rowCentre(list, 0));
}

#ifdef Q_OS_LINUX
// Whether the system watches folder for this process: the kernel lists each inotify watch, by
// the folder's inode, under the descriptor that holds it.
bool watchedBySystem(const QString &folder)
{
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0)
        return false;
    const QString watch = u" ino:%1 "_s.arg(qulonglong(info.st_ino), 0, 16);
    const QDir descriptors(u"/proc/self/fdinfo"_s);
    for (const QString &descriptor : descriptors.entryList(QDir::Files)) {
        QFile file(descriptors.filePath(descriptor));
        if (file.open(QIODevice::ReadOnly) && QString::fromLatin1(file.readAll()).contains(watch))
            return true;
    }
    return false;
}
#endif

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void startUp()
    {
        Fixture f;
        auto w = f.loaded();
        auto c = std::make_unique<MainControls>(w.get());
        for (int slot = 0; slot < 3; ++slot)
            QCOMPARE(w->romFolder(slot)->listedFolder(), f.rom(slot));
        QCOMPARE(child(w.get(), u"Directories"_s), nullptr); // built when first asked for
        // Matched without regard to case and sorted so; hidden files, folders, other names left out.
        QCOMPARE(entries(c->list(0)), (QStringList{"A.nes", "b.nes", "c.Nes", "GAME.NES"}));
        QCOMPARE(c->counts(), (QStringList{"ROMs : 4", "ROMs : 1", "ROMs : 0"})); // a missing folder is no error
        QCOMPARE(c->resolution->currentItem()->text(), u"320x240"_s);
        QCOMPARE(c->controller->currentItem()->text(), u"Gamepad"_s);
        QVERIFY(c->resolution->currentItem()->isSelected() && c->controller->currentItem()->isSelected());
        QCOMPARE(c->sound->text(), u"Sound"_s);
        QCOMPARE(QDir::currentPath(), QDir(f.app()).canonicalPath());

        QFile::remove(f.config()); // no file: empty lists, no message, nothing created
        w = f.loaded();
        c = std::make_unique<MainControls>(w.get());
        QCOMPARE(c->counts(), (QStringList{"ROMs : 0", "ROMs : 0", "ROMs : 0"}));
        QVERIFY(!QFileInfo::exists(f.config()) && f.recorder.messages.isEmpty());
        QDir().mkpath(f.config()); // no regular file: reported once, naming it; the window still comes up
        w = f.loaded();
        QCOMPARE(f.recorder.messages.size(), 1);
        QVERIFY(f.recorder.messages[0].text.contains(QDir::toNativeSeparators(f.config()) + u"\nIt is not a regular file."_s));
    }

    void soundCaptionRule()
    {
        Fixture f;
        const auto w = f.loaded();
        const MainControls c(w.get());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QStringList seen;
        for (int click = 0; click < 3; ++click) {
            QTest::mouseClick(c.sound, Qt::LeftButton); // clicks never gray it
            seen << u"%1 %2"_s.arg(c.sound->checkState()).arg(c.sound->text());
            if (click == 0)
                c.sound->setCheckState(Qt::PartiallyChecked); // grayed keeps the caption
        }
        QCOMPARE(seen, (QStringList{"0 No Sound", "2 Sound", "0 No Sound"})); // Qt::Unchecked, Qt::Checked
    }

    void selectionShowsTheSnapshotOrBlanks()
    {
        Fixture f;
        f.snapshot("A.jpg", QSize(20, 10), Qt::red);
        f.snapshot("GAME.jpg", QSize(20, 10), Qt::green);
        f.snapshot("two.jpg", QSize(30, 15), Qt::blue);
        f.snapshot("c.Nes", QSize(900, 700), Qt::white); // a large one, named as c.Nes is looked up
        // Names Qt's reader would try for missing snapshots (suffix added): never shown.
        for (const char *decoy : {"b.jpg.png", "GAME.NES.jpg", ".png"})
            f.snapshot(decoy, QSize(20, 10), Qt::red);
        const auto w = f.loaded();
        const MainControls c(w.get());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        forms::FileListBox *list = c.list(0);
        // The picture is decoded on another thread: it follows the selection, while the box blanks
        // at once.
        auto picture = [&] { return c.snapshot->picture(); };
        clickFirstEntry(list); // the first click after focus counts too
        QTRY_COMPARE(picture().size(), QSize(20, 10));
        QTest::keyClick(list, Qt::Key_Down); // keyboard selection: b.nes has none, the box blanks
        QCOMPARE(list->fileName(), u"b.nes"_s);
        QVERIFY(picture().isNull());
        QVERIFY(list->selectFile(u"GAME.NES"_s)); // capitals: nothing replaced, nothing shown
        QVERIFY(list->selectFile(u"c.Nes"_s)); // looked up as it stands, cut to the box
        QTRY_COMPARE(picture().size(), c.snapshot->contentsRect().size());
        list->clearSelection(); // nothing selected: "snap/" names the folder itself
        w->previewSnapshot(0);
        QVERIFY(picture().isNull());
        QVERIFY(list->selectFile(u"GAME.NES"_s));
        QTest::qWait(100); // a picture that came now would belong to no ROM (or to an older selection)
        QVERIFY(picture().isNull());

        QVERIFY(list->selectFile(u"A.nes"_s));
        QTRY_COMPARE(picture().size(), QSize(20, 10));
        c.tabs->setCurrentIndex(1); // another tab keeps the picture until its list is used
        QCOMPARE(picture().size(), QSize(20, 10));
        QVERIFY(c.list(1)->selectFile(u"two.nes"_s));
        QTRY_COMPARE(picture().size(), QSize(30, 15));
        const QImage drawn = c.snapshot->grab().toImage();
        QVERIFY(qBlue(drawn.pixel(c.snapshot->contentsRect().topLeft() + QPoint(3, 3))) > 200); // top-left
        QVERIFY(qRed(drawn.pixel(c.snapshot->contentsRect().center())) > 200);                 // not scaled
    }

    // Left double clicks and Enter launch from the folder each list shows, even when the folders have
    // changed since (another program saved others);
    // single-selection lists cannot be emptied, and what is selected, not merely current, runs.
    void whatIsSelectedIsWhatRuns()
    {
        Fixture f;
        writeFile(f.rom(2) + u"three.nes"_s, "x");
        writeProgram(f.emulator());
        const auto w = f.loaded();
        const MainControls c(w.get());
        writeFile(f.config(), configFor("/store1/", "/store2/", "/store3/")); // another program saved others
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton})
            clickFirstEntry(c.list(0), true, button);
        QTest::qWait(50); // a launch would have been recorded by now
        QCOMPARE(f.recorder.starts.size(), 0);
        for (int slot = 0; slot < 3; ++slot) {
            c.tabs->setCurrentIndex(slot);
            clickFirstEntry(c.list(slot), true);
            QTest::keyClick(c.list(slot), Qt::Key_Return);
            QKeyEvent held(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true); // auto-repeat
            QApplication::sendEvent(c.list(slot), &held);
            QTRY_COMPARE(f.recorder.starts.size(), 2 * (slot + 1));
            const StartCall &call = f.recorder.starts.back();
            QCOMPARE(call.program, QDir::toNativeSeparators(f.app() + u"/nesticle.exe"_s));
            QCOMPARE(call.arguments.value(launch::LaunchCommand::kRomArgument), f.rom(slot) + entries(c.list(slot)).front());
            QCOMPARE(QDir(call.workingFolder).canonicalPath(), QDir(f.app()).canonicalPath());
        }
        for (QAbstractItemView *list : std::initializer_list<QAbstractItemView *>{c.resolution, c.controller, c.list(2)}) {
            const QModelIndex selected = list->selectionModel()->selectedIndexes().value(0);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualRect(selected).center());
            QCOMPARE(list->selectionModel()->selectedIndexes(), QModelIndexList{selected});
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
            QCOMPARE(list->selectionModel()->selectedIndexes(), QModelIndexList{selected});
        }
        c.resolution->selectionModel()->setCurrentIndex(c.resolution->model()->index(0, 0), QItemSelectionModel::NoUpdate);
        w->launchRom(2);
        QTRY_COMPARE(f.recorder.starts.size(), 7);
        QCOMPARE(f.recorder.starts.back().arguments.mid(2, 3), (QStringList{"-res", "320", "240"}));
        c.list(1)->clearSelection(); // nothing selected: Enter starts nothing
        QTest::keyClick(c.list(1), Qt::Key_Enter);
        QTest::qWait(50);
        QCOMPARE(f.recorder.starts.size(), 7);
    }

    // A ROM's menu, from the mouse or the keyboard, and its ROM Information window (Alt+Enter).
    void eachRomHasAMenuAndAnInformationWindow()
    {
        Fixture f;
        writeFile(f.rom(1) + u"sound.nes"_s, QByteArray("NES\x1A\x01\x01", 6) + QByteArray(10 + 16384 + 8192, '\0'));
        writeProgram(f.emulator());
        const auto w = f.loaded();
        const MainControls c(w.get());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        forms::FileListBox *list = c.list(0);
        // Checked after the list shows: a file that is no ROM is marked and says why.
        const int notARom = entries(list).indexOf(u"A.nes"_s);
        QTRY_VERIFY(list->model()->index(notARom, 0).data(Qt::ToolTipRole).toString().contains(u"not an iNES file"_s));
        QCOMPARE(list->model()->index(notARom, 0).data(library::RomListModel::MarkRole).toInt(), int(library::RomListModel::RomMark::Warning));

        auto menuOpens = [&](const std::function<void()> &ask) {
            ask();
            QTRY_VERIFY(w->romMenu() && w->romMenu()->isVisible());
            const QStringList items{w->romMenu()->actions()[0]->text(), w->romMenu()->actions()[1]->text()};
            QCOMPARE(items, (QStringList{u"&Run"_s, u"ROM &Information..."_s}));
            w->romMenu()->close();
        };
        list->setFocus();
        list->setCurrentIndex(list->model()->index(notARom, 0));
        menuOpens([&] { QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier); });
        menuOpens([&] { // the Menu key, as the system sends it
            QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QPoint());
            QApplication::sendEvent(list, &request);
        });
        const QModelIndex last = list->model()->index(list->model()->rowCount() - 1, 0);
        menuOpens([&] { // a right click selects the entry under it first
            const QPoint at = list->visualRect(last).center();
            QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
            QApplication::sendEvent(list->viewport(), &click);
        });
        QCOMPARE(list->currentIndex(), last);
        list->clearSelection(); // no entry, no menu
        list->setCurrentIndex(QModelIndex());
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QTest::qWait(20);
        QVERIFY(!w->romMenu()->isVisible());

        list->setCurrentIndex(last);
        w->romMenu()->actions()[0]->trigger(); // Run
        QTRY_COMPARE(f.recorder.starts.size(), 1);
        QCOMPARE(f.recorder.starts[0].arguments.value(launch::LaunchCommand::kRomArgument), f.rom(0) + entries(list).last());

        // Alt+Enter: the window, never a start; it fills once the file has been read.
        c.tabs->setCurrentIndex(1);
        c.list(1)->setCurrentIndex(c.list(1)->model()->index(0, 0));
        QString copied;
        onNextModal(w.get(), [&](QWidget *modal) {
            auto *info = qobject_cast<dialogs::RomInformationDialog *>(modal);
            QVERIFY(info);
            QCOMPARE(info->windowTitle(), u"ROM Information"_s);
            QTRY_VERIFY(info->information()->isRead());
            QCOMPARE(info->form().values[2]->text(), u"iNES"_s);
            QCOMPARE(info->form().values[3]->text(), u"0 (NROM)"_s);
            QCOMPARE(info->form().problems->text(), u"No problems found."_s);
            info->form().copy->click();
            copied = QGuiApplication::clipboard()->text();
            info->form().values[0]->setFocus();
            QTest::keyClick(info->form().values[0], Qt::Key_Escape); // closes, whatever text has the focus
        });
        QTest::keyClick(c.list(1), Qt::Key_Return, Qt::AltModifier);
        QTRY_VERIFY(!copied.isEmpty());
        QVERIFY2(copied.startsWith(u"File: "_s + QDir::toNativeSeparators(f.rom(1) + u"sound.nes"_s) + u"\nSize: 24,592 bytes\n"_s),
                 qPrintable(copied));
        QVERIFY2(copied.contains(u"\nDatabase: not in the database\nFavourite: no\nPlayed: 0 times, 0 h 00 min\nLast played: never\n"
                                 "Problems: none\n"_s),
                 qPrintable(copied));
        QCOMPARE(f.recorder.starts.size(), 1);
    }

    // Favourite a ROM, play it twice, start again: the star, the play and File > Recent are all
    // there, kept by what the ROM is; a recent ROM no longer there is reported and leaves the menu.
    void playIsRememberedAcrossStarts()
    {
        Fixture f;
        writeProgram(f.emulator());
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.libraryFile = f.dir.filePath(u"data/quorvane.db"_s);
        auto window = [&] {
            auto w = std::make_unique<app::MainWindow>(context);
            w->loadStartState();
            return w;
        };
        auto w = window();
        const MainControls c(w.get());
        const library::RomListModel *model = w->romFolder(1)->model();
        QVERIFY(c.list(1)->selectFile(u"two.nes"_s));
        QTRY_VERIFY(model->factsAt(0)); // checked: its identity is known
        w->showRomMenu(1, QPoint(10, 10));
        QAction *favourite = w->romMenu()->findChild<QAction *>(u"romMenuFavourite"_s);
        QCOMPARE(favourite->text(), u"Add to &Favourites"_s);
        w->romMenu()->close();
        favourite->trigger();
        QTRY_COMPARE(model->index(0).data(library::RomListModel::MarkRole).toInt(), int(library::RomListModel::RomMark::WarnedFavourite)); // no ROM: warned too
        QVERIFY(model->index(0).data(Qt::AccessibleDescriptionRole).toString().contains(u"favourite"_s));
        w->launchRom(1);
        w->launchRom(1);
        QTRY_COMPARE(f.recorder.starts.size(), 2);
        f.recorder.starts[1].watch.onExit({0, 0, 61000}); // the emulator ends after a minute
        QTRY_COMPARE(w->recentMenu()->actions().size(), 1); // one path, once
        w.reset();
        // A zipped copy under another name, never started: its star and the favourites' find are
        // there from its first listing.
        writeFile(f.rom(1) + u"zipped copy.zip"_s, makeArchive(ArchiveFormat::Zip, {{"Two (USA).nes", readAll(f.rom(1) + u"two.nes"_s)}}));

        w = window();
        const MainControls again(w.get());
        QTRY_COMPARE(w->recentMenu()->actions().size(), 1);
        QCOMPARE(w->recentMenu()->actions()[0]->text(), u"&1 two.nes"_s);
        const library::RomListModel *shown = w->romFolder(1)->model();
        QTRY_COMPARE(shown->index(0).data(library::RomListModel::MarkRole).toInt(), int(library::RomListModel::RomMark::WarnedFavourite)); // no ROM: warned too
        QTRY_VERIFY(shown->index(1).data(Qt::AccessibleDescriptionRole).toString().contains(u"favourite"_s));
        again.tabs->setCurrentIndex(1);
        w->openFind();
        QTest::keyClicks(child<QLineEdit>(w.get(), u"findLine"_s), u"*"_s);
        QCOMPARE(entries(again.list(1)), (QStringList{u"two.nes"_s, u"zipped copy.zip"_s}));
        w->closeFind();
        QCOMPARE(f.recorder.starts.size(), 2);
        QVERIFY(again.list(1)->selectFile(u"two.nes"_s));
        w->showRomMenu(1, QPoint(10, 10));
        QCOMPARE(w->romMenu()->findChild<QAction *>(u"romMenuFavourite"_s)->text(), u"Remove from &Favourites"_s);
        w->romMenu()->close();
        {
            QString message;
            const auto db = library::LibraryDatabase::open(context.libraryFile, &message);
            const library::PlayRecord record = db->playRecord(shown->factsAt(0)->identity.data.sha1);
            QCOMPARE(record.launches, 2);
            QCOMPARE(record.playedMs, 61000);
            QVERIFY(record.favourite);
        }
        QString copied;
        onNextModal(w.get(), [&](QWidget *modal) {
            auto *info = qobject_cast<dialogs::RomInformationDialog *>(modal);
            QTRY_VERIFY(info->information()->text().contains(u"Played: "_s + QLocale().toString(2) + u" times"_s));
            copied = info->information()->text();
            info->form().ok->click();
        });
        w->showRomInformation(1);
        QVERIFY2(copied.contains(u"\nFavourite: yes\nPlayed: 2 times, 0 h 01 min\nLast played: "_s) && !copied.contains(u"never"_s),
                 qPrintable(copied));
        w->recentMenu()->actions()[0]->trigger(); // selected in its tab, and started
        QTRY_COMPARE(f.recorder.starts.size(), 3);
        QCOMPARE(again.tabs->currentIndex(), 1);
        // Moved into another tab's folder under another name: found there by what it is, started,
        // and recent under its new name.
        QVERIFY(QFile::remove(f.rom(1) + u"zipped copy.zip"_s));
        QVERIFY(QDir().mkpath(f.rom(2)) && QFile::rename(f.rom(1) + u"two.nes"_s, f.rom(2) + u"two moved.nes"_s));
        const library::RomListModel *third = w->romFolder(2)->model();
        QTRY_VERIFY(third->factsAt(third->rowOf("two moved.nes")));
        w->recentMenu()->actions()[0]->trigger();
        QTRY_COMPARE(f.recorder.starts.size(), 4);
        QCOMPARE(again.tabs->currentIndex(), 2);
        QCOMPARE(f.recorder.starts[3].arguments.value(launch::LaunchCommand::kRomArgument), f.rom(2) + u"two moved.nes"_s);
        QTRY_COMPARE(w->recentMenu()->actions().size(), 1);
        QTRY_COMPARE(w->recentMenu()->actions()[0]->text(), u"&1 two moved.nes"_s);
        QVERIFY(f.recorder.messages.isEmpty());
        // Gone for good: reported, and out of the menu.
        QVERIFY(QFile::remove(f.rom(2) + u"two moved.nes"_s));
        QTRY_VERIFY(third->rowOf("two moved.nes") < 0);
        w->recentMenu()->actions()[0]->trigger();
        QTRY_COMPARE(f.recorder.messages.size(), 1);
        QVERIFY(f.recorder.messages[0].text.contains(QDir::toNativeSeparators(f.rom(2) + u"two moved.nes"_s)));
        QTRY_VERIFY(w->recentMenu()->actions().isEmpty());
        QCOMPARE(f.recorder.starts.size(), 4);
    }

    // Zipped ROMs: listed when they hold a NES ROM, started from the ROM cache with the entry's own
    // name, the user's files beside them never touched; several ROMs ask which one; a hostile
    // archive is refused with its reason.
    void zippedRomsAreStartedFromTheCache()
    {
        Fixture f;
        writeProgram(f.emulator());
        const QString folder = f.rom(1);
        writeFile(folder + u"game.zip"_s, makeArchive(ArchiveFormat::Zip, {{"Game (U).nes", nesRom('z')}}));
        writeFile(folder + u"game.nes"_s, "the user's own game.nes");
        writeFile(folder + u"empty.zip"_s, makeArchive(ArchiveFormat::Zip, {{"readme.txt", "no ROM"}}));
        writeFile(folder + u"multi.7z"_s, makeArchive(ArchiveFormat::SevenZip, {{"One.nes", nesRom('1')}, {"Two.nes", nesRom('2')}}));
        writeFile(folder + u"bad.ZIP"_s, makeArchive(ArchiveFormat::Zip, {{"../x.nes", nesRom('x')}}));
        const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.libraryFile = f.dir.filePath(u"data/quorvane.db"_s);
        context.logFolder = f.dir.filePath(u"cache"_s);
        context.romCacheFolder = f.dir.filePath(u"cache/roms"_s);
        auto w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        const MainControls c(w.get());
        QTRY_COMPARE(entries(c.list(1)), (QStringList{u"bad.ZIP"_s, u"game.nes"_s, u"game.zip"_s, u"multi.7z"_s, u"two.nes"_s}));
        QCOMPARE(c.count(1)->text(), u"ROMs : 5"_s);
        // Its snapshot: its first ROM's, until there is one of the archive's own name.
        f.snapshot("Game (U).jpg", QSize(20, 10), Qt::red);
        QVERIFY(c.list(1)->selectFile(u"game.zip"_s));
        QTRY_COMPARE(c.snapshot->picture().size(), QSize(20, 10));
        f.snapshot("game.jpg", QSize(30, 15), Qt::blue);
        QVERIFY(c.list(1)->selectFile(u"game.nes"_s) && c.list(1)->selectFile(u"game.zip"_s));
        QTRY_COMPARE(c.snapshot->picture().size(), QSize(30, 15));

        // A favourite before it was ever unpacked: its ROM is read for the identity, and it has its star.
        QVERIFY(c.list(1)->selectFile(u"game.zip"_s));
        w->showRomMenu(1, QPoint(10, 10));
        w->romMenu()->close();
        w->romMenu()->findChild<QAction *>(u"romMenuFavourite"_s)->trigger();
        const library::RomListModel *model = w->romFolder(1)->model();
        QTRY_VERIFY(model->isFavourite(model->rowOf("game.zip")));
        w->launchRom(1);
        QTRY_COMPARE(f.recorder.starts.size(), 1);
        const QByteArray sha1 = QCryptographicHash::hash(nesRom('z').mid(16), QCryptographicHash::Sha1);
        const QString unpacked = context.romCacheFolder + u'/' + QString::fromLatin1(sha1.toHex()) + u"/Game (U).nes"_s;
        QCOMPARE(f.recorder.starts[0].arguments.mid(0, 2), (QStringList{u"-run"_s, QDir::toNativeSeparators(unpacked)}));
        QCOMPARE(readAll(unpacked), nesRom('z'));
        const QString log = QString::fromUtf8(readAll(context.logFolder + u"/last-launch.log"_s));
        QVERIFY2(log.contains(QDir::toNativeSeparators(folder + u"game.zip"_s)) && log.contains(u"Game (U).nes"_s)
                     && log.contains(QDir::toNativeSeparators(unpacked)), qPrintable(log));
        library::RomCache(context.romCacheFolder, 0).trim(); // gone from the cache: unpacked again below
        QVERIFY(!QFile::exists(unpacked));
        // Its play follows the entry's identity; the recent ROM is the archive.
        QTRY_COMPARE(w->recentMenu()->actions().size(), 1);
        QCOMPARE(w->recentMenu()->actions()[0]->text(), u"&1 game.zip"_s);
        w->recentMenu()->actions()[0]->trigger(); // unpacked again
        QTRY_COMPARE(f.recorder.starts.size(), 2);
        QCOMPARE(readAll(unpacked), nesRom('z'));

        onNextModal(w.get(), [](QWidget *chooser) {
            auto *list = chooser->findChild<QListWidget *>(u"archiveEntryList"_s);
            QCOMPARE(list->count(), 2);
            list->setCurrentRow(1);
            QTest::keyClick(list, Qt::Key_Return);
        });
        QVERIFY(c.list(1)->selectFile(u"multi.7z"_s));
        w->launchRom(1);
        QTRY_COMPARE(f.recorder.starts.size(), 3);
        QVERIFY(f.recorder.starts[2].arguments.value(1).endsWith(u"Two.nes"_s));
        onNextModal(w.get(), [](QWidget *chooser) { QTest::keyClick(chooser->findChild<QListWidget *>(), Qt::Key_Escape); });
        w->launchRom(1);
        QTest::qWait(300);
        QCOMPARE(f.recorder.starts.size(), 3); // cancelled

        QVERIFY(c.list(1)->selectFile(u"bad.ZIP"_s));
        w->launchRom(1);
        QTRY_COMPARE(f.recorder.messages.size(), 1);
        QVERIFY2(f.recorder.messages[0].text.contains(u"bad.ZIP"_s) && f.recorder.messages[0].text.contains(u"leads out"_s),
                 qPrintable(f.recorder.messages[0].text));
        {
            QString message;
            const auto db = library::LibraryDatabase::open(context.libraryFile, &message);
            QTRY_COMPARE(db->playRecord(sha1).launches, 2);
        }
        // Its information is its ROM's, with the archive named.
        QVERIFY(c.list(1)->selectFile(u"game.zip"_s));
        QString copied;
        onNextModal(w.get(), [&](QWidget *modal) {
            auto *info = qobject_cast<dialogs::RomInformationDialog *>(modal);
            QTRY_VERIFY(!info->information()->text().contains(u"reading"_s));
            copied = info->information()->text();
            info->form().ok->click();
        });
        w->showRomInformation(1);
        QVERIFY2(copied.contains(u"game.zip (holding Game (U).nes)"_s) && copied.contains(u"\nSHA-1: "_s + QString::fromLatin1(sha1.toHex()))
                     && copied.contains(u"Played: 2 times"_s), qPrintable(copied));
        w.reset();
        // A second start knows the game from the database, its archive unopened.
        w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        const library::RomListModel *again = w->romFolder(1)->model();
        QTRY_VERIFY(again->isFavourite(again->rowOf("game.zip")));
        w.reset();
        QCOMPARE(readAll(folder + u"game.nes"_s), "the user's own game.nes");
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        QVERIFY(!QFile::exists(f.dir.filePath(u"x.nes"_s)) && !QFile::exists(f.rom(0) + u"../x.nes"_s));
    }

    void launchReadsTheOptionsEachTimeAndReportsFailures()
    {
        Fixture f;
        const auto w = f.loaded();
        const MainControls c(w.get());
        QVERIFY(c.list(0)->selectFile(u"A.nes"_s));
        w->launchRom(0); // no emulator: reported with the file tried, and the window goes on
        QTRY_COMPARE(f.recorder.messages.size(), 1);
        QVERIFY(f.recorder.messages.value(0).text.contains(QDir::toNativeSeparators(f.app() + "/nesticle.exe")));

        writeProgram(f.emulator());
        c.list(0)->clearSelection(); // nothing selected: the folder alone stands for the ROM
        w->launchRom(0);
        QTRY_COMPARE(f.recorder.starts.size(), 1);
        c.sound->setCheckState(Qt::Unchecked);
        c.resolution->setCurrentRow(0);
        c.controller->clearSelection();
        QVERIFY(c.list(0)->selectFile(u"GAME.NES"_s));
        w->launchRom(0);
        QTRY_COMPARE(f.recorder.starts.size(), 2);
        QCOMPARE(f.recorder.starts[0].arguments, launch::launchCommand(f.rom(0), {}, 4, Qt::Checked, 1).arguments());
        QCOMPARE(f.recorder.starts[1].arguments, launch::launchCommand(f.rom(0), u"GAME.NES"_s, 0, Qt::Unchecked, -1).arguments());

        *f.recorder.startSucceeds = false; // the system refuses the start
        w->launchRom(0);
        QTRY_COMPARE(f.recorder.messages.size(), 2);
        QVERIFY(f.recorder.messages[1].text.contains("refused by the test"_L1));

    }

    // File > Find (Ctrl+F): a line over the list's foot filters it as the user types; Up, Down and
    // Enter work on the rows shown, Escape or another tab shows every row again with the ROM that
    // was selected still selected.
    void findLineFiltersTheList()
    {
        Fixture f;
        f.snapshot("A.jpg", QSize(20, 10), Qt::red);
        writeProgram(f.emulator());
        const auto w = f.loaded();
        const MainControls c(w.get());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(c.list(0)->selectFile(u"b.nes"_s));
        QTest::keyClick(w.get(), Qt::Key_F, Qt::ControlModifier);
        auto *line = child<QLineEdit>(w.get(), u"findLine"_s);
        QVERIFY(line && line->isVisible() && line->hasFocus());
        QCOMPARE(line->accessibleName(), u"Find ROM"_s);
        const QRect list(c.list(0)->mapTo(w.get(), QPoint()), c.list(0)->size());
        QCOMPARE(QRect(line->mapTo(w.get(), QPoint()), line->size()).bottom(), list.bottom()); // over its foot
        QTest::keyClicks(line, u"A"_s);
        QCOMPARE(entries(c.list(0)), (QStringList{"A.nes", "GAME.NES"}));
        QCOMPARE(c.count(0)->text(), u"ROMs : 2 of 4"_s);
        QCOMPARE(c.list(0)->fileName(), u"A.nes"_s); // the first match, its snapshot shown
        QTRY_COMPARE(c.snapshot->picture().size(), QSize(20, 10));
        QTest::keyClick(line, Qt::Key_Down);
        QCOMPARE(c.list(0)->fileName(), u"GAME.NES"_s);
        QTest::keyClick(line, Qt::Key_Down); // the last stays
        QTest::keyClick(line, Qt::Key_Up);
        QCOMPARE(c.list(0)->fileName(), u"A.nes"_s);
        QTest::keyClick(line, Qt::Key_Return);
        QTRY_COMPARE(f.recorder.starts.size(), 1);
        QCOMPARE(f.recorder.starts[0].arguments.value(launch::LaunchCommand::kRomArgument), f.rom(0) + u"A.nes"_s);
        writeFile(f.rom(0) + u"zappa.nes"_s, "x"); // a folder change keeps the query and the selection
        QTRY_COMPARE(c.count(0)->text(), u"ROMs : 3 of 5"_s);
        QCOMPARE(c.list(0)->fileName(), u"A.nes"_s);
        QTest::keyClick(line, Qt::Key_Down);
        QTest::keyClick(line, Qt::Key_Escape);
        QVERIFY(!line->isVisible() && c.list(0)->hasFocus());
        QCOMPARE(c.count(0)->text(), u"ROMs : 5"_s);
        QCOMPARE(entries(c.list(0)).size(), 5);
        QCOMPARE(c.list(0)->fileName(), u"GAME.NES"_s);
        QVERIFY(c.list(0)->viewport()->rect().contains(c.list(0)->visualRect(c.list(0)->currentIndex())));
        // Alt+Enter, Shift+F10 and the Menu key act on the ROM selected, as they do in the list:
        // information and menu, never a start.
        w->openFind();
        QTest::keyClicks(line, u"game"_s);
        bool informed = false;
        onNextModal(w.get(), [&](QWidget *modal) {
            informed = qobject_cast<dialogs::RomInformationDialog *>(modal) != nullptr;
            modal->close();
        });
        QTest::keyClick(line, Qt::Key_Return, Qt::AltModifier);
        QTRY_VERIFY(informed);
        for (const auto &ask : std::initializer_list<std::function<void()>>{
                 [&] { QTest::keyClick(line, Qt::Key_F10, Qt::ShiftModifier); }, [&] { QTest::keyClick(line, Qt::Key_Menu); },
                 [&] {
                     QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(), QPoint());
                     QApplication::sendEvent(line, &request);
                 }}) {
            ask();
            QTRY_VERIFY(w->romMenu() && w->romMenu()->isVisible());
            w->romMenu()->close();
        }
        QCOMPARE(f.recorder.starts.size(), 1);
        QVERIFY(line->isVisible());
        QTest::keyClick(line, Qt::Key_Escape);

        w->openFind();
        QTest::keyClicks(line, u"no such rom"_s);
        QCOMPARE(c.count(0)->text(), u"ROMs : 0 of 5"_s);
        QTRY_VERIFY(c.snapshot->picture().isNull());
        QTest::keyClick(line, Qt::Key_Down); // nothing to move through
        QTest::keyClick(line, Qt::Key_Up);
        QVERIFY(c.list(0)->fileName().isEmpty());
        c.tabs->setCurrentIndex(1); // another tab closes it; no match left: the ROM it opened on
        QVERIFY(!line->isVisible());
        QCOMPARE(c.count(0)->text(), u"ROMs : 5"_s);
        QCOMPARE(c.list(0)->fileName(), u"GAME.NES"_s);
    }

    // A ROM given on the command line ("Open with") or dropped on the window starts as a double
    // click would, with the options as they stand; what is no ROM Quorvane lists is reported, naming it.
    void romsFromOutsideStartAsADoubleClickWould()
    {
        Fixture f;
        writeProgram(f.emulator());
        const auto w = f.loaded();
        const MainControls c(w.get());
        w->show();
        QTRY_VERIFY(w->acceptDrops()); // a moment after it shows
        w->startFile(f.rom(3) + u"p.nes"_s); // not in any tab
        QTRY_COMPARE(f.recorder.starts.size(), 1);
        QCOMPARE(f.recorder.starts[0].arguments, launch::launchCommand(f.rom(3), u"p.nes"_s, 4, Qt::Checked, 1).arguments());
        c.sound->setCheckState(Qt::Unchecked);
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(f.rom(0) + u"GAME.NES"_s)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &drop);
        QTRY_COMPARE(f.recorder.starts.size(), 2);
        QCOMPARE(f.recorder.starts[1].arguments, launch::launchCommand(f.rom(0), u"GAME.NES"_s, 4, Qt::Unchecked, 1).arguments());
        const QStringList odd{f.rom(0) + u"gone.nes"_s, f.rom(0) + u"notes.txt"_s, f.rom(0) + u"folder.nes"_s};
        for (const QString &path : odd)
            w->startFile(path); // each looked at off the window's thread, and reported when it is known
        QTRY_COMPARE(f.recorder.messages.size(), odd.size());
        for (const QString &path : odd) {
            QVERIFY(std::any_of(f.recorder.messages.cbegin(), f.recorder.messages.cend(), [&path](const auto &message) {
                return message.text.startsWith(QDir::toNativeSeparators(path) + u" cannot be started."_s);
            }));
        }
        QTest::qWait(50);
        QCOMPARE(f.recorder.starts.size(), 2);
    }

    // A second start hands its ROM, whatever its name's bytes, to the program listening under the
    // name, and is told it was taken; with none listening it is told nothing was.
    void aSecondStartHandsItsRomToTheFirst()
    {
        const QString name = u"quorvane-test-%1"_s.arg(QCoreApplication::applicationPid());
        app::RunningInstance first(name);
        QVERIFY(first.isListening());
        QStringList asked;
        connect(&first, &app::RunningInstance::asked, &first, [&asked](const QString &path) { asked << path; });
        const QString rom = platform::fromUtf8Lossless("/roms/Caf\xE9 (Europe).nes");
        std::atomic<int> handed{-1};
        std::thread second([&] { handed = app::RunningInstance::handOver(name, rom) ? 1 : 0; });
        QTRY_COMPARE(handed.load(), 1);
        second.join();
        QTRY_COMPARE(asked, QStringList{rom});
        QVERIFY(!app::RunningInstance::handOver(name + u"-none"_s, rom));
    }

    // The tab and the ROMs last selected are selected again at the next start, the current tab's
    // snapshot shown, as long as each ROM is still listed; the file they are kept in is the
    // program's own, and one that is missing or broken leaves the start as it would be without it.
    void theLastSelectionIsRemembered()
    {
        Fixture f;
        f.snapshot("two.jpg", QSize(30, 15), Qt::blue);
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.selectionFile = f.dir.filePath(u"data/selection.ini"_s);
        const QByteArray config = readAll(f.config());
        auto start = [&] {
            auto w = std::make_unique<app::MainWindow>(context);
            w->loadStartState();
            return w;
        };
        auto selected = [](const app::MainWindow &w) {
            const MainControls c(&w);
            return QStringList{QString::number(c.tabs->currentIndex()), c.list(0)->fileName(), c.list(1)->fileName()};
        };
        auto w = start();
        QVERIFY(MainControls(w.get()).list(0)->selectFile(u"c.Nes"_s));
        MainControls(w.get()).tabs->setCurrentIndex(1);
        QVERIFY(MainControls(w.get()).list(1)->selectFile(u"two.nes"_s));
        QTRY_VERIFY(readAll(context.selectionFile).contains("two.nes"));
        w = start();
        QTRY_COMPARE(selected(*w), (QStringList{"1", "c.Nes", "two.nes"}));
        QTRY_COMPARE(MainControls(w.get()).snapshot->picture().size(), QSize(30, 15));
        QCOMPARE(readAll(f.config()), config); // no part of the configuration file
        QVERIFY(QFile::remove(f.rom(0) + u"c.Nes"_s)); // gone since: the others still come back
        w = start();
        QTRY_COMPARE(selected(*w), (QStringList{"1", "", "two.nes"}));
        writeFile(f.rom(3) + u"two.nes"_s, "x"); // the same name in the folder the tab now lists: not that ROM
        writeFile(f.config(), configFor(f.rom(0), f.rom(3), f.rom(2)));
        w = start();
        QTRY_COMPARE(MainControls(w.get()).count(1)->text(), u"ROMs : 3"_s);
        QTRY_COMPARE(selected(*w), (QStringList{"1", "", ""}));
        w.reset();
        QTest::qWait(100); // its last write, off the window's thread, is done
        for (const QByteArray &broken : {QByteArray("\xFF\xFE\x00garbage"), QByteArray("[Quorvane Selection]\r\nTab=7\r\n")}) {
            writeFile(context.selectionFile, broken);
            w = start();
            QTest::qWait(200);
            QCOMPARE(selected(*w), (QStringList{"0", "", ""}));
            QVERIFY(f.recorder.messages.isEmpty());
        }
    }

    // An archive's picture is its first ROM's, known once the archive has been checked: selected
    // before that, by a click or by the start that restores it, the picture follows the check.
    void anArchivesPictureFollowsItsCheck()
    {
        Fixture f;
        f.snapshot("Inner Game.jpg", QSize(24, 12), Qt::green);
        writeFile(f.rom(0) + u"zipped.zip"_s, makeArchive(ArchiveFormat::Zip, {{"Inner Game.nes", nesRom('i')}}));
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.selectionFile = f.dir.filePath(u"data/selection.ini"_s);
        auto w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        QVERIFY(MainControls(w.get()).list(0)->selectFile(u"zipped.zip"_s));
        QTRY_COMPARE(MainControls(w.get()).snapshot->picture().size(), QSize(24, 12));
        QTRY_VERIFY(readAll(context.selectionFile).contains("zipped.zip"));
        w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        QTRY_COMPARE(MainControls(w.get()).list(0)->fileName(), u"zipped.zip"_s);
        QTRY_COMPARE(MainControls(w.get()).snapshot->picture().size(), QSize(24, 12));
    }

    // Typing in a list moves to the next name that starts with the letters, in the order shown,
    // case and accents aside; the same letter again steps on.
    void typeAheadFollowsTheShownOrder()
    {
        Fixture f;
        for (const QString &name : {u"apple.nes"_s, u"\u00C9clair.nes"_s, u"eel.nes"_s, u"Elf.nes"_s, u"zed.nes"_s})
            writeFile(f.rom(2) + name, "x");
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.readFolder = [](const QString &folder, const QString &pattern, bool *ok) {
            return library::readRomNames(folder, pattern, QLocale(u"en_US"_s), ok);
        };
        app::MainWindow w(context);
        w.loadStartState();
        const MainControls c(&w);
        forms::FileListBox *list = c.list(2);
        QCOMPARE(entries(list), (QStringList{"apple.nes", u"\u00C9clair.nes"_s, "eel.nes", "Elf.nes", "zed.nes"}));
        QStringList landed;
        for (const QString &typed : {u"e"_s, u"e"_s, u"e"_s, u"e"_s, u"Z"_s, u"el"_s, u"\u00E9c"_s}) {
            QTest::qWait(QApplication::keyboardInputInterval() + 50); // each a search of its own
            for (const QChar letter : typed) { // as a keyboard types it, accents too
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(letter));
                QApplication::sendEvent(list, &press);
            }
            landed << list->fileName();
        }
        QCOMPARE(landed, (QStringList{u"\u00C9clair.nes"_s, "eel.nes", "Elf.nes", u"\u00C9clair.nes"_s, "zed.nes", "Elf.nes",
                                      u"\u00C9clair.nes"_s}));
    }

    // ROMs copied in or removed while the program runs show at once: the selection, the current entry
    // and the snapshot stay, unless the selected ROM itself is gone; a burst of copies is read once.
    void listsFollowTheirFolders()
    {
        Fixture f;
        f.snapshot("b.jpg", QSize(20, 10), Qt::red);
        QAtomicInt readings;
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.readFolder = [&readings](const QString &folder, const QString &pattern, bool *ok) {
            readings.ref();
            return library::readRomNames(folder, pattern, QLocale::c(), ok);
        };
        app::MainWindow w(context);
        w.loadStartState();
        const MainControls c(&w);
        QVERIFY(c.list(0)->selectFile(u"b.nes"_s));
        QTRY_VERIFY(!c.snapshot->picture().isNull());
        const int before = readings.loadRelaxed();
        for (int i = 0; i < 300; ++i)
            writeFile(f.rom(0) + u"new%1.nes"_s.arg(i, 3, 10, QChar(u'0')), "x");
        QTRY_COMPARE(c.count(0)->text(), u"ROMs : 304"_s);
        QTest::qWait(700);
        QVERIFY2(readings.loadRelaxed() - before <= 3, qPrintable(QString::number(readings.loadRelaxed() - before)));
        QCOMPARE(c.list(0)->fileName(), u"b.nes"_s);
        QCOMPARE(c.list(0)->currentIndex().data(Qt::EditRole).toString(), u"b.nes"_s);
        QVERIFY(!c.snapshot->picture().isNull());
        QFile::remove(f.rom(0) + u"A.nes"_s); // another entry: the selection stays
        QTRY_COMPARE(c.count(0)->text(), u"ROMs : 303"_s);
        QCOMPARE(c.list(0)->fileName(), u"b.nes"_s);
        QFile::remove(f.rom(0) + u"b.nes"_s); // the selected ROM itself: the box blanks
        QTRY_COMPARE(c.count(0)->text(), u"ROMs : 302"_s);
        QCOMPARE(c.list(0)->fileName(), QString());
        QTRY_VERIFY(c.snapshot->picture().isNull());
        // A list pointed elsewhere stops following its old folder.
#ifdef Q_OS_LINUX
        QVERIFY(watchedBySystem(f.rom(0)));
#endif
        writeFile(f.config(), configFor(f.rom(3), f.rom(1), f.rom(2)));
        onNextModal(&w, [](QWidget *dialog) { dialog->close(); });
        w.editRomFolders(); // closed at once: the folders are read back
        QTRY_COMPARE(c.count(0)->text(), u"ROMs : 2"_s);
#ifdef Q_OS_LINUX
        QTRY_VERIFY(!watchedBySystem(f.rom(0)));
#endif
        writeFile(f.rom(0) + u"late.nes"_s, "x");
        QTest::qWait(700);
        QCOMPARE(c.count(0)->text(), u"ROMs : 2"_s);
        // A file that cannot be read back is reported, naming it, and the lists stay as they are.
        QVERIFY(QFile::remove(f.config()) && QDir().mkpath(f.config()));
        const qsizetype told = f.recorder.messages.size();
        onNextModal(&w, [](QWidget *dialog) { dialog->close(); });
        w.editRomFolders();
        QTRY_COMPARE(f.recorder.messages.size(), told + 1);
        QVERIFY(f.recorder.messages.back().text.contains(QDir::toNativeSeparators(f.config())));
        QTest::qWait(300);
        QCOMPARE(c.count(0)->text(), u"ROMs : 2"_s);
        QCOMPARE(c.count(1)->text(), u"ROMs : %1"_s.arg(entries(c.list(1)).size()));
        QVERIFY(c.list(1)->listCount() > 0);
    }

    // As users have it, the folders are read once the window is on screen, so that their reading
    // does not slow its first drawing (a window never shown lists them all the same, below). A ROM
    // copied in after its folder was read, before the folder is watched, still shows.
    void foldersAreReadOnceOnScreenAndNoCopyIsLost()
    {
        Fixture f;
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.folderPatience = {};
        const QString late = f.rom(0) + u"late.nes"_s;
        const auto reads = std::make_shared<std::atomic<int>>(0);
        context.readFolder = [late, reads](const QString &folder, const QString &pattern, bool *ok) {
            ++*reads;
            const library::RomNames names = library::readRomNames(folder, pattern, QLocale::c(), ok);
            if (QDir(folder) == QFileInfo(late).dir() && !QFileInfo::exists(late)) {
                QThread::msleep(50); // a folder's time has a grain of milliseconds
                writeFile(late, "x");
            }
            return names;
        };
        app::MainWindow w(context);
        w.loadStartState();
        QThread::msleep(100); // no events yet: the window is not on screen
        QCOMPARE(reads->load(), 0);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(MainControls(&w).counts(), (QStringList{"ROMs : 5", "ROMs : 1", "ROMs : 0"}));
    }

    // A folder that does not answer (a share whose server is gone) holds up neither start-up nor the
    // other lists, the options or a launch; its list fills when it answers, and closing never waits.
    // Nor does a launch whose start waits on a share hold up the window.
    void aFolderThatDoesNotAnswerHoldsNothingUp()
    {
        Fixture f;
        writeProgram(f.emulator());
        auto stuck = std::make_shared<QSemaphore>();
        app::AppContext context = f.recorder.context(f.app(), f.config());
        const QString hanging = QDir::fromNativeSeparators(f.rom(1));
        context.readFolder = [hanging, stuck](const QString &folder, const QString &pattern, bool *ok) {
            if (folder.startsWith(hanging))
                stuck->acquire();
            return library::readRomNames(folder, pattern, QLocale::c(), ok);
        };
        context.folderPatience = {}; // as users have it
        auto starting = std::make_shared<QSemaphore>();
        auto waited = std::make_shared<std::atomic<bool>>(false);
        context.start = [starting, waited, record = context.start](const platform::Command &command,
                                                                    const platform::ExitWatch &watch, QString *error) {
            starting->tryAcquire(1, 5000); // the emulator's file on a share that does not answer
            *waited = true;
            return record(command, watch, error);
        };
        auto w = std::make_unique<app::MainWindow>(context);
        w->loadStartState(); // returns, though folder 2 does not answer
        const MainControls c(w.get());
        QTRY_COMPARE(c.count(0)->text(), u"ROMs : 4"_s);
        QCOMPARE(c.list(1)->listCount(), 0);
        QVERIFY(c.list(0)->selectFile(u"A.nes"_s));
        w->launchRom(0); // returns while the start waits
        QVERIFY(!*waited);
        starting->release();
        QTRY_COMPARE(f.recorder.starts.size(), 1);
        stuck->release(); // it answers
        QTRY_COMPARE(c.count(1)->text(), u"ROMs : 1"_s);
        // Asked again, it hangs again: the window goes at once, and its late answer goes nowhere.
        writeFile(f.config(), configFor(f.rom(0), f.rom(1) + u"."_s, f.rom(2)));
        onNextModal(w.get(), [](QWidget *dialog) { dialog->close(); });
        w->editRomFolders();
        w.reset();
        stuck->release();
        QTest::qWait(100);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
