#include "config/romfoldersdialog.h"
#include "config/folderpicker.h"
#include "config/romfolders.h"
#include "forms/dirlistbox.h"
#include "forms/filelistbox.h"
#include "help/aboutbox.h"
#include "help/readme.h"
#include "platform/drives.h"
#include "testutil.h"

#include <QLabel>
#include <QLineEdit>
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
    QByteArray configFor(const QString &a, const QString &b, const QString &c) const
    {
        return "[Quorvane v1.0b Config File]\r\nRoms=" + a.toUtf8() + "\r\nRoms2=" + b.toUtf8() + "\r\nRoms3=" + c.toUtf8() + "\r\n";
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
    void closingDiscardsUnsavedEdits();
    void failedSaveKeepsTheDialogAndTheFile();
    void browseButtonsOpenTheirOwnPickers_data();
    void browseButtonsOpenTheirOwnPickers();
    void pickerWritesTheCurrentFolderAndASeparator();
    void pickerStartsAfreshAndRefusesUnreadableFolders();
    void aboutAndReadme();
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
    QCOMPARE(readAll(f.config()), f.configFor(f.rom(1), f.rom(2), f.rom(4)));
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

void TestDialogs::closingDiscardsUnsavedEdits()
{
    Fixture f;
    const QByteArray before = readAll(f.config());
    f.inDirectories([&](QWidget *dialog) {
        field(dialog, "Text1")->setText(f.rom(4));
        dialog->close(); // the close box
    });
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
    QVERIFY(f.recorder.messages[0].text.contains(f.config()));
    QCOMPARE(readAll(f.config()), before);
    QCOMPARE(f.window->fileList(2)->path(), f.rom(2)); // nothing pointed again

    QDir(QFileInfo(f.config()).absolutePath()).removeRecursively(); // no folder to save into
    stayedOpen = false;
    failingSave("Text1", f.rom(4));
    QVERIFY(stayedOpen);
    QCOMPARE(f.recorder.messages.size(), 2);
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
    QCOMPARE(readAll(f.config()), f.configFor(f.rom(1), f.rom(2), f.rom(3))); // nothing saved without Save
}

void TestDialogs::pickerWritesTheCurrentFolderAndASeparator()
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("a/b")));
    QDir::setCurrent(dir.filePath(QStringLiteral("a")));
    QLineEdit target;
    config::FolderPicker picker("Form4", &target, forms::Notifier(), nullptr);
    // Highlighting a subfolder does not make it current; opening it does.
    picker.dir1()->setCurrentItem(picker.dir1()->findItems(QStringLiteral("b"), Qt::MatchRecursive).value(0));
    picker.Command1_Click();
    QCOMPARE(target.text(), QDir::toNativeSeparators(QDir::currentPath()) + QDir::separator());
    QVERIFY(picker.dir1()->setPath(QDir::current().filePath(QStringLiteral("b"))));
    picker.Command1_Click();
    QCOMPARE(target.text(), QDir::toNativeSeparators(QDir::current().filePath(QStringLiteral("b"))) + QDir::separator());
    QVERIFY(picker.dir1()->setPath(QDir::rootPath()));
    picker.Command1_Click();
    QCOMPARE(target.text(), QDir::toNativeSeparators(QDir::rootPath()) + QDir::separator()); // "//"
}

void TestDialogs::pickerStartsAfreshAndRefusesUnreadableFolders()
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("brief")));
    QDir::setCurrent(dir.path());
    QLineEdit target(QStringLiteral("/kept/"));
    QList<Message> messages;
    auto notify = [&](QWidget *, const QString &title, const QString &text) { messages.append({title, text}); };
    {
        config::FolderPicker picker("Form3", &target, notify, nullptr);
        picker.show();
        QVERIFY(!picker.dir1()->setPath(dir.filePath(QStringLiteral("missing"))));
        QCOMPARE(QDir(picker.dir1()->path()).canonicalPath(), QDir(dir.path()).canonicalPath()); // stays
        QDir(dir.filePath(QStringLiteral("brief"))).removeRecursively(); // gone before it is opened
        emit picker.dir1()->itemDoubleClicked(picker.dir1()->findItems(QStringLiteral("brief"), Qt::MatchRecursive).value(0), 0);
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].text.contains(QLatin1String("brief")));
        picker.close(); // the close box writes nothing
    }
    QCOMPARE(target.text(), QStringLiteral("/kept/"));
    config::FolderPicker again("Form3", &target, notify, nullptr);
    QCOMPARE(QDir(again.dir1()->path()).canonicalPath(), QDir(dir.path()).canonicalPath());
    QCOMPARE(again.drive1()->drive(), platform::driveOf(QDir::currentPath()));
}

void TestDialogs::aboutAndReadme()
{
    Fixture f;
    app::MainWindow &w = *f.window;
    QList<QObject *> seen;
    for (int round = 0; round < 2; ++round) { // afresh each time
        onNextModal(&w, [&](QWidget *about) {
            seen.append(about);
            QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Label3"))->text(), QStringLiteral("Quorvane"));
            QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Label4"))->text(), QStringLiteral("v1.0b"));
            button(about, "Command1")->click();
        });
        w.mnuhelpabout_Click();
    }
    QCOMPARE(seen.size(), 2);
    QVERIFY(w.findChildren<help::AboutBox *>().isEmpty()); // closed and gone

    w.mnuhelpreadme_Click();
    w.mnuhelpreadme_Click(); // every choice starts another editor
    QCOMPARE(f.recorder.starts.size(), 2);
    const StartCall &call = f.recorder.starts[0];
    QCOMPARE(QDir(call.workingFolder).canonicalPath(), QDir(f.app()).canonicalPath());
    const QStringList expected = call.program == QLatin1String("notepad")
        ? QStringList{"readme.txt"} : QStringList{QDir(f.app()).absoluteFilePath(QStringLiteral("readme.txt"))};
    QCOMPARE(call.arguments, expected);
    f.recorder.startSucceeds = false;
    w.mnuhelpreadme_Click();
    QCOMPARE(f.recorder.messages.size(), 1);
    QVERIFY(f.recorder.messages[0].text.contains(help::readmeCommand().display()));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
