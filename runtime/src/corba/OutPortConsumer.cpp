#include "OutPortConsumer.h"

#include <corbakit/CdrConnection.h>

#include "NVUtil.h"
#include "rtm/PublisherSettings.h"

namespace RTC {
namespace corba {

OpenRTM::InPortCdr_ptr OutPortConsumer::offeredInPort(const RTC::ConnectorProfile& cprof) {
    try {
        return corbakit::publishedInPortCdr(m_entry->layer->orb(), cprof.properties);
    } catch (...) {
        return OpenRTM::InPortCdr::_nil();
    }
}

std::shared_ptr<RemoteConnector> OutPortConsumer::subscribeInterface(
    const RTC::ConnectorProfile& cprof, RTC::PortService_ptr self) {
    OpenRTM::InPortCdr_var target = offeredInPort(cprof);
    if (CORBA::is_nil(target.in())) return nullptr;
    // Checked when the connection was published; flush when unreadable.
    // The port's own settings fill in what the request leaves unset.
    const coil::Properties prop = m_port->connectionProperties(toProperties(cprof.properties));
    PublisherSettings publishing;
    PublisherSettings::fromConnection(prop, publishing, nullptr);
    ConnectorInfo info;
    info.name = static_cast<const char*>(cprof.name);
    info.id = static_cast<const char*>(cprof.connector_id);
    info.properties = prop;
    const std::string endian =
        info.properties.getProperty("dataport.serializer.cdr.endian", "little");
    info.properties.setProperty("dataport.serializer.cdr.endian",
                                endian.compare(0, 3, "big") == 0 ? "big" : "little");
    auto connector = std::make_shared<RemoteConnector>(info, cprof, self);
    connector->setTarget(target.in());
    connector->startPublisher(publishing);
    return connector;
}

}  // namespace corba
}  // namespace RTC
