#include "dialogs/folderpicker.h"
#include "dialogs/romfoldersdialog.h"
#include "forms/dirlistbox.h"
#include "platform/drives.h"
#include "platform/process.h"
#include "testutil.h"

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
    // Save writes, points every list again and closes; a failed Save keeps the dialog, what was
    // typed and the file.
    void saveWritesOrKeepsEverything()
    {
        Fixture f;
        app::MainWindow &w = *f.window;
        writeFile(f.rom(0) + u"added.nes"_s, "x"); // listed once the list is pointed again
        auto save = [&](const char *name, const QString &text) {
            bool stayedOpen = false;
            f.inDirectories([&](QWidget *dialog) {
                field(dialog, "Text2")->setText(f.rom(1));
                field(dialog, name)->setText(text);
                button(dialog, "Command2")->click();
                stayedOpen = dialog->isVisible() && field(dialog, name)->text() == text;
                dialog->close();
            });
            return !stayedOpen;
        };
        const MainControls c(&w);
        QVERIFY(save("Text3", f.rom(3)));
        QCOMPARE(readAll(f.config()), configFor(f.rom(0), f.rom(1), f.rom(3)));
        QCOMPARE(c.counts(), (QStringList{"ROMs : 5", "ROMs : 1", "ROMs : 2"})); // all three pointed again
        QCOMPARE(f.window->romFolder(2)->listedFolder(), f.rom(3));
        QVERIFY(save("Text1", f.dir.filePath(u"gone/"_s))); // no such folder: saved, listed empty
        QCOMPARE(c.counts(), (QStringList{"ROMs : 0", "ROMs : 1", "ROMs : 2"}));

        const QByteArray before = readAll(f.config());
        QVERIFY(!save("Text3", u"/a\nb/"_s)); // pasted with a line break
        QVERIFY(f.recorder.messages.size() == 1 && f.recorder.messages[0].title == u"Save"_s);
        QVERIFY(f.recorder.messages[0].text.contains(QDir::toNativeSeparators(f.config())));
        QCOMPARE(readAll(f.config()), before);
        QCOMPARE(c.counts(), (QStringList{"ROMs : 0", "ROMs : 1", "ROMs : 2"}));
    }

    // Each browse button opens its own picker, whose OK fills its own field. Every opening starts on
    // Text1 with nothing selected, and closing without Save forgets the edits.
    void browseAndCloseWithoutSaving()
    {
        Fixture f;
        const QByteArray before = readAll(f.config());
        QDir::setCurrent(f.rom(3));
        const QString picked = QDir::toNativeSeparators(QDir::currentPath()) + QDir::separator();
        const char *browse[][2] = {{"Command1", "Form3"}, {"Command3", "Directories2"}, {"Command4", "Form4"}};
        for (int slot = 0; slot < 3; ++slot) {
            QStringList seen; // the focus on opening, the picker, the three fields after its OK
            bool selected = true;
            f.inDirectories([&](QWidget *dialog) {
                seen << QApplication::focusWidget()->objectName();
                selected = field(dialog, "Text1")->hasSelectedText();
                onNextModal(dialog, [&](QWidget *picker) {
                    seen << picker->objectName();
                    button(picker, "Command1")->click(); // "&OK" at once
                });
                button(dialog, browse[slot][0])->click();
                for (const char *name : {"Text1", "Text2", "Text3"})
                    seen << field(dialog, name)->text();
                dialog->close();
            });
            QStringList expected{"Text1", browse[slot][1], f.rom(0), f.rom(1), f.rom(2)};
            expected[slot + 2] = picked;
            QCOMPARE(seen, expected);
            QVERIFY(!selected);
        }
        QCOMPARE(readAll(f.config()), before);
        QCOMPARE(f.window->romFolder(0)->listedFolder(), f.rom(0));
    }

    // OK writes the folder opened (not one merely highlighted) and a separator; an unreadable folder
    // is refused with a message and the list stays. Each drive keeps its own folder, as on Windows.
    void pickerOpensFoldersAndDrives()
    {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath(u"a/b"_s));
        QDir::setCurrent(dir.filePath(u"a"_s));
        const auto leave = qScopeGuard([] { QDir::setCurrent(QDir::tempPath()); }); // Windows removes no current folder
        QLineEdit target;
        QList<Message> messages;
        dialogs::FolderPicker picker(2, &target, [&](QWidget *, const QString &t, const QString &x) { messages.append({t, x}); },
                                    nullptr);
        auto *folders = child<forms::DirListBox>(&picker, u"Dir1"_s);
        auto *drives = child<forms::DriveListBox>(&picker, u"Drive1"_s);
        const QString a = QDir::toNativeSeparators(QDir::currentPath());
        folders->setCurrentItem(folders->findItems(u"b"_s, Qt::MatchRecursive).value(0));
        picker.choose();
        QCOMPARE(target.text(), a + QDir::separator());
        QVERIFY(folders->setPath(QDir::rootPath()));
        picker.choose();
        QCOMPARE(target.text(), QDir::toNativeSeparators(QDir::rootPath()) + QDir::separator()); // "//"
        QVERIFY(folders->setPath(a));
        QDir(dir.filePath(u"a/b"_s)).removeRecursively(); // gone before it is opened
        emit folders->itemDoubleClicked(folders->findItems(u"b"_s, Qt::MatchRecursive).value(0), 0);
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

    // Arrows highlight, Enter opens, Tab reaches OK, Enter presses it: any folder, without a mouse.
    void pickerByKeyboardAlone()
    {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath(u"start/inner/deeper"_s));
        QDir::setCurrent(dir.filePath(u"start"_s));
        const auto leave = qScopeGuard([] { QDir::setCurrent(QDir::tempPath()); });
        QLineEdit target;
        dialogs::FolderPicker picker(0, &target, [](QWidget *, const QString &, const QString &) {}, nullptr);
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        auto *folders = child<forms::DirListBox>(&picker, u"Dir1"_s);
        folders->setFocus();
        for (int level = 0; level < 2; ++level) { // down to the first subfolder, and into it
            QTest::keyClick(folders, Qt::Key_Down);
            QTest::keyClick(folders, Qt::Key_Return);
        }
        QCOMPARE(QDir(folders->path()).canonicalPath(), QDir(dir.filePath(u"start/inner/deeper"_s)).canonicalPath());
        QTest::keyClick(folders, Qt::Key_Tab); // Dir1, then OK in this picker's order
        QCOMPARE(QApplication::focusWidget(), child(&picker, u"Command1"_s));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(target.text(), folders->path() + QDir::separator());
        QVERIFY(!picker.isVisible());
    }

    // A portable setup keeps a folder inside the program's folder relative to it; any other folder,
    // and every folder of a setup that is not portable, is stored whole.
    void pickedFoldersOfAPortableSetup()
    {
        const QString app = QDir::toNativeSeparators(QDir::tempPath() + u"/emu"_s);
        const QString sep = QDir::separator();
        QCOMPARE(dialogs::pickedFolderText(app + sep + u"roms"_s, app), u"roms"_s + sep);
        QCOMPARE(dialogs::pickedFolderText(app + sep + u"a"_s + sep + u"b"_s, app),
                 u"a"_s + sep + u"b"_s + sep);
        QCOMPARE(dialogs::pickedFolderText(app, app), u"."_s + sep);
        QCOMPARE(dialogs::pickedFolderText(QDir::tempPath() + u"/other"_s, app),
                 QDir::toNativeSeparators(QDir::tempPath() + u"/other"_s) + sep);
        QCOMPARE(dialogs::pickedFolderText(app + sep + u"roms"_s), app + sep + u"roms"_s + sep);
    }

    void aboutBox()
    {
        Fixture f;
        int seen = 0;
        for (int round = 0; round < 2; ++round) { // afresh each time, owned by no window
            onNextModal(f.window.get(), [&](QWidget *about) {
                seen += !about->parentWidget() && about->windowModality() == Qt::ApplicationModal;
                button(about, "Command1")->click();
            });
            f.window->showAbout();
        }
        QCOMPARE(seen, 2);
    }

    void readmeReachesTheUser()
    {
        Fixture f;
        app::MainWindow &w = *f.window;
        auto viewers = [&] { return w.findChildren<QPlainTextEdit *>(u"readmeViewer"_s); };
        const QString readme = QDir(f.app()).absoluteFilePath(u"readme.txt"_s);
        const bool notepad = !platform::findOnPath(u"notepad"_s).isEmpty();
        if (!notepad) { // a missing file is reported as such, naming it
            w.showReadme();
            QVERIFY(f.recorder.messages.value(0).text.contains(u"missing.\n\n"_s + QDir::toNativeSeparators(readme)));
        }
        writeFile(readme, "HELP TEXT\n");
        w.showReadme();
        w.showReadme(); // every choice starts another
        QCOMPARE(f.recorder.starts.size(), 2);
        const StartCall call = f.recorder.starts[0];
        QCOMPARE(QDir(call.workingFolder).canonicalPath(), QDir(f.app()).canonicalPath());
        QCOMPARE(call.program, notepad ? u"notepad"_s : u"xdg-open"_s);
        QCOMPARE(call.arguments, QStringList{notepad ? u"readme.txt"_s : readme});
        if (notepad)
            QSKIP("a notepad exists here, which is always used: the desktop's opener and the fallback viewer are not");
        QVERIFY(viewers().isEmpty());
        call.watch.onExit({1, 0, 100}); // the opener ended with a failure: our own viewer shows the text
        QCOMPARE(viewers().size(), 1);
        QPlainTextEdit *viewer = viewers().front();
        QCOMPARE(viewer->windowTitle(), u"readme.txt - Quorvane"_s);
        QCOMPARE(viewer->toPlainText(), u"HELP TEXT\n"_s);
        QVERIFY(viewer->isReadOnly() && viewer->isVisible() && viewer->windowModality() == Qt::NonModal);
        QVERIFY(QFontInfo(viewer->font()).fixedPitch());
        *f.recorder.startSucceeds = false; // the opener cannot start: the viewer again, no message
        w.showReadme();
        QVERIFY(viewers().size() == 2 && f.recorder.messages.size() == 1);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
