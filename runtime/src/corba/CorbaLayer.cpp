#include "CorbaLayer.h"

#include <coil/stringutil.h>
#include <corbakit/NamingPath.h>
#include <rtm/Orb.h>

#include <omniORB4/omniORB.h>

#include <chrono>
#include <cstring>

#include "ComponentServant.h"
#include "ConfigurationServant.h"
#include "ExecutionContextServant.h"
#include "IncomingGuard.h"
#include "NVUtil.h"
#include "PortServant.h"

namespace RTC {
namespace corba {

CorbaLayer::CorbaLayer(Manager& manager, CORBA::ORB_ptr orb, PortableServer::POA_ptr poa)
    : m_manager(manager),
      m_orb(CORBA::ORB::_duplicate(orb)),
      m_poa(PortableServer::POA::_duplicate(poa)),
      rtclog("manager"),
      m_names(orb, manager.getConfig()) {
    m_namingEnabled =
        coil::toBool(manager.getConfig().getProperty("naming.enable"), "YES", "NO", true);
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

void CorbaLayer::componentCreated(RTObject_impl* comp) {
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
        m_names.bind(*entry);
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
        m_names.unbind(*entry);
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
            if (e->comp != nullptr) m_names.bind(*e);
        }
    }
}

bool CorbaLayer::nameInUse(const std::string& instance_name, const std::string& policy) {
    return m_namingEnabled && m_names.nameInUse(instance_name, policy);
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
        IncomingGuard::stop();
        try {
            m_orb->shutdown(true);
            m_orb->destroy();
        } catch (...) {
        }
    }
}

}  // namespace corba
}  // namespace RTC
