#include "InPortCdrServant.h"

#include <cstdio>

#include "TimedStringCdr.h"

InPortCdrServant::InPortCdrServant(std::size_t limit, bool littleEndian)
    : m_limit(limit), m_littleEndian(littleEndian) {}

OpenRTM::PortStatus InPortCdrServant::put(const OpenRTM::CdrData& data) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Samples still on their way after the last one wanted are accepted and dropped.
    if (m_finished) return OpenRTM::PORT_OK;
    std::optional<TimedStringCdr::Sample> sample =
        TimedStringCdr::decode(data.get_buffer(), data.length(), m_littleEndian);
    if (!sample) {
        std::fprintf(stderr, "rtctl: dropped a sample that is not a TimedString (%lu bytes)\n",
                     static_cast<unsigned long>(data.length()));
        return OpenRTM::PORT_ERROR;
    }
    sample->data.push_back('\n');
    if (std::fwrite(sample->data.data(), 1, sample->data.size(), stdout) != sample->data.size() ||
        std::fflush(stdout) != 0) {
        m_outputFailed = true;
        m_finished = true;
        m_changed.notify_all();
        return OpenRTM::PORT_OK;
    }
    ++m_printed;
    if (m_limit != 0 && m_printed >= m_limit) {
        m_finished = true;
        m_changed.notify_all();
    }
    return OpenRTM::PORT_OK;
}

bool InPortCdrServant::waitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_finished; });
}

std::size_t InPortCdrServant::printed() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_printed;
}

bool InPortCdrServant::outputFailed() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outputFailed;
}
