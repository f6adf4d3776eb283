// The input side of a corba_cdr connection: offers an InPortCdr object for
// the connection and publishes its reference in the connector profile.
#pragma once

#include <rtm/InPortBase.h>

#include "rtm/ConnectorBase.h"

#include <memory>

#include "CorbaLayer.h"
#include "RTC.hh"
#include "RemoteConnector.h"

namespace RTC {
namespace corba {

class InPortProvider {
  public:
    InPortProvider(std::shared_ptr<ComponentEntry> entry, InPortBase* port)
        : m_entry(std::move(entry)), m_port(port) {}

    // Activates the receiving servant, stores "dataport.corba_cdr.inport_ior"
    // and "dataport.corba_cdr.inport_ref" in cprof and returns the connector
    // that owns the servant. info carries the agreed byte order.
    std::shared_ptr<RemoteConnector> publishInterface(const ConnectorInfo& info,
                                                      RTC::ConnectorProfile& cprof,
                                                      RTC::PortService_ptr self);

  private:
    std::shared_ptr<ComponentEntry> m_entry;
    InPortBase* m_port;
};

}  // namespace corba
}  // namespace RTC
