#include "E2eSender.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "Percentile.h"

// clang-format off
static const char* e2esender_spec[] = {
    "implementation_id", "E2eSender",
    "type_name",         "E2eSender",
    "description",       "Benchmark sender of TimedStrings",
    "version",           "1.0.0",
    "vendor",            "orvane",
    "category",          "Bench",
    "activity_type",     "PERIODIC",
    "kind",              "DataFlowComponent",
    "max_instance",      "1",
    "language",          "C++",
    "lang_type",         "compile",
    "exec_cxt.periodic.rate", "1000.0",
    "conf.default.mode",  "paced",
    "conf.default.count", "2000",
    "conf.default.size",  "32",
    ""
};
// clang-format on

namespace {
// Cycles between the last sample and the end marker, so that a receiver
// whose buffer overflowed in a burst still reads the marker on its own.
const long kMarkerDelayCycles = 50;

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}  // namespace

E2eSender::E2eSender(RTC::Manager* manager)
    : RTC::DataFlowComponentBase(manager),
      m_count(0),
      m_size(0),
      m_outOut("out", m_out),
      m_sent(0),
      m_failed(0),
      m_idleCycles(0),
      m_reported(false),
      m_startSeconds(0.0),
      m_endSeconds(0.0) {}

E2eSender::~E2eSender() {}

RTC::ReturnCode_t E2eSender::onInitialize() {
    addOutPort("out", m_outOut);
    bindParameter("mode", m_mode, "paced");
    bindParameter("count", m_count, "2000");
    bindParameter("size", m_size, "32");
    return RTC::RTC_OK;
}

RTC::ReturnCode_t E2eSender::onActivated(RTC::UniqueId) {
    m_sent = 0;
    m_failed = 0;
    m_idleCycles = 0;
    m_reported = false;
    m_writeMicros.clear();
    m_writeMicros.reserve(m_count > 0 ? static_cast<std::size_t>(m_count) : 0);
    return RTC::RTC_OK;
}

bool E2eSender::send(const std::string& text) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    m_out.tm.sec = static_cast<CORBA::ULong>(now.tv_sec);
    m_out.tm.nsec = static_cast<CORBA::ULong>(now.tv_nsec);
    m_out.data = text.c_str();
    return m_outOut.write();
}

RTC::ReturnCode_t E2eSender::onExecute(RTC::UniqueId) {
    if (m_reported) return RTC::RTC_OK;
    if (m_sent < m_count) {
        if (m_sent == 0) m_startSeconds = monotonicSeconds();
        // "burst": everything now; "paced": one sample this cycle.
        const long until = m_mode == "burst" ? m_count : m_sent + 1;
        for (; m_sent < until; ++m_sent) {
            std::string text = std::to_string(m_sent) + ":";
            if (static_cast<long>(text.size()) < m_size)
                text.append(static_cast<std::size_t>(m_size) - text.size(), 'x');
            const double before = monotonicSeconds();
            if (!send(text)) ++m_failed;
            m_writeMicros.push_back((monotonicSeconds() - before) * 1e6);
        }
        if (m_sent >= m_count) m_endSeconds = monotonicSeconds();
        return RTC::RTC_OK;
    }
    if (++m_idleCycles < kMarkerDelayCycles) return RTC::RTC_OK;
    send("END");
    report();
    m_reported = true;
    return RTC::RTC_OK;
}

void E2eSender::report() {
    const double seconds = m_endSeconds - m_startSeconds;
    std::printf(
        "e2e-sender mode=%s count=%ld failed=%ld seconds=%.6f per_s=%.1f write_p50_us=%.1f "
        "write_p99_us=%.1f\n",
        m_mode.c_str(), m_sent, m_failed, seconds,
        seconds > 0.0 ? static_cast<double>(m_sent) / seconds : 0.0,
        percentile(m_writeMicros, 0.50), percentile(m_writeMicros, 0.99));
    std::fflush(stdout);
}

static RTC::RTObject_impl* E2eSenderCreate(RTC::Manager* manager) { return new E2eSender(manager); }

static void E2eSenderDelete(RTC::RTObject_impl* rtc) { delete rtc; }

extern "C" {
void E2eSenderInit(RTC::Manager* manager) {
    coil::Properties profile(e2esender_spec, 2147483647);
    manager->registerFactory(profile, E2eSenderCreate, E2eSenderDelete);
}
}
