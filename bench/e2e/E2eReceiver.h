// Benchmark receiver: reads every TimedString on "in" each cycle and keeps
// its age (wall clock now minus the sample's tm). On an "END" marker it
// prints one summary line (count, age percentiles) on stdout and starts over.
// Builds unchanged against the embedded runtime and OpenRTM-aist.
#pragma once

// The data types first: the framework's port headers need them.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/DataFlowComponentBase.h>
#include <rtm/InPort.h>
#include <rtm/Manager.h>

#include <vector>

class E2eReceiver : public RTC::DataFlowComponentBase {
  public:
    explicit E2eReceiver(RTC::Manager* manager);
    ~E2eReceiver() override;

    RTC::ReturnCode_t onInitialize() override;
    RTC::ReturnCode_t onActivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onExecute(RTC::UniqueId ec_id) override;

  private:
    void report();
    void restart();

    RTC::TimedString m_in;
    RTC::InPort<RTC::TimedString> m_inIn;

    long m_received;
    long m_outOfOrder;
    long m_lastSeq;
    std::vector<double> m_ageMicros;
};

extern "C" {
__attribute__((visibility("default"))) void E2eReceiverInit(RTC::Manager* manager);
}
