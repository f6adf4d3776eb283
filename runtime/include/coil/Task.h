// Active object: activate() runs svc() on a thread of its own, finalize()
// follows on that thread when svc() returns.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace coil {

class Task {
  public:
    Task();
    // Joins a thread that is still running (never std::terminate); a Task
    // deleted from its own thread detaches instead.
    virtual ~Task();

    virtual int open(void* args = nullptr);
    virtual int close(unsigned long flags = 0);
    virtual int svc();
    // Starts the thread; does nothing while it is running.
    virtual void activate();
    // Waits for the thread to end; 0 on success, -1 when called from the
    // task's own thread.
    virtual int wait();
    virtual int suspend();
    virtual int resume();
    virtual void reset();
    virtual void finalize();

    static void* svc_run(void* args = nullptr);

  private:
    std::mutex m_mutex;
    std::atomic<int> m_count;
    std::thread m_thread;
};

}  // namespace coil
