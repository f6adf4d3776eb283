#include "ConnectorProfiles.h"

#include "CorbaLayer.h"
#include "NVUtil.h"
#include "RemoteConnector.h"

namespace RTC {
namespace corba {

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

}  // namespace corba
}  // namespace RTC
