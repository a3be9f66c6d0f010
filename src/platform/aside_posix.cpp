#include "platform/aside.h"

#include <thread>

namespace platform {

// A thread of its own each time: a lowered priority cannot be raised again without privilege, and
// a thread that starts the emulator hands its priority on to it.
void runAside(std::function<void()> work) { std::thread(std::move(work)).detach(); }

} // namespace platform
