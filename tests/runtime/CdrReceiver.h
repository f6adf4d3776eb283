// The receiving end of a corba_cdr connection, held by a test: it records
// the text of every TimedString put to it and the thread it arrived on, can
// sleep in every put, can hold puts at a gate (each for at most holdLimit),
// and answers what the test sets.
#pragma once

#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/CdrCodec.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DataPort_OpenRTM.hh"

class CdrReceiver : public POA_OpenRTM::InPortCdr {
  public:
    explicit CdrReceiver(std::chrono::milliseconds sleep = std::chrono::milliseconds(0),
                         std::chrono::milliseconds holdLimit = std::chrono::seconds(10))
        : m_sleep(sleep), m_holdLimit(holdLimit) {}

    OpenRTM::PortStatus put(const OpenRTM::CdrData& data) override {
        RTC::TimedString sample;
        const bool ok = RTC::decodeCdr(data.get_buffer(), data.length(), true, sample);
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_entered;
        m_threads.push_back(std::this_thread::get_id());
        m_changed.notify_all();
        m_changed.wait_for(lock, m_holdLimit, [this] { return m_open; });
        if (m_sleep.count() > 0) {
            lock.unlock();
            std::this_thread::sleep_for(m_sleep);
            lock.lock();
        }
        if (!ok) return OpenRTM::PORT_ERROR;
        m_got.push_back(static_cast<const char*>(sample.data));
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
    void answer(OpenRTM::PortStatus a) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answer = a;
    }
    // Waits (at most 10 s) until n puts have begun.
    bool waitEntered(int n) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_entered >= n; });
    }
    // Waits (at most 10 s) until n samples were taken.
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
    OpenRTM::PortStatus m_answer = OpenRTM::PORT_OK;
    std::vector<std::string> m_got;
    std::vector<std::thread::id> m_threads;
};
