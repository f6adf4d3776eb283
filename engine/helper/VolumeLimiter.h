// Scales samples to a volume in percent of the voice's level. Above 100 a
// limiter keeps every sample in the 16-bit range without clipping: its gain
// falls fast where a sample would pass the threshold and recovers slowly,
// and what still overshoots is bent smoothly below full scale (a soft knee,
// strictly increasing), so nothing is held flat or wraps.
#pragma once

#include <cstddef>
#include <cstdint>

namespace parlune::helper {

class VolumeLimiter {
  public:
    // Where the limiter aims and where the soft knee begins.
    static constexpr float kThreshold = 24000.0f;
    // What no sample reaches.
    static constexpr float kCeiling = 32000.0f;

    explicit VolumeLimiter(int sampleRate);

    // Sets the volume, 0..200, and starts the limiter afresh.
    void setVolume(int percent);
    // Scales `count` samples in place.
    void apply(int16_t* samples, size_t count);

  private:
    int m_percent = 100;
    float m_gain = 1.0f;
    float m_reduction = 1.0f;  // the limiter's factor now, <= 1
    float m_attack;            // fraction of the way down to the target per sample
    float m_recovery;          // fraction of the way back to 1 per sample
};

}  // namespace parlune::helper
