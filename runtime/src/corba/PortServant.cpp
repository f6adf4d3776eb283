#include "PortServant.h"

#include <coil/stringutil.h>
#include <corbakit/NameValues.h>

#include "rtm/LocalConnection.h"

#include <omniORB4/omniORB.h>

#include "ConnectorNegotiation.h"
#include "ConnectorProfiles.h"
#include "LiveComponent.h"
#include "NVUtil.h"
#include "RemoteConnector.h"

namespace RTC {
namespace corba {

namespace {

// True when the port no longer exists or cannot be reached at all. A
// connection the peer closed while it was idle fails once; the second try
// goes over a new one.
bool peerGone(RTC::PortService_ptr peer) {
    omniORB::setClientCallTimeout(peer, 1000);
    for (int attempt = 1;; ++attempt) {
        try {
            return peer->_non_existent();
        } catch (const CORBA::TIMEOUT&) {
            return false;  // slow, not gone
        } catch (const CORBA::COMM_FAILURE&) {
            if (attempt >= 2) return true;
        } catch (const CORBA::TRANSIENT&) {
            if (attempt >= 2) return true;
        } catch (const CORBA::SystemException&) {
            return true;
        }
    }
}

}  // namespace

void PortServant::sweepDeadConnectors() {
    // As the framework's ports do before answering a profile query: a
    // connection whose other port is gone is ended.
    std::vector<std::shared_ptr<ConnectorBase>> connectors;
    RTC::PortService_var self;
    {
        LiveComponent alive(*m_entry);
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
            dead = peerGone(peer);
        }
        if (dead && m_port->removeConnector(c->id())) remote->release();
    }
}

RTC::PortProfile* PortServant::get_port_profile() {
    sweepDeadConnectors();
    LiveComponent alive(*m_entry);
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
    LiveComponent alive(*m_entry);
    std::vector<std::shared_ptr<ConnectorBase>> connectors = m_port->getConnectors();
    RTC::ConnectorProfileList_var list = new RTC::ConnectorProfileList;
    list->length(static_cast<CORBA::ULong>(connectors.size()));
    for (CORBA::ULong i = 0; i < list->length(); ++i)
        list[i] = toCorbaProfile(*m_entry->layer, connectors[i]);
    return list._retn();
}

RTC::ConnectorProfile* PortServant::get_connector_profile(const char* connector_id) {
    sweepDeadConnectors();
    LiveComponent alive(*m_entry);
    for (const auto& c : m_port->getConnectors()) {
        if (c->id() == connector_id)
            return new RTC::ConnectorProfile(toCorbaProfile(*m_entry->layer, c));
    }
    return new RTC::ConnectorProfile;
}

RTC::ReturnCode_t PortServant::connect(RTC::ConnectorProfile& connector_profile) {
    RTC::PortServiceList ports;
    {
        LiveComponent alive(*m_entry);
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
            const std::string t = corbakit::findString(pp->properties, "dataport.data_type");
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
        LiveComponent alive(*m_entry);
        if (!m_port->hasConnector(connector_id)) return RTC::BAD_PARAMETER;
    }
    // Tells the other ports, outside the entry lock.
    return m_port->disconnect(connector_id) ? RTC::RTC_OK : RTC::BAD_PARAMETER;
}

RTC::ReturnCode_t PortServant::disconnect_all() {
    { LiveComponent alive(*m_entry); }
    m_port->disconnect_all();
    return RTC::RTC_OK;
}

RTC::ReturnCode_t PortServant::notify_connect(RTC::ConnectorProfile& cprof) {
    RTC::PortService_var self;
    RTC::PortService_var next;
    std::unique_ptr<ConnectorNegotiation> negotiation;
    {
        LiveComponent alive(*m_entry);
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
        negotiation.reset(new ConnectorNegotiation(m_entry, m_port, self.in()));
        const RTC::ReturnCode_t published = negotiation->publishInterfaces(cprof);
        if (published != RTC::RTC_OK) return published;
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
            negotiation->abandon();
            return r;
        }
    }

    LiveComponent alive(*m_entry);
    Logger rtclog(alive.comp()->getInstanceName());
    const RTC::ReturnCode_t subscribed = negotiation->subscribeInterfaces(cprof);
    if (subscribed != RTC::RTC_OK) return subscribed;
    if (negotiation->connector()) {
        m_port->addConnector(negotiation->connector());
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
        LiveComponent alive(*m_entry);
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

}  // namespace corba
}  // namespace RTC
