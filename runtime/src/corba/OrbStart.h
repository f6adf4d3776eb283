// Start-up of the ORB beneath the manager.
#pragma once

#include <omniORB4/CORBA.h>

#include <string>

#include "OrbOptions.h"

namespace RTC {
namespace corba {

class OrbStart {
  public:
    // Raises the descriptor limit, loads the TLS transport when asked for,
    // starts the ORB and activates its root POA. False with a reason.
    static bool start(const OrbOptions& options, CORBA::ORB_ptr& orb, PortableServer::POA_ptr& poa,
                      std::string& why);
    // The "host:port" addresses the ORB puts in the references it makes.
    static std::vector<std::string> publishedAddresses(CORBA::ORB_ptr orb,
                                                       PortableServer::POA_ptr poa);
    // The warning for references that name servers elsewhere would hand
    // out but nobody there can call back; empty when there is none.
    static std::string unreachableWarning(const std::vector<std::string>& addresses,
                                          const std::vector<NameServerAddress>& servers);
    // Raises the soft descriptor limit to `wanted` (at most the hard limit).
    static void raiseOpenFileLimit(unsigned long wanted);
};

}  // namespace corba
}  // namespace RTC
