#include "platform/contextdoor.h"

#include <QMetaObject>

namespace platform {

std::shared_ptr<ContextDoor> ContextDoor::open(QObject *context)
{
    if (!context)
        return nullptr;
    std::shared_ptr<ContextDoor> door(new ContextDoor(context));
    // destroyed() comes first in the context's destruction, on its own thread.
    QObject::connect(context, &QObject::destroyed, [weak = std::weak_ptr<ContextDoor>(door)] {
        if (const std::shared_ptr<ContextDoor> door = weak.lock()) {
            const std::lock_guard<std::mutex> lock(door->m_mutex);
            door->m_context = nullptr;
        }
    });
    return door;
}

void ContextDoor::post(std::function<void()> call)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_context)
        QMetaObject::invokeMethod(m_context, std::move(call), Qt::QueuedConnection);
}

} // namespace platform
