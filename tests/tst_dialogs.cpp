#include "dialogs/folderpicker.h"
#include "dialogs/romfoldersdialog.h"
#include "forms/dirlistbox.h"
#include "forms/filelistbox.h"
#include "platform/drives.h"
#include "platform/process.h"
#include "testutil.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>

using namespace testutil;

namespace {

struct Fixture : RomLayout {
    Fixture()
    {
        window = loaded();
        window->show();
    }
    // Opens Options > Directories and lets act work in the dialog, which it must close.
    void inDirectories(const std::function<void(QWidget *)> &act)
    {
        onNextModal(window.get(), act);
        window->editRomFolders();
    }
    std::unique_ptr<app::MainWindow> window;
};

QPushButton *button(QWidget *form, const char *name) { return form->findChild<QPushButton *>(QLatin1String(name)); }
QLineEdit *field(QWidget *form, const char *name) { return form->findChild<QLineEdit *>(QLatin1String(name)); }

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void saveWritesOrKeepsEverything();
    void browseAndCloseWithoutSaving();
    void pickerOpensFoldersAndDrives();
    void pickerByKeyboardAlone();
    void pickedFoldersOfAPortableSetup();
    void aboutBox();
    void readmeReachesTheUser();
};

// Save writes, points every list again and closes; a failed Save keeps the dialog, what was
// typed and the file.
void TestDialogs::saveWritesOrKeepsEverything()
{
    Fixture f;
    app::MainWindow &w = *f.window;
    writeFile(f.rom(1) + QStringLiteral("added.nes"), "x"); // listed once the list is pointed again
    auto save = [&](const char *name, const QString &text) {
        bool stayedOpen = false;
        f.inDirectories([&](QWidget *dialog) {
            field(dialog, "Text2")->setText(f.rom(2));
            field(dialog, name)->setText(text);
            button(dialog, "Command2")->click();
            stayedOpen = dialog->isVisible() && field(dialog, name)->text() == text;
            dialog->close();
        });
        return !stayedOpen;
    };
    const MainControls c(&w);
    QVERIFY(save("Text3", f.rom(4)));
    QCOMPARE(readAll(f.config()), configFor(f.rom(1), f.rom(2), f.rom(4)));
    QCOMPARE(c.counts(), QStringLiteral("ROMs : 5|ROMs : 1|ROMs : 2")); // all three pointed again
    QCOMPARE(c.list(3)->path(), f.rom(4));
    QVERIFY(save("Text1", f.dir.filePath(QStringLiteral("gone/")))); // no such folder: saved, listed empty
    QCOMPARE(c.counts(), QStringLiteral("ROMs : 0|ROMs : 1|ROMs : 2"));

    const QByteArray before = readAll(f.config());
    QVERIFY(!save("Text3", QStringLiteral("/a\nb/"))); // pasted with a line break
    QVERIFY(f.recorder.messages.size() == 1 && f.recorder.messages[0].title == QStringLiteral("Save"));
    QVERIFY(f.recorder.messages[0].text.contains(QDir::toNativeSeparators(f.config())));
    QCOMPARE(readAll(f.config()), before);
    QCOMPARE(c.counts(), QStringLiteral("ROMs : 0|ROMs : 1|ROMs : 2"));
    // Another program saves other folders meanwhile: once the dialog has read them back, the lists
    // show them, and a launch starts what the list shows.
    writeFile(f.config(), configFor(f.rom(4), "", ""));
    f.inDirectories([](QWidget *dialog) { dialog->close(); });
    QCOMPARE(c.counts(), QStringLiteral("ROMs : 2|ROMs : 0|ROMs : 0"));
    QVERIFY(c.list(1)->selectFile(QStringLiteral("p.nes")));
    const QString emulator = f.app() + QStringLiteral("/nesticle.exe");
    writeFile(emulator, "#!/bin/sh\n");
    QFile::setPermissions(emulator, QFile::permissions(emulator) | QFileDevice::ExeOwner);
    w.launchRom(1);
    QCOMPARE(f.recorder.starts.value(0).arguments.value(1), f.rom(4) + QStringLiteral("p.nes"));
}

// Each browse button opens its own picker, whose OK fills its own field. Every opening starts on
// Text1 with nothing selected, and closing without Save forgets the edits.
void TestDialogs::browseAndCloseWithoutSaving()
{
    Fixture f;
    const QByteArray before = readAll(f.config());
    QDir::setCurrent(f.rom(4));
    const QString picked = QDir::toNativeSeparators(QDir::currentPath()) + QDir::separator();
    const char *browse[][2] = {{"Command1", "Form3"}, {"Command3", "Directories2"}, {"Command4", "Form4"}};
    for (int slot = 1; slot <= 3; ++slot) {
        QString opening, pickerName;
        QStringList fields;
        f.inDirectories([&](QWidget *dialog) {
            opening = QApplication::focusWidget()->objectName() + QString::number(field(dialog, "Text1")->hasSelectedText());
            onNextModal(dialog, [&](QWidget *picker) {
                pickerName = picker->objectName();
                button(picker, "Command1")->click(); // "&OK" at once
            });
            button(dialog, browse[slot - 1][0])->click();
            for (const char *name : {"Text1", "Text2", "Text3"})
                fields.append(field(dialog, name)->text());
            dialog->close();
        });
        QCOMPARE(opening + pickerName, QStringLiteral("Text10") + QLatin1String(browse[slot - 1][1]));
        QStringList expected{f.rom(1), f.rom(2), f.rom(3)};
        expected[slot - 1] = picked;
        QCOMPARE(fields, expected);
    }
    QCOMPARE(readAll(f.config()), before);
    QCOMPARE(MainControls(f.window.get()).list(1)->path(), f.rom(1));
}

// OK writes the folder opened (not one merely highlighted) and a separator; an unreadable folder
// is refused with a message and the list stays. Each drive keeps its own folder, as on Windows.
void TestDialogs::pickerOpensFoldersAndDrives()
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("a/b")));
    QDir::setCurrent(dir.filePath(QStringLiteral("a")));
    const auto leave = qScopeGuard([] { QDir::setCurrent(QDir::tempPath()); }); // Windows removes no current folder
    QLineEdit target;
    QList<Message> messages;
    dialogs::FolderPicker picker("Form4", &target, [&](QWidget *, const QString &t, const QString &x) { messages.append({t, x}); },
                                nullptr);
    auto *folders = child<forms::DirListBox>(&picker, QStringLiteral("Dir1"));
    auto *drives = child<forms::DriveListBox>(&picker, QStringLiteral("Drive1"));
    const QString a = QDir::toNativeSeparators(QDir::currentPath());
    folders->setCurrentItem(folders->findItems(QStringLiteral("b"), Qt::MatchRecursive).value(0));
    picker.choose();
    QCOMPARE(target.text(), a + QDir::separator());
    QVERIFY(folders->setPath(QDir::rootPath()));
    picker.choose();
    QCOMPARE(target.text(), QDir::toNativeSeparators(QDir::rootPath()) + QDir::separator()); // "//"
    QVERIFY(folders->setPath(a));
    QDir(dir.filePath(QStringLiteral("a/b"))).removeRecursively(); // gone before it is opened
    emit folders->itemDoubleClicked(folders->findItems(QStringLiteral("b"), Qt::MatchRecursive).value(0), 0);
    QVERIFY(messages.size() == 1 && folders->path() == a);
    auto pick = [&](const QString &drive) { // as the user picks it
        emit drives->activated(drives->findData(drive));
        return QDir::fromNativeSeparators(folders->path());
    };
    const QString here = platform::driveOf(a);
    QVERIFY(folders->setPath(dir.path()));
    QCOMPARE(pick(here), QDir::fromNativeSeparators(dir.path())); // the drive already chosen: nothing changes

    const QStringList roots = platform::drives();
    const auto other = std::find_if(roots.begin(), roots.end(), [&](const QString &d) {
        return d != here && !QDir(d).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty();
    });
    if (other == roots.end()) // C: and Z: under Wine; often one drive elsewhere
        QSKIP("one drive with folders here: each drive's own folder is checked where there are two");
    QCOMPARE(platform::driveOf(pick(*other)), *other);
    const QString there = QDir(*other).absoluteFilePath(QDir(*other).entryList(QDir::Dirs | QDir::NoDotAndDotDot).front());
    QVERIFY(folders->setPath(there));
    QCOMPARE(pick(here), QDir::fromNativeSeparators(a));
    QCOMPARE(pick(*other), there);
}

// A portable setup keeps a folder inside the program's folder relative to it; any other folder,
// and every folder of a setup that is not portable, is stored whole.
void TestDialogs::pickedFoldersOfAPortableSetup()
{
    const QString app = QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/emu"));
    const QString sep = QDir::separator();
    QCOMPARE(dialogs::pickedFolderText(app + sep + QStringLiteral("roms"), app), QStringLiteral("roms") + sep);
    QCOMPARE(dialogs::pickedFolderText(app + sep + QStringLiteral("a") + sep + QStringLiteral("b"), app),
             QStringLiteral("a") + sep + QStringLiteral("b") + sep);
    QCOMPARE(dialogs::pickedFolderText(app, app), QStringLiteral(".") + sep);
    QCOMPARE(dialogs::pickedFolderText(QDir::tempPath() + QStringLiteral("/other"), app),
             QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/other")) + sep);
    QCOMPARE(dialogs::pickedFolderText(app + sep + QStringLiteral("roms")), app + sep + QStringLiteral("roms") + sep);
}

// Arrows highlight, Enter opens, Tab reaches OK, Enter presses it: any folder, without a mouse.
void TestDialogs::pickerByKeyboardAlone()
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("start/inner/deeper")));
    QDir::setCurrent(dir.filePath(QStringLiteral("start")));
    const auto leave = qScopeGuard([] { QDir::setCurrent(QDir::tempPath()); });
    QLineEdit target;
    dialogs::FolderPicker picker("Form3", &target, [](QWidget *, const QString &, const QString &) {}, nullptr);
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    auto *folders = child<forms::DirListBox>(&picker, QStringLiteral("Dir1"));
    folders->setFocus();
    for (int level = 0; level < 2; ++level) { // down to the first subfolder, and into it
        QTest::keyClick(folders, Qt::Key_Down);
        QTest::keyClick(folders, Qt::Key_Return);
    }
    QCOMPARE(QDir(folders->path()).canonicalPath(), QDir(dir.filePath(QStringLiteral("start/inner/deeper"))).canonicalPath());
    QTest::keyClick(folders, Qt::Key_Tab); // Dir1, then OK in this picker's order
    QCOMPARE(QApplication::focusWidget(), child(&picker, QStringLiteral("Command1")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(target.text(), folders->path() + QDir::separator());
    QVERIFY(!picker.isVisible());
}

void TestDialogs::aboutBox()
{
    Fixture f;
    int seen = 0;
    for (int round = 0; round < 2; ++round) { // afresh each time, owned by no window
        onNextModal(f.window.get(), [&](QWidget *about) {
            seen += !about->parentWidget() && about->windowModality() == Qt::ApplicationModal;
            QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Label6"))->text(), QStringLiteral("Help: see readme.txt (Help > Readme)"));
            button(about, "Command1")->click();
        });
        f.window->showAbout();
    }
    QCOMPARE(seen, 2);
}

void TestDialogs::readmeReachesTheUser()
{
    Fixture f;
    app::MainWindow &w = *f.window;
    auto viewers = [&] { return w.findChildren<QPlainTextEdit *>(QStringLiteral("readmeViewer")); };
    const QString readme = QDir(f.app()).absoluteFilePath(QStringLiteral("readme.txt"));
    const bool notepad = !platform::findOnPath(QStringLiteral("notepad")).isEmpty();
    if (!notepad) { // a missing file is said as such, naming it
        w.showReadme();
        QVERIFY(f.recorder.messages.value(0).text.contains(QStringLiteral("missing.\n\n") + QDir::toNativeSeparators(readme)));
    }
    writeFile(readme, "HELP TEXT\n");
    w.showReadme();
    w.showReadme(); // every choice starts another
    QCOMPARE(f.recorder.starts.size(), 2);
    const StartCall call = f.recorder.starts[0];
    QCOMPARE(QDir(call.workingFolder).canonicalPath(), QDir(f.app()).canonicalPath());
    QCOMPARE(call.program + QLatin1Char(' ') + call.arguments.join(QLatin1Char(' ')),
             notepad ? QStringLiteral("notepad readme.txt") : QStringLiteral("xdg-open ") + readme);
    if (notepad)
        QSKIP("a notepad exists here, which is always used: the desktop's opener and the fallback viewer are not");
    QVERIFY(viewers().isEmpty());
    call.watch.onExit({1, 0, 100}); // the opener ended with a failure: our own viewer shows the text
    QCOMPARE(viewers().size(), 1);
    QPlainTextEdit *viewer = viewers().front();
    QCOMPARE(viewer->windowTitle() + viewer->toPlainText(), QStringLiteral("readme.txt - QuorvaneHELP TEXT\n"));
    QVERIFY(viewer->isReadOnly() && viewer->isVisible() && viewer->windowModality() == Qt::NonModal);
    QVERIFY(QFontInfo(viewer->font()).fixedPitch());
    f.recorder.startSucceeds = false; // the opener cannot start: the viewer again, nothing said
    w.showReadme();
    QVERIFY(viewers().size() == 2 && f.recorder.messages.size() == 1);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
