#pragma once

#include "launch/emulatordefinitions.h"
#include "launch/emulatorsearch.h"
#include "platform/process.h"

namespace launch {

// The emulator a launch uses: its definition, and where its program was found.
struct EmulatorRun {
    EmulatorDefinition definition;
    FoundEmulator found;
    bool isSet() const { return !definition.id.isEmpty(); }
};

// The definitions compiled into the program, the same as the emulators.ini it ships with: what
// is known when that file is missing.
const QList<EmulatorDefinition> &builtInDefinitions();
// Nesticle's, which starts when no emulator was chosen: its line is the seed's own.
const EmulatorDefinition &nesticleDefinition();

// How a launch becomes a process: which program file, with which arguments, and the ROM they
// name.
struct LaunchPlan {
    platform::Command command;
    QString romPath;
    QString tried;       // the emulator file looked for, named in a message when it cannot start
    QString commandLine; // as the launch log shows it: the line a Windows program is handed
    FoundEmulator refound; // set when the program had changed since it was found, and was looked for again
};

// The command that starts run's emulator on the ROM at romPath with these options. An emulator
// not chosen (run not set) is Nesticle, looked up in the application folder, then on the search
// path; a found program whose file changed since is looked for again. The start is made to fit
// this system (see platform/emulatorhost.h). false, with the reason in error, when no start can
// be attempted; plan->tried is set either way.
bool planLaunch(const EmulatorRun &run, const QString &romPath, const LaunchOptionsState &options,
                const QString &applicationFolder, LaunchPlan *plan, QString *error);

} // namespace launch
