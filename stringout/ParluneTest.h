// ParluneTest: a periodic data-flow component that publishes on its
// TimedString port "out" each string an operator submits in the input
// window. The window is opened on activation, polled once per cycle and
// closed on deactivation.
#pragma once

// The data types first: the framework's 2.x headers need them declared
// before its other headers.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/DataFlowComponentBase.h>
#include <rtm/Manager.h>
#include <rtm/OutPort.h>

class CStringInputFormController;

class ParluneTest : public RTC::DataFlowComponentBase {
  public:
    explicit ParluneTest(RTC::Manager* manager);
    ~ParluneTest() override;

    RTC::ReturnCode_t onInitialize() override;
    RTC::ReturnCode_t onActivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onDeactivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onExecute(RTC::UniqueId ec_id) override;

  private:
    // Closes the window, waits for its thread and deletes the controller.
    void releaseController();

    RTC::TimedString m_out;
    RTC::OutPort<RTC::TimedString> m_outOut;
    CStringInputFormController* m_controller;
};

extern "C" {
// Registers the component's profile and factory with the manager.
__attribute__((visibility("default"))) void ParluneTestInit(RTC::Manager* manager);
}
