#include "app/form1.h"
#include "config/directories.h"
#include "config/romfolders.h"
#include "forms/controls.h"
#include "forms/filelistbox.h"
#include "testutil.h"

#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

using namespace testutil;

namespace {

// An application folder, three ROM folders and a configuration file naming them.
struct Fixture : Layout {
    Fixture()
    {
        QDir().mkpath(app() + QStringLiteral("/snap"));
        QDir().mkpath(dir.filePath(QStringLiteral("etc")));
        for (const char *name : {"b.nes", "A.nes", "GAME.NES", "c.Nes", ".hidden.nes", "notes.txt", "x.nes.bak"})
            writeFile(rom(1) + QLatin1String(name), "NES\x1A");
        QDir().mkpath(rom(1) + QStringLiteral("folder.nes"));
        QDir().mkpath(rom(2));
        writeFile(rom(2) + QStringLiteral("two.nes"), "x");
        writeFile(config(), "[Quorvane v1.0b Config File]\r\nRoms=" + rom(1).toUtf8() + "\r\nRoms2=" + rom(2).toUtf8()
                                + "\r\nRoms3=" + dir.filePath(QStringLiteral("missing/")).toUtf8() + "\r\n");
    }
};

QImage solid(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void startUpFillsTheWindow();
    void startUpWithoutConfigurationFile();
    void soundCaptionRule();
    void countLabelsChangeOnlyWhenPointed();
    void clickShowsTheSnapshotOrBlanks();
    void largeSnapshotIsCutNotScaled();
    void keyboardSelectionPreviewsToo();
    void doubleClickLaunchesFromItsOwnSlot_data();
    void doubleClickLaunchesFromItsOwnSlot();
    void launchReadsTheOptionsEachTime();
    void failedLaunchIsReportedAndTheWindowGoesOn();
    void exitWritesNothing();
};

void TestMainWindow::startUpFillsTheWindow()
{
    Fixture f;
    QDir::setCurrent(QDir::tempPath());
    const auto w = f.loaded();
    QCOMPARE(w->directories()->folder(1), f.rom(1));
    QCOMPARE(w->directories()->folder(2), f.rom(2));
    QCOMPARE(w->directories()->folder(3), f.dir.filePath(QStringLiteral("missing/")));
    QVERIFY(w->directories()->isHidden());
    // Matching names without regard to case, sorted without regard to case; hidden files,
    // folders and other extensions left out.
    QCOMPARE(w->fileList(1)->entries(), (QStringList{"A.nes", "b.nes", "c.Nes", "GAME.NES"}));
    QCOMPARE(w->fileList(2)->entries(), QStringList{"two.nes"});
    QCOMPARE(w->fileList(3)->entries(), QStringList());
    QCOMPARE(w->countLabel(1)->text(), QStringLiteral("ROMs : 4"));
    QCOMPARE(w->countLabel(2)->text(), QStringLiteral("ROMs : 1"));
    QCOMPARE(w->countLabel(3)->text(), QStringLiteral("ROMs : 0"));
    QCOMPARE(w->list1()->currentItem()->text(), QStringLiteral("320x240"));
    QVERIFY(w->list1()->currentItem()->isSelected());
    QCOMPARE(w->list2()->currentItem()->text(), QStringLiteral("Gamepad"));
    QCOMPARE(w->check1()->value(), 1);
    QCOMPARE(w->check1()->text(), QStringLiteral("Sound"));
    QCOMPARE(QDir::currentPath(), QDir(f.app()).canonicalPath());
    QCOMPARE(w->ssTab1()->currentIndex(), 0);
    QVERIFY(f.recorder.messages.isEmpty()); // a missing folder is no error at start-up
}

void TestMainWindow::startUpWithoutConfigurationFile()
{
    Fixture f;
    QFile::remove(f.config());
    const auto w = f.loaded();
    for (int slot = 1; slot <= 3; ++slot) {
        QCOMPARE(w->directories()->folder(slot), QString());
        QCOMPARE(w->countLabel(slot)->text(), QStringLiteral("ROMs : 0"));
    }
    QVERIFY(!QFileInfo::exists(f.config()));
    QVERIFY(f.recorder.messages.isEmpty());

    // An unreadable file is said once; the window still comes up empty.
    QDir().mkpath(f.config());
    const auto w2 = f.loaded();
    QCOMPARE(f.recorder.messages.size(), 1);
    QVERIFY(f.recorder.messages.front().text.contains(f.config()));
    QCOMPARE(w2->countLabel(1)->text(), QStringLiteral("ROMs : 0"));
}

void TestMainWindow::soundCaptionRule()
{
    Fixture f;
    const auto w = f.loaded();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QTest::mouseClick(w->check1(), Qt::LeftButton);
    QCOMPARE(w->check1()->value(), 0);
    QCOMPARE(w->check1()->text(), QStringLiteral("No Sound"));
    w->check1()->setValue(2);
    QCOMPARE(w->check1()->text(), QStringLiteral("No Sound")); // grayed keeps the caption
    QTest::mouseClick(w->check1(), Qt::LeftButton);
    QCOMPARE(w->check1()->value(), 1); // a click on a grayed box ticks it
    QCOMPARE(w->check1()->text(), QStringLiteral("Sound"));
    QTest::mouseClick(w->check1(), Qt::LeftButton);
    QCOMPARE(w->check1()->value(), 0); // and clicks never gray it
}

void TestMainWindow::countLabelsChangeOnlyWhenPointed()
{
    Fixture f;
    const auto w = f.loaded();
    writeFile(f.rom(2) + QStringLiteral("new.nes"), "x");
    QCOMPARE(w->countLabel(2)->text(), QStringLiteral("ROMs : 1"));
    QCOMPARE(w->countLabel(1)->text(), QStringLiteral("ROMs : 4"));
}

void TestMainWindow::clickShowsTheSnapshotOrBlanks()
{
    Fixture f;
    QVERIFY(solid(QSize(20, 10), Qt::red).save(f.app() + QStringLiteral("/snap/A.jpg")));
    QVERIFY(solid(QSize(20, 10), Qt::green).save(f.app() + QStringLiteral("/snap/GAME.jpg")));
    QVERIFY(solid(QSize(30, 15), Qt::blue).save(f.app() + QStringLiteral("/snap/two.jpg")));
    const auto w = f.loaded();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    forms::FileListBox *list = w->fileList(1);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    QCOMPARE(list->fileName(), QStringLiteral("A.nes"));
    QCOMPARE(w->picture2()->picture().size(), QSize(20, 10));
    QVERIFY(qRed(w->picture2()->picture().pixel(5, 5)) > 200);

    QVERIFY(list->selectFile(QStringLiteral("b.nes"))); // no snapshot: blank, also right after one
    QVERIFY(w->picture2()->picture().isNull());

    QVERIFY(list->selectFile(QStringLiteral("A.nes")));
    QVERIFY(!w->picture2()->picture().isNull());
    QVERIFY(list->selectFile(QStringLiteral("GAME.NES"))); // capitals: nothing replaced, no snapshot
    QVERIFY(w->picture2()->picture().isNull());

    // Another tab: the picture stays until that tab's list is clicked; then it is that ROM's.
    QVERIFY(list->selectFile(QStringLiteral("A.nes")));
    w->ssTab1()->setCurrentIndex(1);
    QVERIFY(!w->picture2()->picture().isNull());
    QVERIFY(w->fileList(2)->selectFile(QStringLiteral("two.nes")));
    QCOMPARE(w->picture2()->picture().size(), QSize(30, 15));

    // The drawn box shows the picture at its top-left corner, inside the frame.
    const QImage shown = w->picture2()->grab().toImage();
    const QPoint inside = w->picture2()->contentsRect().topLeft() + QPoint(3, 3);
    QVERIFY(qBlue(shown.pixel(inside)) > 200);
    QVERIFY(qRed(shown.pixel(w->picture2()->contentsRect().center())) > 200); // the box, not the picture
}

void TestMainWindow::largeSnapshotIsCutNotScaled()
{
    Fixture f;
    QImage big = solid(QSize(800, 700), Qt::blue);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            big.setPixelColor(x, y, Qt::white);
    QVERIFY(big.save(f.app() + QStringLiteral("/snap/b.jpg"), "JPEG", 95));
    const auto w = f.loaded();
    QVERIFY(w->fileList(1)->selectFile(QStringLiteral("b.nes")));
    QCOMPARE(w->picture2()->picture().size(), w->picture2()->contentsRect().size());
    QVERIFY(qGreen(w->picture2()->picture().pixel(1, 1)) > 200);
    QCOMPARE(w->picture2()->size(), QSize(257, 225)); // the box keeps its size
}

void TestMainWindow::keyboardSelectionPreviewsToo()
{
    Fixture f;
    QVERIFY(solid(QSize(8, 8), Qt::red).save(f.app() + QStringLiteral("/snap/b.jpg")));
    const auto w = f.loaded();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    forms::FileListBox *list = w->fileList(1);
    QVERIFY(list->selectFile(QStringLiteral("A.nes")));
    QSignalSpy clicks(list, &forms::FileListBox::Click);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(list->fileName(), QStringLiteral("b.nes"));
    QVERIFY(!w->picture2()->picture().isNull());
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
    writeFile(f.dir.filePath(QStringLiteral("missing/three.nes")), "x"); // slot 3's folder now exists
    writeFile(f.app() + QStringLiteral("/nesticle.exe"), "#!/bin/sh\n");
    QFile::setPermissions(f.app() + QStringLiteral("/nesticle.exe"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const auto w = f.loaded();
    // The store, not the list's own folder, names the folder on the line.
    for (int s = 1; s <= 3; ++s)
        w->directories()->setFolder(s, QStringLiteral("/store%1/").arg(s));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    w->ssTab1()->setCurrentIndex(slot - 1);
    forms::FileListBox *list = w->fileList(slot);
    const QPoint at = list->visualRect(list->model()->index(0, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(f.recorder.starts.size(), 1);
    const StartCall &call = f.recorder.starts.front();
    QCOMPARE(call.program, QDir::toNativeSeparators(f.app() + QStringLiteral("/nesticle.exe")));
    QCOMPARE(call.arguments, (QStringList{"-run", QStringLiteral("/store%1/").arg(slot) + list->entries().front(),
                                          "-res", "320", "240", "-setinput", "1", "GRAVIS"}));
    QCOMPARE(QDir(call.workingFolder).canonicalPath(), QDir(f.app()).canonicalPath());

    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at); // every double click starts another
    QCOMPARE(f.recorder.starts.size(), 2);
}

void TestMainWindow::launchReadsTheOptionsEachTime()
{
    Fixture f;
    writeFile(f.app() + QStringLiteral("/nesticle.exe"), "#!/bin/sh\n");
    QFile::setPermissions(f.app() + QStringLiteral("/nesticle.exe"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const auto w = f.loaded();
    w->File1_DblClick(); // nothing selected: the folder alone stands for the ROM
    w->check1()->setValue(0);
    w->list1()->setCurrentRow(0);
    w->list2()->setCurrentRow(2);
    QVERIFY(w->fileList(1)->selectFile(QStringLiteral("GAME.NES")));
    w->File1_DblClick();
    w->list1()->setCurrentRow(-1);
    w->list2()->setCurrentRow(-1);
    w->File1_DblClick();
    QCOMPARE(f.recorder.starts.size(), 3);
    QCOMPARE(f.recorder.starts[0].arguments,
             (QStringList{"-run", f.rom(1), "-res", "320", "240", "-setinput", "1", "GRAVIS"}));
    QCOMPARE(f.recorder.starts[1].arguments,
             (QStringList{"-run", f.rom(1) + "GAME.NES", "-nosound", "-res", "256", "224", "-setinput", "1", "JOY1"}));
    QCOMPARE(f.recorder.starts[2].arguments, (QStringList{"-run", f.rom(1) + "GAME.NES", "-nosound"}));
}

void TestMainWindow::failedLaunchIsReportedAndTheWindowGoesOn()
{
    Fixture f;
    const auto w = f.loaded();
    QVERIFY(w->fileList(1)->selectFile(QStringLiteral("A.nes")));
    w->File1_DblClick(); // no emulator in the application folder
    QVERIFY(f.recorder.starts.isEmpty());
    QCOMPARE(f.recorder.messages.size(), 1);
    QVERIFY2(f.recorder.messages[0].text.contains(QDir::toNativeSeparators(f.app() + "/nesticle.exe")),
             qPrintable(f.recorder.messages[0].text));

    writeFile(f.app() + QStringLiteral("/nesticle.exe"), "#!/bin/sh\n");
    QFile::setPermissions(f.app() + QStringLiteral("/nesticle.exe"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    f.recorder.startSucceeds = false; // the system refuses the start
    w->File1_DblClick();
    QCOMPARE(f.recorder.messages.size(), 2);
    QVERIFY(f.recorder.messages[1].text.contains(QLatin1String("refused by the test")));
    QVERIFY(w->fileList(1)->selectFile(QStringLiteral("b.nes")));
}

void TestMainWindow::exitWritesNothing()
{
    Fixture f;
    const QByteArray before = readAll(f.config());
    const QDateTime modified = QFileInfo(f.config()).lastModified();
    {
        const auto w = f.loaded();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->directories()->setFolder(1, QStringLiteral("/changed/")); // loaded, hidden, with a change
        w->action("filemnuexit")->trigger();
        QVERIFY(!w->isVisible());
    }
    {
        const auto w = f.loaded();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(w->close()); // the close box
    }
    QCOMPARE(readAll(f.config()), before);
    QCOMPARE(QFileInfo(f.config()).lastModified(), modified);
    QCOMPARE(QDir(QFileInfo(f.config()).absolutePath()).entryList(QDir::Files), QStringList{"quorvane.ini"});
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
