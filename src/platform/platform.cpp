#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

QString applicationFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString findOnPath(const QString &program)
{
    return QStandardPaths::findExecutable(program);
}

StartResult startDetached(const QString &program, const QStringList &arguments,
                          const QString &workingFolder)
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
