// Fixed-size ring of samples; a write into a full ring overwrites the oldest.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

namespace RTC {

template <class DataType>
class RingBuffer {
  public:
    explicit RingBuffer(std::size_t length = 64)
        : m_data(length ? length : 1), m_head(0), m_count(0) {}

    std::size_t length() const { return m_data.size(); }

    // Returns false when an unread sample was overwritten.
    bool write(const DataType& value) {
        std::lock_guard<std::mutex> guard(m_mutex);
        bool kept = true;
        if (m_count == m_data.size()) {
            m_head = (m_head + 1) % m_data.size();
            --m_count;
            kept = false;
        }
        m_data[(m_head + m_count) % m_data.size()] = value;
        ++m_count;
        return kept;
    }

    bool read(DataType& value) {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_count == 0) return false;
        value = m_data[m_head];
        m_head = (m_head + 1) % m_data.size();
        --m_count;
        return true;
    }

    std::size_t readable() const {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_count;
    }
    bool empty() const { return readable() == 0; }
    bool full() const { return readable() == m_data.size(); }

  private:
    mutable std::mutex m_mutex;
    std::vector<DataType> m_data;
    std::size_t m_head;
    std::size_t m_count;
};

}  // namespace RTC
