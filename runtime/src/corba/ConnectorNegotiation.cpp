#include "ConnectorNegotiation.h"

#include <rtm/InPortBase.h>
#include <rtm/OutPortBase.h>
#include <rtm/SystemLogger.h>

#include "InPortProvider.h"
#include "NVUtil.h"
#include "OutPortConsumer.h"
#include "rtm/PublisherSettings.h"

namespace RTC {
namespace corba {

ConnectorNegotiation::ConnectorNegotiation(std::shared_ptr<ComponentEntry> entry, PortBase* port,
                                           RTC::PortService_ptr self)
    : m_entry(std::move(entry)), m_port(port), m_self(RTC::PortService::_duplicate(self)) {}

RTC::ReturnCode_t ConnectorNegotiation::checkProperties(const coil::Properties& prop) {
    Logger rtclog(m_entry->instanceName.c_str());
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
    // The sending side decides how it publishes; what it cannot do is refused
    // before the next port sets anything up.
    PublisherSettings publishing;
    std::string why;
    auto* out = dynamic_cast<OutPortBase*>(m_port);
    if (out != nullptr &&
        !PublisherSettings::fromConnection(out->connectionProperties(prop), publishing, &why)) {
        RTC_ERROR(("notify_connect: %s refuses the connection: %s", m_port->getName().c_str(),
                   why.c_str()));
        return RTC::BAD_PARAMETER;
    }
    return RTC::RTC_OK;
}

RTC::ReturnCode_t ConnectorNegotiation::publishInterfaces(RTC::ConnectorProfile& cprof) {
    coil::Properties prop = toProperties(cprof.properties);
    const RTC::ReturnCode_t checked = checkProperties(prop);
    if (checked != RTC::RTC_OK) return checked;
    auto* in = dynamic_cast<InPortBase*>(m_port);
    if (in == nullptr) return RTC::RTC_OK;

    // The first byte order the output side offers ("little,big") is agreed.
    const std::string endian = prop.getProperty("dataport.serializer.cdr.endian", "little");
    ConnectorInfo info;
    info.name = static_cast<const char*>(cprof.name);
    info.id = static_cast<const char*>(cprof.connector_id);
    info.properties = prop;
    info.properties.setProperty("dataport.serializer.cdr.endian",
                                endian.compare(0, 3, "big") == 0 ? "big" : "little");
    m_connector = InPortProvider(m_entry, in).publishInterface(info, cprof, m_self.in());
    return RTC::RTC_OK;
}

RTC::ReturnCode_t ConnectorNegotiation::subscribeInterfaces(const RTC::ConnectorProfile& cprof) {
    auto* out = dynamic_cast<OutPortBase*>(m_port);
    if (out == nullptr) return RTC::RTC_OK;
    m_connector = OutPortConsumer(m_entry, out).subscribeInterface(cprof, m_self.in());
    if (m_connector) return RTC::RTC_OK;
    Logger rtclog(m_entry->instanceName.c_str());
    RTC_ERROR(("notify_connect: no InPortCdr offered to %s", m_port->getName().c_str()));
    return RTC::BAD_PARAMETER;
}

void ConnectorNegotiation::abandon() {
    if (m_connector) m_connector->release();
    m_connector.reset();
}

}  // namespace corba
}  // namespace RTC
