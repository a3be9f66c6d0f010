// What the main window starts, and what it remembers of the play: double clicks, menus,
// zipped ROMs, favourites, File > Recent, files from outside.
#include "windowtest.h"

class TestPlaying : public QObject
{
    Q_OBJECT

private slots:
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
            const QStringList items{w->romMenu()->actions()[0]->text(), w->romMenu()->actions()[1]->text(),
                                    w->romMenu()->actions()[2]->text()};
            QCOMPARE(items, (QStringList{u"&Run"_s, u"Run &With"_s, u"ROM &Information..."_s}));
            // Each emulator found, after the way back to the default (checked while the game has none).
            QStringList offered;
            for (const QAction *action : w->romMenu()->actions()[1]->menu()->actions())
                offered << (action->isSeparator() ? u"-"_s : action->text() + (action->isChecked() ? u" (checked)"_s : QString()));
            QCOMPARE(offered, (QStringList{u"&Default Emulator (checked)"_s, u"-"_s, u"Nesticle"_s}));
            w->romMenu()->close();
        };
        QTRY_VERIFY_WITH_TIMEOUT(w->emulators()->isLoaded(), 20000); // looked for once the lists show
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
                                 "Emulator: Nesticle (the default)\nProblems: none\n"_s),
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
        // Saved before the window closes: what closing gives up on a machine too busy is tested
        // elsewhere; here it is what a later start reads.
        const QByteArray game = model->factsAt(0)->game;
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            QString message;
            const auto db = library::LibraryDatabase::open(context.libraryFile, &message);
            return db && db->playRecord(game).playedMs == 61000;
        }(), 20000);
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
            const library::PlayRecord record = db->playRecord(shown->factsAt(0)->game);
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
        // No emulator: said, with the places looked in, and Options > Emulators opens.
        bool emulatorsOpened = false;
        onNextModal(w.get(), [&](QWidget *modal) {
            emulatorsOpened = qobject_cast<dialogs::EmulatorsDialog *>(modal) != nullptr;
            modal->close();
        }, 2000); // the emulators are looked for twice first: up to 20 s
        w->launchRom(0);
        QTRY_VERIFY_WITH_TIMEOUT(emulatorsOpened, 20000);
        QCOMPARE(f.recorder.messages.size(), 1);
        QVERIFY2(f.recorder.messages.value(0).text.startsWith(u"No emulator was found"_s), qPrintable(f.recorder.messages.value(0).text));
        QVERIFY(f.recorder.messages.value(0).text.contains(QDir::toNativeSeparators(f.app())));
        QVERIFY(f.recorder.starts.isEmpty());
        // One installed since is found at the next double click.

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
};

QTEST_MAIN(TestPlaying)
#include "tst_playing.moc"
