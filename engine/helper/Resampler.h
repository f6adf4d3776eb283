// Converts 16-bit mono PCM from one sample rate to another as it streams
// (speexdsp's resampler: a windowed-sinc filter with a few milliseconds of
// delay, cheap enough to run on every sample the helper sends).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SpeexResamplerState_;

namespace parlune::helper {

class Resampler {
  public:
    Resampler(int inputRate, int outputRate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    bool valid() const { return m_state != nullptr || m_inputRate == m_outputRate; }
    int inputRate() const { return m_inputRate; }

    // Forgets the previous stream; the next sample starts a new one without
    // the filter's start-up delay.
    void reset();
    // Appends the converted samples to `out`.
    void process(const int16_t* samples, size_t count, std::vector<int16_t>& out);
    // Appends what the filter still holds at the end of a stream.
    void flush(std::vector<int16_t>& out);

  private:
    int m_inputRate;
    int m_outputRate;
    SpeexResamplerState_* m_state = nullptr;
};

}  // namespace parlune::helper
