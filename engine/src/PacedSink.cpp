#include "PacedSink.h"

#include <time.h>

#include <algorithm>

#include "EventQueue.h"

namespace parlune {

namespace {

// How far writing may run ahead of hearing, as an audio server's buffer.
constexpr int64_t kLeadNs = 100000000;
// Longest single sleep, so that a stop is seen quickly.
constexpr int64_t kStepNs = 10000000;

}  // namespace

PacedSink::PacedSink(std::unique_ptr<AudioSink> inner, const std::atomic<bool>& stop)
    : m_inner(std::move(inner)), m_stop(stop) {}

int64_t PacedSink::durationNs(size_t count) const {
    return m_sampleRate > 0 ? static_cast<int64_t>(count) * 1000000000 / m_sampleRate : 0;
}

void PacedSink::sleepUntil(int64_t whenNs) const {
    for (int64_t now = EventQueue::now(); now < whenNs && !m_stop.load(); now = EventQueue::now()) {
        const int64_t step = std::min(whenNs - now, kStepNs);
        timespec ts{static_cast<time_t>(step / 1000000000), static_cast<long>(step % 1000000000)};
        ::nanosleep(&ts, nullptr);
    }
}

bool PacedSink::begin(const std::string& text, int sampleRate) {
    m_sampleRate = sampleRate;
    m_endNs = EventQueue::now();
    return m_inner->begin(text, sampleRate);
}

bool PacedSink::write(const int16_t* samples, size_t count) {
    if (!m_inner->write(samples, count)) {
        return false;
    }
    // After a pause in the samples the sound resumes now, as after an underrun.
    m_endNs = std::max(m_endNs, EventQueue::now()) + durationNs(count);
    sleepUntil(m_endNs - kLeadNs);
    return true;
}

bool PacedSink::finish() {
    const bool ok = m_inner->finish();
    sleepUntil(m_endNs);
    return ok;
}

void PacedSink::abandon() {
    m_inner->abandon();
    m_endNs = EventQueue::now();
}

bool PacedSink::cut() {
    m_endNs = EventQueue::now();
    return m_inner->cut();
}

int64_t PacedSink::heardAtNs(size_t count) { return m_endNs - durationNs(count); }

}  // namespace parlune
