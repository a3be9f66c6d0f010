#include "platform/process.h"

#include <QStandardPaths>

namespace platform {

QString findOnPath(const QString &program)
{
    return QStandardPaths::findExecutable(program);
}

} // namespace platform
