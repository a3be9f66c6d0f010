#include "platform/receiver.h"

#include <QMetaObject>

namespace platform {

std::shared_ptr<Receiver> Receiver::of(QObject *object)
{
    if (!object)
        return nullptr;
    std::shared_ptr<Receiver> receiver(new Receiver(object));
    // destroyed() comes first in the object's destruction, on its own thread.
    QObject::connect(object, &QObject::destroyed, [weak = std::weak_ptr<Receiver>(receiver)] {
        if (const std::shared_ptr<Receiver> receiver = weak.lock()) {
            const std::lock_guard<std::mutex> lock(receiver->m_mutex);
            receiver->m_object = nullptr;
        }
    });
    return receiver;
}

void Receiver::post(std::function<void()> call)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_object)
        QMetaObject::invokeMethod(m_object, std::move(call), Qt::QueuedConnection);
}

} // namespace platform
