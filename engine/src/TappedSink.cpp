#include "TappedSink.h"

#include "EventQueue.h"

namespace parlune {

TappedSink::TappedSink(std::unique_ptr<AudioSink> inner, AudioTap& tap)
    : m_inner(std::move(inner)), m_tap(tap) {}

bool TappedSink::begin(const std::string& text, int sampleRate) {
    m_sampleRate = sampleRate;
    return m_inner->begin(text, sampleRate);
}

bool TappedSink::write(const int16_t* samples, size_t count) {
    if (!m_inner->write(samples, count)) {
        return false;
    }
    m_tap.played(m_sampleRate, samples, count, m_inner->heardAtNs(count));
    return true;
}

bool TappedSink::finish() {
    // The last short chunk goes before the wait for the sound to play out.
    m_tap.end();
    return m_inner->finish();
}

void TappedSink::abandon() {
    m_inner->abandon();
    m_tap.cut(EventQueue::now());
}

bool TappedSink::cut() {
    const bool ok = m_inner->cut();
    m_tap.cut(EventQueue::now());
    return ok;
}

}  // namespace parlune
