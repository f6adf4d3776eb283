// A process's components in the naming services: each is bound under the
// path the name format gives ("%h.host_cxt/%n.rtc") with every name server
// of the configuration that answers, and unbound when it goes. The caller
// serialises bind() and unbind(); nameInUse() may run at any time.
#pragma once

#include <coil/Properties.h>
#include <rtm/SystemLogger.h>

#include <cstddef>
#include <string>
#include <vector>

#include <omniORB4/CORBA.h>
#include <omniORB4/Naming.hh>

#include "NameServerAddress.h"

namespace RTC {
namespace corba {

struct ComponentEntry;

class NameRegistrar {
  public:
    // config: the manager's ("corba.nameservers", "naming.formats").
    NameRegistrar(CORBA::ORB_ptr orb, const coil::Properties& config);

    // Binds (or binds again) entry with every name server; one that does not
    // answer is reported once and tried again at the next call.
    void bind(ComponentEntry& entry);
    void unbind(ComponentEntry& entry);
    // True when a live component of this instance name is bound in some name
    // server: anywhere ("ns_unique") or under this host's context
    // ("node_unique"). False for any other policy.
    bool nameInUse(const std::string& instance_name, const std::string& policy);

  private:
    void bindAt(ComponentEntry& entry, std::size_t server, const std::vector<std::string>& path);
    void tryBind(ComponentEntry& entry, std::size_t server, const std::vector<std::string>& path);
    void failed(ComponentEntry& entry, std::size_t server, const char* why);
    std::vector<std::string> namePath(const ComponentEntry& entry) const;
    CosNaming::NamingContextExt_ptr namingContext(std::size_t server);

    CORBA::ORB_var m_orb;
    Logger rtclog;
    std::vector<NameServerAddress> m_nameservers;
    std::vector<bool> m_namingReachable;
    std::string m_nameFormat;
};

}  // namespace corba
}  // namespace RTC
