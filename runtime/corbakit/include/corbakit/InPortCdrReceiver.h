// The object a receiving port offers for one corba_cdr push connection: every
// put() hands the sample's bytes to the owner's handler, whose status goes
// back to the sender.
#pragma once

#include <cstddef>
#include <functional>

#include "DataPort_OpenRTM.hh"

namespace corbakit {

class InPortCdrReceiver : public POA_OpenRTM::InPortCdr {
  public:
    using Handler = std::function<OpenRTM::PortStatus(const unsigned char* data, std::size_t size)>;

    explicit InPortCdrReceiver(Handler handler) : m_handler(std::move(handler)) {}

    // A handler that throws answers PORT_ERROR; nothing escapes to the ORB.
    OpenRTM::PortStatus put(const OpenRTM::CdrData& data) override;

  private:
    Handler m_handler;
};

}  // namespace corbakit
