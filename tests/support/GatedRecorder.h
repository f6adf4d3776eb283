// The receiving end a test holds for a sender: every arrival is counted with
// the thread it came on; while the gate is closed an arrival waits (at most
// holdLimit, so that nothing hangs); it may sleep before it is taken; each
// one taken is kept and answered with what the test set.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

template <class Answer>
class GatedRecorder {
  public:
    explicit GatedRecorder(Answer answer,
                           std::chrono::milliseconds sleep = std::chrono::milliseconds(0),
                           std::chrono::milliseconds holdLimit = std::chrono::seconds(10))
        : m_sleep(sleep), m_holdLimit(holdLimit), m_answer(answer) {}

    // One arrival: counted, then held at the gate, then the sleep.
    void enter() {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_entered;
        m_threads.push_back(std::this_thread::get_id());
        m_changed.notify_all();
        m_changed.wait_for(lock, m_holdLimit, [this] { return m_open; });
        if (m_sleep.count() > 0) {
            lock.unlock();
            std::this_thread::sleep_for(m_sleep);
        }
    }
    // Keeps what arrived; returns the answer set.
    Answer take(const std::string& text) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_got.push_back(text);
        m_changed.notify_all();
        return m_answer;
    }

    void close() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = false;
    }
    void open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void answer(Answer a) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answer = a;
    }
    // Waits (at most 10 s) until n arrivals have begun.
    bool waitEntered(int n) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_entered >= n; });
    }
    // Waits (at most 10 s) until n arrivals were taken.
    bool waitGot(std::size_t n) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return m_got.size() >= n; });
    }
    int entered() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_entered;
    }
    std::vector<std::string> got() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_got;
    }
    std::vector<std::thread::id> threads() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads;
    }

  private:
    const std::chrono::milliseconds m_sleep;
    const std::chrono::milliseconds m_holdLimit;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = true;
    int m_entered = 0;
    Answer m_answer;
    std::vector<std::string> m_got;
    std::vector<std::thread::id> m_threads;
};

}  // namespace testsupport
