#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

namespace launch {

inline const QString kEmulatorProgram = QStringLiteral("nesticle.exe");

QString resolutionSwitch(int resolutionIndex); // "-res 320 240" for index 4; empty outside 0..5
QString soundSwitch(Qt::CheckState sound);      // "-nosound" exactly when the box is clear
QString controllerSwitch(int controllerIndex);  // "-setinput 1 GRAVIS" for index 1; empty outside 0..2

// The folder and the file name joined: with nothing between them when the folder text ends in a
// separator, "/" or "\" (a picker's folder always does), or either is empty; with this system's
// separator when the folder was typed without one. On Windows "D:" also takes the name as it is
// (that drive's own folder).
QString romPath(const QString &folder, const QString &fileName);

// The ROM path as one argument: a path holding a blank, a tab or a double quote is quoted the way
// Windows programs split their command line, so that it reaches the emulator whole; any other
// path stands as it is.
QString romArgument(const QString &folder, const QString &fileName);

// The emulator's command line: program and "-run", ROM path, sound, resolution, controller,
// separated by single blanks that empty switches keep.
QString launchCommandLine(const QString &folder, const QString &fileName, int resolutionIndex, Qt::CheckState sound,
                          int controllerIndex);

// Splits a command line into arguments the way Windows programs do (blanks separate, double
// quotes group, backslashes escape a following quote).
QStringList splitCommandLine(const QString &commandLine);

} // namespace launch
