// The sending thread of one new or periodic connection. write() stores the
// encoded sample in the connection's ring and returns; the thread sends what
// the push policy picks through `send`, so a slow or unreachable receiver
// holds up only this thread, never the writer.
//   new:      the thread wakes on every write()
//   periodic: the thread wakes at the push rate
//   push policy all: everything waiting; fifo: the oldest; new: the newest
//   (older ones are dropped); skip: every (skip_count + 1)-th sample.
// A sample the receiver could not store (SEND_FULL, BUFFER_FULL or
// BUFFER_TIMEOUT) stays in the ring and is tried again on the next wake-up (a
// new connection then wakes again after 10 ms without waiting for a write);
// so does one whose send failed otherwise. A send that timed out
// (SEND_TIMEOUT) may have delivered the sample: it is never sent again. Once
// the receiver is known to be gone nothing more is sent and write() reports
// CONNECTION_LOST.
#pragma once

#include <rtm/DataPortStatus.h>

#include "CdrBuffer.h"
#include "PublisherSettings.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>

namespace RTC {

class Publisher {
  public:
    typedef std::function<DataPortStatus::Enum(const unsigned char* data, std::size_t size)> Send;

    // Starts the thread; settings.kind is New or Periodic.
    Publisher(const PublisherSettings& settings, Send send);
    // stop().
    ~Publisher();
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // PORT_OK once stored; BUFFER_FULL or BUFFER_TIMEOUT from the ring's full
    // policy, also BUFFER_FULL while the receiver reports its own buffer
    // full (the sample is stored all the same); CONNECTION_LOST once the
    // receiver is gone.
    DataPortStatus::Enum write(const unsigned char* data, std::size_t size);

    // Ends the thread after the send in progress (if any) and waits for it;
    // what is still in the ring is not sent. Safe to call more than once.
    void stop();

    // True once stop() was called.
    bool stopping();
    // Result of the thread's last send (PORT_OK before the first).
    DataPortStatus::Enum lastSendStatus() const { return m_lastSend.load(); }
    const PublisherSettings& settings() const { return m_settings; }
    std::size_t waiting() const { return m_buffer.readable(); }

  private:
    void run();
    DataPortStatus::Enum push();
    DataPortStatus::Enum pushAll();
    DataPortStatus::Enum pushOne(std::uint64_t number);
    DataPortStatus::Enum pushNew();
    DataPortStatus::Enum pushSkip();
    DataPortStatus::Enum sendNumber(std::uint64_t number, bool& sent);

    const PublisherSettings m_settings;
    Send m_send;
    CdrBuffer m_buffer;
    CdrBuffer::Sample m_sample;  // the thread's copy of what it sends
    std::atomic<DataPortStatus::Enum> m_lastSend{DataPortStatus::PORT_OK};
    std::size_t m_leftSkip = 0;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::size_t m_pending = 0;  // writes not yet served (new)
    bool m_stop = false;
    std::mutex m_joinMutex;  // one stop() joins, a concurrent one waits for it
    std::thread m_thread;
};

}  // namespace RTC
