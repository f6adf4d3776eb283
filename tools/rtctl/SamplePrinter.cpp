#include "SamplePrinter.h"

#include <cstdio>

#include <corbakit/TimedOctetSeqCdr.h>
#include <corbakit/TimedStringCdr.h>

namespace rtctl {

namespace {

// The octets of a TimedOctetSeq as hexadecimal digits; empty when malformed.
std::optional<corbakit::TimedStringCdr::Sample> octetsAsText(const unsigned char* data,
                                                             std::size_t size, bool littleEndian) {
    std::optional<corbakit::TimedOctetSeqCdr::Sample> octets =
        corbakit::TimedOctetSeqCdr::decode(data, size, littleEndian);
    if (!octets) return std::nullopt;
    static const char digits[] = "0123456789abcdef";
    corbakit::TimedStringCdr::Sample text;
    text.sec = octets->sec;
    text.nsec = octets->nsec;
    text.data.reserve(octets->data.size() * 2 + 1);
    for (std::uint8_t octet : octets->data) {
        text.data.push_back(digits[octet >> 4]);
        text.data.push_back(digits[octet & 0xf]);
    }
    return text;
}

}  // namespace

SamplePrinter::SamplePrinter(std::size_t limit, bool littleEndian, bool stamps, bool octets)
    : m_limit(limit), m_littleEndian(littleEndian), m_stamps(stamps), m_octets(octets) {}

OpenRTM::PortStatus SamplePrinter::print(const unsigned char* data, std::size_t size) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Samples still on their way after the last one wanted are accepted and dropped.
    if (m_finished) return OpenRTM::PORT_OK;
    std::optional<corbakit::TimedStringCdr::Sample> sample =
        m_octets ? octetsAsText(data, size, m_littleEndian)
                 : corbakit::TimedStringCdr::decode(data, size, m_littleEndian);
    if (!sample) {
        std::fprintf(stderr, "rtctl: dropped a sample that is not a %s (%lu bytes)\n",
                     m_octets ? "TimedOctetSeq" : "TimedString", static_cast<unsigned long>(size));
        return OpenRTM::PORT_ERROR;
    }
    sample->data.push_back('\n');
    if (m_stamps) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%lu.%09lu ", static_cast<unsigned long>(sample->sec),
                      static_cast<unsigned long>(sample->nsec));
        sample->data.insert(0, stamp);
    }
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

bool SamplePrinter::waitFinished(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_finished; });
}

std::size_t SamplePrinter::printed() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_printed;
}

bool SamplePrinter::outputFailed() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outputFailed;
}

}  // namespace rtctl
