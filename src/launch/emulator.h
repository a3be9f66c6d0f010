#pragma once

#include "launch/launchcommand.h"
#include "platform/process.h"

namespace launch {

// How a launch becomes a process: which program file, with which arguments, and the ROM they
// name.
struct LaunchPlan {
    platform::Command command;
    QString romPath;
    QString tried; // the emulator file looked for, named in a message when it cannot start
};

// The emulator is looked up in the application folder, then on the search path, and the start is
// made to fit this system (see platform/emulatorhost.h). false, with the reason in error, when no
// start can be attempted; plan->tried is set either way.
bool planLaunch(const LaunchCommand &launch, const QString &applicationFolder, LaunchPlan *plan, QString *error);

} // namespace launch
