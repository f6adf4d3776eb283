// Encoded samples waiting in an input port, in the order they arrived over
// all of the port's connections. Each connection has its own share of the
// buffer: its own length and its own policies for a write into a full share
// and a read from an empty buffer (see BufferSettings). A connection that
// ends takes nothing with it: what it delivered stays until read.
#pragma once

#include <rtm/DataPortStatus.h>

#include "CdrBuffer.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace RTC {

class InPortBuffer {
  public:
    typedef std::vector<unsigned char> Sample;

    // `unconnected` serves samples written under an id that no open()
    // announced (samples put straight into the port) or whose close() has
    // come (a put racing the end of its connection).
    explicit InPortBuffer(const BufferSettings& unconnected);
    InPortBuffer(const InPortBuffer&) = delete;
    InPortBuffer& operator=(const InPortBuffer&) = delete;

    // Starts connection `id`'s share with its settings; an id already open
    // keeps its samples and takes the new settings.
    void open(const std::string& id, const BufferSettings& settings);
    // Ends connection `id`: a write of it waiting for room gives
    // BUFFER_TIMEOUT; the samples it stored stay readable.
    void close(const std::string& id);

    // Stores the sample at the end. When the connection's share is full:
    // Overwrite drops the connection's oldest sample and gives PORT_OK;
    // DoNothing stores nothing and gives BUFFER_FULL; Block waits up to the
    // write timeout for a read to make room, else BUFFER_TIMEOUT.
    DataPortStatus::Enum write(const std::string& id, Sample&& sample, bool little_endian);

    // Moves the oldest sample into `out`. When nothing waits: BUFFER_EMPTY,
    // or, while an open connection asks for Block, a wait of up to its read
    // timeout for a sample (BUFFER_TIMEOUT when none came).
    DataPortStatus::Enum read(Sample& out, bool& little_endian);

    std::size_t readable() const;
    // Samples of connection `id` waiting to be read.
    std::size_t held(const std::string& id) const;
    // The settings connection `id` writes under (`unconnected` when unknown).
    BufferSettings settings(const std::string& id) const;

  private:
    struct Share {
        BufferSettings settings;
        std::size_t count = 0;
        bool closed = false;
    };
    struct Entry {
        std::shared_ptr<Share> share;
        Sample sample;
        bool little;
    };

    std::shared_ptr<Share> shareFor(const std::string& id);
    void dropOldestOf(const Share& share);

    const BufferSettings m_unconnected;
    mutable std::mutex m_mutex;
    std::condition_variable m_room;
    std::condition_variable m_arrived;
    std::map<std::string, std::shared_ptr<Share>> m_shares;
    std::deque<Entry> m_entries;
};

}  // namespace RTC
