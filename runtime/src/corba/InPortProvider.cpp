#include "InPortProvider.h"

#include "InPortCdrServant.h"
#include "NVUtil.h"

namespace RTC {
namespace corba {

std::shared_ptr<RemoteConnector> InPortProvider::publishInterface(const ConnectorInfo& info,
                                                                  RTC::ConnectorProfile& cprof,
                                                                  RTC::PortService_ptr self) {
    const bool little = info.properties.getProperty("dataport.serializer.cdr.endian") != "big";
    auto* servant = new InPortCdrServant(m_entry, m_port, little);
    PortableServer::ObjectId_var id = m_entry->layer->poa()->activate_object(servant);
    servant->_remove_ref();  // the POA owns it now
    CORBA::Object_var ref = m_entry->layer->poa()->id_to_reference(id.in());
    CORBA::String_var ior = m_entry->layer->orb()->object_to_string(ref.in());
    setString(cprof.properties, "dataport.corba_cdr.inport_ior", static_cast<const char*>(ior));
    setObject(cprof.properties, "dataport.corba_cdr.inport_ref", ref.in());
    auto connector = std::make_shared<RemoteConnector>(info, cprof, self);
    connector->setServant(m_entry->layer->poa(), id.in());
    return connector;
}

}  // namespace corba
}  // namespace RTC
