#include "launch/emulator.h"

#include "launch/launchcommand.h"
#include "platform/filenames.h"
#include "platform/process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace launch {

namespace {

#ifndef Q_OS_WIN
bool isWindowsProgram(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "MZ";
}
#endif

} // namespace

QString wineDrivePath(const QString &absolutePath)
{
    QString path = absolutePath;
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QStringLiteral("Z:") + path;
}

LaunchPlan planLaunch(const QString &commandLine, const QString &applicationFolder)
{
    LaunchPlan plan;
    QStringList arguments = splitCommandLine(commandLine);
    if (arguments.isEmpty()) {
        plan.error = QStringLiteral("The command line is empty.");
        return plan;
    }
    const QString name = arguments.takeFirst();
    plan.tried = QDir::toNativeSeparators(QDir(applicationFolder).absoluteFilePath(name));
    QString program = plan.tried;
    if (!QFileInfo(program).isFile())
        program = platform::findOnPath(name);
    if (program.isEmpty()) {
        plan.error = QStringLiteral("The file does not exist, and %1 is not on the search path either.").arg(name);
        return plan;
    }
    plan.tried = QDir::toNativeSeparators(program);
#ifndef Q_OS_WIN
    if (isWindowsProgram(program)) {
        const qsizetype rom = arguments.indexOf(QStringLiteral("-run")) + 1;
        if (rom > 0 && rom < arguments.size()) {
            // Wine reads a backslash as a folder separator, and passes on only names that are
            // valid text: such a ROM would reach the emulator as another file, or as none.
            const QString &path = arguments.at(rom);
            if (path.contains(QLatin1Char('\\'))) {
                plan.error = QStringLiteral("The ROM's path %1 holds a backslash, which the Windows emulator "
                                            "would read as a folder separator: it would open another file. "
                                            "Rename the file or its folder.").arg(platform::displayName(path));
                return plan;
            }
            if (platform::holdsRawBytes(path)) {
                plan.error = QStringLiteral("The ROM's path %1 is not valid UTF-8, which Wine cannot hand to "
                                            "the Windows emulator. Rename the file or its folder.")
                                 .arg(platform::displayName(path));
                return plan;
            }
            if (path.startsWith(QLatin1Char('/')))
                arguments[rom] = wineDrivePath(path);
        }
        const QString wine = platform::findOnPath(QStringLiteral("wine"));
        if (wine.isEmpty()) {
            plan.error = QStringLiteral("It is a Windows program, and Wine, which runs Windows programs "
                                        "here, was not found on the search path.");
            return plan;
        }
        arguments.prepend(program);
        program = wine;
    } else if (!QFileInfo(program).isExecutable()) {
        plan.error = QStringLiteral("The file is not executable (permission denied).");
        return plan;
    }
#else
    plan.commandLine = commandLine;
#endif
    plan.program = program;
    plan.arguments = arguments;
    return plan;
}

} // namespace launch
