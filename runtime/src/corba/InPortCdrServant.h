// The receiving end of one corba_cdr connection into an InPort.
#pragma once

#include <rtm/InPortBase.h>

#include <memory>

#include "CorbaLayer.h"
#include "DataPort_OpenRTM.hh"

namespace RTC {
namespace corba {

class InPortCdrServant : public POA_OpenRTM::InPortCdr {
  public:
    InPortCdrServant(std::shared_ptr<ComponentEntry> entry, InPortBase* port, bool little_endian)
        : m_entry(std::move(entry)), m_port(port), m_littleEndian(little_endian) {}
    OpenRTM::PortStatus put(const OpenRTM::CdrData& data) override;

  private:
    std::shared_ptr<ComponentEntry> m_entry;
    InPortBase* m_port;
    bool m_littleEndian;
};

}  // namespace corba
}  // namespace RTC
