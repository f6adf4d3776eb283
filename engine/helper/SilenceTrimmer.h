// Shortens the silence before the first audible sample of a stream of
// samples: keeps at most `keepSamples` of it, passes everything after the
// first audible sample unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace parlune::helper {

class SilenceTrimmer {
  public:
    // Samples whose magnitude stays at or below this are silence (-40 dBFS).
    static constexpr int kThreshold = 328;

    // Starts a new stream.
    void reset(size_t keepSamples);

    // Appends to `out` what of `samples` is to be kept.
    void process(const int16_t* samples, size_t count, std::vector<int16_t>& out);

    bool heardSound() const { return m_sound; }

  private:
    size_t m_keep = 0;
    bool m_sound = false;
    std::vector<int16_t> m_silence;  // the last m_keep silent samples so far
};

}  // namespace parlune::helper
