#pragma once
// How this system runs the emulator, a Windows program.

#include "platform/process.h"

namespace platform {

// Makes a planned start of the emulator fit this system. command holds the emulator file found
// and its arguments, a whole path (the ROM's, or its folder) at each of pathArguments;
// commandLine is the same as one Windows line.
// On Windows the emulator is handed commandLine itself, since a Windows program splits its own
// line. Elsewhere a Windows program file (one that starts with "MZ") runs through Wine, the ROM's
// path given in Wine's drive form, and any other file must be executable. false, with the reason
// in error, when it cannot be started so.
bool prepareEmulatorStart(Command &command, const QList<qsizetype> &pathArguments, const QString &commandLine, QString *error);

} // namespace platform
