#include "SoundMonitor.h"

#include <pulse/error.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <vector>

SoundMonitor::SoundMonitor(const std::string& source) {
    pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = kFragmentSamples * sizeof(int16_t);
    int error = 0;
    m_simple = pa_simple_new(nullptr, "bench-monitor", PA_STREAM_RECORD, source.c_str(), "monitor",
                             &spec, nullptr, &attr, &error);
    if (m_simple != nullptr) {
        m_thread = std::thread([this] { run(); });
    }
}

SoundMonitor::~SoundMonitor() {
    m_stop = true;
    if (m_thread.joinable()) {
        m_thread.join();  // a read returns within one fragment
    }
    if (m_simple != nullptr) {
        pa_simple_free(m_simple);
    }
}

void SoundMonitor::run() {
    std::vector<int16_t> fragment(kFragmentSamples);
    const auto perSample = std::chrono::nanoseconds(1000000000LL / kRate);
    while (!m_stop) {
        int error = 0;
        if (pa_simple_read(m_simple, fragment.data(), fragment.size() * sizeof(int16_t), &error) <
            0) {
            return;
        }
        const Clock::time_point arrived = Clock::now();
        for (size_t i = 0; i < fragment.size(); ++i) {
            if (std::abs(fragment[i]) > m_threshold) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_loud.push_back(arrived - perSample * static_cast<long>(fragment.size() - i));
                if (m_loud.size() > 100000) {
                    m_loud.pop_front();
                }
                size_t last = fragment.size() - 1;
                while (last > i && std::abs(fragment[last]) <= m_threshold) {
                    --last;
                }
                m_lastLoud = arrived - perSample * static_cast<long>(fragment.size() - last);
                m_changed.notify_all();
                break;
            }
        }
    }
}

double SoundMonitor::firstSoundAfter(Clock::time_point after, std::chrono::milliseconds timeout,
                                     int threshold) {
    m_threshold = threshold;
    std::unique_lock<std::mutex> lock(m_mutex);
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        // From the newest back: only the times after `after` are visited, not
        // a long utterance's worth of older ones on every wake-up.
        auto first = m_loud.end();
        while (first != m_loud.begin() && *std::prev(first) > after) --first;
        if (first != m_loud.end()) {
            return std::chrono::duration<double, std::milli>(*first - after).count();
        }
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            return -1.0;
        }
    }
}

bool SoundMonitor::waitQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        const Clock::time_point now = Clock::now();
        const Clock::time_point quietAt = (m_loud.empty() ? now - quiet : m_loud.back()) + quiet;
        if (now >= quietAt) {
            return true;
        }
        if (now >= deadline) {
            return false;
        }
        m_changed.wait_until(lock, std::min(quietAt, deadline));
    }
}

SoundMonitor::Clock::time_point SoundMonitor::lastSound() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastLoud;
}
