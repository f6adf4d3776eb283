// Deletions that cannot run on the thread asking for them (a component
// ending itself from its own callback, a remote exit() still in progress):
// one thread of the manager carries them out in order, and the manager joins
// it before it shuts the network layer down.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace RTC {

class ComponentReaper {
  public:
    ComponentReaper();
    // Runs what is still queued, then ends the thread.
    ~ComponentReaper();
    ComponentReaper(const ComponentReaper&) = delete;
    ComponentReaper& operator=(const ComponentReaper&) = delete;

    // Queues a deletion; false once stop() has begun (nothing is queued).
    bool post(std::function<void()> job);
    // Runs every queued deletion (including those they queue), then ends the
    // thread. Called on the reaper's own thread it only closes the queue.
    void stop();
    bool onReaperThread() const;

  private:
    void run();

    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping;
    std::thread m_thread;
    std::thread::id m_threadId;
};

}  // namespace RTC
