#include "NameServerAddress.h"

#include <cctype>

#include <corbakit/EndpointList.h>
#include <corbakit/ListItems.h>

namespace RTC {
namespace corba {

namespace {

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

std::string NameServerAddress::url() const {
    return std::string(tls ? "corbaloc:ssliop:" : "corbaloc:iiop:") + hostPort() + "/NameService";
}

bool NameServerAddress::loopback() const { return corbakit::isLoopbackHost(host); }

bool NameServerAddress::parse(const std::string& raw, NameServerAddress& out, std::string& why) {
    std::string item = corbakit::trimmed(raw);
    NameServerAddress address;
    if (startsWith(item, "corbaloc:ssliop:")) {
        address.tls = true;
        item = item.substr(16);
    } else if (startsWith(item, "corbaloc:iiop:")) {
        item = item.substr(14);
    } else if (startsWith(item, "corbaloc::")) {
        item = item.substr(10);
    } else if (startsWith(item, "corbaloc:")) {
        why = "unknown corbaloc protocol (iiop or ssliop)";
        return false;
    }
    const auto slash = item.find('/');
    if (slash != std::string::npos) {
        if (item.substr(slash) != "/NameService") {
            why = "only the object key NameService is served by a naming service";
            return false;
        }
        item = item.substr(0, slash);
    }
    // "1.2@host" names a GIOP version; the ORB picks its own.
    const auto at = item.find('@');
    if (at != std::string::npos) item = item.substr(at + 1);
    const auto colon = item.rfind(':');
    address.host = colon == std::string::npos ? item : item.substr(0, colon);
    if (colon != std::string::npos && colon + 1 < item.size())
        address.port = item.substr(colon + 1);
    bool hostOk = !address.host.empty();
    for (char c : address.host) {
        hostOk = hostOk &&
                 (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_');
    }
    if (!hostOk) {
        why = "not a host name or address";
        return false;
    }
    if (address.port.size() > 5 ||
        address.port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(address.port) == 0 || std::stoul(address.port) > 65535) {
        why = "the port is not a number from 1 to 65535";
        return false;
    }
    out = address;
    return true;
}

std::vector<NameServerAddress> NameServerAddress::parseList(const std::string& list,
                                                            std::vector<std::string>& errors) {
    std::vector<NameServerAddress> servers;
    for (const std::string& item : corbakit::listItems(list)) {
        NameServerAddress address;
        std::string why;
        if (!parse(item, address, why)) {
            errors.push_back("'" + item + "': " + why);
            continue;
        }
        bool known = false;
        for (const auto& s : servers) known = known || s.url() == address.url();
        if (!known) servers.push_back(address);
    }
    return servers;
}

}  // namespace corba
}  // namespace RTC
