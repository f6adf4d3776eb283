#include "E2eReceiver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "Percentile.h"

// clang-format off
static const char* e2ereceiver_spec[] = {
    "implementation_id", "E2eReceiver",
    "type_name",         "E2eReceiver",
    "description",       "Benchmark receiver of TimedStrings",
    "version",           "1.0.0",
    "vendor",            "orvane",
    "category",          "Bench",
    "activity_type",     "PERIODIC",
    "kind",              "DataFlowComponent",
    "max_instance",      "1",
    "language",          "C++",
    "lang_type",         "compile",
    "exec_cxt.periodic.rate", "1000.0",
    ""
};
// clang-format on

E2eReceiver::E2eReceiver(RTC::Manager* manager)
    : RTC::DataFlowComponentBase(manager),
      m_inIn("in", m_in),
      m_received(0),
      m_outOfOrder(0),
      m_lastSeq(-1) {}

E2eReceiver::~E2eReceiver() {}

RTC::ReturnCode_t E2eReceiver::onInitialize() {
    addInPort("in", m_inIn);
    return RTC::RTC_OK;
}

RTC::ReturnCode_t E2eReceiver::onActivated(RTC::UniqueId) {
    restart();
    return RTC::RTC_OK;
}

void E2eReceiver::restart() {
    m_received = 0;
    m_outOfOrder = 0;
    m_lastSeq = -1;
    m_ageMicros.clear();
}

RTC::ReturnCode_t E2eReceiver::onExecute(RTC::UniqueId) {
    while (m_inIn.isNew()) {
        m_inIn.read();
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        const char* text = static_cast<const char*>(m_in.data);
        if (text == nullptr) continue;
        if (std::strcmp(text, "END") == 0) {
            report();
            restart();
            continue;
        }
        const double sent =
            static_cast<double>(m_in.tm.sec) * 1e6 + static_cast<double>(m_in.tm.nsec) / 1e3;
        const double read =
            static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
        m_ageMicros.push_back(read - sent);
        const long seq = std::strtol(text, nullptr, 10);
        if (seq <= m_lastSeq) ++m_outOfOrder;
        m_lastSeq = seq;
        ++m_received;
    }
    return RTC::RTC_OK;
}

void E2eReceiver::report() {
    std::printf(
        "e2e-receiver received=%ld last_seq=%ld out_of_order=%ld age_p50_us=%.1f age_p99_us=%.1f\n",
        m_received, m_lastSeq, m_outOfOrder, percentile(m_ageMicros, 0.50),
        percentile(m_ageMicros, 0.99));
    std::fflush(stdout);
}

static RTC::RTObject_impl* E2eReceiverCreate(RTC::Manager* manager) {
    return new E2eReceiver(manager);
}

static void E2eReceiverDelete(RTC::RTObject_impl* rtc) { delete rtc; }

extern "C" {
void E2eReceiverInit(RTC::Manager* manager) {
    coil::Properties profile(e2ereceiver_spec, 2147483647);
    manager->registerFactory(profile, E2eReceiverCreate, E2eReceiverDelete);
}
}
