#include "launch/emulator.h"

#include "platform/emulatorhost.h"

#include <QDir>
#include <QFileInfo>

namespace launch {

bool planLaunch(const LaunchCommand &launch, const QString &applicationFolder, LaunchPlan *plan, QString *error)
{
    plan->tried = QDir::toNativeSeparators(QDir(applicationFolder).absoluteFilePath(kEmulatorProgram));
    QString program = plan->tried;
    if (!QFileInfo(program).isFile())
        program = platform::findOnPath(kEmulatorProgram);
    if (program.isEmpty()) {
        if (error)
            *error = QStringLiteral("The file does not exist, and %1 is not on the search path either.").arg(kEmulatorProgram);
        return false;
    }
    plan->tried = QDir::toNativeSeparators(program);
    plan->romPath = launch.romPath;
    plan->command = {program, launch.arguments(), QString(), QString(), QString()};
    return platform::prepareEmulatorStart(plan->command, LaunchCommand::kRomArgument, launch.commandLine(), error);
}

} // namespace launch
