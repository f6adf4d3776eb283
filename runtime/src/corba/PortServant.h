// A data port on the network: its profile, its connections and the
// framework's connect / notify_connect chain between ports.
#pragma once

#include <rtm/PortBase.h>

#include <memory>

#include "CorbaLayer.h"
#include "RTC.hh"

namespace RTC {
namespace corba {

class PortServant : public POA_RTC::PortService {
  public:
    PortServant(std::shared_ptr<ComponentEntry> entry, PortBase* port)
        : m_entry(std::move(entry)), m_port(port) {}

    RTC::PortProfile* get_port_profile() override;
    RTC::ConnectorProfileList* get_connector_profiles() override;
    RTC::ConnectorProfile* get_connector_profile(const char* connector_id) override;
    RTC::ReturnCode_t connect(RTC::ConnectorProfile& connector_profile) override;
    RTC::ReturnCode_t disconnect(const char* connector_id) override;
    RTC::ReturnCode_t disconnect_all() override;
    RTC::ReturnCode_t notify_connect(RTC::ConnectorProfile& connector_profile) override;
    RTC::ReturnCode_t notify_disconnect(const char* connector_id) override;

  private:
    void sweepDeadConnectors();
    bool connectedToAny(const RTC::ConnectorProfile& cprof, RTC::PortService_ptr self);
    std::shared_ptr<ComponentEntry> m_entry;
    PortBase* m_port;
};

}  // namespace corba
}  // namespace RTC
