#pragma once

#include <QString>
#include <QStringList>

namespace launch {

// How a command line becomes a process: which program file, with which arguments. error is set
// (and program empty) when no start can be attempted; tried names the file looked for.
struct LaunchPlan {
    QString program;
    QStringList arguments;
    QString commandLine; // Windows: the line itself, handed to the program as it was built
    QString tried;
    QString error;
};

// The program named first on the line is looked up in the application folder, then on the search
// path; the rest of the line is split the way Windows programs split it. On Windows the program
// is given the line itself, since it does the splitting. Off Windows, a Windows
// program file (one that starts with "MZ") is started through Wine, its absolute ROM path given in
// Wine's drive form.
LaunchPlan planLaunch(const QString &commandLine, const QString &applicationFolder);

// "/home/me/a b.nes" -> "Z:\home\me\a b.nes"
QString wineDrivePath(const QString &absolutePath);

} // namespace launch
