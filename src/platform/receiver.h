#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

namespace platform {

// How background work hands its results to an object on another thread: a call posted to the
// object's thread while the object lives, and dropped once it is destroyed. It lets go of the
// object, under its lock, as the object's destruction begins, so nothing is ever posted to an
// object being freed, however late the work is.
class Receiver
{
public:
    // Made on the object's thread; null for no object.
    static std::shared_ptr<Receiver> of(QObject *object);
    // From any thread.
    void post(std::function<void()> call);

private:
    explicit Receiver(QObject *object) : m_object(object) {}
    std::mutex m_mutex;
    QObject *m_object;
};

} // namespace platform
