// Tells the library that the helper is at work: while a speak request is
// under way and nothing else has been sent for an interval, a thread of its
// own sends a keep-alive frame. Every frame goes out under its lock, so a
// keep-alive never lands inside another frame nor after a request's end.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace parlune::helper {

class KeepAlive {
  public:
    // `sendKeepAlive` sends one keep-alive frame; it runs under the lock.
    KeepAlive(std::chrono::milliseconds interval, std::function<bool()> sendKeepAlive);
    ~KeepAlive();
    KeepAlive(const KeepAlive&) = delete;
    KeepAlive& operator=(const KeepAlive&) = delete;

    // A speak request has come: keep-alives are due from an interval on.
    void begin();
    // Sends a frame with `send` under the lock; `busy` says whether a
    // request is under way once it is sent (false with the request's end).
    bool send(const std::function<bool()>& send, bool busy);

  private:
    void run();

    const std::chrono::milliseconds m_interval;
    const std::function<bool()> m_sendKeepAlive;
    std::mutex m_mutex;  // held while any frame is sent
    std::condition_variable m_changed;
    bool m_busy = false;
    bool m_stop = false;
    std::chrono::steady_clock::time_point m_lastSent;
    std::thread m_thread;
};

}  // namespace parlune::helper
