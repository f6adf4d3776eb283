#include "OrbStart.h"

#include <coil/stringutil.h>
#include <corbakit/TlsTransport.h>
#include <rtm/Orb.h>

#include <errno.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "CorbaLayer.h"
#include "IncomingGuard.h"
#include "IorAddresses.h"

namespace RTC {
namespace corba {

void OrbStart::raiseOpenFileLimit(unsigned long wanted) {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    rlim_t target = static_cast<rlim_t>(wanted);
    if (limit.rlim_max != RLIM_INFINITY && target > limit.rlim_max) target = limit.rlim_max;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur >= target) return;
    limit.rlim_cur = target;
    setrlimit(RLIMIT_NOFILE, &limit);
}

bool OrbStart::start(const OrbOptions& options, CORBA::ORB_ptr& orb, PortableServer::POA_ptr& poa,
                     std::string& why) {
    if (!options.errors().empty()) {
        why = options.errors().front();
        for (std::size_t i = 1; i < options.errors().size(); ++i) why += "; " + options.errors()[i];
        return false;
    }
    // Past 1024 descriptors the ORB's listener would spin on accept.
    raiseOpenFileLimit(OrbOptions::kOpenFiles);
    if (options.tls() && !corbakit::TlsTransport::load(why)) return false;
    std::vector<std::string> args = {"manager"};
    args.insert(args.end(), options.args().begin(), options.args().end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    try {
        orb = initOrb(static_cast<int>(args.size()), argv.data());
        // Before the listener serves anybody.
        IncomingGuard::start(OrbOptions::kFirstRequestWithin);
        CORBA::Object_var obj = orb->resolve_initial_references("RootPOA");
        poa = PortableServer::POA::_narrow(obj.in());
        PortableServer::POAManager_var pm = poa->the_POAManager();
        pm->activate();
        return true;
    } catch (const CORBA::Exception& e) {
        why = std::string("the ORB refused its options or a listener (") + e._name() +
              "); its own message above names which";
    } catch (...) {
        why = "the ORB failed to start";
    }
    return false;
}

std::vector<std::string> OrbStart::publishedAddresses(CORBA::ORB_ptr orb,
                                                      PortableServer::POA_ptr poa) {
    try {
        // A reference to no object carries the same addresses as every other.
        CORBA::Object_var probe = poa->create_reference("IDL:omg.org/CORBA/Object:1.0");
        CORBA::String_var ior = orb->object_to_string(probe.in());
        return iorAddresses(ior.in());
    } catch (...) {
        return {};
    }
}

std::string OrbStart::unreachableWarning(const std::vector<std::string>& addresses,
                                         const std::vector<NameServerAddress>& servers) {
    std::string remote;
    for (const NameServerAddress& server : servers) {
        if (!server.loopback()) remote += (remote.empty() ? "" : ", ") + server.hostPort();
    }
    if (remote.empty() || addresses.empty()) return "";
    std::string published;
    for (const std::string& address : addresses) {
        if (!corbakit::isLoopbackHost(address.substr(0, address.rfind(':')))) return "";
        published += (published.empty() ? "" : ", ") + address;
    }
    return "this process's references carry only loopback addresses (" + published +
           "), so components registered with the name server " + remote +
           " cannot be reached from other hosts; set corba.endpoints to this host's address "
           "or to all";
}

std::unique_ptr<NetworkLayer> startCorbaLayer(Manager& manager) {
    const coil::Properties& config = manager.getConfig();
    Logger rtclog("manager");
    const OrbOptions options(config);
    CORBA::ORB_ptr orb = CORBA::ORB::_nil();
    PortableServer::POA_ptr poa = PortableServer::POA::_nil();
    std::string why;
    if (!OrbStart::start(options, orb, poa, why)) {
        // Running on unreachable would look like success to whoever started us.
        RTC_FATAL(("the ORB cannot start: %s", why.c_str()));
        std::fprintf(stderr, "%s: the ORB cannot start: %s\n", program_invocation_short_name,
                     why.c_str());
        std::fflush(stderr);
        std::exit(1);
    }
    PortableServer::POA_var poa_owner = poa;

    // The framework's TLS module is part of this runtime: take it off the
    // list of modules to load; other entries of the second list load too.
    coil::Properties& live = manager.getConfig();
    std::vector<std::string> preload;
    for (const char* key : {"manager.modules.preload", "manager.preload.modules"}) {
        for (const std::string& entry : coil::split(live.getProperty(key), ",", true)) {
            if (!OrbOptions::isTlsModule(entry)) preload.push_back(coil::eraseBothEndsBlank(entry));
        }
    }
    std::string joined;
    for (const std::string& entry : preload) joined += (joined.empty() ? "" : ",") + entry;
    live.setProperty("manager.modules.preload", joined);
    live.setProperty("manager.preload.modules", "");

    const std::vector<std::string> addresses = OrbStart::publishedAddresses(orb, poa);
    std::string published;
    for (const std::string& a : addresses) published += (published.empty() ? "" : " ") + a;
    RTC_INFO(("ORB listening%s; references carry %s", options.tls() ? " (TLS)" : "",
              published.empty() ? "no address" : published.c_str()));
    const bool naming = coil::toBool(config.getProperty("naming.enable"), "YES", "NO", true);
    const std::string warning =
        naming ? OrbStart::unreachableWarning(addresses, options.nameServers()) : "";
    if (!warning.empty()) {
        RTC_WARN(("%s", warning.c_str()));
        std::fprintf(stderr, "%s: WARNING: %s\n", program_invocation_short_name, warning.c_str());
    }
    return std::unique_ptr<NetworkLayer>(new CorbaLayer(manager, orb, poa_owner.in()));
}

namespace {

// Every process that links the runtime has its components on the network.
struct ProvideLayer {
    ProvideLayer() { NetworkLayer::provide(&startCorbaLayer); }
} g_provideLayer;

}  // namespace

}  // namespace corba
}  // namespace RTC
