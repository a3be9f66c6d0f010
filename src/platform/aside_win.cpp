#include "platform/aside.h"

#include <QThreadPool>

#include <windows.h>

namespace platform {

// MinGW's POSIX threads lose a detached thread that ends before it is detached now and then (its
// work never runs, or a lock of the ended thread is taken): threads are kept instead, and reused.
void runAside(std::function<void()> work)
{
    // Never destroyed: the program's end does not wait for work that may never end.
    static QThreadPool *const pool = [] {
        auto *threads = new QThreadPool;
        threads->setExpiryTimeout(-1);
        threads->setMaxThreadCount(256);
        return threads;
    }();
    pool->start([work = std::move(work)] {
        work();
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_NORMAL);
    });
}

} // namespace platform
