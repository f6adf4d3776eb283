#include "InPortProvider.h"

#include <corbakit/CdrConnection.h>
#include <corbakit/InPortCdrReceiver.h>

namespace RTC {
namespace corba {

namespace {

OpenRTM::PortStatus toPortStatus(DataPortStatus::Enum status) {
    switch (status) {
        case DataPortStatus::PORT_OK:
            return OpenRTM::PORT_OK;
        case DataPortStatus::BUFFER_FULL:
            return OpenRTM::BUFFER_FULL;
        case DataPortStatus::BUFFER_TIMEOUT:
            return OpenRTM::BUFFER_TIMEOUT;
        case DataPortStatus::BUFFER_EMPTY:
            return OpenRTM::BUFFER_EMPTY;
        default:
            return OpenRTM::PORT_ERROR;
    }
}

}  // namespace

std::shared_ptr<RemoteConnector> InPortProvider::publishInterface(const ConnectorInfo& info,
                                                                  RTC::ConnectorProfile& cprof,
                                                                  RTC::PortService_ptr self) {
    const bool little = info.properties.getProperty("dataport.serializer.cdr.endian") != "big";
    std::shared_ptr<ComponentEntry> entry = m_entry;
    InPortBase* port = m_port;
    const std::string connector_id = info.id;
    // Each sample is taken while the component is alive; a deleted one refuses.
    auto* servant = new corbakit::InPortCdrReceiver(
        [entry, port, connector_id, little](const unsigned char* data, std::size_t size) {
            std::shared_lock<std::shared_mutex> lock(entry->lock);
            if (entry->comp == nullptr) return OpenRTM::PORT_ERROR;
            return toPortStatus(port->putCdr(connector_id, data, size, little));
        });
    PortableServer::ObjectId_var id = m_entry->layer->poa()->activate_object(servant);
    servant->_remove_ref();  // the POA owns it now
    CORBA::Object_var ref = m_entry->layer->poa()->id_to_reference(id.in());
    OpenRTM::InPortCdr_var receiver = OpenRTM::InPortCdr::_narrow(ref.in());
    corbakit::publishInPortCdr(m_entry->layer->orb(), receiver.in(), cprof.properties);
    auto connector = std::make_shared<RemoteConnector>(info, cprof, self);
    connector->setServant(m_entry->layer->poa(), id.in());
    return connector;
}

}  // namespace corba
}  // namespace RTC
