#include "AudioSender.h"

#include <time.h>

#include <chrono>

namespace {

std::int64_t nowNs(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The wall-clock time of a CLOCK_MONOTONIC instant.
RTC::Time wallTime(std::int64_t monotonicNs) {
    const std::int64_t ns = nowNs(CLOCK_REALTIME) - (nowNs(CLOCK_MONOTONIC) - monotonicNs);
    RTC::Time tm;
    tm.sec = static_cast<CORBA::ULong>(ns / 1000000000);
    tm.nsec = static_cast<CORBA::ULong>(ns % 1000000000);
    return tm;
}

}  // namespace

AudioSender::AudioSender(RTC::OutPort<RTC::TimedOctetSeq>& port, RTC::TimedOctetSeq& value)
    : m_port(port), m_value(value) {}

AudioSender::~AudioSender() { stop(); }

void AudioSender::start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_thread.joinable() || ParluneDa_NextAudio == nullptr) return;
    m_stop = false;
    m_thread = std::thread(&AudioSender::run, this);
}

void AudioSender::stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void AudioSender::attach(ParluneDaHandle handle) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_handle = handle;
    }
    m_changed.notify_all();
}

void AudioSender::run() {
    ParluneDaAudioChunk chunk;
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        const ParluneDaHandle handle = m_handle;
        if (handle == nullptr) {
            m_changed.wait(lock, [&] { return m_stop || m_handle != nullptr; });
            continue;
        }
        lock.unlock();
        // A short wait, so that a stop or another engine is seen soon.
        const int got = ParluneDa_NextAudio(handle, &chunk, 50);
        if (got == 1 && chunk.count > 0) send(chunk);
        lock.lock();
        // Released: wait for the next engine rather than ask again and again.
        if (got < 0 && m_handle == handle) {
            m_changed.wait(lock, [&] { return m_stop || m_handle != handle; });
        }
    }
}

void AudioSender::send(const ParluneDaAudioChunk& chunk) {
    const std::size_t count =
        static_cast<std::size_t>(chunk.count) <= PARLUNE_DA_AUDIO_CHUNK_SAMPLES_MAX
            ? static_cast<std::size_t>(chunk.count)
            : PARLUNE_DA_AUDIO_CHUNK_SAMPLES_MAX;
    m_value.tm = wallTime(chunk.time_ns);
    m_value.data.length(static_cast<CORBA::ULong>(count * 2));
    for (std::size_t i = 0; i < count; ++i) {
        const auto sample = static_cast<std::uint16_t>(chunk.samples[i]);
        m_value.data[static_cast<CORBA::ULong>(2 * i)] = static_cast<CORBA::Octet>(sample & 0xff);
        m_value.data[static_cast<CORBA::ULong>(2 * i + 1)] = static_cast<CORBA::Octet>(sample >> 8);
    }
    // May wait for a connection; only this thread does.
    m_port.write();
}
