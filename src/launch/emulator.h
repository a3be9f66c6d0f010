#pragma once

#include "platform/process.h"

namespace launch {

// How a command line becomes a process: which program file, with which arguments.
struct LaunchPlan {
    platform::Command command;
    QString tried; // the emulator file looked for, named in a message when it cannot start
};

// The program named first on the line is looked up in the application folder, then on the search
// path; the rest of the line is split the way Windows programs split it, and the start is made to
// fit this system (see platform/emulatorhost.h). false, with the reason in error, when no start
// can be attempted; plan->tried is set either way.
bool planLaunch(const QString &commandLine, const QString &applicationFolder, LaunchPlan *plan, QString *error);

} // namespace launch
