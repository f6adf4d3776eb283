// An audio sink that notes when samples arrive and when an utterance ends,
// for measuring the engine from Play to sound.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "AudioSink.h"

namespace parlune::bench {

class TimingSink : public AudioSink {
  public:
    using Clock = std::chrono::steady_clock;

    struct Utterance {
        Clock::time_point firstSample;
        Clock::time_point finished;
        size_t samples = 0;
    };

    // Forgets the last utterance; call before the Play to be measured.
    void reset();
    // Waits for the utterance after reset() to finish.
    Utterance waitFinished();

    bool begin(const std::string& text, int sampleRate) override;
    bool write(const int16_t* samples, size_t count) override;
    bool finish() override;
    void abandon() override {}

  private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    Utterance m_current;
    bool m_sawSample = false;
    bool m_finished = false;
};

}  // namespace parlune::bench
