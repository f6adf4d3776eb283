// The ORB's start-up options, made from the framework's network keys:
//   corba.endpoints / corba.endpoint   listeners (EndpointList); loopback
//                                      only when neither is set
//   corba.alternate_iiop_addresses     more "host:port" put in references
//   corba.args                         ORB options, quoted words kept whole
//   corba.ssl.certificate_authority_file, corba.ssl.key_file,
//   corba.ssl.key_file_password        TLS (also asked for by SSLTransport.so
//                                      in the preload lists, giop:ssl
//                                      listeners, corbaloc:ssliop servers)
//   corba.nameservers                  where components are registered
//   corba.nameservice.replace_endpoint YES: when the listeners are loopback
//                                      only, also listen on (and publish) the
//                                      address this host uses toward each
//                                      name server elsewhere
// Limits that keep a crowd of idle or hostile peers from exhausting the
// process come first, so that corba.args can override each of them.
#pragma once

#include <coil/Properties.h>
#include <corbakit/EndpointList.h>

#include <chrono>
#include <string>
#include <vector>

#include "NameServerAddress.h"

namespace RTC {
namespace corba {

class OrbOptions {
  public:
    explicit OrbOptions(const coil::Properties& config);

    // Options for ORB_init, program name excluded.
    const std::vector<std::string>& args() const { return m_args; }
    // Configuration faults; the ORB must not start when there are any.
    const std::vector<std::string>& errors() const { return m_errors; }
    bool tls() const { return m_tls; }
    const std::string& caFile() const { return m_caFile; }
    const std::string& keyFile() const { return m_keyFile; }
    const std::string& keyPassword() const { return m_keyPassword; }
    const std::vector<NameServerAddress>& nameServers() const { return m_nameServers; }
    const corbakit::EndpointList& endpoints() const { return m_endpoints; }

    // The limits on by default (ORB option name, value).
    static std::vector<std::pair<std::string, std::string>> defaultLimits();
    // The descriptor limit the process raises its soft limit to.
    static const unsigned long kOpenFiles = 4096;
    // An incoming connection that has not sent a whole request this long
    // after it was accepted is closed (IncomingGuard); with the scan's
    // granularity, within 6 s.
    static constexpr std::chrono::milliseconds kFirstRequestWithin{5000};
    // True for a preload entry naming the framework's TLS module.
    static bool isTlsModule(const std::string& entry);
    // The local address packets to host take (no packet is sent); "" when
    // there is no route or the host does not resolve.
    static std::string sourceAddressToward(const std::string& host);

  private:
    void addEndpoints(const coil::Properties& config, const std::vector<std::string>& user_args);
    void addTls(const coil::Properties& config, const std::vector<std::string>& user_args);

    std::vector<std::string> m_args;
    std::vector<std::string> m_errors;
    corbakit::EndpointList m_endpoints;
    std::vector<NameServerAddress> m_nameServers;
    bool m_tls = false;
    std::string m_caFile;
    std::string m_keyFile;
    std::string m_keyPassword;
};

}  // namespace corba
}  // namespace RTC
