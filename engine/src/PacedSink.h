// Gives a sink without an audio clock (a WAV file, nothing) one: samples are
// taken no faster than they would play, at most a short lead ahead of the
// wall clock, and an utterance finishes once its last sample would have been
// heard. Used while the sound is also handed out as data, so that it leaves
// as it would be heard.
#pragma once

#include <memory>

#include "AudioSink.h"

namespace parlune {

class PacedSink : public AudioSink {
  public:
    // Waits end early once `stop` is set.
    PacedSink(std::unique_ptr<AudioSink> inner, const std::atomic<bool>& stop);

    bool begin(const std::string& text, int sampleRate) override;
    bool write(const int16_t* samples, size_t count) override;
    bool finish() override;
    void abandon() override;
    bool cut() override;
    // When the last written sample would end, less the `count` samples.
    int64_t heardAtNs(size_t count) override;
    bool hasClock() const override { return true; }

  private:
    int64_t durationNs(size_t count) const;
    // Sleeps until `whenNs` (CLOCK_MONOTONIC) or the stop flag is set.
    void sleepUntil(int64_t whenNs) const;

    std::unique_ptr<AudioSink> m_inner;
    const std::atomic<bool>& m_stop;
    int m_sampleRate = 0;
    int64_t m_endNs = 0;  // when the last written sample has been heard
};

}  // namespace parlune
