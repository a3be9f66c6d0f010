#pragma once
// Starting other programs: the emulator and the readme's editor.

#include <QString>
#include <QStringList>
#include <functional>

namespace platform {

// A program to start. On Windows a program is handed one command line and splits it itself;
// commandLine, when set, is that line exactly as it is to be seen (program name first), and
// arguments is then only what Windows' own parser makes of the rest of it.
struct Command {
    QString program; // the file to run
    QStringList arguments;
    QString commandLine;
    QString workingFolder;
};

// Told, on the thread of the application's event loop, that a started program ended with a
// failure status (not 0).
using FailureHandler = std::function<void(int status)>;

// Starts a program with its arguments as a separate process, never through a shell, and does not
// wait for it; it keeps running when the launcher ends. When onFailure is given, it is called
// later if the program ends with a failure status (POSIX only: on Windows nobody watches). false,
// with the reason in error, when it could not be started. Injected into the windows so that tests
// can record instead of starting.
using ProcessStarter = std::function<bool(const Command &command, const FailureHandler &onFailure, QString *error)>;
bool startDetached(const Command &command, const FailureHandler &onFailure = {}, QString *error = nullptr);

// Finds an executable the way the system's program search does (PATH); empty when there is none.
QString findOnPath(const QString &program);

} // namespace platform
