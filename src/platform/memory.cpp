#include "platform/memory.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace platform {

void returnLargeBlocksWhenFreed()
{
#if defined(__GLIBC__)
    constexpr int kLargeBlock = 1 << 20;
    mallopt(M_MMAP_THRESHOLD, kLargeBlock); // a fixed threshold is never raised
#endif
}

void giveBackFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace platform
