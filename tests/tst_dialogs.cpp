#include "config/folderpicker.h"
#include "config/romfoldersdialog.h"
#include "forms/dirlistbox.h"
#include "forms/filelistbox.h"
#include "platform/drives.h"
#include "platform/process.h"
#include "testutil.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

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
    void saveWritesOrKeepsEverything();
    void browseAndCloseWithoutSaving();
    void pickerOpensFoldersAndDrives();
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
    auto counts = [&] { return w.countLabel(1)->text() + w.countLabel(2)->text() + w.countLabel(3)->text(); };
    QVERIFY(save("Text3", f.rom(4)));
    QCOMPARE(readAll(f.config()), configFor(f.rom(1), f.rom(2), f.rom(4)));
    QCOMPARE(counts(), QStringLiteral("ROMs : 5ROMs : 1ROMs : 2")); // all three pointed again
    QCOMPARE(w.romFoldersDialog()->folder(3), f.rom(4));             // read back from the file
    QVERIFY(save("Text1", f.dir.filePath(QStringLiteral("gone/")))); // no such folder: saved, listed empty
    QCOMPARE(counts(), QStringLiteral("ROMs : 0ROMs : 1ROMs : 2"));

    const QByteArray before = readAll(f.config());
    QVERIFY(!save("Text3", QStringLiteral("/a\nb/"))); // pasted with a line break
    QVERIFY(f.recorder.messages.size() == 1 && f.recorder.messages[0].title == QStringLiteral("Save"));
    QVERIFY(f.recorder.messages[0].text.contains(QDir::toNativeSeparators(f.config())));
    QCOMPARE(readAll(f.config()), before);
    QCOMPARE(counts(), QStringLiteral("ROMs : 0ROMs : 1ROMs : 2"));
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
    QVERIFY(f.window->romFoldersDialog()->folder(1) == f.rom(1) && f.window->fileList(1)->path() == f.rom(1));
}

// OK writes the folder opened (not one merely highlighted) and a separator; an unreadable folder
// is refused with a message and the list stays. Each drive keeps its own folder, as on Windows.
void TestDialogs::pickerOpensFoldersAndDrives()
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
    QVERIFY(messages.size() == 1 && picker.dir1()->path() == a);
    auto pick = [&](const QString &drive) { // as the user picks it
        emit picker.drive1()->activated(picker.drive1()->findData(drive));
        return QDir::fromNativeSeparators(picker.dir1()->path());
    };
    const QString here = platform::driveOf(a);
    QVERIFY(picker.dir1()->setPath(dir.path()));
    QCOMPARE(pick(here), QDir::fromNativeSeparators(dir.path())); // the drive already chosen: nothing changes

    const QStringList drives = platform::drives();
    const auto other = std::find_if(drives.begin(), drives.end(), [&](const QString &d) {
        return d != here && !QDir(d).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty();
    });
    if (other != drives.end()) { // C: and Z: under Wine; often one drive elsewhere
        QCOMPARE(platform::driveOf(pick(*other)), *other);
        const QString there = QDir(*other).absoluteFilePath(QDir(*other).entryList(QDir::Dirs | QDir::NoDotAndDotDot).front());
        QVERIFY(picker.dir1()->setPath(there));
        QCOMPARE(pick(here), QDir::fromNativeSeparators(a));
        QCOMPARE(pick(*other), there);
    }
    QDir::setCurrent(QDir::tempPath());
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
        f.window->mnuhelpabout_Click();
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
        w.mnuhelpreadme_Click();
        QVERIFY(f.recorder.messages.value(0).text.contains(QStringLiteral("missing.\n\n") + QDir::toNativeSeparators(readme)));
    }
    writeFile(readme, "HELP TEXT\n");
    w.mnuhelpreadme_Click();
    w.mnuhelpreadme_Click(); // every choice starts another
    QCOMPARE(f.recorder.starts.size(), 2);
    const StartCall call = f.recorder.starts[0];
    QCOMPARE(QDir(call.workingFolder).canonicalPath(), QDir(f.app()).canonicalPath());
    QCOMPARE(call.program + QLatin1Char(' ') + call.arguments.join(QLatin1Char(' ')),
             notepad ? QStringLiteral("notepad readme.txt") : QStringLiteral("xdg-open ") + readme);
    if (notepad)
        return;
    QVERIFY(viewers().isEmpty());
    call.onFailure(1); // the opener ended with a failure: our own viewer shows the text
    QCOMPARE(viewers().size(), 1);
    QPlainTextEdit *viewer = viewers().front();
    QCOMPARE(viewer->windowTitle() + viewer->toPlainText(), QStringLiteral("readme.txt - QuorvaneHELP TEXT\n"));
    QVERIFY(viewer->isReadOnly() && viewer->isVisible() && viewer->windowModality() == Qt::NonModal);
    QVERIFY(QFontInfo(viewer->font()).fixedPitch());
    f.recorder.startSucceeds = false; // the opener cannot start: the viewer again, nothing said
    w.mnuhelpreadme_Click();
    QVERIFY(viewers().size() == 2 && f.recorder.messages.size() == 1);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
