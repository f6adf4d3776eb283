// The component on the network: its lifecycle, contexts, profile, ports
// and SDO view.
#pragma once

#include <memory>

#include "CorbaLayer.h"
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

}  // namespace corba
}  // namespace RTC
