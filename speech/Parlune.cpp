#include "Parlune.h"

#include <iostream>
#include <string>

// clang-format off
static const char* parlune_spec[] = {
    "implementation_id", "Parlune",
    "type_name",         "Parlune",
    "description",       "Parlune Component",
    "version",           "1.0.0",
    "vendor",            "orvane",
    "category",          "Etc",
    "activity_type",     "PERIODIC",
    "kind",              "DataFlowComponent",
    "max_instance",      "1",
    "language",          "C++",
    "lang_type",         "compile",
    "conf.default.speed", "100",
    ""
};
// clang-format on

Parlune::Parlune(RTC::Manager* manager)
    : RTC::DataFlowComponentBase(manager),
      m_inIn("in", m_in),
      m_handle(nullptr),
      m_waiting(false) {}

Parlune::~Parlune() {}

RTC::ReturnCode_t Parlune::onInitialize() {
    registerInPort("in", m_inIn);
    bindParameter("speed", m_speed, "100");
    return RTC::RTC_OK;
}

RTC::ReturnCode_t Parlune::onActivated(RTC::UniqueId) {
    m_handle = ParluneDa_Create();
    if (m_handle == nullptr) {
        // Otherwise the first text's failure would be the only trace.
        const char* why = ParluneDa_CreateError != nullptr ? ParluneDa_CreateError() : "";
        RTC_WARN(("speech engine did not start, nothing will be spoken: %s",
                  why[0] != '\0' ? why : "no reason given"));
    } else if (ParluneDa_CreateWarning != nullptr && ParluneDa_CreateWarning()[0] != '\0') {
        RTC_WARN(("speech engine: %s", ParluneDa_CreateWarning()));
    }
    return RTC::RTC_OK;
}

RTC::ReturnCode_t Parlune::onDeactivated(RTC::UniqueId) {
    ParluneDa_Release(m_handle);
    return RTC::RTC_OK;
}

RTC::ReturnCode_t Parlune::onExecute(RTC::UniqueId) {
    // A text the engine had no room for is offered again before another is read.
    if (!m_waiting) {
        if (!m_inIn.isNew()) return RTC::RTC_OK;
        m_inIn.read();
    }
    std::string text(m_in.data);
    int result = ParluneDa_Play(m_handle, text.c_str(), m_speed, 0, 0, 0);
    // A full queue is no failure: the text waits here, later ones in the port,
    // and a sender beyond the port's length is held back until there is room.
    m_waiting = result == PARLUNE_DA_E_QUEUE_FULL;
    if (m_waiting) return RTC::RTC_OK;
    return result == 0 ? RTC::RTC_OK : RTC::RTC_ERROR;
}

RTC::ReturnCode_t Parlune::onReset(RTC::UniqueId) { return RTC::RTC_OK; }

static RTC::RTObject_impl* ParluneCreate(RTC::Manager* manager) {
    return RTC::Create<Parlune>(manager);
}

static void ParluneDelete(RTC::RTObject_impl* rtc) { delete rtc; }

extern "C" {

void ParluneRTCInit(RTC::Manager* manager) {
    std::cout << "This library uses Parlune.dll. See https://github.com/espeak-ng/espeak-ng"
              << std::endl;
    coil::Properties profile(parlune_spec, 2147483647);
    manager->registerFactory(profile, ParluneCreate, ParluneDelete);
}
}
