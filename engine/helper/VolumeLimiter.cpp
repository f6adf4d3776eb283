#include "VolumeLimiter.h"

#include <algorithm>
#include <cmath>

namespace parlune::helper {

namespace {

constexpr float kAttackSeconds = 0.0005f;
constexpr float kRecoverySeconds = 0.05f;

float perSample(float seconds, int sampleRate) {
    return 1.0f - std::exp(-1.0f / (seconds * static_cast<float>(sampleRate)));
}

}  // namespace

VolumeLimiter::VolumeLimiter(int sampleRate)
    : m_attack(perSample(kAttackSeconds, sampleRate)),
      m_recovery(perSample(kRecoverySeconds, sampleRate)) {}

void VolumeLimiter::setVolume(int percent) {
    m_percent = std::clamp(percent, 0, 200);
    m_gain = static_cast<float>(m_percent) / 100.0f;
    m_reduction = 1.0f;
}

void VolumeLimiter::apply(int16_t* samples, size_t count) {
    if (m_percent == 100) {
        return;
    }
    constexpr float kKnee = kCeiling - kThreshold;
    for (size_t i = 0; i < count; ++i) {
        const float scaled = static_cast<float>(samples[i]) * m_gain;
        const float magnitude = std::fabs(scaled);
        const float wanted = magnitude > kThreshold ? kThreshold / magnitude : 1.0f;
        m_reduction += (wanted - m_reduction) * (wanted < m_reduction ? m_attack : m_recovery);
        float level = magnitude * m_reduction;
        if (level > kThreshold) {
            level = kThreshold + kKnee * std::tanh((level - kThreshold) / kKnee);
        }
        samples[i] = static_cast<int16_t>(std::lround(std::copysign(level, scaled)));
    }
}

}  // namespace parlune::helper
