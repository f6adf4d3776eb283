// Connector profiles as they appear on the wire.
#pragma once

#include "rtm/ConnectorBase.h"

#include <memory>

#include "RTC.hh"

namespace RTC {
namespace corba {

class CorbaLayer;

// The wire form of a connector of one of our ports.
RTC::ConnectorProfile toCorbaProfile(CorbaLayer& layer, const std::shared_ptr<ConnectorBase>& c);

// Position of port among the connection's ports, or -1.
int indexOf(const RTC::ConnectorProfile& profile, RTC::PortService_ptr port);

}  // namespace corba
}  // namespace RTC
