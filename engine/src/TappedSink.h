// Passes every sample written to a sink on to an AudioTap as well, stamped
// with when the sink says it is heard, 20 ms at a time as the sink takes them.
#pragma once

#include <memory>

#include "AudioSink.h"
#include "AudioTap.h"

namespace parlune {

class TappedSink : public AudioSink {
  public:
    // Once `stop` is set the rest of a write is not passed on: the caller
    // drops the utterance.
    TappedSink(std::unique_ptr<AudioSink> inner, AudioTap& tap, const std::atomic<bool>& stop);

    bool begin(const std::string& text, int sampleRate) override;
    bool write(const int16_t* samples, size_t count) override;
    bool finish() override;
    void abandon() override;
    bool cut() override;
    // For the samples of the last write, the estimate their first chunk
    // carries, so that the events timed by it agree with the chunks to the
    // nanosecond.
    int64_t heardAtNs(size_t count) override;
    bool hasClock() const override { return m_inner->hasClock(); }

  private:
    std::unique_ptr<AudioSink> m_inner;
    AudioTap& m_tap;
    const std::atomic<bool>& m_stop;
    int m_sampleRate = 0;
    size_t m_lastCount = 0;  // samples of the last write, 0 once anything else happened
    int64_t m_lastHeardNs = 0;
};

}  // namespace parlune
