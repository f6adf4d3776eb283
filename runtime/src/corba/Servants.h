// CORBA servants of a component, its execution context, its ports, its
// configuration and the receiving end of corba_cdr connections. Each holds
// the component's entry and checks that the component still lives.
#pragma once

#include <rtm/InPortBase.h>
#include <rtm/PortBase.h>

#include <memory>

#include "CorbaLayer.h"
#include "DataPort_OpenRTM.hh"
#include "OpenRTM.hh"

namespace RTC {
namespace corba {

class ComponentServant : public POA_OpenRTM::DataFlowComponent {
  public:
    explicit ComponentServant(std::shared_ptr<ComponentEntry> entry) : m_entry(std::move(entry)) {}

    // ComponentAction: the context drives the callbacks, not remote callers.
    RTC::ReturnCode_t on_initialize() override { return RTC::UNSUPPORTED; }
    RTC::ReturnCode_t on_finalize() override { return RTC::UNSUPPORTED; }
    RTC::ReturnCode_t on_startup(RTC::ExecutionContextHandle_t) override {
        return RTC::UNSUPPORTED;
    }
    RTC::ReturnCode_t on_shutdown(RTC::ExecutionContextHandle_t) override {
        return RTC::UNSUPPORTED;
    }
    RTC::ReturnCode_t on_activated(RTC::ExecutionContextHandle_t) override {
        return RTC::UNSUPPORTED;
    }
    RTC::ReturnCode_t on_deactivated(RTC::ExecutionContextHandle_t) override {
        return RTC::UNSUPPORTED;
    }
    RTC::ReturnCode_t on_aborting(RTC::ExecutionContextHandle_t) override {
        return RTC::UNSUPPORTED;
    }
    RTC::ReturnCode_t on_error(RTC::ExecutionContextHandle_t) override { return RTC::UNSUPPORTED; }
    RTC::ReturnCode_t on_reset(RTC::ExecutionContextHandle_t) override { return RTC::UNSUPPORTED; }
    RTC::ReturnCode_t on_execute(RTC::ExecutionContextHandle_t) override {
        return RTC::UNSUPPORTED;
    }
    RTC::ReturnCode_t on_state_update(RTC::ExecutionContextHandle_t) override {
        return RTC::UNSUPPORTED;
    }
    RTC::ReturnCode_t on_rate_changed(RTC::ExecutionContextHandle_t) override {
        return RTC::UNSUPPORTED;
    }

    // LightweightRTObject
    RTC::ReturnCode_t initialize() override { return RTC::PRECONDITION_NOT_MET; }
    RTC::ReturnCode_t finalize() override { return RTC::PRECONDITION_NOT_MET; }
    CORBA::Boolean is_alive(RTC::ExecutionContext_ptr exec_context) override;
    RTC::ReturnCode_t exit() override;
    RTC::ExecutionContextHandle_t attach_context(RTC::ExecutionContext_ptr) override;
    RTC::ReturnCode_t detach_context(RTC::ExecutionContextHandle_t) override {
        return RTC::UNSUPPORTED;
    }
    RTC::ExecutionContext_ptr get_context(RTC::ExecutionContextHandle_t exec_handle) override;
    RTC::ExecutionContextList* get_owned_contexts() override;
    RTC::ExecutionContextList* get_participating_contexts() override;
    RTC::ExecutionContextHandle_t get_context_handle(RTC::ExecutionContext_ptr cxt) override;

    // RTObject
    RTC::ComponentProfile* get_component_profile() override;
    RTC::PortServiceList* get_ports() override;

    // SDO
    SDOPackage::OrganizationList* get_owned_organizations() override;
    char* get_sdo_id() override;
    char* get_sdo_type() override;
    SDOPackage::DeviceProfile* get_device_profile() override;
    SDOPackage::ServiceProfileList* get_service_profiles() override;
    SDOPackage::ServiceProfile* get_service_profile(const char* id) override;
    SDOPackage::SDOService_ptr get_sdo_service(const char* id) override;
    SDOPackage::Configuration_ptr get_configuration() override;
    SDOPackage::Monitoring_ptr get_monitoring() override;
    SDOPackage::OrganizationList* get_organizations() override;
    SDOPackage::NVList* get_status_list() override;
    CORBA::Any* get_status(const char* nme) override;

  private:
    std::shared_ptr<ComponentEntry> m_entry;
};

class ExecutionContextServant : public POA_RTC::ExecutionContextService {
  public:
    explicit ExecutionContextServant(std::shared_ptr<ComponentEntry> entry)
        : m_entry(std::move(entry)) {}

    CORBA::Boolean is_running() override;
    RTC::ReturnCode_t start() override { return RTC::PRECONDITION_NOT_MET; }
    RTC::ReturnCode_t stop() override { return RTC::UNSUPPORTED; }
    CORBA::Double get_rate() override;
    RTC::ReturnCode_t set_rate(CORBA::Double rate) override;
    RTC::ReturnCode_t add_component(RTC::LightweightRTObject_ptr) override {
        return RTC::UNSUPPORTED;
    }
    RTC::ReturnCode_t remove_component(RTC::LightweightRTObject_ptr) override {
        return RTC::UNSUPPORTED;
    }
    RTC::ReturnCode_t activate_component(RTC::LightweightRTObject_ptr comp) override;
    RTC::ReturnCode_t deactivate_component(RTC::LightweightRTObject_ptr comp) override;
    RTC::ReturnCode_t reset_component(RTC::LightweightRTObject_ptr comp) override;
    RTC::LifeCycleState get_component_state(RTC::LightweightRTObject_ptr comp) override;
    RTC::ExecutionKind get_kind() override { return RTC::PERIODIC; }
    RTC::ExecutionContextProfile* get_profile() override;

  private:
    enum class Change { Activate, Deactivate, Reset };
    RTC::ReturnCode_t change(RTC::LightweightRTObject_ptr comp, Change what);
    bool isOwner(RTC::LightweightRTObject_ptr comp);
    std::shared_ptr<ComponentEntry> m_entry;
};

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

class ConfigurationServant : public POA_SDOPackage::Configuration {
  public:
    explicit ConfigurationServant(std::shared_ptr<ComponentEntry> entry)
        : m_entry(std::move(entry)) {}

    CORBA::Boolean set_device_profile(const SDOPackage::DeviceProfile&) override {
        throw CORBA::NO_IMPLEMENT();
    }
    CORBA::Boolean add_service_profile(const SDOPackage::ServiceProfile&) override {
        throw CORBA::NO_IMPLEMENT();
    }
    CORBA::Boolean add_organization(SDOPackage::Organization_ptr) override {
        throw CORBA::NO_IMPLEMENT();
    }
    CORBA::Boolean remove_service_profile(const char*) override { throw CORBA::NO_IMPLEMENT(); }
    CORBA::Boolean remove_organization(const char*) override { throw CORBA::NO_IMPLEMENT(); }
    SDOPackage::ParameterList* get_configuration_parameters() override;
    SDOPackage::NVList* get_configuration_parameter_values() override;
    CORBA::Any* get_configuration_parameter_value(const char* name) override;
    CORBA::Boolean set_configuration_parameter(const char* name, const CORBA::Any& value) override;
    SDOPackage::ConfigurationSetList* get_configuration_sets() override;
    SDOPackage::ConfigurationSet* get_configuration_set(const char* config_id) override;
    CORBA::Boolean set_configuration_set_values(
        const SDOPackage::ConfigurationSet& configuration_set) override;
    SDOPackage::ConfigurationSet* get_active_configuration_set() override;
    CORBA::Boolean add_configuration_set(
        const SDOPackage::ConfigurationSet& configuration_set) override;
    CORBA::Boolean remove_configuration_set(const char* config_id) override;
    CORBA::Boolean activate_configuration_set(const char* config_id) override;

  private:
    std::shared_ptr<ComponentEntry> m_entry;
};

// The receiving end of one corba_cdr connection into an InPort.
class InPortCdrServant : public POA_OpenRTM::InPortCdr {
  public:
    InPortCdrServant(std::shared_ptr<ComponentEntry> entry, InPortBase* port, bool little_endian)
        : m_entry(std::move(entry)), m_port(port), m_littleEndian(little_endian) {}
    OpenRTM::PortStatus put(const OpenRTM::CdrData& data) override;

  private:
    std::shared_ptr<ComponentEntry> m_entry;
    InPortBase* m_port;
    bool m_littleEndian;
};

}  // namespace corba
}  // namespace RTC
