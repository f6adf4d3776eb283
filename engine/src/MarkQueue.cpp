#include "MarkQueue.h"

#include <cstring>
#include <new>

namespace parlune {

bool MarkQueue::push(uint64_t text, std::string sample) {
    if (!enabled() || m_capacity == 0 || sample.size() > m_maxBytes) {
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    while (!m_samples.empty() &&
           (m_samples.size() >= m_capacity || m_bytes + sample.size() > m_maxBytes)) {
        m_bytes -= m_samples.front().sample.size();
        m_samples.pop_front();
        ++m_overflowed;
    }
    const size_t size = sample.size();
    try {
        m_samples.push_back(Entry{text, std::move(sample)});
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_bytes += size;
    return true;
}

size_t MarkQueue::pop(uint64_t& text, char* buffer, size_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_samples.empty()) {
        return 0;
    }
    const Entry& oldest = m_samples.front();
    const size_t length = oldest.sample.size();
    if (length >= size) {
        return length;  // left for a larger buffer
    }
    std::memcpy(buffer, oldest.sample.data(), length);
    buffer[length] = '\0';
    text = oldest.text;
    m_bytes -= length;
    m_samples.pop_front();
    return length;
}

uint64_t MarkQueue::overflowed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_overflowed;
}

}  // namespace parlune
