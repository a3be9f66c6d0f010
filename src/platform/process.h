#pragma once
// Starting other programs: the emulator and the readme's editor.

#include <QString>
#include <QStringList>
#include <functional>

namespace platform {

// Outcome of starting a process; error names the reason when started is false.
struct StartResult {
    bool started = false;
    QString error;
};

// Starts a program with its arguments as a separate process, never through a shell, and does not
// wait for it. Injected into the windows so that tests can record instead of starting.
using ProcessStarter = std::function<StartResult(const QString &program, const QStringList &arguments,
                                                 const QString &workingFolder)>;
StartResult startDetached(const QString &program, const QStringList &arguments,
                          const QString &workingFolder);

// Finds an executable the way the system's program search does (PATH); empty when there is none.
QString findOnPath(const QString &program);

} // namespace platform
