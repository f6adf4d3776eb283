// Speech component: speaks every TimedString arriving on "in" through the
// speech engine, at the speed in the configuration parameter "speed".
// With "status.enable: YES" in its configuration it also reports what became
// of each text on the TimedString port "status": one sample per event,
// stamped with the text's own tm ("queued", "started", "finished",
// "skipped <why>", "dropped [why]", "idle").
#pragma once

// The data type header must come before the other framework headers.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/DataFlowComponentBase.h>
#include <rtm/DataInPort.h>
#include <rtm/Manager.h>
#include <rtm/OutPort.h>

#include <cstdint>
#include <string>

#include "ParluneDa.h"
#include "SampleSender.h"
#include "TextLedger.h"

// The engine's diagnostics; weak, so that an engine without them still links.
extern "C" const char* ParluneDa_CreateError(void) __attribute__((weak));
extern "C" const char* ParluneDa_CreateWarning(void) __attribute__((weak));
extern "C" int ParluneDa_NextWarning(ParluneDaHandle handle, char* buffer, size_t size)
    __attribute__((weak));
// The engine's per-text events; without them "status" reports only what the
// component itself knows (queued, dropped).
extern "C" int ParluneDa_EnableEvents(ParluneDaHandle handle) __attribute__((weak));
extern "C" int ParluneDa_NextEvent(ParluneDaHandle handle, ParluneDaEvent* event)
    __attribute__((weak));

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
    // The opt-in status port, registered only when enabled.
    bool m_statusEnabled;
    RTC::TimedString m_status;
    RTC::OutPort<RTC::TimedString> m_statusOut;
    // Writes the events to m_statusOut, so that no connection holds up the
    // context; it owns m_status.
    SampleSender m_statusSender;
    // The engine reports each accepted text's fate (events enabled).
    bool m_engineEvents;
    TextLedger m_texts;

  private:
    // Reads "status.enable" from the component's properties.
    bool statusWanted();
    // Writes one event about the text stamped tm to "status".
    void report(const RTC::Time& tm, const std::string& event);
    // The outcome of one Play of m_in.
    void reportPlay(int result);
    // Passes on the engine's events that are due.
    void drainEvents();
};

#define PARLUNE_MODULE_EXPORT __attribute__((visibility("default")))

extern "C" {
PARLUNE_MODULE_EXPORT void ParluneRTCInit(RTC::Manager* manager);
}
