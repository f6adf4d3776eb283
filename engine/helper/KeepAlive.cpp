#include "KeepAlive.h"

#include <pthread.h>

namespace parlune::helper {

KeepAlive::KeepAlive(std::chrono::milliseconds interval, std::function<bool()> sendKeepAlive)
    : m_interval(interval),
      m_sendKeepAlive(std::move(sendKeepAlive)),
      m_thread([this] { run(); }) {}

KeepAlive::~KeepAlive() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_one();
    m_thread.join();
}

void KeepAlive::begin() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastSent = std::chrono::steady_clock::now();
        m_busy = true;
    }
    m_changed.notify_one();
}

bool KeepAlive::send(const std::function<bool()>& send, bool busy) {
    bool ok;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ok = send();
        m_lastSent = std::chrono::steady_clock::now();
        m_busy = busy;
    }
    m_changed.notify_one();
    return ok;
}

void KeepAlive::run() {
    pthread_setname_np(pthread_self(), "keep-alive");
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        if (!m_busy) {
            m_changed.wait(lock);
            continue;
        }
        const auto due = m_lastSent + m_interval;
        if (std::chrono::steady_clock::now() >= due) {
            // A failed send is the main thread's to notice on its next frame.
            m_sendKeepAlive();
            m_lastSent = std::chrono::steady_clock::now();
            continue;
        }
        m_changed.wait_until(lock, due);
    }
}

}  // namespace parlune::helper
