#include "platform/process.h"

#include <QProcess>

namespace platform {

StartResult startDetached(const QString &program, const QStringList &arguments,
                          const QString &workingFolder, const FailureHandler &)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    StartResult result;
    result.started = process.startDetached();
    if (!result.started)
        result.error = process.errorString();
    return result;
}

} // namespace platform
