#include "config/romfoldersdialog.h"
#include "forms/controls.h"
#include "forms/filelistbox.h"
#include "testutil.h"

#include <QLabel>
#include <QListWidget>

using namespace testutil;

namespace {

// Three ROM folders, the third missing, named in the configuration file.
struct Fixture : Layout {
    Fixture()
    {
        QDir().mkpath(app() + QStringLiteral("/snap"));
        for (const char *name : {"b.nes", "A.nes", "GAME.NES", "c.Nes", ".hidden.nes", "notes.txt", "x.nes.bak"})
            writeFile(rom(1) + QLatin1String(name), "NES\x1A");
        QDir().mkpath(rom(1) + QStringLiteral("folder.nes"));
        writeFile(rom(2) + QStringLiteral("two.nes"), "x");
        writeFile(config(), "[Quorvane v1.0b Config File]\r\nRoms=" + rom(1).toUtf8() + "\r\nRoms2=" + rom(2).toUtf8()
                                + "\r\nRoms3=" + rom(3).toUtf8() + "\r\n");
    }
    void snapshot(const char *name, QSize size, QColor colour)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QVERIFY(image.save(app() + QStringLiteral("/snap/") + QLatin1String(name), "JPEG", 95));
    }
    void emulator()
    {
        writeFile(app() + QStringLiteral("/nesticle.exe"), "#!/bin/sh\n");
        QFile::setPermissions(app() + QStringLiteral("/nesticle.exe"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
};

QPoint rowCentre(QAbstractItemView *list, int row) { return list->visualRect(list->model()->index(row, 0)).center(); }

void clickFirstEntry(forms::FileListBox *list, bool twice = false, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(list->viewport(), button, {}, rowCentre(list, 0));
    if (twice)
        QTest::mouseDClick(list->viewport(), button, {}, rowCentre(list, 0));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void startUpFillsTheWindow();
    void startUpWithoutAReadableFile();
    void soundCaptionRule();
    void selectionShowsTheSnapshotOrBlanks();
    void listsKeepTheirSelection();
    void onlyLeftDoubleClicksAndEnterLaunch();
    void doubleClickLaunchesFromItsOwnSlot_data();
    void doubleClickLaunchesFromItsOwnSlot();
    void launchReadsTheOptionsEachTimeAndReportsFailures();
    void exitWritesNothing();
};

void TestMainWindow::startUpFillsTheWindow()
{
    Fixture f;
    const auto w = f.loaded();
    for (int slot = 1; slot <= 3; ++slot)
        QCOMPARE(w->romFoldersDialog()->folder(slot), f.rom(slot));
    QVERIFY(w->romFoldersDialog()->isHidden());
    // Matched without regard to case and sorted so; hidden files, folders, other names left out.
    QCOMPARE(w->fileList(1)->entries(), (QStringList{"A.nes", "b.nes", "c.Nes", "GAME.NES"}));
    QCOMPARE(w->countLabel(1)->text(), QStringLiteral("ROMs : 4"));
    QCOMPARE(w->countLabel(2)->text(), QStringLiteral("ROMs : 1"));
    QCOMPARE(w->countLabel(3)->text(), QStringLiteral("ROMs : 0")); // a missing folder is no error
    QCOMPARE(w->list1()->currentItem()->text(), QStringLiteral("320x240"));
    QCOMPARE(w->list2()->currentItem()->text(), QStringLiteral("Gamepad"));
    QVERIFY(w->list1()->currentItem()->isSelected() && w->list2()->currentItem()->isSelected());
    QCOMPARE(w->check1()->value(), 1);
    QCOMPARE(w->check1()->text(), QStringLiteral("Sound"));
    QCOMPARE(QDir::currentPath(), QDir(f.app()).canonicalPath());
    QVERIFY(f.recorder.messages.isEmpty());

    writeFile(f.rom(2) + QStringLiteral("new.nes"), "x"); // labels change only when pointed again
    QCOMPARE(w->countLabel(2)->text(), QStringLiteral("ROMs : 1"));
}

void TestMainWindow::startUpWithoutAReadableFile()
{
    Fixture f;
    QFile::remove(f.config());
    const auto w = f.loaded();
    for (int slot = 1; slot <= 3; ++slot)
        QCOMPARE(w->countLabel(slot)->text(), QStringLiteral("ROMs : 0"));
    QVERIFY(!QFileInfo::exists(f.config()) && f.recorder.messages.isEmpty());

    // No regular file: said once, the window still comes up.
    QDir().mkpath(f.config());
    const auto w2 = f.loaded();
    QCOMPARE(f.recorder.messages.size(), 1);
    QVERIFY(f.recorder.messages.front().text.contains(QDir::toNativeSeparators(f.config())));
    QVERIFY(f.recorder.messages.front().text.contains(QLatin1String("not a regular file")));
    QCOMPARE(w2->countLabel(1)->text(), QStringLiteral("ROMs : 0"));
}

void TestMainWindow::soundCaptionRule()
{
    Fixture f;
    const auto w = f.loaded();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QTest::mouseClick(w->check1(), Qt::LeftButton);
    QCOMPARE(w->check1()->text(), QStringLiteral("No Sound"));
    w->check1()->setValue(2);
    QCOMPARE(w->check1()->text(), QStringLiteral("No Sound")); // grayed keeps the caption
    QTest::mouseClick(w->check1(), Qt::LeftButton);
    QCOMPARE(w->check1()->value(), 1);
    QCOMPARE(w->check1()->text(), QStringLiteral("Sound"));
    QTest::mouseClick(w->check1(), Qt::LeftButton);
    QCOMPARE(w->check1()->value(), 0); // clicks never gray it
}

void TestMainWindow::selectionShowsTheSnapshotOrBlanks()
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
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    forms::FileListBox *list = w->fileList(1);
    const QImage &shown = w->picture2()->picture();

    clickFirstEntry(list); // the first click after focus counts too
    QCOMPARE(shown.size(), QSize(20, 10));
    QTest::keyClick(list, Qt::Key_Down); // keyboard selection: b.nes has none, the box blanks
    QCOMPARE(list->fileName(), QStringLiteral("b.nes"));
    QVERIFY(w->picture2()->picture().isNull());
    QVERIFY(list->selectFile(QStringLiteral("GAME.NES"))); // capitals: nothing replaced, nothing shown
    QVERIFY(w->picture2()->picture().isNull());
    QVERIFY(list->selectFile(QStringLiteral("c.Nes"))); // looked up as it stands, cut to the box
    QCOMPARE(w->picture2()->picture().size(), w->picture2()->contentsRect().size());
    list->clearSelection(); // nothing selected: "snap/" names the folder itself
    w->previewSnapshot(1);
    QVERIFY(w->picture2()->picture().isNull());

    QVERIFY(list->selectFile(QStringLiteral("A.nes")));
    w->ssTab1()->setCurrentIndex(1); // another tab keeps the picture until its list is used
    QCOMPARE(w->picture2()->picture().size(), QSize(20, 10));
    QVERIFY(w->fileList(2)->selectFile(QStringLiteral("two.nes")));
    const QImage drawn = w->picture2()->grab().toImage();
    QVERIFY(qBlue(drawn.pixel(w->picture2()->contentsRect().topLeft() + QPoint(3, 3))) > 200); // top-left
    QVERIFY(qRed(drawn.pixel(w->picture2()->contentsRect().center())) > 200);                 // not scaled
}

// A single-selection list cannot be emptied by the user, and the launch uses what is shown.
void TestMainWindow::listsKeepTheirSelection()
{
    Fixture f;
    f.emulator();
    f.snapshot("A.jpg", QSize(20, 10), Qt::red);
    const auto w = f.loaded();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    clickFirstEntry(w->fileList(1));
    const QList<QAbstractItemView *> lists{w->list1(), w->list2(), w->fileList(1)};
    for (QAbstractItemView *list : lists) {
        const QModelIndex selected = list->selectionModel()->selectedIndexes().value(0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, list->visualRect(selected).center());
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(list->selectionModel()->selectedIndexes(), QModelIndexList{selected});
    }
    QVERIFY(!w->picture2()->picture().isNull());
    // What is selected, not the row that merely has the focus, goes to the emulator.
    w->list1()->selectionModel()->setCurrentIndex(w->list1()->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    w->File1_DblClick();
    QCOMPARE(f.recorder.starts.back().arguments.mid(2, 3), (QStringList{"-res", "320", "240"}));
}

void TestMainWindow::onlyLeftDoubleClicksAndEnterLaunch()
{
    Fixture f;
    f.emulator();
    const auto w = f.loaded();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    clickFirstEntry(w->fileList(1), true, Qt::RightButton);
    clickFirstEntry(w->fileList(1), true, Qt::MiddleButton);
    QCOMPARE(f.recorder.starts.size(), 0);
    clickFirstEntry(w->fileList(1));
    w->fileList(1)->setFocus();
    QTest::keyClick(w->fileList(1), Qt::Key_Return);
    QTest::keyClick(w->fileList(1), Qt::Key_Enter);
    QCOMPARE(f.recorder.starts.size(), 2);
    QCOMPARE(f.recorder.starts[0].arguments.at(1), f.rom(1) + QStringLiteral("A.nes"));
    w->fileList(2)->setFocus(); // nothing selected there: Enter starts nothing
    QTest::keyClick(w->fileList(2), Qt::Key_Return);
    QCOMPARE(f.recorder.starts.size(), 2);
}

void TestMainWindow::doubleClickLaunchesFromItsOwnSlot_data()
{
    QTest::addColumn<int>("slot");
    QTest::newRow("File1 reads Text1") << 1;
    QTest::newRow("File2 reads Text2") << 2;
    QTest::newRow("File3 reads Text3") << 3;
}

void TestMainWindow::doubleClickLaunchesFromItsOwnSlot()
{
    QFETCH(int, slot);
    Fixture f;
    writeFile(f.rom(3) + QStringLiteral("three.nes"), "x");
    f.emulator();
    const auto w = f.loaded();
    for (int s = 1; s <= 3; ++s) // the store, not the list's own folder, names the folder
        w->romFoldersDialog()->setFolder(s, QStringLiteral("/store%1/").arg(s));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->ssTab1()->setCurrentIndex(slot - 1);
    clickFirstEntry(w->fileList(slot), true);
    QTest::mouseDClick(w->fileList(slot)->viewport(), Qt::LeftButton, {},
                       w->fileList(slot)->visualRect(w->fileList(slot)->model()->index(0, 0)).center());
    QCOMPARE(f.recorder.starts.size(), 2); // every double click starts another
    const StartCall &call = f.recorder.starts.front();
    QCOMPARE(call.program, QDir::toNativeSeparators(f.app() + QStringLiteral("/nesticle.exe")));
    QCOMPARE(call.arguments, (QStringList{"-run", QStringLiteral("/store%1/").arg(slot) + w->fileList(slot)->entries().front(),
                                          "-res", "320", "240", "-setinput", "1", "GRAVIS"}));
    QCOMPARE(QDir(call.workingFolder).canonicalPath(), QDir(f.app()).canonicalPath());
}

void TestMainWindow::launchReadsTheOptionsEachTimeAndReportsFailures()
{
    Fixture f;
    const auto w = f.loaded();
    QVERIFY(w->fileList(1)->selectFile(QStringLiteral("A.nes")));
    w->File1_DblClick(); // no emulator: said with the file tried, and the window goes on
    QCOMPARE(f.recorder.messages.size(), 1);
    QVERIFY(f.recorder.messages[0].text.contains(QDir::toNativeSeparators(f.app() + "/nesticle.exe")));

    f.emulator();
    w->fileList(1)->clearSelection(); // nothing selected: the folder alone stands for the ROM
    w->File1_DblClick();
    w->check1()->setValue(0);
    w->list1()->setCurrentRow(0);
    w->list2()->clearSelection();
    QVERIFY(w->fileList(1)->selectFile(QStringLiteral("GAME.NES")));
    w->File1_DblClick();
    QCOMPARE(f.recorder.starts.size(), 2);
    QCOMPARE(f.recorder.starts[0].arguments, (QStringList{"-run", f.rom(1), "-res", "320", "240", "-setinput", "1", "GRAVIS"}));
    QCOMPARE(f.recorder.starts[1].arguments, (QStringList{"-run", f.rom(1) + "GAME.NES", "-nosound", "-res", "256", "224"}));

    f.recorder.startSucceeds = false; // the system refuses the start
    w->File1_DblClick();
    QCOMPARE(f.recorder.messages.size(), 2);
    QVERIFY(f.recorder.messages[1].text.contains(QLatin1String("refused by the test")));
}

void TestMainWindow::exitWritesNothing()
{
    Fixture f;
    const QByteArray before = readAll(f.config());
    for (const bool byMenu : {true, false}) {
        const auto w = f.loaded();
        w->show();
        w->romFoldersDialog()->setFolder(1, QStringLiteral("/changed/")); // loaded, hidden, with a change
        byMenu ? w->action("filemnuexit")->trigger() : void(w->close());
        QVERIFY(!w->isVisible());
    }
    QCOMPARE(readAll(f.config()), before);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
