#include "CorbaLayer.h"

#include <coil/stringutil.h>
#include <corbakit/NamingPath.h>
#include <rtm/Orb.h>

#include <omniORB4/omniORB.h>
#include <unistd.h>
#include <omniORB4/Naming.hh>

#include <chrono>
#include <cstring>

#include "ComponentServant.h"
#include "ConfigurationServant.h"
#include "ExecutionContextServant.h"
#include "NVUtil.h"
#include "NameSearch.h"
#include "PortServant.h"

namespace RTC {
namespace corba {

CorbaLayer::CorbaLayer(Manager& manager, CORBA::ORB_ptr orb, PortableServer::POA_ptr poa)
    : m_manager(manager),
      m_orb(CORBA::ORB::_duplicate(orb)),
      m_poa(PortableServer::POA::_duplicate(poa)),
      rtclog("manager") {
    coil::Properties& config = manager.getConfig();
    m_namingEnabled = coil::toBool(config.getProperty("naming.enable"), "YES", "NO", true);
    std::vector<std::string> errors;  // malformed entries stopped the ORB from starting
    m_nameservers = NameServerAddress::parseList(config.getProperty("corba.nameservers"), errors);
    m_namingReachable.assign(m_nameservers.size(), true);
    m_nameFormat = config.getProperty("naming.formats", "%h.host_cxt/%n.rtc");
    if (m_namingEnabled) m_namingThread = std::thread(&CorbaLayer::namingLoop, this);
}

CorbaLayer::~CorbaLayer() { shutdown(); }

CORBA::Object_ptr CorbaLayer::activate(PortableServer::ServantBase* servant,
                                       ComponentEntry& entry) {
    PortableServer::ObjectId_var id = m_poa->activate_object(servant);
    servant->_remove_ref();  // the POA owns it now
    CORBA::Object_ptr ref = m_poa->id_to_reference(id.in());
    std::lock_guard<std::mutex> guard(entry.idsMutex);
    entry.ids.push_back(id);
    return ref;
}

void CorbaLayer::renumber(RTObject_impl* comp) {
    const std::string policy =
        coil::normalize(m_manager.getConfig().getProperty("manager.components.naming_policy"));
    if (!m_namingEnabled || (policy != "ns_unique" && policy != "node_unique")) return;
    // Only numbered names the manager chose (type followed by digits) move.
    const std::string type = comp->getTypeName();
    const std::string name = comp->getInstanceName();
    if (name.size() <= type.size() || name.compare(0, type.size(), type) != 0 ||
        name.find_first_not_of("0123456789", type.size()) != std::string::npos ||
        name.size() - type.size() > 6)
        return;
    for (long n = std::stol(name.substr(type.size())); n < 1000; ++n) {
        const std::string candidate = type + std::to_string(n);
        RTObject_impl* local = m_manager.getComponent(candidate.c_str());
        if ((local != nullptr && local != comp) || nameInUse(candidate, policy)) continue;
        if (candidate != name) {
            RTC_INFO(("%s is taken in the naming service (%s); this instance is %s", name.c_str(),
                      policy.c_str(), candidate.c_str()));
            comp->setInstanceName(candidate.c_str());
        }
        return;
    }
}

void CorbaLayer::componentCreated(RTObject_impl* comp) {
    renumber(comp);
    auto entry = std::make_shared<ComponentEntry>();
    entry->comp = comp;
    entry->layer = this;
    entry->instanceName = comp->getInstanceName();
    try {
        entry->compRef = activate(new ComponentServant(entry), *entry);
        entry->ecRef = activate(new ExecutionContextServant(entry), *entry);
        entry->configRef = activate(new ConfigurationServant(entry), *entry);
        for (PortBase* port : comp->getPorts()) {
            RTC::PortService_var ref = portRef(entry, port);
        }
    } catch (const CORBA::Exception& e) {
        RTC_ERROR(("cannot offer %s on the network: %s", entry->instanceName.c_str(), e._name()));
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_entries[comp] = entry;
    }
    if (m_namingEnabled) {
        std::lock_guard<std::mutex> guard(m_namingMutex);
        bindName(*entry);
    }
}

void CorbaLayer::componentDeleting(RTObject_impl* comp) {
    std::shared_ptr<ComponentEntry> entry;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        auto it = m_entries.find(comp);
        if (it == m_entries.end()) return;
        entry = it->second;
        m_entries.erase(it);
    }
    if (m_namingEnabled) {
        std::lock_guard<std::mutex> guard(m_namingMutex);
        unbindName(*entry);
    }
    // Peers are told while our port objects can still answer their
    // forwarded notify_disconnect.
    for (PortBase* port : comp->getPorts()) port->disconnect_all();
    // Waits for remote calls on this component to finish; later ones see it gone.
    std::unique_lock<std::shared_mutex> lock(entry->lock);
    entry->comp = nullptr;
    std::lock_guard<std::mutex> guard(entry->idsMutex);
    for (const auto& id : entry->ids) {
        try {
            m_poa->deactivate_object(id.in());
        } catch (...) {
        }
    }
}

RTC::PortService_ptr CorbaLayer::portRef(const std::shared_ptr<ComponentEntry>& entry,
                                         PortBase* port) {
    std::lock_guard<std::mutex> guard(entry->portsMutex);
    for (const auto& p : entry->ports) {
        if (p.first == port) return RTC::PortService::_narrow(p.second.in());
    }
    if (entry->comp == nullptr) return RTC::PortService::_nil();
    CORBA::Object_var ref = activate(new PortServant(entry, port), *entry);
    entry->ports.emplace_back(port, CORBA::Object::_duplicate(ref.in()));
    return RTC::PortService::_narrow(ref.in());
}

RTC::PortServiceList* CorbaLayer::portRefs(const std::shared_ptr<ComponentEntry>& entry) {
    RTC::PortServiceList_var list = new RTC::PortServiceList;
    if (entry->comp == nullptr) return list._retn();
    std::vector<PortBase*> ports = entry->comp->getPorts();
    list->length(static_cast<CORBA::ULong>(ports.size()));
    for (CORBA::ULong i = 0; i < list->length(); ++i) list[i] = portRef(entry, ports[i]);
    return list._retn();
}

RTC::PortService_ptr CorbaLayer::findLocalPort(const std::string& full_name) {
    const auto dot = full_name.rfind('.');
    if (dot == std::string::npos) return RTC::PortService::_nil();
    const std::string comp_name = full_name.substr(0, dot);
    std::shared_ptr<ComponentEntry> entry;
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        for (const auto& kv : m_entries) {
            if (kv.second->instanceName == comp_name) entry = kv.second;
        }
    }
    if (!entry || entry->comp == nullptr) return RTC::PortService::_nil();
    PortBase* port = entry->comp->findPort(full_name.substr(dot + 1));
    if (port == nullptr) return RTC::PortService::_nil();
    return portRef(entry, port);
}

RTC::RTObject_ptr CorbaLayer::resolveComponent(const std::string& rtcname) {
    // rtcname://host[:port]/path/.../Comp0  ->  corbaname::host:port#path/.../Comp0.rtc
    if (!corbakit::isRtcName(rtcname)) return RTC::RTObject::_nil();
    try {
        const std::string url = corbakit::NamingPath::component(rtcname).corbanameUrl();
        CORBA::Object_var obj = m_orb->string_to_object(url.c_str());
        return RTC::RTObject::_narrow(obj.in());
    } catch (const corbakit::NamingError& e) {
        RTC_ERROR(("cannot resolve %s: %s", rtcname.c_str(), e.what()));
    } catch (const CORBA::Exception& e) {
        RTC_ERROR(("cannot resolve %s: %s", rtcname.c_str(), e._name()));
    } catch (...) {
        RTC_ERROR(("cannot resolve %s", rtcname.c_str()));
    }
    return RTC::RTObject::_nil();
}

RTC::PortService_ptr CorbaLayer::resolvePort(const std::string& name) {
    if (!corbakit::isRtcName(name)) return findLocalPort(name);
    std::string wanted;  // "Comp0.in", as the port's profile names it
    RTC::RTObject_var comp;
    try {
        const corbakit::NamingPath path = corbakit::NamingPath::port(name);
        const std::string& leaf = path.segments().back();
        wanted = leaf.substr(0, leaf.rfind('.')) + "." + path.portName();
        comp = resolveComponent(path.text());
    } catch (const corbakit::NamingError& e) {
        RTC_ERROR(("cannot resolve %s: %s", name.c_str(), e.what()));
    }
    if (CORBA::is_nil(comp.in())) return RTC::PortService::_nil();
    try {
        RTC::PortServiceList_var ports = comp->get_ports();
        for (CORBA::ULong i = 0; i < ports->length(); ++i) {
            RTC::PortProfile_var pp = ports[i]->get_port_profile();
            if (wanted == static_cast<const char*>(pp->name))
                return RTC::PortService::_duplicate(ports[i]);
        }
    } catch (const CORBA::Exception& e) {
        RTC_ERROR(("cannot list the ports of %s: %s", name.c_str(), e._name()));
    }
    return RTC::PortService::_nil();
}

bool CorbaLayer::connectRemote(const std::string& out_port, const std::string& in_port,
                               const coil::Properties& prop) {
    RTC::PortService_var out = resolvePort(out_port);
    RTC::PortService_var in = resolvePort(in_port);
    if (CORBA::is_nil(out.in()) || CORBA::is_nil(in.in())) {
        RTC_ERROR(
            ("connect: no port %s", CORBA::is_nil(out.in()) ? out_port.c_str() : in_port.c_str()));
        return false;
    }
    RTC::ConnectorProfile cprof;
    cprof.name = prop.getProperty("name", out_port.substr(out_port.rfind('/') + 1) + "_" +
                                              in_port.substr(in_port.rfind('/') + 1))
                     .c_str();
    cprof.connector_id = "";
    cprof.ports.length(2);
    cprof.ports[0] = RTC::PortService::_duplicate(out.in());
    cprof.ports[1] = RTC::PortService::_duplicate(in.in());
    coil::Properties p;
    p.setProperty("dataport.interface_type", "corba_cdr");
    p.setProperty("dataport.dataflow_type", "push");
    p.setProperty("dataport.subscription_type", "flush");
    p.setProperty("dataport.serializer.cdr.endian", "little,big");
    p << prop;
    p.removeNode("name");
    toNVList(p, cprof.properties);
    try {
        RTC::ReturnCode_t r = out->connect(cprof);
        if (r == RTC::RTC_OK) {
            RTC_INFO(("connected %s -> %s", out_port.c_str(), in_port.c_str()));
            return true;
        }
        RTC_ERROR(("connect %s -> %s refused (%d)", out_port.c_str(), in_port.c_str(),
                   static_cast<int>(r)));
    } catch (const CORBA::Exception& e) {
        RTC_ERROR(("connect %s -> %s failed: %s", out_port.c_str(), in_port.c_str(), e._name()));
    }
    return false;
}

bool CorbaLayer::activateRemote(const std::string& name) {
    RTC::RTObject_var comp = resolveComponent(name);
    if (CORBA::is_nil(comp.in())) return false;
    try {
        RTC::ExecutionContextList_var ecs = comp->get_owned_contexts();
        if (ecs->length() == 0) return false;
        return ecs[0]->activate_component(comp.in()) == RTC::RTC_OK;
    } catch (const CORBA::Exception& e) {
        RTC_ERROR(("cannot activate %s: %s", name.c_str(), e._name()));
    }
    return false;
}

std::vector<std::string> CorbaLayer::namePath(const ComponentEntry& entry) const {
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

CosNaming::NamingContextExt_ptr CorbaLayer::namingContext(std::size_t server) {
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

void CorbaLayer::bindName(ComponentEntry& entry) {
    const std::vector<std::string> path = namePath(entry);
    if (path.empty()) return;
    for (std::size_t server = 0; server < m_nameservers.size(); ++server)
        bindName(entry, server, path);
}

void CorbaLayer::bindName(ComponentEntry& entry, std::size_t server,
                          const std::vector<std::string>& path) {
    const std::string where = m_nameservers[server].hostPort();
    // A connection to a naming service that has since restarted fails once
    // per cached connection before a new one is opened: try a few times.
    for (int attempt = 0;; ++attempt) {
        try {
            tryBindName(entry, server, path);
            if (!m_namingReachable[server])
                RTC_INFO(("naming service %s reachable again", where.c_str()));
            m_namingReachable[server] = true;
            return;
        } catch (const CORBA::COMM_FAILURE& e) {
            if (attempt < 3) continue;
            namingFailed(entry, server, e._name());
        } catch (const CORBA::TRANSIENT& e) {
            if (attempt < 3) continue;
            namingFailed(entry, server, e._name());
        } catch (const CORBA::Exception& e) {
            namingFailed(entry, server, e._name());
        } catch (...) {
            namingFailed(entry, server, "unknown error");
        }
        return;
    }
}

void CorbaLayer::tryBindName(ComponentEntry& entry, std::size_t server,
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

void CorbaLayer::namingFailed(ComponentEntry& entry, std::size_t server, const char* why) {
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

void CorbaLayer::unbindName(ComponentEntry& entry) {
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

void CorbaLayer::namingLoop() {
    // Keeps registrations alive across restarts of the naming service.
    std::unique_lock<std::mutex> lock(m_namingMutex);
    while (!m_stopNaming) {
        m_namingCond.wait_for(lock, std::chrono::seconds(10), [this] { return m_stopNaming; });
        if (m_stopNaming) break;
        std::vector<std::shared_ptr<ComponentEntry>> entries;
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            for (const auto& kv : m_entries) entries.push_back(kv.second);
        }
        for (const auto& e : entries) {
            std::shared_lock<std::shared_mutex> alive(e->lock);
            if (e->comp != nullptr) bindName(*e);
        }
    }
}

bool CorbaLayer::nameInUse(const std::string& instance_name, const std::string& policy) {
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

void CorbaLayer::shutdown() {
    {
        std::lock_guard<std::mutex> guard(m_namingMutex);
        m_stopNaming = true;
    }
    m_namingCond.notify_all();
    if (m_namingThread.joinable()) m_namingThread.join();
    // The ORB's threads must end before the process's static objects go.
    if (!m_orbDown.exchange(true)) {
        try {
            m_orb->shutdown(true);
            m_orb->destroy();
        } catch (...) {
        }
    }
}

}  // namespace corba
}  // namespace RTC
