#include "SampleEcho.h"

#include <sys/time.h>

// clang-format off
static const char* sampleecho_spec[] = {
    "implementation_id", "SampleEcho",
    "type_name",         "SampleEcho",
    "description",       "Echoes strings with a prefix",
    "version",           "1.0.0",
    "vendor",            "orvane",
    "category",          "Example",
    "activity_type",     "PERIODIC",
    "kind",              "DataFlowComponent",
    "max_instance",      "4",
    "language",          "C++",
    "lang_type",         "compile",
    "exec_cxt.periodic.rate", "100.0",
    "conf.default.prefix", "echo: ",
    ""
};
// clang-format on

SampleEcho::SampleEcho(RTC::Manager* manager)
    : RTC::DataFlowComponentBase(manager),
      m_inIn("in", m_in),
      m_outOut("out", m_out),
      m_echoed(0) {}

SampleEcho::~SampleEcho() {}

RTC::ReturnCode_t SampleEcho::onInitialize() {
    addInPort("in", m_inIn);
    addOutPort("out", m_outOut);
    bindParameter("prefix", m_prefix, "echo: ");
    return RTC::RTC_OK;
}

RTC::ReturnCode_t SampleEcho::onActivated(RTC::UniqueId) {
    m_echoed = 0;
    RTC_INFO(("activated, prefix '%s'", m_prefix.c_str()));
    return RTC::RTC_OK;
}

RTC::ReturnCode_t SampleEcho::onDeactivated(RTC::UniqueId) {
    RTC_INFO(("deactivated after %ld strings", m_echoed));
    return RTC::RTC_OK;
}

RTC::ReturnCode_t SampleEcho::onExecute(RTC::UniqueId) {
    while (m_inIn.isNew()) {
        m_inIn.read();
        std::string text = m_prefix + static_cast<const char*>(m_in.data);
        m_out.data = text.c_str();
        struct timeval tv;
        gettimeofday(&tv, nullptr);
        m_out.tm.sec = static_cast<CORBA::ULong>(tv.tv_sec);
        m_out.tm.nsec = static_cast<CORBA::ULong>(tv.tv_usec * 1000);
        m_outOut.write();
        ++m_echoed;
    }
    return RTC::RTC_OK;
}

extern "C" {
void SampleEchoInit(RTC::Manager* manager) {
    coil::Properties profile(sampleecho_spec, 2147483647);
    manager->registerFactory(profile, RTC::Create<SampleEcho>, RTC::Delete<SampleEcho>);
}
}
