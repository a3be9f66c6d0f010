#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

namespace launch {

inline const QString kEmulatorProgram = QStringLiteral("nesticle.exe");

QString resolutionSwitch(int resolutionIndex); // "-res 320 240" for index 4; empty outside 0..5
QString soundSwitch(Qt::CheckState sound);      // "-nosound" exactly when the box is clear
QString controllerSwitch(int controllerIndex);  // "-setinput 1 GRAVIS" for index 1; empty outside 0..2

// The emulator's command line: program and "-run", ROM path, sound, resolution, controller,
// separated by single blanks that empty switches keep. The ROM path is the folder and the file
// name joined, with this system's separator between them only when a typed folder lacks one, and
// quoted the way Windows programs split their line when it holds a blank, a tab or a quote.
QString launchCommandLine(const QString &folder, const QString &fileName, int resolutionIndex, Qt::CheckState sound,
                          int controllerIndex);

// Splits a command line into arguments the way Windows programs do (blanks separate, double
// quotes group, backslashes escape a following quote).
QStringList splitCommandLine(const QString &commandLine);

} // namespace launch
