#pragma once
// How this system runs the emulator, a Windows program.

#include "platform/process.h"

namespace platform {

// Makes a planned start of the emulator fit this system. command holds the emulator file found
// and the arguments split from commandLine. On Windows the emulator is handed commandLine itself,
// since a Windows program splits its own line. Elsewhere a Windows program file (one that starts
// with "MZ") runs through Wine, the ROM path after "-run" given in Wine's drive form, and any
// other file must be executable. false, with the reason in error, when it cannot be started so.
bool prepareEmulatorStart(Command &command, const QString &commandLine, QString *error);

} // namespace platform
