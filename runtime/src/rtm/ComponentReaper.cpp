#include "ComponentReaper.h"

#include <pthread.h>

namespace RTC {

ComponentReaper::ComponentReaper() : m_stopping(false) {}

ComponentReaper::~ComponentReaper() { stop(); }

bool ComponentReaper::post(std::function<void()> job) {
    std::lock_guard<std::mutex> guard(m_mutex);
    // Jobs queued by a job still run: stop() drains until the queue is empty.
    if (m_stopping && !onReaperThread()) return false;
    m_jobs.push_back(std::move(job));
    // The thread starts with the first deletion; most processes never need it.
    if (!m_thread.joinable() && !m_stopping) {
        m_thread = std::thread(&ComponentReaper::run, this);
        m_threadId = m_thread.get_id();
    }
    m_cond.notify_all();
    return true;
}

void ComponentReaper::stop() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_stopping = true;
        if (onReaperThread()) return;
        thread = std::move(m_thread);
    }
    m_cond.notify_all();
    if (thread.joinable()) thread.join();
}

bool ComponentReaper::onReaperThread() const { return m_threadId == std::this_thread::get_id(); }

void ComponentReaper::run() {
    pthread_setname_np(pthread_self(), "rtc-reaper");
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_cond.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_jobs.empty()) break;
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

}  // namespace RTC
