#include "app/form1.h"
#include "config/directories.h"
#include "config/folderpicker.h"
#include "config/romfolders.h"
#include "platform/drives.h"
#include "forms/dirlistbox.h"
#include "forms/filelistbox.h"
#include "help/about.h"
#include "help/readme.h"
#include "testutil.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace testutil;

namespace {

struct Fixture : Layout {
    QByteArray configFor(const QString &a, const QString &b, const QString &c) const
    {
        return "[Quorvane v1.0b Config File]\r\nRoms=" + a.toUtf8() + "\r\nRoms2=" + b.toUtf8() + "\r\nRoms3="
            + c.toUtf8() + "\r\n";
    }

    Fixture()
    {
        QDir().mkpath(app());
        for (int n = 1; n <= 4; ++n) {
            QDir().mkpath(rom(n));
            for (int i = 0; i < n; ++i)
                writeFile(rom(n) + QStringLiteral("game%1.nes").arg(i), "x");
        }
        writeFile(config(), configFor(rom(1), rom(2), rom(3)));
    }

    std::unique_ptr<app::Form1> shown()
    {
        auto window = loaded();
        window->show();
        return window;
    }
};

QPushButton *button(QWidget *form, const char *name)
{
    return form->findChild<QPushButton *>(QLatin1String(name));
}

QLineEdit *field(QWidget *form, const char *name) { return form->findChild<QLineEdit *>(QLatin1String(name)); }

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void saveWritesRepointsAndCloses();
    void saveWithoutChangeRereadsEverything();
    void closingDiscardsUnsavedEdits();
    void failedSaveKeepsTheDialogAndTheFile();
    void missingFolderAtSaveGivesAnEmptyList();
    void browseButtonsOpenTheirOwnPickers_data();
    void browseButtonsOpenTheirOwnPickers();
    void pickerWritesTheCurrentFolderAndASeparator();
    void pickerCloseBoxWritesNothingAndStartsAfresh();
    void pickerRefusesUnreadableFolders();
    void aboutShowsAndClosesAfreshEachTime();
    void readmeStartsTheEditorFromTheApplicationFolder();
};

void TestDialogs::saveWritesRepointsAndCloses()
{
    Fixture f;
    const auto w = f.shown();
    const QString before5 = w->countLabel(2)->text();
    bool seen = false;
    onNextModal(w.get(), [&](QWidget *dialog) {
        seen = dialog == w->directories();
        QCOMPARE(field(dialog, "Text3")->text(), f.rom(3)); // shows what the file held
        field(dialog, "Text3")->setText(f.rom(4));
        button(dialog, "Command2")->click();
    });
    w->mnuoptionsdir_Click();
    QVERIFY(seen);
    QVERIFY(!w->directories()->isVisible());
    QCOMPARE(readAll(f.config()), f.configFor(f.rom(1), f.rom(2), f.rom(4)));
    QCOMPARE(w->fileList(3)->path(), f.rom(4));
    QCOMPARE(w->countLabel(3)->text(), QStringLiteral("ROMs : 4")); // Label6 follows File3 ...
    QCOMPARE(w->countLabel(2)->text(), before5);                     // ... and Label5 stays
    QCOMPARE(w->directories()->folder(3), f.rom(4));                 // read back from the file

    // A launch after Save uses the saved folder of its slot.
    writeFile(f.app() + QStringLiteral("/nesticle.exe"), "#!/bin/sh\n");
    QFile::setPermissions(f.app() + QStringLiteral("/nesticle.exe"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QVERIFY(w->fileList(3)->selectFile(QStringLiteral("game3.nes")));
    w->File3_DblClick();
    QCOMPARE(f.recorder.starts.size(), 1);
    QCOMPARE(f.recorder.starts[0].arguments.at(1), f.rom(4) + QStringLiteral("game3.nes"));
}

void TestDialogs::saveWithoutChangeRereadsEverything()
{
    Fixture f;
    writeFile(f.config(), "; hand-written\n[quorvane v1.0b config file]\nroms = " + f.rom(1).toUtf8() + "\n[Other]\nk=v\n");
    const auto w = f.shown();
    writeFile(f.rom(1) + QStringLiteral("added.nes"), "x"); // shown once the list is pointed again
    onNextModal(w.get(), [&](QWidget *dialog) { button(dialog, "Command2")->click(); });
    w->mnuoptionsdir_Click();
    QCOMPARE(readAll(f.config()), "; hand-written\n[quorvane v1.0b config file]\nroms = " + f.rom(1).toUtf8()
                                      + "\nRoms2=\r\nRoms3=\r\n[Other]\nk=v\n");
    QCOMPARE(w->countLabel(1)->text(), QStringLiteral("ROMs : 2"));
    QCOMPARE(w->countLabel(2)->text(), QStringLiteral("ROMs : 0"));
}

void TestDialogs::closingDiscardsUnsavedEdits()
{
    Fixture f;
    const auto w = f.shown();
    const QByteArray before = readAll(f.config());
    onNextModal(w.get(), [&](QWidget *dialog) {
        field(dialog, "Text1")->setText(f.rom(4));
        field(dialog, "Text2")->setText(QStringLiteral("typed"));
        dialog->close(); // the close box
    });
    w->mnuoptionsdir_Click();
    QCOMPARE(readAll(f.config()), before);
    QCOMPARE(w->directories()->folder(1), f.rom(1));
    QCOMPARE(w->directories()->folder(2), f.rom(2));
    QCOMPARE(w->fileList(1)->path(), f.rom(1));
    QCOMPARE(w->countLabel(1)->text(), QStringLiteral("ROMs : 1"));
}

void TestDialogs::failedSaveKeepsTheDialogAndTheFile()
{
    Fixture f;
    const auto w = f.shown();
    const QByteArray before = readAll(f.config());
    bool stayedOpen = false;
    onNextModal(w.get(), [&](QWidget *dialog) {
        field(dialog, "Text2")->setText(f.rom(4));
        field(dialog, "Text3")->setText(QStringLiteral("/a\nb/")); // pasted with a line break
        button(dialog, "Command2")->click();
        stayedOpen = dialog->isVisible() && field(dialog, "Text2")->text() == f.rom(4);
        dialog->close();
    });
    w->mnuoptionsdir_Click();
    QVERIFY(stayedOpen);
    QCOMPARE(f.recorder.messages.size(), 1);
    QVERIFY(f.recorder.messages[0].text.contains(f.config()));
    QCOMPARE(readAll(f.config()), before);
    QCOMPARE(w->fileList(2)->path(), f.rom(2)); // nothing re-pointed
    QCOMPARE(w->countLabel(2)->text(), QStringLiteral("ROMs : 2"));

    // The configuration folder gone: the reason names the file, the old lists stay.
    QDir(QFileInfo(f.config()).absolutePath()).removeRecursively();
    onNextModal(w.get(), [&](QWidget *dialog) {
        field(dialog, "Text1")->setText(f.rom(4));
        button(dialog, "Command2")->click();
        stayedOpen = dialog->isVisible();
        dialog->close();
    });
    w->mnuoptionsdir_Click();
    QVERIFY(stayedOpen);
    QCOMPARE(f.recorder.messages.size(), 2);
    QCOMPARE(w->fileList(1)->path(), f.rom(1));
}

void TestDialogs::missingFolderAtSaveGivesAnEmptyList()
{
    Fixture f;
    const auto w = f.shown();
    onNextModal(w.get(), [&](QWidget *dialog) {
        field(dialog, "Text1")->setText(f.dir.filePath(QStringLiteral("gone/")));
        button(dialog, "Command2")->click();
    });
    w->mnuoptionsdir_Click();
    QCOMPARE(w->countLabel(1)->text(), QStringLiteral("ROMs : 0"));
    QCOMPARE(config::ReadRomFolders(f.config()).at(0), f.dir.filePath(QStringLiteral("gone/")));
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
    const auto w = f.shown();
    QDir::setCurrent(f.rom(4));
    QString pickerName;
    QStringList fieldsWhileOpen;
    onNextModal(w.get(), [&](QWidget *dialog) {
        onNextModal(dialog, [&](QWidget *pickerWindow) {
            pickerName = pickerWindow->objectName();
            button(pickerWindow, "Command1")->click(); // &OK at once
        });
        button(dialog, qPrintable(browse))->click();
        for (const char *name : {"Text1", "Text2", "Text3"})
            fieldsWhileOpen.append(field(dialog, name)->text());
        dialog->close();
    });
    w->mnuoptionsdir_Click();
    QCOMPARE(pickerName, picker);
    QStringList expected{f.rom(1), f.rom(2), f.rom(3)};
    expected[slot - 1] = QDir::toNativeSeparators(QDir::currentPath()) + QDir::separator();
    QCOMPARE(fieldsWhileOpen, expected);
    QCOMPARE(readAll(f.config()), f.configFor(f.rom(1), f.rom(2), f.rom(3))); // nothing saved without Save
}

void TestDialogs::pickerWritesTheCurrentFolderAndASeparator()
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("a/b")));
    QDir::setCurrent(dir.filePath(QStringLiteral("a")));
    QLineEdit target;
    {
        config::FolderPicker picker("Form3", &target, forms::Notifier(), nullptr);
        QCOMPARE(QDir(picker.dir1()->path()).canonicalPath(), QDir::current().canonicalPath());
        // Highlighting a subfolder does not make it current; OK takes the current one.
        picker.dir1()->setCurrentItem(picker.dir1()->topLevelItem(0));
        picker.Command1_Click();
        QCOMPARE(target.text(), QDir::toNativeSeparators(QDir::currentPath()) + QDir::separator());
    }
    {
        config::FolderPicker picker("Form4", &target, forms::Notifier(), nullptr);
        QVERIFY(picker.dir1()->entryPaths().contains(QDir::current().filePath(QStringLiteral("b"))));
        QVERIFY(picker.dir1()->setPath(QDir::current().filePath(QStringLiteral("b"))));
        picker.Command1_Click();
        QCOMPARE(target.text(), QDir::toNativeSeparators(QDir::current().filePath(QStringLiteral("b")))
                                    + QDir::separator());
    }
    {
        config::FolderPicker picker("Directories2", &target, forms::Notifier(), nullptr);
        QVERIFY(picker.dir1()->setPath(QDir::rootPath()));
        picker.Command1_Click();
        QCOMPARE(target.text(), QDir::toNativeSeparators(QDir::rootPath()) + QDir::separator()); // "//"
        QVERIFY(target.text().endsWith(QString(2, QDir::separator())));
    }
}

void TestDialogs::pickerCloseBoxWritesNothingAndStartsAfresh()
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("sub")));
    QDir::setCurrent(dir.path());
    QLineEdit target(QStringLiteral("/kept/"));
    {
        config::FolderPicker picker("Form3", &target, forms::Notifier(), nullptr);
        picker.show();
        QVERIFY(picker.dir1()->setPath(dir.filePath(QStringLiteral("sub"))));
        picker.close();
    }
    QCOMPARE(target.text(), QStringLiteral("/kept/"));
    config::FolderPicker again("Form3", &target, forms::Notifier(), nullptr);
    QCOMPARE(QDir(again.dir1()->path()).canonicalPath(), QDir(dir.path()).canonicalPath());
    // The drive list starts at the drive that holds the current folder.
    QCOMPARE(again.drive1()->drive(), platform::driveOf(QDir::currentPath()));
}

void TestDialogs::pickerRefusesUnreadableFolders()
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QLineEdit target(QStringLiteral("/kept/"));
    QList<Message> messages;
    config::FolderPicker picker("Form3", &target, [&](QWidget *, const QString &t, const QString &x) {
        messages.append({t, x});
    }, nullptr);
    QString reason;
    QVERIFY(!picker.dir1()->setPath(dir.filePath(QStringLiteral("missing")), &reason));
    QVERIFY(!reason.isEmpty());
    QCOMPARE(QDir(picker.dir1()->path()).canonicalPath(), QDir(dir.path()).canonicalPath()); // stays
    // Opening an entry that vanished meanwhile: one message, the list stays.
    QDir().mkpath(dir.filePath(QStringLiteral("brief")));
    QVERIFY(picker.dir1()->setPath(dir.path()));
    QDir(dir.filePath(QStringLiteral("brief"))).removeRecursively();
    QTreeWidgetItem *brief = picker.dir1()->findItems(QStringLiteral("brief"), Qt::MatchRecursive).value(0);
    QVERIFY(brief);
    emit picker.dir1()->itemDoubleClicked(brief, 0);
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].text.contains(QLatin1String("brief")));
    QCOMPARE(QDir(picker.dir1()->path()).canonicalPath(), QDir(dir.path()).canonicalPath());
    QCOMPARE(target.text(), QStringLiteral("/kept/"));
}

void TestDialogs::aboutShowsAndClosesAfreshEachTime()
{
    Fixture f;
    const auto w = f.shown();
    QList<QObject *> seen;
    for (int round = 0; round < 2; ++round) {
        onNextModal(w.get(), [&](QWidget *about) {
            seen.append(about);
            QCOMPARE(about->windowTitle(), QStringLiteral("About"));
            QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Label3"))->text(), QStringLiteral("Quorvane"));
            QCOMPARE(about->findChild<QLabel *>(QStringLiteral("Label4"))->text(), QStringLiteral("v1.0b"));
            QVERIFY(!w->isEnabled() || QApplication::activeModalWidget() == about);
            button(about, "Command1")->click();
        });
        w->mnuhelpabout_Click();
    }
    QCOMPARE(seen.size(), 2);
    QVERIFY(w->findChildren<help::Form2 *>().isEmpty()); // closed and destroyed each time
}

void TestDialogs::readmeStartsTheEditorFromTheApplicationFolder()
{
    Fixture f;
    const auto w = f.shown();
    w->mnuhelpreadme_Click();
    w->mnuhelpreadme_Click(); // every choice starts another
    QCOMPARE(f.recorder.starts.size(), 2);
    const StartCall &call = f.recorder.starts[0];
    QCOMPARE(QDir(call.workingFolder).canonicalPath(), QDir(f.app()).canonicalPath());
    const help::ReadmeCommand expected = help::readmeCommand();
    QCOMPARE(call.program, expected.program);
    QCOMPARE(call.arguments, expected.arguments);
    if (call.program == QLatin1String("notepad"))
        QCOMPARE(call.arguments, QStringList{"readme.txt"});
    else
        QCOMPARE(call.arguments, QStringList{QDir(f.app()).absoluteFilePath(QStringLiteral("readme.txt"))});
    QVERIFY(f.recorder.messages.isEmpty());

    f.recorder.startSucceeds = false;
    w->mnuhelpreadme_Click();
    QCOMPARE(f.recorder.messages.size(), 1);
    QVERIFY(f.recorder.messages[0].text.contains(expected.display()));
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
