// The listeners a process opens, given as the framework's endpoint list
// ("corba.endpoints"): each item is "all" (every interface, every address
// published), a host name or address, "host:port", ":port", or an ORB
// endpoint URI ("giop:tcp:host:port", "giop:ssl::", "giop:unix:/path").
#pragma once

#include <string>
#include <vector>

namespace corbakit {

class EndpointList {
  public:
    // Adds the items of a comma separated list; a malformed item is kept as
    // an error and adds nothing.
    void add(const std::string& list);

    bool empty() const { return m_endpoints.empty(); }
    // The ORB options that open these listeners (-ORBendPoint ... and, for
    // "all", the rule that publishes every address).
    std::vector<std::string> orbArgs() const;
    // Endpoint URIs, in order, without duplicates.
    const std::vector<std::string>& endpoints() const { return m_endpoints; }
    const std::vector<std::string>& errors() const { return m_errors; }
    // True when some listener speaks TLS.
    bool tls() const;
    // True when every listener is on a loopback address.
    bool loopbackOnly() const;

    // One item as an endpoint URI; false (with a reason) when malformed.
    static bool toEndpoint(const std::string& item, std::string& endpoint, std::string& why);

  private:
    std::vector<std::string> m_endpoints;
    std::vector<std::string> m_errors;
    bool m_publishAll = false;
};

// True for "localhost", 127.0.0.0/8 and ::1.
bool isLoopbackHost(const std::string& host);

}  // namespace corbakit
