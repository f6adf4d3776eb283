#include "TappedSink.h"

#include "EventQueue.h"

namespace parlune {

TappedSink::TappedSink(std::unique_ptr<AudioSink> inner, AudioTap& tap)
    : m_inner(std::move(inner)), m_tap(tap) {}

bool TappedSink::begin(const std::string& text, int sampleRate) {
    m_sampleRate = sampleRate;
    m_lastCount = 0;
    return m_inner->begin(text, sampleRate);
}

bool TappedSink::write(const int16_t* samples, size_t count) {
    if (!m_inner->write(samples, count)) {
        return false;
    }
    m_lastCount = count;
    m_lastHeardNs = m_inner->heardAtNs(count);
    m_tap.played(m_sampleRate, samples, count, m_lastHeardNs);
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
