#include "EventQueue.h"

#include <time.h>

#include <cstring>
#include <new>

namespace parlune {

int64_t EventQueue::now() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

bool EventQueue::push(ParluneDaEventKind kind, uint64_t text, int64_t timeNs, const char* detail) {
    if (!enabled() || m_capacity == 0) {
        return false;
    }
    ParluneDaEvent event{};
    event.kind = kind;
    event.text = text;
    event.time_ns = timeNs;
    std::strncpy(event.detail, detail, sizeof event.detail - 1);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_events.size() >= m_capacity) {
        m_events.pop_front();
        ++m_overflowed;
    }
    try {
        m_events.push_back(event);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool EventQueue::pop(ParluneDaEvent& event, int64_t nowNs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_events.empty() || m_events.front().time_ns > nowNs) {
        return false;
    }
    event = m_events.front();
    m_events.pop_front();
    return true;
}

uint64_t EventQueue::overflowed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_overflowed;
}

}  // namespace parlune
