#include "platform/folders.h"

#include <QCoreApplication>
#include <QDir>

namespace platform {

QString applicationFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

} // namespace platform
