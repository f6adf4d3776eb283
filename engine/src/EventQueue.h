// What became of each text of one engine instance, in the order it happened:
// the engine's threads append, the caller takes events once they are due.
// Off until enabled; while off, appending keeps nothing. At most `capacity`
// events are kept: when full, the oldest is dropped to make room, so a caller
// that never takes any neither slows speech nor grows memory without limit.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "ParluneDa.h"

namespace parlune {

class EventQueue {
  public:
    static constexpr size_t kDefaultCapacity = 65536;

    explicit EventQueue(size_t capacity = kDefaultCapacity) : m_capacity(capacity) {}

    // CLOCK_MONOTONIC now, in nanoseconds.
    static int64_t now();

    void enable() { m_enabled.store(true, std::memory_order_release); }
    bool enabled() const { return m_enabled.load(std::memory_order_acquire); }

    // Appends an event; `detail` is cut to fit. False when it could not be
    // kept (events off, or no memory for it).
    bool push(ParluneDaEventKind kind, uint64_t text, int64_t timeNs, const char* detail = "");

    // Takes the oldest event into `event` when its time has come by `nowNs`;
    // false when there is none or it is not due yet.
    bool pop(ParluneDaEvent& event, int64_t nowNs);

    // Events dropped because the queue was full.
    uint64_t overflowed() const;

  private:
    const size_t m_capacity;
    std::atomic<bool> m_enabled{false};
    mutable std::mutex m_mutex;  // guards m_events and m_overflowed
    std::deque<ParluneDaEvent> m_events;
    uint64_t m_overflowed = 0;
};

}  // namespace parlune
