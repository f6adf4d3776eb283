#include "corbakit/EndpointList.h"

#include <algorithm>
#include <cctype>

#include "corbakit/ListItems.h"

namespace corbakit {

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool validPort(const std::string& port) {
    if (port.empty()) return true;  // the ORB picks one
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    return std::stoul(port) <= 65535;
}

bool validHost(const std::string& host) {
    if (host.empty() || host.size() > 253) return false;
    for (char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_')
            return false;
    }
    return host.front() != '-' && host.front() != '.';
}

// The host of "giop:tcp:HOST:PORT" or "giop:ssl:HOST:PORT"; "" for every interface.
std::string endpointHost(const std::string& endpoint) {
    const std::string rest = endpoint.substr(std::string("giop:tcp:").size());
    const auto colon = rest.rfind(':');
    return colon == std::string::npos ? rest : rest.substr(0, colon);
}

}  // namespace

bool isLoopbackHost(const std::string& host) {
    const std::string h = lower(host);
    return h == "localhost" || h == "::1" || h == "[::1]" || h.compare(0, 4, "127.") == 0;
}

bool EndpointList::toEndpoint(const std::string& raw, std::string& endpoint, std::string& why) {
    const std::string item = trimmed(raw);
    if (lower(item) == "all") {
        endpoint = "giop:tcp::";
        return true;
    }
    if (lower(item).compare(0, 5, "giop:") == 0) {
        // giop:tcp / giop:ssl take HOST:PORT (either may be empty); giop:unix a path.
        const std::string l = lower(item);
        if (l.compare(0, 10, "giop:unix:") == 0) {
            endpoint = item;
            return true;
        }
        if (l.compare(0, 9, "giop:tcp:") != 0 && l.compare(0, 9, "giop:ssl:") != 0) {
            why = "unknown transport (giop:tcp, giop:ssl or giop:unix)";
            return false;
        }
        const std::string rest = item.substr(9);
        const auto colon = rest.rfind(':');
        const std::string host = colon == std::string::npos ? rest : rest.substr(0, colon);
        const std::string port = colon == std::string::npos ? "" : rest.substr(colon + 1);
        if ((!host.empty() && !validHost(host)) || !validPort(port)) {
            why = "not HOST:PORT after the transport";
            return false;
        }
        endpoint = l.substr(0, 9) + host + ":" + port;
        return true;
    }
    const auto colon = item.rfind(':');
    const std::string host = colon == std::string::npos ? item : item.substr(0, colon);
    const std::string port = colon == std::string::npos ? "" : item.substr(colon + 1);
    if (host.find(':') != std::string::npos || (!host.empty() && !validHost(host))) {
        why = "not a host name or address";
        return false;
    }
    if (!validPort(port)) {
        why = "the port is not a number from 0 to 65535";
        return false;
    }
    endpoint = "giop:tcp:" + host + ":" + port;
    return true;
}

void EndpointList::add(const std::string& list) {
    for (const std::string& item : listItems(list)) {
        std::string endpoint, why;
        if (!toEndpoint(item, endpoint, why)) {
            m_errors.push_back("'" + item + "': " + why);
            continue;
        }
        if (lower(item) == "all") m_publishAll = true;
        if (std::find(m_endpoints.begin(), m_endpoints.end(), endpoint) == m_endpoints.end())
            m_endpoints.push_back(endpoint);
    }
}

std::vector<std::string> EndpointList::orbArgs() const {
    std::vector<std::string> args;
    for (const std::string& endpoint : m_endpoints) {
        args.push_back("-ORBendPoint");
        args.push_back(endpoint);
    }
    // Without this the ORB publishes only the first address of an
    // every-interface listener; peers on other networks could not call back.
    if (m_publishAll) {
        args.push_back("-ORBendPointPublish");
        args.push_back("all(addr)");
    }
    return args;
}

bool EndpointList::tls() const {
    for (const std::string& endpoint : m_endpoints) {
        if (endpoint.compare(0, 9, "giop:ssl:") == 0) return true;
    }
    return false;
}

bool EndpointList::loopbackOnly() const {
    for (const std::string& endpoint : m_endpoints) {
        if (endpoint.compare(0, 10, "giop:unix:") == 0) continue;
        if (!isLoopbackHost(endpointHost(endpoint))) return false;
    }
    return true;
}

}  // namespace corbakit
