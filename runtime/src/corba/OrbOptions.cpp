#include "OrbOptions.h"

#include <coil/stringutil.h>
#include <corbakit/TlsTransport.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "QuotedWords.h"

namespace RTC {
namespace corba {

namespace {

bool hasWord(const std::vector<std::string>& words, const std::string& word) {
    for (const std::string& w : words) {
        if (coil::normalize(w) == coil::normalize(word)) return true;
    }
    return false;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> OrbOptions::defaultLimits() {
    return {
        // A thread per connection for the first 64 connections; beyond that
        // one thread watches every connection and a pool serves the calls.
        {"threadPerConnectionUpperLimit", "64"},
        {"threadPerConnectionLowerLimit", "48"},
        {"maxServerThreadPoolSize", "32"},
        {"maxServerThreadPerConnection", "8"},
        // Incoming connections idle for 5-6 s after a request are closed;
        // the ORB starts a connection's idle count only once it has served a
        // request, so one that never sends a whole request is closed by
        // IncomingGuard instead. Outgoing ones idle for 3-4 s are closed
        // here first, so a put never goes out on a connection the receiver
        // has just closed: with a call timeout set the ORB does not resend
        // it, and the put fails as one that may have arrived. The scan runs
        // every second.
        {"scanGranularity", "1"},
        {"inConScanPeriod", "5"},
        {"outConScanPeriod", "3"},
        // A request whose rest stops arriving for 5 s closes its connection
        // (one that trickles in a byte at a time is IncomingGuard's).
        {"serverCallTimeOutPeriod", "5000"},
        // Pool threads that have had nothing to do for 10 s end.
        {"idleThreadTimeout", "10"},
    };
}

std::string OrbOptions::sourceAddressToward(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), "2809", &hints, &found) != 0 || found == nullptr) return "";
    std::string address;
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    // Connecting a datagram socket only picks the route.
    if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) == 0) {
        sockaddr_in local{};
        socklen_t len = sizeof local;
        char text[INET_ADDRSTRLEN] = {0};
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) == 0 &&
            inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) != nullptr)
            address = text;
    }
    if (fd >= 0) close(fd);
    freeaddrinfo(found);
    return address;
}

bool OrbOptions::isTlsModule(const std::string& entry) {
    std::string name = coil::normalize(entry);
    const auto paren = name.find('(');
    if (paren != std::string::npos) name = coil::eraseBothEndsBlank(name.substr(0, paren));
    const auto slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    return name == "ssltransport.so" || name == "ssltransport";
}

OrbOptions::OrbOptions(const coil::Properties& config) {
    for (const auto& limit : defaultLimits()) {
        m_args.push_back("-ORB" + limit.first);
        m_args.push_back(limit.second);
    }
    std::vector<std::string> user_args;
    std::string why;
    if (!splitQuotedWords(config.getProperty("corba.args"), user_args, why))
        m_errors.push_back("corba.args: " + why);

    std::vector<std::string> server_errors;
    m_nameServers =
        NameServerAddress::parseList(config.getProperty("corba.nameservers"), server_errors);
    for (const std::string& e : server_errors) m_errors.push_back("corba.nameservers: " + e);

    addEndpoints(config, user_args);
    addTls(config, user_args);
    m_args.insert(m_args.end(), user_args.begin(), user_args.end());
}

void OrbOptions::addEndpoints(const coil::Properties& config,
                              const std::vector<std::string>& user_args) {
    m_endpoints.add(config.getProperty("corba.endpoints"));
    m_endpoints.add(config.getProperty("corba.endpoint"));
    for (const std::string& e : m_endpoints.errors()) m_errors.push_back("corba.endpoints: " + e);
    // Nobody asked for a listener: stay on loopback, unreachable from elsewhere.
    bool args_listen = false;
    for (const std::string& a : user_args)
        args_listen = args_listen || coil::normalize(a) == "-orbendpoint";
    const bool replace =
        coil::toBool(config.getProperty("corba.nameservice.replace_endpoint"), "YES", "NO", false);
    // A loopback listener (the default) is no use toward a name server elsewhere.
    if (m_endpoints.loopbackOnly() && !args_listen && replace) {
        for (const NameServerAddress& server : m_nameServers) {
            const std::string local = sourceAddressToward(server.host);
            if (!local.empty() && !server.loopback()) m_endpoints.add(local);
        }
    }
    if (m_endpoints.empty() && !args_listen) m_endpoints.add("127.0.0.1");

    std::vector<std::string> args = m_endpoints.orbArgs();
    // Addresses published besides the listeners' own (a NAT's outside
    // address, a name the peers resolve).
    std::string publish;
    for (const std::string& item :
         coil::split(config.getProperty("corba.alternate_iiop_addresses"), ",", true)) {
        std::string endpoint, why;
        const std::string address = coil::eraseBothEndsBlank(item);
        if (address.find(':') == std::string::npos ||
            !corbakit::EndpointList::toEndpoint(address, endpoint, why) ||
            endpoint.compare(0, 9, "giop:tcp:") != 0 || endpoint.back() == ':') {
            m_errors.push_back("corba.alternate_iiop_addresses: '" + address +
                               "' is not HOST:PORT");
            continue;
        }
        publish += "," + endpoint;
    }
    if (!publish.empty()) {
        bool all = false;
        for (std::size_t i = 0; i + 1 < args.size(); ++i) {
            if (args[i] == "-ORBendPointPublish") {
                all = true;
                args.erase(args.begin() + static_cast<long>(i),
                           args.begin() + static_cast<long>(i) + 2);
                break;
            }
        }
        args.push_back("-ORBendPointPublish");
        args.push_back((all ? "all(addr)" : "addr") + publish);
    }
    m_args.insert(m_args.end(), args.begin(), args.end());
}

void OrbOptions::addTls(const coil::Properties& config, const std::vector<std::string>& user_args) {
    m_caFile = coil::eraseBothEndsBlank(config.getProperty("corba.ssl.certificate_authority_file"));
    m_keyFile = coil::eraseBothEndsBlank(config.getProperty("corba.ssl.key_file"));
    m_keyPassword = config.getProperty("corba.ssl.key_file_password");

    bool asked = !m_caFile.empty() || !m_keyFile.empty() || m_endpoints.tls();
    for (const char* key : {"manager.preload.modules", "manager.modules.preload"}) {
        for (const std::string& entry : coil::split(config.getProperty(key), ",", true))
            asked = asked || isTlsModule(entry);
    }
    for (const NameServerAddress& server : m_nameServers) asked = asked || server.tls;
    for (const std::string& a : user_args)
        asked = asked || coil::normalize(a).find("ssl") != std::string::npos;
    if (!asked) return;

    m_tls = true;
    std::string why;
    if (!corbakit::TlsTransport::checkFiles(m_caFile, m_keyFile, why)) {
        m_errors.push_back(why);
        return;
    }
    // Options given in corba.args win.
    if (hasWord(user_args, "-ORBsslCAFile")) return;
    const std::vector<std::string> args =
        corbakit::TlsTransport::orbArgs(m_caFile, m_keyFile, m_keyPassword);
    m_args.insert(m_args.end(), args.begin(), args.end());
}

}  // namespace corba
}  // namespace RTC
