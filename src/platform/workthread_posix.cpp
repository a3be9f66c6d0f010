#include "platform/workthread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace platform::workthread {

void start(std::function<void()> run) { std::thread(std::move(run)).detach(); }

void setPriority(WorkQueue::Priority priority)
{
    if (priority == WorkQueue::Priority::Normal)
        return;
#ifdef SYS_gettid
    // Linux keeps a nice value for each thread; a thread may always lower its own.
    ::setpriority(PRIO_PROCESS, id_t(::syscall(SYS_gettid)), 5);
#endif
#ifdef SCHED_IDLE
    if (priority == WorkQueue::Priority::Idle) {
        const sched_param none{};
        ::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &none);
    }
#endif
}

void setName(const char *name)
{
#ifdef __linux__
    char shortName[16] = {}; // the system keeps 15 bytes
    for (size_t at = 0; at < sizeof shortName - 1 && name[at]; ++at)
        shortName[at] = name[at];
    ::pthread_setname_np(::pthread_self(), shortName);
#else
    (void)name;
#endif
}

} // namespace platform::workthread
