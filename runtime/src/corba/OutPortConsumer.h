// The output side of a corba_cdr connection: finds the InPortCdr object the
// input port offered and makes the sending end of the connection.
#pragma once

#include <rtm/OutPortBase.h>

#include <memory>

#include "CorbaLayer.h"
#include "RTC.hh"
#include "RemoteConnector.h"

namespace RTC {
namespace corba {

class OutPortConsumer {
  public:
    OutPortConsumer(std::shared_ptr<ComponentEntry> entry, OutPortBase* port)
        : m_entry(std::move(entry)), m_port(port) {}

    // The sending connector, or null when cprof offers no InPortCdr object.
    std::shared_ptr<RemoteConnector> subscribeInterface(const RTC::ConnectorProfile& cprof,
                                                        RTC::PortService_ptr self);

  private:
    OpenRTM::InPortCdr_ptr offeredInPort(const RTC::ConnectorProfile& cprof);

    std::shared_ptr<ComponentEntry> m_entry;
    OutPortBase* m_port;
};

}  // namespace corba
}  // namespace RTC
