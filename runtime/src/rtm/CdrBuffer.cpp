#include "CdrBuffer.h"

#include <algorithm>

namespace RTC {

CdrBuffer::CdrBuffer(const BufferSettings& settings)
    : m_settings(settings), m_slots(settings.length > 0 ? settings.length : 1) {}

DataPortStatus::Enum CdrBuffer::write(const unsigned char* data, std::size_t size) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_count == m_slots.size()) {
        switch (m_settings.full) {
            case BufferSettings::Full::Overwrite:
                m_head = (m_head + 1) % m_slots.size();
                --m_count;
                ++m_first;
                break;
            case BufferSettings::Full::DoNothing:
                return DataPortStatus::BUFFER_FULL;
            case BufferSettings::Full::Block: {
                ++m_blocked;
                const bool room = m_notFull.wait_for(lock, m_settings.writeTimeout, [this] {
                    return m_released || m_count < m_slots.size();
                });
                --m_blocked;
                if (!room || m_released) return DataPortStatus::BUFFER_TIMEOUT;
                break;
            }
        }
    }
    // The slot keeps its capacity from earlier rounds: no allocation once warm.
    m_slots[(m_head + m_count) % m_slots.size()].assign(data, data + size);
    ++m_count;
    m_notEmpty.notify_one();
    return DataPortStatus::PORT_OK;
}

DataPortStatus::Enum CdrBuffer::read(Sample& out) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_count == 0) {
        switch (m_settings.empty) {
            case BufferSettings::Empty::Readback:
                if (!m_everRead) return DataPortStatus::BUFFER_EMPTY;
                out = m_slots[(m_head + m_slots.size() - 1) % m_slots.size()];
                return DataPortStatus::PORT_OK;
            case BufferSettings::Empty::DoNothing:
                return DataPortStatus::BUFFER_EMPTY;
            case BufferSettings::Empty::Block: {
                ++m_blocked;
                const bool sample = m_notEmpty.wait_for(
                    lock, m_settings.readTimeout, [this] { return m_released || m_count > 0; });
                --m_blocked;
                if (!sample || m_released) return DataPortStatus::BUFFER_TIMEOUT;
                break;
            }
        }
    }
    out = m_slots[m_head];
    m_head = (m_head + 1) % m_slots.size();
    --m_count;
    ++m_first;
    m_everRead = true;
    m_notFull.notify_one();
    return DataPortStatus::PORT_OK;
}

std::size_t CdrBuffer::readable() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_count;
}

std::uint64_t CdrBuffer::oldest() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_first;
}

bool CdrBuffer::copy(std::uint64_t number, Sample& out) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (number < m_first || number - m_first >= m_count) return false;
    out = m_slots[(m_head + (number - m_first)) % m_slots.size()];
    return true;
}

void CdrBuffer::dropBefore(std::uint64_t number) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (number <= m_first) return;
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(number - m_first, m_count));
    if (n == 0) return;
    m_head = (m_head + n) % m_slots.size();
    m_count -= n;
    m_first += n;
    m_everRead = true;
    m_notFull.notify_all();
}

std::size_t CdrBuffer::blocked() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_blocked;
}

void CdrBuffer::release() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_released = true;
    m_notFull.notify_all();
    m_notEmpty.notify_all();
}

}  // namespace RTC
