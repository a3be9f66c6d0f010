#pragma once

#include <functional>

namespace platform {

// Runs work on a thread that nothing waits for: closing the program never waits for a disk, a
// share or a program that does not answer. Work that lowers its thread's priority
// (yieldToWindow) lowers it for itself alone.
void runAside(std::function<void()> work);

} // namespace platform
