#pragma once
// Starting other programs: the emulator and the readme's editor.

#include "platform/receiver.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace platform {

// A program to start. On Windows a program is handed one command line and splits it itself;
// commandLine, when set, is that line exactly as it is to be seen (program name first), and
// arguments is then only what Windows' own parser makes of the rest of it.
struct Command {
    QString program; // the file to run
    QStringList arguments;
    QString commandLine;
    QString workingFolder;
    QString outputFile; // when set and writable, the program's output and errors are appended to it
};

// How a started program ended.
struct ProcessExit {
    int exitCode = 0; // its exit status, when it exited
    int signal = 0;   // the signal that ended it, where signals exist
    qint64 runMs = 0; // how long it ran
    bool failed() const { return signal != 0 || exitCode != 0; }
    QString inWords() const; // "exit status 3", "ended by signal 11 (Segmentation fault)"
};

// Asks to be told, through the receiver (on its object's thread), how a started program ends.
// Nothing is told once that object is destroyed, however late the program ends. The receiver is
// opened on the object's own thread, so that the start itself may happen on any thread.
struct ExitWatch {
    std::shared_ptr<Receiver> receiver;
    std::function<void(const ProcessExit &exit)> onExit;
};

// Starts a program with its arguments as a separate process, never through a shell, and does not
// wait for it; it keeps running when the launcher ends, which neither waits for it nor ends it.
// A thread of its own waits for the end and tells watch. false, with the reason in error, when it
// could not be started. Injected into the windows so that tests can record instead of starting.
using ProcessStarter = std::function<bool(const Command &command, const ExitWatch &watch, QString *error)>;
bool startDetached(const Command &command, const ExitWatch &watch = {}, QString *error = nullptr);

// Finds an executable the way the system's program search does (PATH); empty when there is none.
QString findOnPath(const QString &program);

// Lowers the calling thread's priority below the window's, for a thread that sleeps until the
// window hands it work that can wait (setting a folder watch): woken, it waits its turn instead of
// taking the processor from the window.
void yieldToWindowWhenWoken();

} // namespace platform
