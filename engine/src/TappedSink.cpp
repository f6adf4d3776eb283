#include "TappedSink.h"

#include <algorithm>

#include "EventQueue.h"

namespace parlune {

TappedSink::TappedSink(std::unique_ptr<AudioSink> inner, AudioTap& tap,
                       const std::atomic<bool>& stop)
    : m_inner(std::move(inner)), m_tap(tap), m_stop(stop) {}

bool TappedSink::begin(const std::string& text, int sampleRate) {
    m_sampleRate = sampleRate;
    m_lastCount = 0;
    return m_inner->begin(text, sampleRate);
}

bool TappedSink::write(const int16_t* samples, size_t count) {
    // A frame may hold seconds of sound, which the sink takes as it plays:
    // passed on piece by piece, each leaves as soon as the sink has it.
    const size_t piece = std::max<size_t>(1, static_cast<size_t>(m_sampleRate) / 50);
    m_lastCount = 0;
    for (size_t at = 0; at < count && !m_stop.load(); at += piece) {
        const size_t n = std::min(piece, count - at);
        if (!m_inner->write(samples + at, n)) {
            return false;
        }
        const int64_t heardNs = m_inner->heardAtNs(n);
        if (at == 0) {
            m_lastHeardNs = heardNs;
        }
        m_tap.played(m_sampleRate, samples + at, n, heardNs);
    }
    m_tap.release();
    m_lastCount = count;
    return true;
}

int64_t TappedSink::heardAtNs(size_t count) {
    return count > 0 && count == m_lastCount ? m_lastHeardNs : m_inner->heardAtNs(count);
}

bool TappedSink::finish() {
    // The last short chunk goes before the wait for the sound to play out.
    m_tap.end();
    m_lastCount = 0;
    return m_inner->finish();
}

void TappedSink::abandon() {
    m_lastCount = 0;
    m_inner->abandon();
    m_tap.cut(EventQueue::now());
}

bool TappedSink::cut() {
    m_lastCount = 0;
    const bool ok = m_inner->cut();
    m_tap.cut(EventQueue::now());
    return ok;
}

}  // namespace parlune
