// Passes every sample written to a sink on to an AudioTap as well, stamped
// with when the sink says it is heard.
#pragma once

#include <memory>

#include "AudioSink.h"
#include "AudioTap.h"

namespace parlune {

class TappedSink : public AudioSink {
  public:
    TappedSink(std::unique_ptr<AudioSink> inner, AudioTap& tap);

    bool begin(const std::string& text, int sampleRate) override;
    bool write(const int16_t* samples, size_t count) override;
    bool finish() override;
    void abandon() override;
    bool cut() override;
    // For the samples just written, the estimate their chunks carry, so that
    // the events timed by it agree with the chunks to the nanosecond.
    int64_t heardAtNs(size_t count) override;
    bool hasClock() const override { return m_inner->hasClock(); }

  private:
    std::unique_ptr<AudioSink> m_inner;
    AudioTap& m_tap;
    int m_sampleRate = 0;
    size_t m_lastCount = 0;  // samples of the last write, 0 once anything else happened
    int64_t m_lastHeardNs = 0;
};

}  // namespace parlune
