// Relays the sound the engine plays to a TimedOctetSeq out port from a thread
// of its own: it takes each chunk from the engine once the chunk is heard and
// writes it as 16-bit signed little-endian mono PCM, stamped with the
// CLOCK_REALTIME time its first sample is heard. The engine keeps a bounded
// queue of chunks and drops the oldest when it is full, so a connection that
// holds this thread up loses sound but never holds up speech or the
// component's execution context: neither attaching nor detaching an engine
// waits for the thread.
#pragma once

// The data type header must come before the other framework headers.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/OutPort.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "ParluneDa.h"

// The engine's sound as data; weak, so that an engine without it still links
// (then nothing is relayed).
extern "C" int ParluneDa_NextAudio(ParluneDaHandle handle, ParluneDaAudioChunk* chunk,
                                   std::int32_t wait_ms) __attribute__((weak));

class AudioSender {
  public:
    // From start() on, `value` (the port's bound variable) belongs to the
    // sending thread.
    AudioSender(RTC::OutPort<RTC::TimedOctetSeq>& port, RTC::TimedOctetSeq& value);
    // stop().
    ~AudioSender();
    AudioSender(const AudioSender&) = delete;
    AudioSender& operator=(const AudioSender&) = delete;

    // Starts the relaying thread; nothing happens if it runs already.
    void start();
    // Ends the thread after the chunk in progress.
    void stop();
    // Relays the chunks of `handle` (its sound enabled) from now on, or of
    // none for nullptr. Never waits: the engine's functions may be called
    // with a handle after it is released.
    void attach(ParluneDaHandle handle);

  private:
    void run();
    // Writes one chunk as little-endian bytes, stamped with the wall clock.
    void send(const ParluneDaAudioChunk& chunk);

    RTC::OutPort<RTC::TimedOctetSeq>& m_port;
    RTC::TimedOctetSeq& m_value;
    std::mutex m_mutex;  // guards m_handle and m_stop
    std::condition_variable m_changed;
    ParluneDaHandle m_handle = nullptr;
    bool m_stop = false;
    std::thread m_thread;
};
