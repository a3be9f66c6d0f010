#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace platform {

// Tells a running job that its result is no longer wanted. Jobs look at it between files and
// between an archive's entries, and pass it on to every read that can stop part way.
class CancelFlag
{
public:
    CancelFlag() : m_set(std::make_shared<std::atomic<bool>>(false)) {}
    bool isSet() const { return m_set->load(std::memory_order_relaxed); }
    void set() const { m_set->store(true); }
    // For the readers that take a "cancelled?" callback.
    std::function<bool()> asCheck() const
    {
        return [set = m_set] { return set->load(std::memory_order_relaxed); };
    }

private:
    std::shared_ptr<std::atomic<bool>> m_set;
};

// A named queue of background jobs, run one after another in the order posted, on a thread that
// nothing ever waits for: destroying the queue drops the jobs not begun and cancels the running
// one (unless they are to finish), and returns at once. A job stuck in a read of a share that stalls ends when the read does;
// whatever it then posts through a Receiver is dropped. So a job keeps what it uses in shared
// state, never in the object that posted it.
class WorkQueue
{
public:
    enum class Priority {
        Normal,      // starting an emulator: it inherits the thread's priority
        BelowWindow, // reading folders and pictures: the window is drawn first
        Idle,        // checking ROMs: runs when the machine has nothing else to do
    };
    // What destroying the queue does to its jobs. Never does it wait for them.
    enum class WhenDestroyed {
        Cancel, // their results are no longer wanted
        Finish, // they still run (a file to write)
    };
    using Job = std::function<void(const CancelFlag &cancelled)>;

    explicit WorkQueue(const char *name, Priority priority = Priority::Normal, WhenDestroyed whenDestroyed = WhenDestroyed::Cancel);
    ~WorkQueue();
    WorkQueue(const WorkQueue &) = delete;
    WorkQueue &operator=(const WorkQueue &) = delete;

    // From any thread.
    void post(Job job);
    // Drops the jobs not begun and cancels the running one; later posts run as usual.
    void cancel();
    // Waits at most timeout for every job posted to end; false when some had not.
    bool waitForIdle(std::chrono::milliseconds timeout);

private:
    struct State;
    std::shared_ptr<State> m_state;
    WhenDestroyed m_whenDestroyed;
};

} // namespace platform
