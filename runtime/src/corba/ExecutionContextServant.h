// The component's own periodic execution context on the network.
#pragma once

#include <memory>

#include "CorbaLayer.h"
#include "RTC.hh"

namespace RTC {
namespace corba {

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

}  // namespace corba
}  // namespace RTC
