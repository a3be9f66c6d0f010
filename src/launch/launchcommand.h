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

// text as one argument of a Windows command line: text holding a blank, a tab or a double quote
// is quoted the way Windows programs split their line, so that it reaches the program whole; any
// other text stands as it is.
QString windowsQuoted(const QString &text);

// The emulator's command line in its parts: the program, "-run" and the ROM's path, then the
// sound, resolution and controller switches, each as the line shows it (empty when off).
struct LaunchCommand {
    QString romPath;
    QStringList switches;

    // The arguments after the program, each one whole: "-run", the ROM's path, then the words of
    // each switch that is on.
    QStringList arguments() const;
    static constexpr qsizetype kRomArgument = 1; // where the ROM's path stands in arguments()
    // The line a Windows program is handed, and the one the launch log shows: the parts separated
    // by single blanks that empty switches keep, the ROM's path quoted the way Windows programs
    // split their line when it holds a blank, a tab or a quote.
    QString commandLine() const;
};

// The command that starts fileName in folder with these options. The ROM's path is the folder
// and the file name joined, with this system's separator between them only when a typed folder
// lacks one.
LaunchCommand launchCommand(const QString &folder, const QString &fileName, int resolutionIndex, Qt::CheckState sound,
                            int controllerIndex);

} // namespace launch
