#include "SampleSender.h"

#include <rtm/SystemLogger.h>

SampleSender::SampleSender(RTC::OutPort<RTC::TimedString>& port, RTC::TimedString& value,
                           std::size_t capacity)
    : m_port(port), m_value(value), m_capacity(capacity > 0 ? capacity : 1) {}

SampleSender::~SampleSender() { stop(); }

void SampleSender::start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_thread.joinable()) return;
    m_stop = false;
    m_thread = std::thread(&SampleSender::run, this);
}

void SampleSender::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void SampleSender::post(const RTC::Time& tm, const std::string& data) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_queue.size() >= m_capacity) {
            m_queue.pop_front();
            ++m_dropped;
            ++m_unreported;
        }
        m_queue.push_back(Sample{tm, data});
    }
    m_wake.notify_one();
}

std::size_t SampleSender::waiting() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

std::size_t SampleSender::dropped() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dropped;
}

void SampleSender::run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop) return;
        Sample sample = std::move(m_queue.front());
        m_queue.pop_front();
        const std::size_t unreported = m_unreported;
        m_unreported = 0;
        lock.unlock();
        if (unreported > 0) {
            // getName() is a std::string here, a const char* in the framework.
            const std::string name(m_port.getName());
            RTC::Logger rtclog(name.c_str());
            RTC_WARN(
                ("%zu samples for %s were dropped, oldest first: its connections did not "
                 "take them in time",
                 unreported, name.c_str()));
        }
        m_value.tm = sample.tm;
        m_value.data = sample.data.c_str();
        // May wait for a connection; only this thread does.
        m_port.write();
        lock.lock();
    }
}
