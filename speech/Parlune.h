// Speech component: speaks every TimedString arriving on "in" through the
// speech engine, at the speed in the configuration parameter "speed".
#pragma once

// The data type header must come before the other framework headers.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/DataFlowComponentBase.h>
#include <rtm/DataInPort.h>
#include <rtm/Manager.h>

#include <cstdint>

#include "ParluneDa.h"

// The engine's diagnostics; weak, so that an engine without them still links.
extern "C" const char* ParluneDa_CreateError(void) __attribute__((weak));
extern "C" const char* ParluneDa_CreateWarning(void) __attribute__((weak));

class Parlune : public RTC::DataFlowComponentBase {
  public:
    explicit Parlune(RTC::Manager* manager);
    ~Parlune() override;

    RTC::ReturnCode_t onInitialize() override;
    RTC::ReturnCode_t onActivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onDeactivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onExecute(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onReset(RTC::UniqueId ec_id) override;

  protected:
    std::int32_t m_speed;
    RTC::TimedString m_in;
    RTC::InPort<RTC::TimedString> m_inIn;
    ParluneDaHandle m_handle;
    // m_in holds a text the engine's full queue did not take yet.
    bool m_waiting;
};

#define PARLUNE_MODULE_EXPORT __attribute__((visibility("default")))

extern "C" {
PARLUNE_MODULE_EXPORT void ParluneRTCInit(RTC::Manager* manager);
}
