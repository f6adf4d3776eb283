// The timing marks of one engine instance, one sample per sentence, in the
// order they were made: the engine's worker appends, the caller takes. Off
// until enabled; while off, appending keeps nothing. At most `capacity`
// samples and `maxBytes` bytes are kept: when one more comes, the oldest go,
// so a caller that never takes any neither slows speech nor grows memory.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "ParluneDa.h"

namespace parlune {

class MarkQueue {
  public:
    explicit MarkQueue(size_t capacity = PARLUNE_DA_MARKS_KEPT, size_t maxBytes = 16u << 20)
        : m_capacity(capacity), m_maxBytes(maxBytes) {}

    void enable() { m_enabled.store(true, std::memory_order_release); }
    bool enabled() const { return m_enabled.load(std::memory_order_acquire); }

    // Appends the sample of text `text`; false when it could not be kept.
    bool push(uint64_t text, std::string sample);

    // The oldest sample's length. When it is shorter than `size`, it is
    // taken: copied NUL-terminated into `buffer`, its text into `text`.
    // 0 when there is none.
    size_t pop(uint64_t& text, char* buffer, size_t size);

    // Samples dropped because the queue was full.
    uint64_t overflowed() const;

  private:
    struct Entry {
        uint64_t text;
        std::string sample;
    };
    const size_t m_capacity;
    const size_t m_maxBytes;
    std::atomic<bool> m_enabled{false};
    mutable std::mutex m_mutex;  // guards the rest
    std::deque<Entry> m_samples;
    size_t m_bytes = 0;
    uint64_t m_overflowed = 0;
};

}  // namespace parlune
