#include "SilenceTrimmer.h"

#include <cstdlib>

namespace parlune::helper {

void SilenceTrimmer::reset(size_t keepSamples) {
    m_keep = keepSamples;
    m_sound = false;
    m_silence.clear();
}

void SilenceTrimmer::process(const int16_t* samples, size_t count, std::vector<int16_t>& out) {
    if (m_sound) {
        out.insert(out.end(), samples, samples + count);
        return;
    }
    size_t first = 0;
    while (first < count && std::abs(static_cast<int>(samples[first])) <= kThreshold) {
        ++first;
    }
    m_silence.insert(m_silence.end(), samples, samples + first);
    if (m_silence.size() > m_keep) {
        m_silence.erase(m_silence.begin(), m_silence.end() - static_cast<std::ptrdiff_t>(m_keep));
    }
    if (first == count) {
        return;
    }
    m_sound = true;
    out.insert(out.end(), m_silence.begin(), m_silence.end());
    m_silence.clear();
    out.insert(out.end(), samples + first, samples + count);
}

}  // namespace parlune::helper
