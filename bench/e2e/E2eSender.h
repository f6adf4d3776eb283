// Benchmark sender: once activated, publishes "count" TimedStrings on "out",
// one per cycle ("paced") or all in one cycle back to back ("burst"), then an
// "END" marker, and prints one summary line (write() times, rate) on stdout.
// Builds unchanged against the embedded runtime and OpenRTM-aist.
#pragma once

// The data types first: the framework's port headers need them.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/DataFlowComponentBase.h>
#include <rtm/Manager.h>
#include <rtm/OutPort.h>

#include <string>
#include <vector>

class E2eSender : public RTC::DataFlowComponentBase {
  public:
    explicit E2eSender(RTC::Manager* manager);
    ~E2eSender() override;

    RTC::ReturnCode_t onInitialize() override;
    RTC::ReturnCode_t onActivated(RTC::UniqueId ec_id) override;
    RTC::ReturnCode_t onExecute(RTC::UniqueId ec_id) override;

  private:
    // Stamps the sample with the wall clock (shared by both processes) and writes it.
    bool send(const std::string& text);
    void report();

    std::string m_mode;
    long m_count;
    long m_size;
    RTC::TimedString m_out;
    RTC::OutPort<RTC::TimedString> m_outOut;

    long m_sent;
    long m_failed;
    long m_idleCycles;
    bool m_reported;
    double m_startSeconds;
    double m_endSeconds;
    std::vector<double> m_writeMicros;
};

extern "C" {
__attribute__((visibility("default"))) void E2eSenderInit(RTC::Manager* manager);
}
