// Shortens the silence before the first audible sample of a stream of
// samples: keeps at most `keepSamples` of it (a look-back, so the rise of a
// soft first consonant is not cut), passes everything after the first
// audible sample unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace parlune::helper {

class SilenceTrimmer {
  public:
    // Samples whose magnitude stays at or below this are silence (-60 dBFS).
    // Soft onsets ("th", "h", "f", "s") start at 10-100 and stay under
    // -40 dBFS (328) for tens of milliseconds: only the synthesiser's noise
    // floor (about 5) is below this.
    static constexpr int kThreshold = 33;

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
