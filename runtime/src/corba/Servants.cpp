#include "Servants.h"

#include <coil/stringutil.h>

#include <rtm/LocalConnection.h>
#include <rtm/Manager.h>
#include <rtm/OutPortBase.h>
#include <rtm/PeriodicExecutionContext.h>

#include <omniORB4/omniORB.h>

#include <thread>

#include "NVUtil.h"
#include "RemoteConnector.h"

namespace RTC {
namespace corba {

namespace {

// Holds the component's entry shared for one remote call; a component that
// is being deleted answers as a gone object.
class Alive {
  public:
    explicit Alive(ComponentEntry& entry) : m_lock(entry.lock), m_comp(entry.comp) {
        if (m_comp == nullptr) throw CORBA::OBJECT_NOT_EXIST();
    }
    RTObject_impl* comp() const { return m_comp; }
    PeriodicExecutionContext& ec() const {
        PeriodicExecutionContext* ec = m_comp->getOwnedExecutionContext();
        if (ec == nullptr) throw CORBA::OBJECT_NOT_EXIST();
        return *ec;
    }

  private:
    std::shared_lock<std::shared_mutex> m_lock;
    RTObject_impl* m_comp;
};

RTC::ConnectorProfile toCorbaProfile(CorbaLayer& layer, const std::shared_ptr<ConnectorBase>& c) {
    if (auto* remote = dynamic_cast<RemoteConnector*>(c.get())) return remote->corbaProfile();
    const ConnectorInfo& info = c->profile();
    RTC::ConnectorProfile p;
    p.name = info.name.c_str();
    p.connector_id = info.id.c_str();
    p.ports.length(static_cast<CORBA::ULong>(info.ports.size()));
    for (CORBA::ULong i = 0; i < p.ports.length(); ++i)
        p.ports[i] = layer.findLocalPort(info.ports[i]);
    toNVList(info.properties, p.properties);
    return p;
}

// Position of port among the connection's ports, or -1.
int indexOf(const RTC::ConnectorProfile& profile, RTC::PortService_ptr port) {
    for (CORBA::ULong i = 0; i < profile.ports.length(); ++i) {
        try {
            if (!CORBA::is_nil(profile.ports[i]) && profile.ports[i]->_is_equivalent(port))
                return static_cast<int>(i);
        } catch (...) {
        }
    }
    return -1;
}

SDOPackage::NVList setValues(const coil::Properties& set) {
    SDOPackage::NVList nv;
    toNVList(set, nv);
    return nv;
}

}  // namespace

// ---------------------------------------------------------------- component

CORBA::Boolean ComponentServant::is_alive(RTC::ExecutionContext_ptr) {
    std::shared_lock<std::shared_mutex> lock(m_entry->lock);
    return m_entry->comp != nullptr;
}

RTC::ReturnCode_t ComponentServant::exit() {
    std::string name;
    {
        Alive alive(*m_entry);
        name = alive.comp()->getInstanceName();
    }
    // Deletion waits for remote calls on this component, this one included:
    // it runs on a thread of its own.
    std::thread([name] { Manager::instance().deleteComponent(name.c_str()); }).detach();
    return RTC::RTC_OK;
}

RTC::ExecutionContextHandle_t ComponentServant::attach_context(RTC::ExecutionContext_ptr) {
    throw CORBA::NO_IMPLEMENT();
}

RTC::ExecutionContext_ptr ComponentServant::get_context(RTC::ExecutionContextHandle_t exec_handle) {
    Alive alive(*m_entry);
    if (exec_handle != 0) return RTC::ExecutionContext::_nil();
    return RTC::ExecutionContext::_narrow(m_entry->ecRef.in());
}

RTC::ExecutionContextList* ComponentServant::get_owned_contexts() {
    Alive alive(*m_entry);
    RTC::ExecutionContextList_var list = new RTC::ExecutionContextList;
    list->length(1);
    list[0] = RTC::ExecutionContext::_narrow(m_entry->ecRef.in());
    return list._retn();
}

RTC::ExecutionContextList* ComponentServant::get_participating_contexts() {
    Alive alive(*m_entry);
    return new RTC::ExecutionContextList;
}

RTC::ExecutionContextHandle_t ComponentServant::get_context_handle(RTC::ExecutionContext_ptr cxt) {
    Alive alive(*m_entry);
    if (!CORBA::is_nil(cxt) && cxt->_is_equivalent(m_entry->ecRef.in())) return 0;
    return static_cast<RTC::ExecutionContextHandle_t>(-1);
}

RTC::ComponentProfile* ComponentServant::get_component_profile() {
    RTC::ComponentProfile_var profile = new RTC::ComponentProfile;
    RTC::PortServiceList_var ports;
    {
        Alive alive(*m_entry);
        coil::Properties& prop = alive.comp()->getProperties();
        profile->instance_name = alive.comp()->getInstanceName();
        profile->type_name = prop.getProperty("type_name").c_str();
        profile->description = prop.getProperty("description").c_str();
        profile->version = prop.getProperty("version").c_str();
        profile->vendor = prop.getProperty("vendor").c_str();
        profile->category = prop.getProperty("category").c_str();
        profile->parent = RTC::RTObject::_nil();
        toNVList(prop, profile->properties);
        ports = m_entry->layer->portRefs(m_entry);
    }
    // Collocated calls to our own port servants, outside the entry lock they take.
    profile->port_profiles.length(ports->length());
    for (CORBA::ULong i = 0; i < ports->length(); ++i) {
        RTC::PortProfile_var pp = ports[i]->get_port_profile();
        profile->port_profiles[i] = pp.in();
    }
    return profile._retn();
}

RTC::PortServiceList* ComponentServant::get_ports() {
    Alive alive(*m_entry);
    return m_entry->layer->portRefs(m_entry);
}

SDOPackage::OrganizationList* ComponentServant::get_owned_organizations() {
    return new SDOPackage::OrganizationList;
}

char* ComponentServant::get_sdo_id() {
    Alive alive(*m_entry);
    return CORBA::string_dup(alive.comp()->getInstanceName());
}

char* ComponentServant::get_sdo_type() {
    Alive alive(*m_entry);
    return CORBA::string_dup(alive.comp()->getProperties().getProperty("description").c_str());
}

SDOPackage::DeviceProfile* ComponentServant::get_device_profile() {
    Alive alive(*m_entry);
    coil::Properties& prop = alive.comp()->getProperties();
    SDOPackage::DeviceProfile_var dp = new SDOPackage::DeviceProfile;
    dp->device_type = prop.getProperty("category").c_str();
    dp->manufacturer = prop.getProperty("vendor").c_str();
    dp->model = prop.getProperty("type_name").c_str();
    dp->version = prop.getProperty("version").c_str();
    return dp._retn();
}

SDOPackage::ServiceProfileList* ComponentServant::get_service_profiles() {
    return new SDOPackage::ServiceProfileList;
}

SDOPackage::ServiceProfile* ComponentServant::get_service_profile(const char*) {
    throw SDOPackage::InvalidParameter("no such service");
}

SDOPackage::SDOService_ptr ComponentServant::get_sdo_service(const char*) {
    throw SDOPackage::InvalidParameter("no such service");
}

SDOPackage::Configuration_ptr ComponentServant::get_configuration() {
    Alive alive(*m_entry);
    return SDOPackage::Configuration::_narrow(m_entry->configRef.in());
}

SDOPackage::Monitoring_ptr ComponentServant::get_monitoring() {
    throw SDOPackage::InterfaceNotImplemented("monitoring is not offered");
}

SDOPackage::OrganizationList* ComponentServant::get_organizations() {
    return new SDOPackage::OrganizationList;
}

SDOPackage::NVList* ComponentServant::get_status_list() { return new SDOPackage::NVList; }

CORBA::Any* ComponentServant::get_status(const char*) {
    throw SDOPackage::InvalidParameter("no such status");
}

// -------------------------------------------------------- execution context

bool ExecutionContextServant::isOwner(RTC::LightweightRTObject_ptr comp) {
    if (CORBA::is_nil(comp)) return false;
    try {
        return comp->_is_equivalent(m_entry->compRef.in());
    } catch (...) {
        return false;
    }
}

CORBA::Boolean ExecutionContextServant::is_running() {
    Alive alive(*m_entry);
    return alive.ec().is_running();
}

CORBA::Double ExecutionContextServant::get_rate() {
    Alive alive(*m_entry);
    return alive.ec().get_rate();
}

RTC::ReturnCode_t ExecutionContextServant::set_rate(CORBA::Double rate) {
    Alive alive(*m_entry);
    return alive.ec().set_rate(rate);
}

RTC::ReturnCode_t ExecutionContextServant::change(RTC::LightweightRTObject_ptr comp, Change what) {
    Alive alive(*m_entry);
    if (!isOwner(comp)) return RTC::BAD_PARAMETER;
    switch (what) {
        case Change::Activate:
            return alive.ec().activate_component();
        case Change::Deactivate:
            return alive.ec().deactivate_component();
        case Change::Reset:
            return alive.ec().reset_component();
    }
    return RTC::RTC_ERROR;
}

RTC::ReturnCode_t ExecutionContextServant::activate_component(RTC::LightweightRTObject_ptr comp) {
    return change(comp, Change::Activate);
}

RTC::ReturnCode_t ExecutionContextServant::deactivate_component(RTC::LightweightRTObject_ptr comp) {
    return change(comp, Change::Deactivate);
}

RTC::ReturnCode_t ExecutionContextServant::reset_component(RTC::LightweightRTObject_ptr comp) {
    return change(comp, Change::Reset);
}

RTC::LifeCycleState ExecutionContextServant::get_component_state(
    RTC::LightweightRTObject_ptr comp) {
    Alive alive(*m_entry);
    if (!isOwner(comp)) return RTC::CREATED_STATE;
    return alive.ec().get_component_state();
}

RTC::ExecutionContextProfile* ExecutionContextServant::get_profile() {
    Alive alive(*m_entry);
    RTC::ExecutionContextProfile_var p = new RTC::ExecutionContextProfile;
    p->kind = RTC::PERIODIC;
    p->rate = alive.ec().get_rate();
    p->owner = RTC::RTObject::_narrow(m_entry->compRef.in());
    // As the framework does: the owner is not listed among the participants.
    p->participants.length(0);
    return p._retn();
}

// --------------------------------------------------------------------- port

void PortServant::sweepDeadConnectors() {
    // As the framework's ports do before answering a profile query: a
    // connection whose other port is gone is ended.
    std::vector<std::shared_ptr<ConnectorBase>> connectors;
    RTC::PortService_var self;
    {
        Alive alive(*m_entry);
        connectors = m_port->getConnectors();
        self = m_entry->layer->portRef(m_entry, m_port);
    }
    for (const auto& c : connectors) {
        auto* remote = dynamic_cast<RemoteConnector*>(c.get());
        if (remote == nullptr) continue;
        const RTC::ConnectorProfile& p = remote->corbaProfile();
        bool dead = false;
        for (CORBA::ULong i = 0; i < p.ports.length() && !dead; ++i) {
            RTC::PortService_ptr peer = p.ports[i];
            if (CORBA::is_nil(peer) || peer->_is_equivalent(self.in())) continue;
            try {
                omniORB::setClientCallTimeout(peer, 1000);
                dead = peer->_non_existent();
            } catch (const CORBA::TIMEOUT&) {
                // Slow, not gone.
            } catch (const CORBA::SystemException&) {
                dead = true;
            }
        }
        if (dead && m_port->removeConnector(c->id())) remote->release();
    }
}

RTC::PortProfile* PortServant::get_port_profile() {
    sweepDeadConnectors();
    Alive alive(*m_entry);
    RTC::PortProfile_var p = new RTC::PortProfile;
    p->name = m_port->getName().c_str();
    p->port_ref = m_entry->layer->portRef(m_entry, m_port);
    std::vector<std::shared_ptr<ConnectorBase>> connectors = m_port->getConnectors();
    p->connector_profiles.length(static_cast<CORBA::ULong>(connectors.size()));
    for (CORBA::ULong i = 0; i < connectors.size(); ++i) {
        p->connector_profiles[i] = toCorbaProfile(*m_entry->layer, connectors[i]);
    }
    p->owner = RTC::RTObject::_narrow(m_entry->compRef.in());
    toNVList(m_port->properties(), p->properties);
    return p._retn();
}

RTC::ConnectorProfileList* PortServant::get_connector_profiles() {
    sweepDeadConnectors();
    Alive alive(*m_entry);
    std::vector<std::shared_ptr<ConnectorBase>> connectors = m_port->getConnectors();
    RTC::ConnectorProfileList_var list = new RTC::ConnectorProfileList;
    list->length(static_cast<CORBA::ULong>(connectors.size()));
    for (CORBA::ULong i = 0; i < list->length(); ++i)
        list[i] = toCorbaProfile(*m_entry->layer, connectors[i]);
    return list._retn();
}

RTC::ConnectorProfile* PortServant::get_connector_profile(const char* connector_id) {
    sweepDeadConnectors();
    Alive alive(*m_entry);
    for (const auto& c : m_port->getConnectors()) {
        if (c->id() == connector_id)
            return new RTC::ConnectorProfile(toCorbaProfile(*m_entry->layer, c));
    }
    return new RTC::ConnectorProfile;
}

RTC::ReturnCode_t PortServant::connect(RTC::ConnectorProfile& connector_profile) {
    RTC::PortServiceList ports;
    {
        Alive alive(*m_entry);
        Logger rtclog(alive.comp()->getInstanceName());
        if (connector_profile.ports.length() < 2) {
            RTC_ERROR(("connect: a connection needs two ports"));
            return RTC::BAD_PARAMETER;
        }
        if (std::string(connector_profile.connector_id).empty()) {
            connector_profile.connector_id = newConnectorId().c_str();
        } else if (m_port->hasConnector(static_cast<const char*>(connector_profile.connector_id))) {
            RTC_ERROR(("connect: %s has a connection %s already", m_port->getName().c_str(),
                       static_cast<const char*>(connector_profile.connector_id)));
            return RTC::PRECONDITION_NOT_MET;
        }
        ports = connector_profile.ports;
    }
    // Every port must carry the same data type; a port that cannot be asked
    // makes the connection fail before anything is set up.
    std::string type;
    for (CORBA::ULong i = 0; i < ports.length(); ++i) {
        try {
            if (CORBA::is_nil(ports[i])) return RTC::BAD_PARAMETER;
            RTC::PortProfile_var pp = ports[i]->get_port_profile();
            const std::string t = findString(pp->properties, "dataport.data_type");
            if (i == 0) type = t;
            if (t != type) return RTC::BAD_PARAMETER;
        } catch (...) {
            return RTC::BAD_PARAMETER;
        }
    }
    try {
        return ports[0]->notify_connect(connector_profile);
    } catch (...) {
        return RTC::RTC_ERROR;
    }
}

RTC::ReturnCode_t PortServant::disconnect(const char* connector_id) {
    {
        Alive alive(*m_entry);
        if (!m_port->hasConnector(connector_id)) return RTC::BAD_PARAMETER;
    }
    // Tells the other ports, outside the entry lock.
    return m_port->disconnect(connector_id) ? RTC::RTC_OK : RTC::BAD_PARAMETER;
}

RTC::ReturnCode_t PortServant::disconnect_all() {
    { Alive alive(*m_entry); }
    m_port->disconnect_all();
    return RTC::RTC_OK;
}

RTC::ReturnCode_t PortServant::notify_connect(RTC::ConnectorProfile& cprof) {
    RTC::PortService_var self;
    std::shared_ptr<RemoteConnector> connector;
    RTC::PortService_var next;
    {
        Alive alive(*m_entry);
        Logger rtclog(alive.comp()->getInstanceName());
        self = m_entry->layer->portRef(m_entry, m_port);
        const int index = indexOf(cprof, self.in());
        if (index < 0) {
            RTC_ERROR(("notify_connect: %s is not among the connection's ports",
                       m_port->getName().c_str()));
            return RTC::BAD_PARAMETER;
        }
        coil::Properties prop = toProperties(cprof.properties);
        if (!coil::toBool(prop.getProperty("dataport.allow_dup_connection"), "YES", "NO", false) &&
            connectedToAny(cprof, self.in())) {
            RTC_ERROR(("notify_connect: %s is connected to that port already",
                       m_port->getName().c_str()));
            return RTC::PRECONDITION_NOT_MET;
        }
        const std::string itype = prop.getProperty("dataport.interface_type", "corba_cdr");
        const std::string flow = prop.getProperty("dataport.dataflow_type", "push");
        const std::string dtype = prop.getProperty("dataport.data_type");
        if (itype != "corba_cdr" || flow != "push") {
            RTC_ERROR(("notify_connect: %s supports corba_cdr push connections only, not %s %s",
                       m_port->getName().c_str(), itype.c_str(), flow.c_str()));
            return RTC::BAD_PARAMETER;
        }
        if (!dtype.empty() && dtype != m_port->dataType()) {
            RTC_ERROR(("notify_connect: %s carries %s, not %s", m_port->getName().c_str(),
                       m_port->dataType().c_str(), dtype.c_str()));
            return RTC::BAD_PARAMETER;
        }
        const std::string endian = prop.getProperty("dataport.serializer.cdr.endian", "little");
        const bool little = endian.compare(0, 3, "big") != 0;

        ConnectorInfo info;
        info.name = static_cast<const char*>(cprof.name);
        info.id = static_cast<const char*>(cprof.connector_id);
        info.properties = prop;
        info.properties.setProperty("dataport.serializer.cdr.endian", little ? "little" : "big");

        // An input port offers an InPortCdr object for this connection.
        if (auto* in = dynamic_cast<InPortBase*>(m_port)) {
            auto* servant = new InPortCdrServant(m_entry, in, little);
            PortableServer::ObjectId_var id = m_entry->layer->poa()->activate_object(servant);
            servant->_remove_ref();
            CORBA::Object_var ref = m_entry->layer->poa()->id_to_reference(id.in());
            CORBA::String_var ior = m_entry->layer->orb()->object_to_string(ref.in());
            setString(cprof.properties, "dataport.corba_cdr.inport_ior",
                      static_cast<const char*>(ior));
            bool found = false;
            for (CORBA::ULong i = 0; i < cprof.properties.length(); ++i) {
                if (std::string(cprof.properties[i].name) == "dataport.corba_cdr.inport_ref") {
                    cprof.properties[i].value <<= ref.in();
                    found = true;
                }
            }
            if (!found) {
                const CORBA::ULong n = cprof.properties.length();
                cprof.properties.length(n + 1);
                cprof.properties[n].name = "dataport.corba_cdr.inport_ref";
                cprof.properties[n].value <<= ref.in();
            }
            connector = std::make_shared<RemoteConnector>(info, cprof, self.in());
            connector->setServant(m_entry->layer->poa(), id.in());
        }
        if (static_cast<CORBA::ULong>(index + 1) < cprof.ports.length()) {
            next = RTC::PortService::_duplicate(cprof.ports[index + 1]);
        }
    }

    // The next port publishes (or subscribes) in turn.
    if (!CORBA::is_nil(next.in())) {
        RTC::ReturnCode_t r = RTC::RTC_ERROR;
        try {
            r = next->notify_connect(cprof);
        } catch (...) {
            r = RTC::RTC_ERROR;
        }
        if (r != RTC::RTC_OK) {
            if (connector) connector->release();
            return r;
        }
    }

    Alive alive(*m_entry);
    Logger rtclog(alive.comp()->getInstanceName());
    if (dynamic_cast<OutPortBase*>(m_port) != nullptr) {
        // An output port sends to the InPortCdr object the input port offered.
        CORBA::Object_var obj;
        const std::string ior = findString(cprof.properties, "dataport.corba_cdr.inport_ior");
        try {
            if (!ior.empty()) obj = m_entry->layer->orb()->string_to_object(ior.c_str());
        } catch (...) {
        }
        if (CORBA::is_nil(obj.in())) {
            for (CORBA::ULong i = 0; i < cprof.properties.length(); ++i) {
                CORBA::Object_ptr ref;
                if (std::string(cprof.properties[i].name) == "dataport.corba_cdr.inport_ref" &&
                    (cprof.properties[i].value >>= CORBA::Any::to_object(ref))) {
                    obj = CORBA::Object::_duplicate(ref);
                }
            }
        }
        OpenRTM::InPortCdr_var target;
        try {
            target = OpenRTM::InPortCdr::_narrow(obj.in());
        } catch (...) {
        }
        if (CORBA::is_nil(target.in())) {
            RTC_ERROR(("notify_connect: no InPortCdr offered to %s", m_port->getName().c_str()));
            return RTC::BAD_PARAMETER;
        }
        ConnectorInfo info;
        info.name = static_cast<const char*>(cprof.name);
        info.id = static_cast<const char*>(cprof.connector_id);
        info.properties = toProperties(cprof.properties);
        const std::string endian =
            info.properties.getProperty("dataport.serializer.cdr.endian", "little");
        info.properties.setProperty("dataport.serializer.cdr.endian",
                                    endian.compare(0, 3, "big") == 0 ? "big" : "little");
        connector = std::make_shared<RemoteConnector>(info, cprof, self.in());
        connector->setTarget(target.in());
    }
    if (connector) {
        m_port->addConnector(connector);
        RTC_INFO(("%s connected (%s)", m_port->getName().c_str(),
                  static_cast<const char*>(cprof.connector_id)));
    }
    return RTC::RTC_OK;
}

bool PortServant::connectedToAny(const RTC::ConnectorProfile& cprof, RTC::PortService_ptr self) {
    for (const auto& c : m_port->getConnectors()) {
        RTC::ConnectorProfile existing = toCorbaProfile(*m_entry->layer, c);
        for (CORBA::ULong i = 0; i < cprof.ports.length(); ++i) {
            RTC::PortService_ptr wanted = cprof.ports[i];
            if (CORBA::is_nil(wanted) || wanted->_is_equivalent(self)) continue;
            for (CORBA::ULong j = 0; j < existing.ports.length(); ++j) {
                if (!CORBA::is_nil(existing.ports[j]) && existing.ports[j]->_is_equivalent(wanted))
                    return true;
            }
        }
    }
    return false;
}

RTC::ReturnCode_t PortServant::notify_disconnect(const char* connector_id) {
    std::shared_ptr<ConnectorBase> connector;
    RTC::PortService_var next;
    {
        Alive alive(*m_entry);
        connector = m_port->removeConnector(connector_id);
        if (!connector) return RTC::BAD_PARAMETER;
        if (auto* remote = dynamic_cast<RemoteConnector*>(connector.get())) {
            RTC::PortService_var self = m_entry->layer->portRef(m_entry, m_port);
            const RTC::ConnectorProfile& p = remote->corbaProfile();
            const int index = indexOf(p, self.in());
            if (index >= 0 && static_cast<CORBA::ULong>(index + 1) < p.ports.length()) {
                next = RTC::PortService::_duplicate(p.ports[index + 1]);
            }
        }
        Logger rtclog(alive.comp()->getInstanceName());
        RTC_INFO(("%s disconnected (%s)", m_port->getName().c_str(), connector_id));
    }
    if (!CORBA::is_nil(next.in())) {
        try {
            omniORB::setClientCallTimeout(next.in(), 1000);
            next->notify_disconnect(connector_id);
        } catch (...) {
        }
    }
    if (auto* remote = dynamic_cast<RemoteConnector*>(connector.get())) {
        remote->release();
    } else {
        connector->onDisconnect();  // the other end of a connection in this process
    }
    return RTC::RTC_OK;
}

// ------------------------------------------------------------ configuration

SDOPackage::ParameterList* ConfigurationServant::get_configuration_parameters() {
    Alive alive(*m_entry);
    return new SDOPackage::ParameterList;
}

SDOPackage::NVList* ConfigurationServant::get_configuration_parameter_values() {
    Alive alive(*m_entry);
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    return new SDOPackage::NVList(
        setValues(config.getConfigurationSet(config.getActiveId().c_str())));
}

CORBA::Any* ConfigurationServant::get_configuration_parameter_value(const char* name) {
    Alive alive(*m_entry);
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    coil::Properties set = config.getConfigurationSet(config.getActiveId().c_str());
    if (name == nullptr || set.findNode(name) == nullptr)
        throw SDOPackage::InvalidParameter("no such parameter");
    CORBA::Any_var value = new CORBA::Any;
    value <<= set.getProperty(name).c_str();
    return value._retn();
}

CORBA::Boolean ConfigurationServant::set_configuration_parameter(const char* name,
                                                                 const CORBA::Any& value) {
    Alive alive(*m_entry);
    const char* text = nullptr;
    if (name == nullptr || !(value >>= text))
        throw SDOPackage::InvalidParameter("value must be a string");
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    return config.setParameter(config.getActiveId().c_str(), name, text);
}

SDOPackage::ConfigurationSetList* ConfigurationServant::get_configuration_sets() {
    Alive alive(*m_entry);
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    SDOPackage::ConfigurationSetList_var list = new SDOPackage::ConfigurationSetList;
    std::vector<std::string> ids = config.getConfigurationSetIds();
    list->length(static_cast<CORBA::ULong>(ids.size()));
    for (CORBA::ULong i = 0; i < list->length(); ++i) {
        list[i].id = ids[i].c_str();
        list[i].description = "";
        list[i].configuration_data = setValues(config.getConfigurationSet(ids[i].c_str()));
    }
    return list._retn();
}

SDOPackage::ConfigurationSet* ConfigurationServant::get_configuration_set(const char* config_id) {
    Alive alive(*m_entry);
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    if (config_id == nullptr || !config.haveConfig(config_id))
        throw SDOPackage::InternalError("no such configuration set");
    SDOPackage::ConfigurationSet_var set = new SDOPackage::ConfigurationSet;
    set->id = config_id;
    set->description = "";
    set->configuration_data = setValues(config.getConfigurationSet(config_id));
    return set._retn();
}

CORBA::Boolean ConfigurationServant::set_configuration_set_values(
    const SDOPackage::ConfigurationSet& set) {
    Alive alive(*m_entry);
    ConfigAdmin& config = alive.comp()->getConfigAdmin();
    if (!config.haveConfig(set.id)) throw SDOPackage::InvalidParameter("no such configuration set");
    for (CORBA::ULong i = 0; i < set.configuration_data.length(); ++i) {
        const char* text = nullptr;
        if (!(set.configuration_data[i].value >>= text))
            throw SDOPackage::InvalidParameter("values must be strings");
    }
    for (CORBA::ULong i = 0; i < set.configuration_data.length(); ++i) {
        const char* text = nullptr;
        set.configuration_data[i].value >>= text;
        config.setParameter(set.id, set.configuration_data[i].name, text);
    }
    return true;
}

SDOPackage::ConfigurationSet* ConfigurationServant::get_active_configuration_set() {
    std::string id;
    {
        Alive alive(*m_entry);
        id = alive.comp()->getConfigAdmin().getActiveId();
    }
    return get_configuration_set(id.c_str());
}

CORBA::Boolean ConfigurationServant::add_configuration_set(
    const SDOPackage::ConfigurationSet& configuration_set) {
    Alive alive(*m_entry);
    coil::Properties set(configuration_set.id);
    coil::Properties values = toProperties(configuration_set.configuration_data);
    for (const std::string& key : values.propertyNames())
        set.setProperty(key, values.getProperty(key));
    if (!alive.comp()->getConfigAdmin().addConfigurationSet(set))
        throw SDOPackage::InvalidParameter("set exists");
    return true;
}

CORBA::Boolean ConfigurationServant::remove_configuration_set(const char* config_id) {
    Alive alive(*m_entry);
    if (!alive.comp()->getConfigAdmin().removeConfigurationSet(config_id)) {
        throw SDOPackage::InvalidParameter("no such set, or it is the default or active one");
    }
    return true;
}

CORBA::Boolean ConfigurationServant::activate_configuration_set(const char* config_id) {
    Alive alive(*m_entry);
    if (!alive.comp()->getConfigAdmin().activateConfigurationSet(config_id)) {
        throw SDOPackage::InvalidParameter("no such configuration set");
    }
    return true;
}

// ------------------------------------------------------------------- inport

OpenRTM::PortStatus InPortCdrServant::put(const OpenRTM::CdrData& data) {
    std::shared_lock<std::shared_mutex> lock(m_entry->lock);
    if (m_entry->comp == nullptr) return OpenRTM::PORT_ERROR;
    switch (m_port->putCdr(data.get_buffer(), data.length(), m_littleEndian)) {
        case DataPortStatus::PORT_OK:
            return OpenRTM::PORT_OK;
        case DataPortStatus::BUFFER_FULL:
            return OpenRTM::BUFFER_FULL;
        default:
            return OpenRTM::PORT_ERROR;
    }
}

}  // namespace corba
}  // namespace RTC
