// Ring of encoded samples between an output port's write() and the thread
// that sends them to one connection. Its length and what a write into a full
// ring or a read from an empty one does come from the connection's "buffer."
// properties (see BufferSettings).
#pragma once

#include <rtm/DataPortStatus.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace RTC {

struct BufferSettings {
    // buffer.write.full_policy
    enum class Full { Overwrite, DoNothing, Block };
    // buffer.read.empty_policy
    enum class Empty { Readback, DoNothing, Block };

    std::size_t length = 8;  // buffer.length
    Full full = Full::Overwrite;
    std::chrono::nanoseconds writeTimeout{std::chrono::seconds(1)};  // buffer.write.timeout
    Empty empty = Empty::Readback;
    std::chrono::nanoseconds readTimeout{std::chrono::seconds(1)};  // buffer.read.timeout
};

class CdrBuffer {
  public:
    typedef std::vector<unsigned char> Sample;

    explicit CdrBuffer(const BufferSettings& settings);
    CdrBuffer(const CdrBuffer&) = delete;
    CdrBuffer& operator=(const CdrBuffer&) = delete;

    std::size_t length() const { return m_slots.size(); }

    // Stores a copy of the sample. When full: Overwrite drops the oldest and
    // gives PORT_OK; DoNothing keeps the ring as it is and gives BUFFER_FULL;
    // Block waits up to the write timeout for room, else BUFFER_TIMEOUT.
    DataPortStatus::Enum write(const unsigned char* data, std::size_t size);

    // Takes the oldest sample. When empty: Readback gives the last sample
    // read again (BUFFER_EMPTY when there never was one); DoNothing gives
    // BUFFER_EMPTY; Block waits up to the read timeout, else BUFFER_TIMEOUT.
    DataPortStatus::Enum read(Sample& out);

    // The sending thread's view. Samples are numbered from 0 in the order
    // written; a sample stays until read, dropped or overwritten.
    std::size_t readable() const;
    // Number of the oldest sample waiting (of the next one when none waits).
    std::uint64_t oldest() const;
    // Copies sample `number`; false when it is gone or not written yet.
    bool copy(std::uint64_t number, Sample& out) const;
    // Forgets every sample numbered below `number`.
    void dropBefore(std::uint64_t number);

    // Wakes every blocked write() and read(); they give BUFFER_TIMEOUT.
    void release();
    // write() and read() calls waiting for room or a sample right now.
    std::size_t blocked() const;

  private:
    const BufferSettings m_settings;
    mutable std::mutex m_mutex;
    std::condition_variable m_notFull;
    std::condition_variable m_notEmpty;
    std::vector<Sample> m_slots;
    std::size_t m_head = 0;     // slot of the oldest sample
    std::size_t m_count = 0;    // samples waiting
    std::uint64_t m_first = 0;  // number of the oldest sample
    bool m_everRead = false;
    bool m_released = false;
    std::size_t m_blocked = 0;  // calls inside a Block wait
};

}  // namespace RTC
