#pragma once

#include "config/romfolders.h"
#include "dialogs/message.h"
#include "launch/emulatorsearch.h"
#include "library/folders/romfolder.h"
#include "platform/process.h"

#include <chrono>
#include <optional>

namespace app {

// What the main window needs from its surroundings. main() passes the real ones; tests pass
// temporary folders, a recording starter and a recording notifier.
struct AppContext {
    QString applicationFolder;       // folder of the executable; made the current folder at start-up
    config::ConfigFiles configFiles; // the files that stand for "quorvane.ini"
    QString logFolder;               // where the last launch's log goes; none when empty
    QString selectionFile;           // where the ROMs last selected are saved; none when empty
    QString libraryFile;             // the database of what is known of each ROM; none when empty
    QStringList datFolders;          // where ROM databases (DAT files) are looked for
    QStringList thumbnailFolders;    // where pictures named by title are looked for, in this order
    QString coverCacheFolder;        // where covers scaled for the cover view are kept; none when empty
    QString romCacheFolder;          // where ROMs from archives are unpacked; none when empty
    QString emulatorsFile;           // the user's own emulators and default; none when empty
    QString emulatorStateFile;       // which default the user was told of; none when empty
    std::optional<launch::SearchPlaces> emulatorPlaces; // where emulators are looked for; unset: this system's
    // Starts a program: the emulator on a thread of the launch's own (it may wait on a share), the
    // readme's opener on the window's.
    platform::ProcessStarter start = platform::startDetached;
    dialogs::Notifier notify = dialogs::showMessage;
    // Reads a ROM folder, on the folder's own work queue: it may wait on a disk or a share for long.
    library::FolderReader readFolder = library::readFolderNames;
    // How long start-up and Save wait for the ROM folders. Not at all by default: the window shows
    // as soon as it is built, the folders are read once it is on screen, and each list fills when
    // its folder has been read.
    std::chrono::milliseconds folderPatience{0};
};

} // namespace app
