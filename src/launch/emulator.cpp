#include "launch/emulator.h"

#include "launch/launchcommand.h"
#include "platform/emulatorhost.h"

#include <QDir>
#include <QFileInfo>

namespace launch {

bool planLaunch(const QString &commandLine, const QString &applicationFolder, LaunchPlan *plan, QString *error)
{
    auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    QStringList arguments = splitCommandLine(commandLine);
    if (arguments.isEmpty())
        return fail(QStringLiteral("The command line is empty."));
    const QString name = arguments.takeFirst();
    plan->tried = QDir::toNativeSeparators(QDir(applicationFolder).absoluteFilePath(name));
    QString program = plan->tried;
    if (!QFileInfo(program).isFile())
        program = platform::findOnPath(name);
    if (program.isEmpty())
        return fail(QStringLiteral("The file does not exist, and %1 is not on the search path either.").arg(name));
    plan->tried = QDir::toNativeSeparators(program);
    plan->command = {program, arguments, QString(), QString(), QString()};
    return platform::prepareEmulatorStart(plan->command, commandLine, error);
}

} // namespace launch
