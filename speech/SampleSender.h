// Writes TimedString samples to an out port from a thread of its own, so that
// whoever posts them never waits for the port's connections, whatever they
// asked for (flush, block, a full buffer that blocks). Up to `capacity`
// samples wait in order; beyond that the oldest waiting one is dropped and
// counted, so only a consumer that stops taking samples can lose any.
#pragma once

// The data type header must come before the other framework headers.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/OutPort.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class SampleSender {
  public:
    // From start() on, `value` (the port's bound variable) belongs to the
    // sending thread.
    SampleSender(RTC::OutPort<RTC::TimedString>& port, RTC::TimedString& value,
                 std::size_t capacity);
    // stop().
    ~SampleSender();
    SampleSender(const SampleSender&) = delete;
    SampleSender& operator=(const SampleSender&) = delete;

    // Starts the sending thread; nothing happens if it runs already.
    void start();
    // Ends the thread after the write in progress; what waits is not sent.
    void stop();
    // Queues one sample; never waits for the port.
    void post(const RTC::Time& tm, const std::string& data);

    // Samples queued and not yet handed to the port.
    std::size_t waiting() const;
    // Samples dropped since construction because the queue was full.
    std::size_t dropped() const;

  private:
    struct Sample {
        RTC::Time tm;
        std::string data;
    };
    void run();

    RTC::OutPort<RTC::TimedString>& m_port;
    RTC::TimedString& m_value;
    const std::size_t m_capacity;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Sample> m_queue;
    std::size_t m_dropped = 0;
    std::size_t m_unreported = 0;  // dropped since the last warning
    bool m_stop = false;
    std::thread m_thread;
};
