#pragma once

#include "config/romfolders.h"
#include "dialogs/message.h"
#include "forms/romnames.h"
#include "platform/process.h"

namespace app {

// What the main window needs from its surroundings. main() passes the real ones; tests pass
// temporary folders, a recording starter and a recording notifier.
struct AppContext {
    QString applicationFolder;       // folder of the executable; made the current folder at start-up
    config::ConfigFiles configFiles; // the files that stand for "quorvane.ini"
    QString logFolder;               // where the last launch's log goes; none when empty
    platform::ProcessStarter start = platform::startDetached;
    dialogs::Notifier notify = dialogs::showMessage;
    // Reads a ROM folder, on a thread of its own: it may wait on a disk or a share for long.
    std::function<forms::RomNames(const QString &folder, const QString &pattern, bool *ok)> readFolder =
        [](const QString &folder, const QString &pattern, bool *ok) {
            return forms::readRomNames(folder, pattern, QLocale(), ok);
        };
};

} // namespace app
