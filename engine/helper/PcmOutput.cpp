#include "PcmOutput.h"

namespace parlune::helper {

namespace {

// Samples per frame to the library: small enough to play while the rest is
// made, large enough to keep the frame overhead negligible.
constexpr size_t kFrameSamples = 4096;

}  // namespace

PcmOutput::PcmOutput(int outputRate, Send send)
    : m_outputRate(outputRate), m_send(std::move(send)), m_volume(outputRate) {}

void PcmOutput::begin(int keepLeadMs) {
    // What a stopped stretch still held is never sent.
    m_holding = false;
    m_held.clear();
    m_keepLeadMs = keepLeadMs;
    m_started = false;
    m_resampler = nullptr;
    m_counts = Counts{};
}

bool PcmOutput::write(const int16_t* samples, size_t count, int rate) {
    if (rate <= 0) {
        return true;  // nothing a rate can be made of
    }
    if (m_resampler == nullptr || m_resampler->inputRate() != rate) {
        std::unique_ptr<Resampler>& slot = m_resamplers[rate];
        if (!slot) {
            slot = std::make_unique<Resampler>(rate, m_outputRate);
        }
        if (!slot->valid()) {
            return true;  // a rate the converter refuses: drop, never crash
        }
        if (m_resampler != nullptr) {
            m_resampler->flush(m_converted);
        }
        m_resampler = slot.get();
        m_resampler->reset();
    }
    if (!m_started) {
        m_started = true;
        m_trimmer.reset(static_cast<size_t>(rate) * static_cast<size_t>(m_keepLeadMs) / 1000);
    }
    m_trimmed.clear();
    m_trimmer.process(samples, count, m_trimmed);
    // A stretch comes at one rate; the counts are of its first.
    if (m_counts.rate == 0 || m_counts.rate == rate) {
        m_counts.rate = rate;
        m_counts.kept += m_trimmed.size();
        m_counts.written += count;
    }
    m_resampler->process(m_trimmed.data(), m_trimmed.size(), m_converted);
    return send();
}

bool PcmOutput::end() {
    if (m_resampler != nullptr && m_trimmer.heardSound()) {
        m_resampler->flush(m_converted);
    }
    m_resampler = nullptr;
    return send();
}

bool PcmOutput::send() {
    // After the trimming, which judges silence by the voice's own level.
    m_volume.apply(m_converted.data(), m_converted.size());
    m_counts.made += m_converted.size();
    if (m_holding) {
        m_held.insert(m_held.end(), m_converted.begin(), m_converted.end());
        m_converted.clear();
        return true;
    }
    size_t sent = 0;
    while (sent < m_converted.size()) {
        size_t n = std::min(kFrameSamples, m_converted.size() - sent);
        if (!m_send(m_converted.data() + sent, n)) {
            m_converted.clear();
            return false;
        }
        sent += n;
    }
    m_converted.clear();
    return true;
}

bool PcmOutput::release() {
    m_holding = false;
    m_converted.swap(m_held);
    m_held.clear();
    // Counted once, when held.
    const size_t made = m_counts.made;
    const bool ok = send();
    m_counts.made = made;
    return ok;
}

}  // namespace parlune::helper
