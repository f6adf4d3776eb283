// Plays utterances on the PulseAudio server through one playback stream that
// stays open between utterances. Every wait inside ends within about 10 ms
// once the stop flag is set, so a stop never waits for the server.
#pragma once

#include <pulse/context.h>
#include <pulse/mainloop-api.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <functional>

#include "AudioSink.h"

namespace parlune {

class PulseSink : public AudioSink {
  public:
    explicit PulseSink(const std::atomic<bool>& stop);
    ~PulseSink() override;
    PulseSink(const PulseSink&) = delete;
    PulseSink& operator=(const PulseSink&) = delete;

    bool begin(const std::string& text, int sampleRate) override;
    bool write(const int16_t* samples, size_t count) override;
    bool finish() override;
    void abandon() override;
    // Now plus the stream's latency less the duration of the `count` samples.
    int64_t heardAtNs(size_t count) override;
    bool hasClock() const override { return true; }

  private:
    bool open(int sampleRate);
    void close();
    bool streamReady() const;
    // With the main loop locked: waits until `done` holds, the stop flag is
    // set or the stream or context has failed. Returns `done()`.
    bool waitFor(const std::function<bool()>& done);

    static void onContextState(pa_context* context, void* self);
    static void onStreamEvent(pa_stream* stream, void* self);
    static void onStreamWrite(pa_stream* stream, size_t bytes, void* self);
    static void onTick(pa_mainloop_api* api, pa_time_event* event, const struct timeval* tv,
                       void* self);
    static void onDrained(pa_stream* stream, int success, void* self);

    const std::atomic<bool>& m_stop;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    pa_time_event* m_tick = nullptr;
    int m_sampleRate = 0;
};

}  // namespace parlune
