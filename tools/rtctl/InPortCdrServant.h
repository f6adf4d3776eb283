#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "DataPort_OpenRTM.hh"

// The receiving end of a corba_cdr push connection that prints the data of
// each TimedString arriving through put() on its own line of standard output.
class InPortCdrServant : public POA_OpenRTM::InPortCdr {
  public:
    // Stops printing after `limit` samples (0: no limit).
    InPortCdrServant(std::size_t limit, bool littleEndian);

    OpenRTM::PortStatus put(const OpenRTM::CdrData& data) override;

    // Waits at most `timeout`; true once the limit is reached or output failed.
    bool waitFinished(std::chrono::milliseconds timeout);
    std::size_t printed();
    bool outputFailed();

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::size_t m_limit;
    const bool m_littleEndian;
    std::size_t m_printed = 0;
    bool m_outputFailed = false;
    bool m_finished = false;
};
