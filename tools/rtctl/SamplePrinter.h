#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "DataPort_OpenRTM.hh"

namespace rtctl {

// What rtctl print does with each sample a corba_cdr push connection
// delivers: the data of each TimedString on its own line of standard output,
// after its time stamp ("SEC.NANOSEC ") when asked; of a TimedOctetSeq, its
// octets in hexadecimal (two lower-case digits each; `xxd -r -p` turns the
// lines back into bytes).
class SamplePrinter {
  public:
    // Stops printing after `limit` samples (0: no limit).
    SamplePrinter(std::size_t limit, bool littleEndian, bool stamps = false, bool octets = false);

    // The status the sender gets for one sample.
    OpenRTM::PortStatus print(const unsigned char* data, std::size_t size);

    // Waits at most `timeout`; true once the limit is reached or output failed.
    bool waitFinished(std::chrono::milliseconds timeout);
    std::size_t printed();
    bool outputFailed();

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::size_t m_limit;
    const bool m_littleEndian;
    const bool m_stamps;
    const bool m_octets;
    std::size_t m_printed = 0;
    bool m_outputFailed = false;
    bool m_finished = false;
};

}  // namespace rtctl
