#include "platform/process.h"

#include <QMetaObject>
#include <QObject>
#include <QStandardPaths>

namespace platform {

QString findOnPath(const QString &program)
{
    return QStandardPaths::findExecutable(program);
}

std::shared_ptr<ExitDoor> ExitDoor::open(const ExitWatch &watch)
{
    if (!watch.context || !watch.onExit)
        return nullptr;
    std::shared_ptr<ExitDoor> door(new ExitDoor(watch));
    // destroyed() comes first in the context's destruction, on its own thread.
    QObject::connect(watch.context, &QObject::destroyed, [weak = std::weak_ptr<ExitDoor>(door)] {
        if (const std::shared_ptr<ExitDoor> door = weak.lock()) {
            const std::lock_guard<std::mutex> lock(door->m_mutex);
            door->m_watch.context = nullptr;
        }
    });
    return door;
}

void ExitDoor::deliver(const ProcessExit &exit)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_watch.context)
        return;
    QMetaObject::invokeMethod(m_watch.context, [onExit = m_watch.onExit, exit] { onExit(exit); }, Qt::QueuedConnection);
}

} // namespace platform
