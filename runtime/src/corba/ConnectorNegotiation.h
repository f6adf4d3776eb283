// What a port agrees to when a connection reaches it through notify_connect:
// the connection's properties are checked, an input port publishes the
// object it receives on, an output port subscribes to the object the input
// port published. The port servant runs the steps in the framework's order
// (publish, forward to the next port, subscribe).
#pragma once

#include <rtm/PortBase.h>

#include <memory>

#include "CorbaLayer.h"
#include "RTC.hh"
#include "RemoteConnector.h"

namespace RTC {
namespace corba {

class ConnectorNegotiation {
  public:
    // self: the reference of port; the caller keeps the component alive
    // during each step.
    ConnectorNegotiation(std::shared_ptr<ComponentEntry> entry, PortBase* port,
                         RTC::PortService_ptr self);

    // Checks the requested connection and, on an input port, offers the
    // receiving object in cprof.
    RTC::ReturnCode_t publishInterfaces(RTC::ConnectorProfile& cprof);
    // On an output port, connects to the receiving object cprof offers.
    RTC::ReturnCode_t subscribeInterfaces(const RTC::ConnectorProfile& cprof);
    // The connector this port gets; null when it takes no part in the data.
    const std::shared_ptr<RemoteConnector>& connector() const { return m_connector; }
    // Undoes what publishInterfaces set up, when a later port refused.
    void abandon();

  private:
    RTC::ReturnCode_t checkProperties(const coil::Properties& prop);

    std::shared_ptr<ComponentEntry> m_entry;
    PortBase* m_port;
    RTC::PortService_var m_self;
    std::shared_ptr<RemoteConnector> m_connector;
};

}  // namespace corba
}  // namespace RTC
