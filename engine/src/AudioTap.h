// The sound an engine instance plays, as data for the caller: every sample
// written to the sink (after volume, as heard), converted to the rate asked
// for and cut into chunks of at most 20 ms, each stamped with when its first
// sample is heard. The worker appends; the caller takes each chunk once it is
// due, so chunks leave at the pace of the audio clock. Off until enabled. At
// most `capacity` chunks wait: when one more comes the oldest is dropped, so
// a caller that stops taking them never holds up speech.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "ParluneDa.h"

namespace parlune {

namespace helper {
class Resampler;
}

class AudioTap {
  public:
    static constexpr size_t kDefaultCapacity = PARLUNE_DA_AUDIO_CHUNKS_KEPT;

    explicit AudioTap(size_t capacity = kDefaultCapacity);
    ~AudioTap();
    AudioTap(const AudioTap&) = delete;
    AudioTap& operator=(const AudioTap&) = delete;

    // Whether `rate` is offered: 16000, 22050, 48000, or 0 for the engine's own.
    static bool offered(int rate);
    // Starts keeping chunks at `rate` (see offered()), from the next text on;
    // false, changing nothing, for a rate not offered.
    bool enable(int rate);
    bool enabled() const { return m_enabled.load(std::memory_order_acquire); }

    // The worker, for each text: its ordinal, then its samples at `inputRate`
    // as written, the first of them heard at `heardNs`; then end() when all
    // was written, or cut() when it stopped short at `nowNs`.
    void begin(uint64_t text);
    void played(int inputRate, const int16_t* samples, size_t count, int64_t heardNs);
    // Hands out the samples held for want of a whole chunk, as a shorter
    // one: after each frame the helper sent, since the next may come late.
    void release();
    void end();
    void cut(int64_t nowNs);

    // Takes the oldest chunk once due by the monotonic clock, waiting up to
    // `waitMs` for one; false when none came due in time or after close().
    bool pop(ParluneDaAudioChunk& chunk, int waitMs);
    // Wakes every pop and makes later ones return at once.
    void close();

    // Chunks dropped because the queue was full.
    uint64_t overflowed() const;

  private:
    // Appends one chunk of `count` samples; with m_mutex held.
    void push(const int16_t* samples, size_t count, int64_t timeNs);
    // With m_mutex held: the output rate for input at `inputRate`.
    int outputRate(int inputRate) const { return m_rate == 0 ? inputRate : m_rate; }

    const size_t m_capacity;
    std::atomic<bool> m_enabled{false};
    mutable std::mutex m_mutex;  // guards everything below
    std::condition_variable m_due;
    bool m_closed = false;
    int m_rate = 0;       // asked for; 0: the input's
    int m_nextRate = 0;   // asked for, from the next text on
    uint64_t m_text = 0;  // the text being played
    std::unique_ptr<helper::Resampler> m_resampler;
    std::vector<int16_t> m_converted;  // scratch
    std::vector<int16_t> m_held;       // less than a chunk, waiting for more
    int64_t m_heldNs = 0;              // when the first held sample is heard
    int m_heldRate = 0;                // of the held and converted samples
    int64_t m_nextNs = 0;              // when the sample after the last converted is heard
    uint64_t m_inTotal = 0;            // samples given to the resampler this text
    uint64_t m_outTotal = 0;           // and what it gave back
    std::deque<ParluneDaAudioChunk> m_chunks;
    uint64_t m_overflowed = 0;
};

}  // namespace parlune
