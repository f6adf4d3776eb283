#include "AudioTap.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "EventQueue.h"
#include "Resampler.h"

namespace parlune {

namespace {

// Samples in one chunk of at most 20 ms at `rate`.
size_t chunkSamples(int rate) {
    return std::min<size_t>(PARLUNE_DA_AUDIO_CHUNK_SAMPLES_MAX, static_cast<size_t>(rate) / 50);
}

int64_t durationNs(size_t samples, int rate) {
    return static_cast<int64_t>(samples) * 1000000000 / rate;
}

}  // namespace

AudioTap::AudioTap(size_t capacity) : m_capacity(capacity) {}

AudioTap::~AudioTap() = default;

bool AudioTap::offered(int rate) {
    return rate == 0 || rate == 16000 || rate == 22050 || rate == 48000;
}

bool AudioTap::enable(int rate) {
    if (!offered(rate)) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_nextRate = rate;
    }
    m_enabled.store(true, std::memory_order_release);
    return true;
}

void AudioTap::begin(uint64_t text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_text = text;
    m_rate = m_nextRate;
    m_resampler.reset();
    m_held.clear();
}

void AudioTap::played(int inputRate, const int16_t* samples, size_t count, int64_t heardNs) {
    if (!enabled() || inputRate <= 0 || count == 0) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    const int rate = outputRate(inputRate);
    if (!m_resampler || m_resampler->inputRate() != inputRate || m_heldRate != rate) {
        m_resampler = std::make_unique<helper::Resampler>(inputRate, rate);
        m_held.clear();
        m_heldRate = rate;
        m_inTotal = m_outTotal = 0;
    }
    if (!m_resampler->valid()) {
        return;
    }
    // The filter gives back the input's last few samples only with the next
    // ones: the first sample out is that much older than the first in.
    const uint64_t due = m_inTotal * static_cast<uint64_t>(rate) / static_cast<uint64_t>(inputRate);
    heardNs -= durationNs(due > m_outTotal ? due - m_outTotal : 0, rate);
    m_converted.clear();
    m_resampler->process(samples, count, m_converted);
    m_inTotal += count;
    m_outTotal += m_converted.size();
    m_nextNs = heardNs + durationNs(m_converted.size(), rate);
    const size_t size = chunkSamples(rate);
    size_t at = 0;
    // What was held starts the first chunk: the sound runs on without a gap.
    if (!m_held.empty()) {
        const size_t take = std::min(size - m_held.size(), m_converted.size());
        m_held.insert(m_held.end(), m_converted.begin(), m_converted.begin() + take);
        at = take;
        if (m_held.size() == size) {
            push(m_held.data(), m_held.size(), m_heldNs);
            m_held.clear();
        }
    }
    for (; m_converted.size() - at >= size; at += size) {
        push(m_converted.data() + at, size, heardNs + durationNs(at, rate));
    }
    if (at < m_converted.size()) {
        if (m_held.empty()) {
            m_heldNs = heardNs + durationNs(at, rate);
        }
        m_held.insert(m_held.end(), m_converted.begin() + at, m_converted.end());
    }
}

void AudioTap::release() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_held.empty()) {
        push(m_held.data(), m_held.size(), m_heldNs);
        m_held.clear();
    }
}

void AudioTap::end() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_resampler && m_resampler->valid()) {
        // The filter's tail follows the last sample converted.
        if (m_held.empty()) {
            m_heldNs = m_nextNs;
        }
        m_resampler->flush(m_held);
    }
    const size_t size = m_heldRate > 0 ? chunkSamples(m_heldRate) : 0;
    for (size_t at = 0; size > 0 && at < m_held.size(); at += size) {
        push(m_held.data() + at, std::min(size, m_held.size() - at),
             m_heldNs + durationNs(at, m_heldRate));
    }
    m_held.clear();
    m_resampler.reset();
}

void AudioTap::cut(int64_t nowNs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    // Silenced before it was heard: it never played.
    while (!m_chunks.empty() && m_chunks.back().text == m_text && m_chunks.back().time_ns > nowNs) {
        m_chunks.pop_back();
    }
    m_held.clear();
    m_resampler.reset();
}

void AudioTap::push(const int16_t* samples, size_t count, int64_t timeNs) {
    if (m_capacity == 0) {
        return;
    }
    if (m_chunks.size() >= m_capacity) {
        m_chunks.pop_front();
        ++m_overflowed;
    }
    try {
        m_chunks.emplace_back();
    } catch (const std::bad_alloc&) {
        return;  // this chunk is lost, as one dropped for room
    }
    ParluneDaAudioChunk& chunk = m_chunks.back();
    chunk.text = m_text;
    chunk.time_ns = timeNs;
    chunk.rate = m_heldRate;
    chunk.count = static_cast<int32_t>(count);
    std::memcpy(chunk.samples, samples, count * sizeof(int16_t));
    m_due.notify_all();
}

bool AudioTap::pop(ParluneDaAudioChunk& chunk, int waitMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(std::max(0, waitMs));
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_closed) {
            return false;
        }
        const int64_t now = EventQueue::now();
        if (!m_chunks.empty() && m_chunks.front().time_ns <= now) {
            chunk = m_chunks.front();
            m_chunks.pop_front();
            return true;
        }
        Clock::time_point until = deadline;
        if (!m_chunks.empty()) {
            // steady_clock is CLOCK_MONOTONIC, the clock of the chunks' times.
            until = std::min(
                until, Clock::now() + std::chrono::nanoseconds(m_chunks.front().time_ns - now));
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        m_due.wait_until(lock, until);
    }
}

void AudioTap::close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
    }
    m_due.notify_all();
}

uint64_t AudioTap::overflowed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_overflowed;
}

}  // namespace parlune
