#include "NameRegistrar.h"

#include <coil/stringutil.h>
#include <corbakit/NamingPath.h>

#include <omniORB4/omniORB.h>
#include <unistd.h>

#include "CorbaLayer.h"
#include "NameSearch.h"

namespace RTC {
namespace corba {

NameRegistrar::NameRegistrar(CORBA::ORB_ptr orb, const coil::Properties& config)
    : m_orb(CORBA::ORB::_duplicate(orb)), rtclog("manager") {
    std::vector<std::string> errors;  // malformed entries stopped the ORB from starting
    m_nameservers = NameServerAddress::parseList(config.getProperty("corba.nameservers"), errors);
    m_namingReachable.assign(m_nameservers.size(), true);
    m_nameFormat = config.getProperty("naming.formats", "%h.host_cxt/%n.rtc");
}

std::vector<std::string> NameRegistrar::namePath(const ComponentEntry& entry) const {
    std::string path = m_nameFormat;
    std::string type, category;
    if (entry.comp != nullptr) {
        type = entry.comp->getTypeName();
        category = entry.comp->getCategory();
    }
    path = coil::replaceString(path, "%h", corbakit::localHostName());
    path = coil::replaceString(path, "%n", entry.instanceName);
    path = coil::replaceString(path, "%t", type);
    path = coil::replaceString(path, "%c", category);
    path = coil::replaceString(path, "%p", std::to_string(getpid()));
    // The first format only; the framework allows a comma list.
    path = coil::split(path, ",", true).empty() ? path : coil::split(path, ",", true)[0];
    return coil::split(path, "/", true);
}

CosNaming::NamingContextExt_ptr NameRegistrar::namingContext(std::size_t server) {
    const std::string url = m_nameservers[server].url();
    try {
        CORBA::Object_var obj = m_orb->string_to_object(url.c_str());
        omniORB::setClientCallTimeout(obj.in(), 3000);
        CosNaming::NamingContextExt_var nc = CosNaming::NamingContextExt::_narrow(obj.in());
        if (!CORBA::is_nil(nc.in())) omniORB::setClientCallTimeout(nc.in(), 3000);
        return nc._retn();
    } catch (...) {
        return CosNaming::NamingContextExt::_nil();
    }
}

void NameRegistrar::bind(ComponentEntry& entry) {
    const std::vector<std::string> path = namePath(entry);
    if (path.empty()) return;
    for (std::size_t server = 0; server < m_nameservers.size(); ++server)
        bindAt(entry, server, path);
}

void NameRegistrar::bindAt(ComponentEntry& entry, std::size_t server,
                           const std::vector<std::string>& path) {
    const std::string where = m_nameservers[server].hostPort();
    // A connection to a naming service that has since restarted fails once
    // per cached connection before a new one is opened: try a few times.
    for (int attempt = 0;; ++attempt) {
        try {
            tryBind(entry, server, path);
            if (!m_namingReachable[server])
                RTC_INFO(("naming service %s reachable again", where.c_str()));
            m_namingReachable[server] = true;
            return;
        } catch (const CORBA::COMM_FAILURE& e) {
            if (attempt < 3) continue;
            failed(entry, server, e._name());
        } catch (const CORBA::TRANSIENT& e) {
            if (attempt < 3) continue;
            failed(entry, server, e._name());
        } catch (const CORBA::Exception& e) {
            failed(entry, server, e._name());
        } catch (...) {
            failed(entry, server, "unknown error");
        }
        return;
    }
}

void NameRegistrar::tryBind(ComponentEntry& entry, std::size_t server,
                            const std::vector<std::string>& path) {
    CosNaming::NamingContextExt_var root = namingContext(server);
    if (CORBA::is_nil(root.in())) throw CORBA::TRANSIENT();
    CosNaming::Name name = corbakit::toCosName(path);
    // Contexts on the way ("host.host_cxt") are made when missing.
    CosNaming::NamingContext_var ctx = CosNaming::NamingContext::_duplicate(root.in());
    for (CORBA::ULong i = 0; i + 1 < name.length(); ++i) {
        CosNaming::Name one;
        one.length(1);
        one[0] = name[i];
        CORBA::Object_var next;
        try {
            next = ctx->resolve(one);
        } catch (const CosNaming::NamingContext::NotFound&) {
            try {
                next = ctx->bind_new_context(one);
            } catch (const CosNaming::NamingContext::AlreadyBound&) {
                next = ctx->resolve(one);  // another process made it meanwhile
            }
        }
        ctx = CosNaming::NamingContext::_narrow(next.in());
        if (CORBA::is_nil(ctx.in())) throw CORBA::BAD_PARAM();
    }
    CosNaming::Name last;
    last.length(1);
    last[0] = name[name.length() - 1];
    ctx->rebind(last, entry.compRef.in());
    entry.registered = true;
}

void NameRegistrar::failed(ComponentEntry& entry, std::size_t server, const char* why) {
    const std::string where = m_nameservers[server].hostPort();
    if (m_namingReachable[server]) {
        RTC_WARN(
            ("naming service %s not reachable (%s); %s is not registered there and is retried "
             "every 10 s",
             where.c_str(), why, entry.instanceName.c_str()));
    } else {
        RTC_DEBUG(("naming service %s still not reachable (%s)", where.c_str(), why));
    }
    m_namingReachable[server] = false;
}

void NameRegistrar::unbind(ComponentEntry& entry) {
    if (!entry.registered) return;
    for (std::size_t server = 0; server < m_nameservers.size(); ++server) {
        try {
            CosNaming::NamingContextExt_var root = namingContext(server);
            if (!CORBA::is_nil(root.in())) root->unbind(corbakit::toCosName(namePath(entry)));
        } catch (...) {
        }
    }
    entry.registered = false;
}

bool NameRegistrar::nameInUse(const std::string& instance_name, const std::string& policy) {
    std::string context;  // the whole tree
    if (policy == "node_unique") {
        // This host's context: the first part of the naming format.
        std::vector<std::string> parts = coil::split(m_nameFormat, "/", true);
        if (parts.size() < 2) return false;
        context = coil::replaceString(parts[0], "%h", corbakit::localHostName());
    } else if (policy != "ns_unique") {
        return false;
    }
    for (std::size_t server = 0; server < m_nameservers.size(); ++server) {
        try {
            CosNaming::NamingContextExt_var root = namingContext(server);
            if (!CORBA::is_nil(root.in()) &&
                NameSearch::liveComponentNamed(root.in(), instance_name, context))
                return true;
        } catch (const CORBA::Exception&) {
            // A name server that does not answer holds no name for now.
        }
    }
    return false;
}

}  // namespace corba
}  // namespace RTC
