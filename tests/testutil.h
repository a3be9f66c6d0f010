#pragma once
// Shared by the tests: files, a recording context, a temporary layout, answering modal dialogs.

#include "app/mainwindow.h"
#include "config/romfolders.h"
#include "forms/formdefs.h"
#include "forms/controls.h"
#include "forms/filelistbox.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

// A heavy check runs in a test of its own, labelled "slow" ("ctest -LE slow" leaves it out); the
// program's ordinary run skips it, saying where it runs.
#define QUORVANE_HEAVY_TEST()                                                                       \
    do {                                                                                            \
        if (qEnvironmentVariableIsSet("QUORVANE_HEAVY_ELSEWHERE"))                                  \
            QSKIP("heavy: runs in this program's test labelled slow");                              \
    } while (false)

namespace testutil {

using namespace Qt::StringLiterals;

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), qPrintable(path));
}

// A file the system may run, such as a shell script standing in for the emulator.
inline void writeProgram(const QString &path, const QByteArray &bytes = "#!/bin/sh\n")
{
    writeFile(path, bytes);
    QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner));
}

// A picture of size, all of colour, saved as a PNG at path (its folders made).
inline void writePicture(const QString &path, QSize size, QColor colour)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, "PNG"));
}

// The files below folder, relative to it, sorted.
inline QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

inline QByteArray configFor(const QString &a, const QString &b, const QString &c)
{
    return "[Quorvane v1.0b Config File]\r\nRoms=" + a.toUtf8() + "\r\nRoms2=" + b.toUtf8() + "\r\nRoms3=" + c.toUtf8() + "\r\n";
}

// A window's control by its object name, as the form tables name it.
template <class Widget = QWidget>
Widget *child(const QObject *window, const QString &name)
{
    return window->findChild<Widget *>(name);
}

// The names a file list shows, in order.
inline QStringList entries(const forms::FileListBox *list)
{
    QStringList names;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        names.append(list->model()->index(row, 0).data(Qt::EditRole).toString());
    return names;
}

// The three folders the file holds (empty ones when it cannot be read).
inline QStringList foldersIn(const QString &configFile)
{
    QStringList folders;
    config::readRomFolders(configFile, &folders);
    return folders;
}

// The main window's controls, found by the names the form tables give them.
struct MainControls {
    explicit MainControls(const QWidget *window)
        : window(window), sound(child<forms::CheckBox>(window, u"Check1"_s)), resolution(child<forms::OptionList>(window, u"List1"_s)),
          controller(child<forms::OptionList>(window, u"List2"_s)), snapshot(child<forms::PictureBox>(window, u"Picture2"_s)),
          tabs(child<forms::TabControl>(window, u"SSTab1"_s))
    {
    }
    // Slot 0..2's list and count label.
    forms::FileListBox *list(int slot) const { return child<forms::FileListBox>(window, QLatin1String(slotControls(slot).fileList)); }
    QLabel *count(int slot) const { return child<QLabel>(window, QLatin1String(slotControls(slot).countLabel)); }
    QStringList counts() const { return {count(0)->text(), count(1)->text(), count(2)->text()}; }
    static const forms::SlotControls &slotControls(int slot) { return forms::kSlotControls.at(size_t(slot)); }

    const QWidget *window;
    forms::CheckBox *sound;
    forms::OptionList *resolution;
    forms::OptionList *controller;
    forms::PictureBox *snapshot;
    forms::TabControl *tabs;
};

struct StartCall : platform::Command {
    platform::ExitWatch watch;
};

struct Message {
    QString title;
    QString text;
};

// A context whose starter and notifier record what they are given instead of acting. A launch
// starts on a thread of its own: its start is recorded on the test's thread once the test's event
// loop runs (QTRY_COMPARE waits for it), and dropped once the recorder is gone.
struct Recorder {
    QList<StartCall> starts;
    QList<Message> messages;
    std::shared_ptr<std::atomic<bool>> startSucceeds = std::make_shared<std::atomic<bool>>(true);
    QObject receiver;

    app::AppContext context(const QString &applicationFolder, const QString &configFile)
    {
        app::AppContext c;
        c.applicationFolder = applicationFolder;
        c.configFiles = {configFile, {}};
        c.folderPatience = std::chrono::seconds(30); // the lists are filled when start-up returns
        // Emulators are looked for beside the program only: what this machine has installed
        // never starts from a test that does not ask for it.
        c.emulatorPlaces = launch::SearchPlaces{applicationFolder, {}, {}, {}, {}, applicationFolder + u"/no-root"_s};
        c.start = [this, home = QThread::currentThread(), receiver = platform::Receiver::of(&receiver),
                   succeeds = startSucceeds](const platform::Command &command, const platform::ExitWatch &watch, QString *error) {
            if (QThread::currentThread() == home)
                starts.append({command, watch});
            else
                receiver->post([this, call = StartCall{command, watch}] { starts.append(call); });
            if (!*succeeds && error)
                *error = u"refused by the test"_s;
            return succeeds->load();
        };
        c.notify = [this](QWidget *, const QString &title, const QString &text) { messages.append({title, text}); };
        return c;
    }
};

// A temporary application folder, ROM folders and configuration file, and a main window over them.
struct Layout {
    QTemporaryDir dir;
    Recorder recorder;
    // The window makes the application folder current, and Windows removes no current folder.
    ~Layout() { QDir::setCurrent(QDir::tempPath()); }
    QString app() const { return dir.filePath(u"emu"_s); }
    QString rom(int n) const { return dir.filePath(u"roms%1"_s.arg(n)) + u'/'; } // slot n's, and a fourth
    QString config() const { return dir.filePath(u"etc/quorvane.ini"_s); }
    QString emulator() const { return app() + u"/nesticle.exe"_s; }
    // Starts programs for real (messages are still recorded), its launch logs in the layout's cache.
    app::AppContext startingContext()
    {
        app::AppContext context = recorder.context(app(), config());
        context.start = platform::startDetached;
        context.logFolder = dir.filePath(u"cache"_s);
        return context;
    }

    std::unique_ptr<app::MainWindow> loaded() // the window after start-up
    {
        auto window = std::make_unique<app::MainWindow>(recorder.context(app(), config()));
        window->loadStartState();
        return window;
    }
};

// ROM folders named in the file: the first holds names of every kind (capitals, hidden, a folder,
// other suffixes), the second one ROM, the third is missing; a fourth, not named, holds two.
struct RomLayout : Layout {
    RomLayout()
    {
        for (const char *name : {"b.nes", "A.nes", "GAME.NES", "c.Nes", ".hidden.nes", "notes.txt", "x.nes.bak"})
            writeFile(rom(0) + QLatin1String(name), "NES\x1A");
        QDir().mkpath(rom(0) + u"folder.nes"_s);
        QDir().mkpath(app() + u"/snap"_s);
        for (const QString &path : {rom(1) + "two.nes", rom(3) + "p.nes", rom(3) + "q.nes"})
            writeFile(path, "x");
        writeFile(config(), configFor(rom(0), rom(1), rom(2)));
    }
};

// Runs action on the next modal window other than `under`, once it is shown.
inline void onNextModal(QWidget *under, std::function<void(QWidget *)> action, int attempts = 200)
{
    QTimer::singleShot(10, [under, action, attempts] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal != under && modal->isVisible())
            action(modal);
        else if (attempts > 0)
            onNextModal(under, action, attempts - 1);
    });
}

} // namespace testutil
