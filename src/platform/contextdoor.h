#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

namespace platform {

// How a worker thread reaches an object: a call posted to the object's thread while the object
// lives, and dropped once it is destroyed. The door closes, under its lock, as the object's
// destruction begins, so nothing is ever posted to an object being freed, however late the
// worker is.
class ContextDoor
{
public:
    // Made on the context's thread; null for no context.
    static std::shared_ptr<ContextDoor> open(QObject *context);
    // From any thread.
    void post(std::function<void()> call);

private:
    explicit ContextDoor(QObject *context) : m_context(context) {}
    std::mutex m_mutex;
    QObject *m_context;
};

} // namespace platform
