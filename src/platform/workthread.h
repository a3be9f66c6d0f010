#pragma once

#include "platform/workqueue.h"

#include <functional>

// The system's side of a work queue's thread.
namespace platform::workthread {

// Starts run on a thread that is never joined.
void start(std::function<void()> run);
// Sets the calling thread's priority; a thread that ends keeps none of it for the next run.
void setPriority(WorkQueue::Priority priority);
// Names the calling thread, for debuggers and profilers.
void setName(const char *name);

} // namespace platform::workthread
