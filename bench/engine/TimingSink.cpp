#include "TimingSink.h"

namespace parlune::bench {

void TimingSink::reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_current = Utterance{};
    m_sawSample = false;
    m_finished = false;
}

TimingSink::Utterance TimingSink::waitFinished() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_finished; });
    return m_current;
}

bool TimingSink::begin(const std::string&, int) { return true; }

bool TimingSink::write(const int16_t*, size_t count) {
    auto now = Clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_sawSample && count > 0) {
        m_current.firstSample = now;
        m_sawSample = true;
    }
    m_current.samples += count;
    return true;
}

bool TimingSink::finish() {
    auto now = Clock::now();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_current.finished = now;
    m_finished = true;
    m_done.notify_all();
    return true;
}

}  // namespace parlune::bench
