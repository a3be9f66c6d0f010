// The main window: its lists, options, pictures, find line and remembered selection.
#include "windowtest.h"

#include <QAction>

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
        QVERIFY(list->selectFile(u"c.Nes"_s)); // looked up as it stands, cut to the box
        QTRY_COMPARE(picture().size(), c.snapshot->contentsRect().size());
        list->clearSelection(); // nothing selected: "snap/" names the folder itself
        w->previewSnapshot(0);
        QVERIFY(picture().isNull());
        QVERIFY(list->selectFile(u"GAME.NES"_s)); // its extension in capitals: GAME.jpg
        QTRY_COMPARE(picture().size(), QSize(20, 10));

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

    // The tab and the ROMs last selected are selected again at the next start, the current tab's
    // snapshot shown, as long as each ROM is still listed; the file they are kept in is the
    // program's own, and one that is missing or broken leaves the start as it would be without it.
    // Options > Show Titles reaches every list and is kept with the selection, not in the
    // configuration file: the next start shows titles again.
    void showingTitlesIsKeptAcrossStarts()
    {
        Fixture f;
        app::AppContext context = f.recorder.context(f.app(), f.config());
        context.selectionFile = f.dir.filePath(u"data/selection.ini"_s);
        const QByteArray config = readAll(f.config());
        auto w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        auto *titles = w->findChild<QAction *>(u"mnuoptionstitles"_s);
        QVERIFY(titles && titles->isCheckable() && !titles->isChecked());
        QCOMPARE(titles->text(), u"Show &Titles"_s);
        titles->trigger();
        for (int slot = 0; slot < 3; ++slot)
            QVERIFY(w->romFolder(slot)->model()->showsTitles());
        QTRY_VERIFY(readAll(context.selectionFile).contains("ShowTitles=1"));
        w = std::make_unique<app::MainWindow>(context);
        w->loadStartState();
        titles = w->findChild<QAction *>(u"mnuoptionstitles"_s);
        QTRY_VERIFY(titles->isChecked());
        QTRY_VERIFY(w->romFolder(2)->model()->showsTitles());
        QCOMPARE(readAll(f.config()), config);
    }

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
        context.readFolder = [](const QString &folder, const QString &pattern, bool, bool *ok) {
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
        context.readFolder = [&readings](const QString &folder, const QString &pattern, bool, bool *ok) {
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
        context.readFolder = [late, reads](const QString &folder, const QString &pattern, bool, bool *ok) {
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
        context.readFolder = [hanging, stuck](const QString &folder, const QString &pattern, bool, bool *ok) {
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
