#include "platform/boundedchild.h"

#include <QDeadlineTimer>
#include <QProcess>

namespace platform {

bool runBoundedChild(const QString &program, const QStringList &arguments, int timeoutMs, qint64 maxOutput,
                     const std::function<bool()> &cancelled, QByteArray *output, QString *error)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.setStandardInputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(program, arguments, QIODevice::ReadOnly);
    if (!child.waitForStarted(timeoutMs)) {
        *error = QStringLiteral("its reader could not be started: %1").arg(child.errorString());
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    output->clear();
    for (;;) {
        const bool ended = child.waitForFinished(100);
        *output += child.readAllStandardOutput();
        if (ended || child.state() == QProcess::NotRunning)
            break;
        QString stop;
        if (output->size() > maxOutput)
            stop = QStringLiteral("its reader wrote more than it may");
        else if (deadline.hasExpired())
            stop = QStringLiteral("it was not read within %1 s").arg(timeoutMs / 1000);
        else if (cancelled && cancelled())
            stop = QStringLiteral("cancelled");
        if (!stop.isEmpty()) {
            child.kill();
            child.waitForFinished(-1);
            *error = stop;
            return false;
        }
    }
    if (child.exitStatus() != QProcess::NormalExit) {
        *error = QStringLiteral("its reader failed on it");
        return false;
    }
    if (child.exitCode() != 0) {
        *error = QStringLiteral("its reader ended with exit status %1").arg(child.exitCode());
        return false;
    }
    return true;
}

} // namespace platform
