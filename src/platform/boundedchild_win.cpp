#include "platform/boundedchild.h"

#include <windows.h>
#include <psapi.h>

namespace platform {

bool limitOwnMemory(qint64 extraBytes)
{
    // A job of its own whose limit is what the process has committed now, and the share on top.
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return false;
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return false;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limits.ProcessMemoryLimit = SIZE_T(counters.PagefileUsage) + SIZE_T(extraBytes);
    // The job's handle stays open for the process's life: closing it would end the limit.
    return SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)
           && AssignProcessToJobObject(job, GetCurrentProcess());
}

} // namespace platform
