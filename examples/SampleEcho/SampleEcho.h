// A small sample component: echoes each TimedString from "in" to "out" with a
// configurable prefix. It builds unchanged against the embedded runtime and
// an installed framework.
#pragma once

#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/DataFlowComponentBase.h>
#include <rtm/DataInPort.h>
#include <rtm/DataOutPort.h>
#include <rtm/Manager.h>

#include <string>

class SampleEcho : public RTC::DataFlowComponentBase {
  public:
    explicit SampleEcho(RTC::Manager* manager);
    ~SampleEcho() override;

    RTC::ReturnCode_t onInitialize() override;
    RTC::ReturnCode_t onActivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onDeactivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onExecute(RTC::UniqueId ec_id) override;

  private:
    std::string m_prefix;
    RTC::TimedString m_in;
    RTC::InPort<RTC::TimedString> m_inIn;
    RTC::TimedString m_out;
    RTC::OutPort<RTC::TimedString> m_outOut;
    long m_echoed;
};

extern "C" {
DLL_EXPORT void SampleEchoInit(RTC::Manager* manager);
}
