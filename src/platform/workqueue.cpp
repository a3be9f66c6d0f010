#include "platform/workqueue.h"

#include "platform/workthread.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace platform {

// Shared with the queue's thread, which may outlive the queue.
struct WorkQueue::State {
    const char *name;
    Priority priority;
    std::mutex mutex;
    std::condition_variable idle;
    std::deque<std::pair<Job, CancelFlag>> jobs;
    CancelFlag current; // the flag of the jobs posted since the last cancel
    bool running = false;

    static void run(const std::shared_ptr<State> &state)
    {
        workthread::setName(state->name);
        workthread::setPriority(state->priority);
        std::unique_lock<std::mutex> lock(state->mutex);
        while (!state->jobs.empty()) {
            auto [job, cancelled] = std::move(state->jobs.front());
            state->jobs.pop_front();
            lock.unlock();
            if (!cancelled.isSet())
                job(cancelled);
            job = nullptr; // what it holds goes before the queue is seen idle
            lock.lock();
        }
        state->running = false;
        state->idle.notify_all();
    }
};

WorkQueue::WorkQueue(const char *name, Priority priority, WhenDestroyed whenDestroyed)
    : m_state(std::make_shared<State>()), m_whenDestroyed(whenDestroyed)
{
    m_state->name = name;
    m_state->priority = priority;
}

WorkQueue::~WorkQueue()
{
    if (m_whenDestroyed == WhenDestroyed::Cancel)
        cancel();
}

void WorkQueue::post(Job job)
{
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->jobs.emplace_back(std::move(job), m_state->current);
    // A thread for each busy spell: one whose priority was lowered cannot raise it again, and a
    // queue with nothing to do holds no thread.
    if (!std::exchange(m_state->running, true))
        workthread::start([state = m_state] { State::run(state); });
}

void WorkQueue::cancel()
{
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->current.set();
    m_state->current = CancelFlag();
    m_state->jobs.clear();
}

bool WorkQueue::waitForIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    return m_state->idle.wait_for(lock, timeout, [this] { return !m_state->running; });
}

} // namespace platform
