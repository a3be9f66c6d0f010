#include "platform/workthread.h"

#include <QThreadPool>

#include <windows.h>

namespace platform::workthread {

// MinGW's POSIX threads lose a detached thread that ends before it is detached now and then (its
// work never runs, or a lock of the ended thread is taken): threads are kept instead, and reused.
void start(std::function<void()> run)
{
    // Never destroyed: the program's end does not wait for work that may never end.
    static QThreadPool *const pool = [] {
        auto *threads = new QThreadPool;
        threads->setExpiryTimeout(-1);
        threads->setMaxThreadCount(256);
        return threads;
    }();
    pool->start([run = std::move(run)] {
        run();
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL); // for the next user
    });
}

void setPriority(WorkQueue::Priority priority)
{
    switch (priority) {
    case WorkQueue::Priority::Normal: break;
    case WorkQueue::Priority::BelowWindow: ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); break;
    case WorkQueue::Priority::Idle: ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_IDLE); break;
    }
}

void setName(const char *) {}

} // namespace platform::workthread
