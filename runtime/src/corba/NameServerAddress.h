// One entry of the framework's name server list ("corba.nameservers"):
// "host", "host:port", "corbaloc:iiop:host:port", "corbaloc::host:port" or
// "corbaloc:ssliop:host:port" (TLS), each optionally ending in "/NameService".
#pragma once

#include <string>
#include <vector>

namespace RTC {
namespace corba {

struct NameServerAddress {
    std::string host;
    std::string port = "2809";
    bool tls = false;

    // "host:port", as log lines show it.
    std::string hostPort() const { return host + ":" + port; }
    // The corbaloc URL of its root naming context.
    std::string url() const;
    bool loopback() const;

    // False (with a reason) when the entry is malformed.
    static bool parse(const std::string& item, NameServerAddress& out, std::string& why);
    // Every entry of a comma separated list; malformed ones go to errors.
    static std::vector<NameServerAddress> parseList(const std::string& list,
                                                    std::vector<std::string>& errors);
};

}  // namespace corba
}  // namespace RTC
