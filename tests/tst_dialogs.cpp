#include "config/romfoldersdialog.h"
#include "config/folderpicker.h"
#include "config/romfolders.h"
#include "forms/dirlistbox.h"
#include "forms/filelistbox.h"
#include "help/aboutbox.h"
#include "help/readme.h"
#include "platform/drives.h"
#include "platform/process.h"
#include "testutil.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace testutil;

namespace {

// ROM folders 1 to 4 holding 1 to 4 ROMs; the file names the first three.
struct Fixture : Layout {
    Fixture()
    {
        QDir().mkpath(app());
        for (int n = 1; n <= 4; ++n) {
            for (int i = 0; i < n; ++i)
                writeFile(rom(n) + QStringLiteral("game%1.nes").arg(i), "x");
        }
        writeFile(config(), configFor(rom(1), rom(2), rom(3)));
        window = loaded();
        window->show();
    }
    // Opens Options > Directories and lets act work in the dialog, which it must close.
    void inDirectories(const std::function<void(QWidget *)> &act)
    {
        onNextModal(window.get(), act);
        window->mnuoptionsdir_Click();
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
    void saveWritesRepointsAndCloses();
    void opensOnText1AndTheCloseBoxForgets();
    void failedSaveKeepsTheDialogAndTheFile();
    void browseButtonsOpenTheirOwnPickers_data();
    void browseButtonsOpenTheirOwnPickers();
    void pickerWritesTheOpenedFolder();
    void eachDriveKeepsItsFolder();
    void aboutBox();
    void readmeReachesTheUser();
};

void TestDialogs::saveWritesRepointsAndCloses()
{
    Fixture f;
    app::MainWindow &w = *f.window;
    writeFile(f.rom(1) + QStringLiteral("added.nes"), "x"); // listed once the list is pointed again
    f.inDirectories([&](QWidget *dialog) {
        QCOMPARE(field(dialog, "Text3")->text(), f.rom(3)); // shows what the file held
        field(dialog, "Text3")->setText(f.rom(4));
        button(dialog, "Command2")->click();
    });
    QVERIFY(!w.romFoldersDialog()->isVisible());
    QCOMPARE(readAll(f.config()), configFor(f.rom(1), f.rom(2), f.rom(4)));
    QCOMPARE(w.countLabel(1)->text(), QStringLiteral("ROMs : 2")); // all three pointed again
    QCOMPARE(w.countLabel(2)->text(), QStringLiteral("ROMs : 2"));
    QCOMPARE(w.countLabel(3)->text(), QStringLiteral("ROMs : 4")); // Label6 follows File3
    QCOMPARE(w.romFoldersDialog()->folder(3), f.rom(4));                // read back from the file

    // A field naming no folder: saved all the same; its list is empty.
    f.inDirectories([&](QWidget *dialog) {
        field(dialog, "Text1")->setText(f.dir.filePath(QStringLiteral("gone/")));
        button(dialog, "Command2")->click();
    });
    QCOMPARE(w.countLabel(1)->text(), QStringLiteral("ROMs : 0"));
    QCOMPARE(config::ReadRomFolders(f.config()).at(0), f.dir.filePath(QStringLiteral("gone/")));
}

// Every opening starts on Text1 with nothing selected; the close box forgets the edits.
void TestDialogs::opensOnText1AndTheCloseBoxForgets()
{
    Fixture f;
    const QByteArray before = readAll(f.config());
    for (int round = 0; round < 2; ++round) {
        QString focus;
        bool selected = true;
        f.inDirectories([&](QWidget *dialog) {
            focus = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
            selected = field(dialog, "Text1")->hasSelectedText();
            field(dialog, "Text1")->setText(f.rom(4));
            for (int tab = 0; tab < 3; ++tab) // to Text2, all its text selected
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
            dialog->close();
        });
        QCOMPARE(focus, QStringLiteral("Text1"));
        QVERIFY(!selected);
    }
    QCOMPARE(readAll(f.config()), before);
    QCOMPARE(f.window->romFoldersDialog()->folder(1), f.rom(1));
    QCOMPARE(f.window->fileList(1)->path(), f.rom(1));
}

void TestDialogs::failedSaveKeepsTheDialogAndTheFile()
{
    Fixture f;
    const QByteArray before = readAll(f.config());
    bool stayedOpen = false;
    auto failingSave = [&](const char *name, const QString &text) {
        f.inDirectories([&](QWidget *dialog) {
            field(dialog, "Text2")->setText(f.rom(4));
            field(dialog, name)->setText(text);
            button(dialog, "Command2")->click();
            stayedOpen = dialog->isVisible() && field(dialog, "Text2")->text() == f.rom(4);
            dialog->close();
        });
    };
    failingSave("Text3", QStringLiteral("/a\nb/")); // pasted with a line break
    QVERIFY(stayedOpen);
    QCOMPARE(f.recorder.messages.size(), 1);
    QVERIFY(f.recorder.messages[0].text.contains(QDir::toNativeSeparators(f.config())));
    QCOMPARE(readAll(f.config()), before);
    QCOMPARE(f.window->fileList(2)->path(), f.rom(2)); // nothing pointed again

    QFile::remove(f.config()); // a folder in the file's place: no regular file to save into
    QDir().mkpath(f.config());
    stayedOpen = false;
    failingSave("Text1", f.rom(4));
    QVERIFY(stayedOpen);
    QCOMPARE(f.recorder.messages.value(1).title, QStringLiteral("Save"));
    QVERIFY(f.recorder.messages.value(1).text.contains(QLatin1String("not a regular file")));
    QCOMPARE(f.window->countLabel(2)->text(), QStringLiteral("ROMs : 2"));
}

void TestDialogs::browseButtonsOpenTheirOwnPickers_data()
{
    QTest::addColumn<QString>("browse");
    QTest::addColumn<QString>("picker");
    QTest::addColumn<int>("slot");
    QTest::newRow("Command1") << "Command1" << "Form3" << 1;
    QTest::newRow("Command3") << "Command3" << "Directories2" << 2;
    QTest::newRow("Command4") << "Command4" << "Form4" << 3;
}

void TestDialogs::browseButtonsOpenTheirOwnPickers()
{
    QFETCH(QString, browse);
    QFETCH(QString, picker);
    QFETCH(int, slot);
    Fixture f;
    QDir::setCurrent(f.rom(4));
    QString pickerName;
    QStringList fields;
    f.inDirectories([&](QWidget *dialog) {
        onNextModal(dialog, [&](QWidget *pickerWindow) {
            pickerName = pickerWindow->objectName();
            button(pickerWindow, "Command1")->click(); // "&OK" at once
        });
        button(dialog, qPrintable(browse))->click();
        for (const char *name : {"Text1", "Text2", "Text3"})
            fields.append(field(dialog, name)->text());
        dialog->close();
    });
    QCOMPARE(pickerName, picker);
    QStringList expected{f.rom(1), f.rom(2), f.rom(3)};
    expected[slot - 1] = QDir::toNativeSeparators(QDir::currentPath()) + QDir::separator();
    QCOMPARE(fields, expected);
    QCOMPARE(readAll(f.config()), configFor(f.rom(1), f.rom(2), f.rom(3))); // nothing saved without Save
}

// OK writes the folder opened (not one merely highlighted) and a separator; an unreadable folder
// is refused with a message and the list stays.
void TestDialogs::pickerWritesTheOpenedFolder()
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("a/b")));
    QDir::setCurrent(dir.filePath(QStringLiteral("a")));
    QLineEdit target;
    QList<Message> messages;
    config::FolderPicker picker("Form4", &target, [&](QWidget *, const QString &t, const QString &x) { messages.append({t, x}); },
                                nullptr);
    const QString a = QDir::toNativeSeparators(QDir::currentPath());
    picker.dir1()->setCurrentItem(picker.dir1()->findItems(QStringLiteral("b"), Qt::MatchRecursive).value(0));
    picker.Command1_Click();
    QCOMPARE(target.text(), a + QDir::separator());
    QVERIFY(picker.dir1()->setPath(QDir::rootPath()));
    picker.Command1_Click();
    QCOMPARE(target.text(), QDir::toNativeSeparators(QDir::rootPath()) + QDir::separator()); // "//"

    QVERIFY(picker.dir1()->setPath(a));
    QDir(dir.filePath(QStringLiteral("a/b"))).removeRecursively(); // gone before it is opened
    emit picker.dir1()->itemDoubleClicked(picker.dir1()->findItems(QStringLiteral("b"), Qt::MatchRecursive).value(0), 0);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(picker.dir1()->path(), a);
    // Picking the drive already chosen keeps the folder the user had opened.
    emit picker.drive1()->activated(picker.drive1()->currentIndex());
    QCOMPARE(picker.dir1()->path(), a);
}

// Leaving a drive and coming back opens the folder that was open there, as on Windows.
void TestDialogs::eachDriveKeepsItsFolder()
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString here = platform::driveOf(dir.path());
    const QStringList drives = platform::drives();
    const auto other = std::find_if(drives.begin(), drives.end(), [&](const QString &d) {
        return d != here && !QDir(d).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty();
    });
    if (other == drives.end())
        QSKIP("this machine has one drive with folders");
    QLineEdit target;
    config::FolderPicker picker("Form3", &target, [](QWidget *, const QString &, const QString &) {}, nullptr);
    auto pick = [&](const QString &drive) {
        emit picker.drive1()->activated(picker.drive1()->findText(drive)); // as a user's pick
        return QDir::fromNativeSeparators(picker.dir1()->path());
    };
    QCOMPARE(platform::driveOf(pick(*other)), *other);
    const QString there = QDir(*other).absoluteFilePath(QDir(*other).entryList(QDir::Dirs | QDir::NoDotAndDotDot).front());
    QVERIFY(picker.dir1()->setPath(there));
    QCOMPARE(QDir(pick(here)), QDir(dir.path()));
    QCOMPARE(pick(*other), there);
    QDir::setCurrent(QDir::tempPath());
}

void TestDialogs::aboutBox()
{
    Fixture f;
    QList<QObject *> seen;
    for (int round = 0; round < 2; ++round) { // afresh each time, owned by no window
        onNextModal(f.window.get(), [&](QWidget *about) {
            seen.append(about);
            QVERIFY(!about->parentWidget());
            QCOMPARE(about->windowModality(), Qt::ApplicationModal);
            QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Label6"))->text(), QStringLiteral("Help: see readme.txt (Help > Readme)"));
            button(about, "Command1")->click();
        });
        f.window->mnuhelpabout_Click();
    }
    QCOMPARE(seen.size(), 2);
}

void TestDialogs::readmeReachesTheUser()
{
    Fixture f;
    app::MainWindow &w = *f.window;
    auto viewers = [&] { return w.findChildren<QPlainTextEdit *>(QStringLiteral("readmeViewer")); };
    const QString readme = QDir(f.app()).absoluteFilePath(QStringLiteral("readme.txt"));
    const bool notepad = !platform::findOnPath(QStringLiteral("notepad")).isEmpty();
    if (!notepad) { // a missing file is said as such, naming it
        w.mnuhelpreadme_Click();
        QCOMPARE(f.recorder.messages.size(), 1);
        QVERIFY(f.recorder.messages[0].text.contains(QLatin1String("missing"))
                && f.recorder.messages[0].text.contains(QDir::toNativeSeparators(readme)));
    }
    writeFile(readme, "HELP TEXT\n");
    w.mnuhelpreadme_Click();
    w.mnuhelpreadme_Click(); // every choice starts another
    QCOMPARE(f.recorder.starts.size(), 2);
    const StartCall call = f.recorder.starts[0];
    QCOMPARE(QDir(call.workingFolder).canonicalPath(), QDir(f.app()).canonicalPath());
    QCOMPARE(call.arguments, notepad ? QStringList{"readme.txt"} : QStringList{readme});
    if (notepad)
        return;
    QCOMPARE(call.program, QStringLiteral("xdg-open"));
    QVERIFY(viewers().isEmpty());
    call.onFailure(1); // the opener ended with a failure: our own viewer shows the text
    QCOMPARE(viewers().size(), 1);
    QPlainTextEdit *viewer = viewers().front();
    QCOMPARE(viewer->windowTitle(), QStringLiteral("readme.txt - Quorvane"));
    QVERIFY(viewer->isReadOnly() && viewer->isVisible() && viewer->windowModality() == Qt::NonModal);
    QCOMPARE(viewer->toPlainText(), QStringLiteral("HELP TEXT\n"));
    QVERIFY(QFontInfo(viewer->font()).fixedPitch());
    QCOMPARE(viewer->size(), QSize(640, 480));
    f.recorder.startSucceeds = false; // the opener cannot start: the viewer again
    w.mnuhelpreadme_Click();
    QCOMPARE(viewers().size(), 2);
    QCOMPARE(f.recorder.messages.size(), 1);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
