// Listens to what the PulseAudio server plays: records a sink's monitor
// source in small fragments on a thread of its own and stamps every sample
// with the steady-clock time it reached the monitor (the fragment's arrival
// time, less the samples after it). Benchmarks ask for the first audible
// sample after an instant.
#pragma once

#include <pulse/simple.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

class SoundMonitor {
  public:
    using Clock = std::chrono::steady_clock;

    // Records `source` (e.g. "cap.monitor") of the server PULSE_SERVER names.
    explicit SoundMonitor(const std::string& source);
    ~SoundMonitor();
    SoundMonitor(const SoundMonitor&) = delete;
    SoundMonitor& operator=(const SoundMonitor&) = delete;

    bool ok() const { return m_simple != nullptr; }

    // Milliseconds from `after` to the first sample after it whose magnitude
    // exceeds `threshold`, or -1 when none arrives within `timeout`.
    double firstSoundAfter(Clock::time_point after, std::chrono::milliseconds timeout,
                           int threshold = 500);

    // Waits until nothing audible has arrived for `quiet` (an utterance has
    // ended); false when that takes longer than `timeout`.
    bool waitQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout);

    // When the latest audible sample arrived (the epoch when none has).
    Clock::time_point lastSound();

    static constexpr int kRate = 22050;
    static constexpr int kFragmentSamples = 55;  // 2.5 ms

  private:
    void run();

    pa_simple* m_simple = nullptr;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Clock::time_point> m_loud;  // times of loud fragments' first loud sample
    std::atomic<int> m_threshold{500};
    std::thread m_thread;
};
