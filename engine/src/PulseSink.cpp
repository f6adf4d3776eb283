#include "PulseSink.h"

#include <pulse/error.h>
#include <pulse/operation.h>
#include <pulse/timeval.h>

#include <algorithm>

#include "EventQueue.h"

namespace parlune {

namespace {

constexpr pa_usec_t kTickUsec = 10 * PA_USEC_PER_MSEC;
// Server-side buffer: small, so that little is left to hear after a stop.
constexpr pa_usec_t kTargetLatencyUsec = 100 * PA_USEC_PER_MSEC;

// Holds the threaded main loop's lock for one scope.
class LoopLock {
  public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) {
        pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

  private:
    pa_threaded_mainloop* m_loop;
};

struct DrainState {
    pa_threaded_mainloop* loop;
    bool done = false;
    bool success = false;
};

}  // namespace

PulseSink::PulseSink(const std::atomic<bool>& stop) : m_stop(stop) {}

PulseSink::~PulseSink() { close(); }

void PulseSink::onContextState(pa_context*, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseSink*>(self)->m_loop, 0);
}

void PulseSink::onStreamEvent(pa_stream*, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseSink*>(self)->m_loop, 0);
}

void PulseSink::onStreamWrite(pa_stream*, size_t, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseSink*>(self)->m_loop, 0);
}

void PulseSink::onTick(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseSink*>(self)->m_loop, 0);
}

void PulseSink::onDrained(pa_stream*, int success, void* state) {
    auto* drain = static_cast<DrainState*>(state);
    drain->done = true;
    drain->success = success != 0;
    pa_threaded_mainloop_signal(drain->loop, 0);
}

bool PulseSink::streamReady() const {
    return m_context != nullptr && pa_context_get_state(m_context) == PA_CONTEXT_READY &&
           m_stream != nullptr && pa_stream_get_state(m_stream) == PA_STREAM_READY;
}

bool PulseSink::waitFor(const std::function<bool()>& done) {
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    while (!done()) {
        if (m_stop.load()) {
            return false;
        }
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) ||
            (m_stream != nullptr && !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))) {
            return false;
        }
        // The tick wakes us to look at the stop flag again.
        struct timeval when {};
        pa_timeval_add(pa_gettimeofday(&when), kTickUsec);
        api->time_restart(m_tick, &when);
        pa_threaded_mainloop_wait(m_loop);
    }
    return true;
}

bool PulseSink::open(int sampleRate) {
    m_loop = pa_threaded_mainloop_new();
    if (m_loop == nullptr) {
        return false;
    }
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    m_context = pa_context_new(api, "Parlune");
    if (m_context == nullptr) {
        close();
        return false;
    }
    m_tick = api->time_new(api, nullptr, &PulseSink::onTick, this);
    pa_context_set_state_callback(m_context, &PulseSink::onContextState, this);
    // No autospawn: a library must not fork a sound server out of its host.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(m_loop) < 0) {
        close();
        return false;
    }

    bool ready = false;
    {
        LoopLock lock(m_loop);
        ready = waitFor([this] { return pa_context_get_state(m_context) == PA_CONTEXT_READY; });
        if (ready) {
            pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(sampleRate), 1};
            m_stream = pa_stream_new(m_context, "Speech", &spec, nullptr);
        }
        if (m_stream != nullptr) {
            pa_stream_set_state_callback(m_stream, &PulseSink::onStreamEvent, this);
            pa_stream_set_write_callback(m_stream, &PulseSink::onStreamWrite, this);
            pa_sample_spec spec{PA_SAMPLE_S16LE, static_cast<uint32_t>(sampleRate), 1};
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<uint32_t>(-1);
            attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kTargetLatencyUsec, &spec));
            attr.prebuf = static_cast<uint32_t>(-1);
            attr.minreq = static_cast<uint32_t>(-1);
            attr.fragsize = static_cast<uint32_t>(-1);
            // Timing kept up to date and interpolated, so that the latency of
            // what is written can be asked without a round trip to the server.
            const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                              PA_STREAM_INTERPOLATE_TIMING |
                                                              PA_STREAM_AUTO_TIMING_UPDATE);
            ready = pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) ==
                        0 &&
                    waitFor([this] { return pa_stream_get_state(m_stream) == PA_STREAM_READY; });
        } else {
            ready = false;
        }
    }
    if (!ready) {
        close();
        return false;
    }
    m_sampleRate = sampleRate;
    return true;
}

void PulseSink::close() {
    if (m_loop == nullptr) {
        return;
    }
    {
        LoopLock lock(m_loop);
        if (m_stream != nullptr) {
            pa_stream_set_state_callback(m_stream, nullptr, nullptr);
            pa_stream_set_write_callback(m_stream, nullptr, nullptr);
            pa_stream_disconnect(m_stream);
            pa_stream_unref(m_stream);
            m_stream = nullptr;
        }
        if (m_context != nullptr) {
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
            m_context = nullptr;
        }
        if (m_tick != nullptr) {
            pa_threaded_mainloop_get_api(m_loop)->time_free(m_tick);
            m_tick = nullptr;
        }
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
    m_loop = nullptr;
    m_sampleRate = 0;
}

bool PulseSink::begin(const std::string&, int sampleRate) {
    if (m_loop != nullptr) {
        bool ready = false;
        {
            LoopLock lock(m_loop);
            ready = streamReady();
        }
        if (ready && sampleRate == m_sampleRate) {
            return true;
        }
        close();
    }
    return open(sampleRate);
}

bool PulseSink::write(const int16_t* samples, size_t count) {
    if (m_loop == nullptr) {
        return false;
    }
    const char* data = reinterpret_cast<const char*>(samples);
    size_t left = count * sizeof(int16_t);
    LoopLock lock(m_loop);
    while (left > 0) {
        size_t writable = 0;
        bool ok = waitFor([&] {
            writable = pa_stream_writable_size(m_stream);
            return writable != 0;
        });
        if (m_stop.load()) {
            return true;  // the caller drops the utterance
        }
        if (!ok || writable == static_cast<size_t>(-1)) {
            return false;
        }
        size_t n = std::min(left, writable);
        n -= n % sizeof(int16_t);
        if (n == 0 || pa_stream_write(m_stream, data, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

bool PulseSink::finish() {
    if (m_loop == nullptr) {
        return false;
    }
    LoopLock lock(m_loop);
    // Drain so that a short utterance is played even below the prebuffer,
    // and the next one starts after this one has been heard.
    DrainState drain{m_loop};
    pa_operation* op = pa_stream_drain(m_stream, &PulseSink::onDrained, &drain);
    if (op == nullptr) {
        return false;
    }
    bool done = waitFor([&] { return drain.done; });
    if (!done) {
        pa_operation_cancel(op);  // the callback must not see `drain` any more
    }
    pa_operation_unref(op);
    return m_stop.load() || (done && drain.success);
}

void PulseSink::abandon() {
    if (m_loop == nullptr) {
        return;
    }
    LoopLock lock(m_loop);
    if (streamReady()) {
        if (pa_operation* op = pa_stream_flush(m_stream, nullptr, nullptr)) {
            pa_operation_unref(op);
        }
    }
}

int64_t PulseSink::heardAtNs(size_t count) {
    if (m_loop == nullptr) {
        return EventQueue::now();
    }
    LoopLock lock(m_loop);
    pa_usec_t latency = 0;
    int negative = 0;
    // Everything written and not yet played, plus the sink's own delay.
    const bool known = streamReady() && pa_stream_get_latency(m_stream, &latency, &negative) == 0;
    const int64_t now = EventQueue::now();
    if (!known || negative != 0 || m_sampleRate <= 0) {
        return now;
    }
    const pa_usec_t duration = count * PA_USEC_PER_SEC / static_cast<pa_usec_t>(m_sampleRate);
    return now + static_cast<int64_t>(latency > duration ? latency - duration : 0) * 1000;
}

}  // namespace parlune
