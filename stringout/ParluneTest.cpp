#include "ParluneTest.h"

#include "CStringInputFormController.h"
#include "GuiWarning.h"

#include <chrono>

// clang-format off
static const char* parlunetest_spec[] = {
    "implementation_id",      "ParluneTest",
    "type_name",              "ParluneTest",
    "description",            "String Out Component",
    "version",                "1.0.0",
    "vendor",                 "orvane",
    "category",               "Test",
    "activity_type",          "PERIODIC",
    "kind",                   "DataFlowComponent",
    "max_instance",           "1",
    "language",               "C++",
    "lang_type",              "compile",
    "exec_cxt.periodic.rate", "10.0",
    ""};
// clang-format on

namespace {

// The window side's reports (no display, a window that could not be built)
// go to the framework's log.
void logWindowWarning(const char* message) {
    // Built on first use, once the manager exists; never destroyed, so a
    // window thread still reporting during process exit finds it.
    static RTC::Logger* const logger = new RTC::Logger("ParluneTest");
    RTC::Logger& rtclog = *logger;
    RTC_WARN(("%s", message));
}

void stampNow(RTC::Time& tm) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto sec = std::chrono::duration_cast<std::chrono::seconds>(now);
    tm.sec = static_cast<CORBA::ULong>(sec.count());
    tm.nsec = static_cast<CORBA::ULong>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - sec).count());
}

}  // namespace

ParluneTest::ParluneTest(RTC::Manager* manager)
    : RTC::DataFlowComponentBase(manager), m_out(), m_outOut("out", m_out), m_controller(nullptr) {}

ParluneTest::~ParluneTest() {
    // Normally deactivation has released it already.
    releaseController();
}

RTC::ReturnCode_t ParluneTest::onInitialize() {
    registerOutPort("out", m_outOut);
    return RTC::RTC_OK;
}

RTC::ReturnCode_t ParluneTest::onActivated(RTC::UniqueId) {
    releaseController();  // none is left from an earlier activation
    m_controller = new CStringInputFormController();
    return RTC::RTC_OK;
}

RTC::ReturnCode_t ParluneTest::onExecute(RTC::UniqueId) {
    char buffer[256];
    const int n = (m_controller != nullptr) ? m_controller->fetchString(buffer, sizeof(buffer)) : 0;
    if (n <= 0) return RTC::RTC_OK;
    m_out.data = CORBA::string_dup(buffer);
    stampNow(m_out.tm);
    m_outOut.write();
    return RTC::RTC_OK;
}

RTC::ReturnCode_t ParluneTest::onDeactivated(RTC::UniqueId) {
    releaseController();
    return RTC::RTC_OK;
}

void ParluneTest::releaseController() {
    if (m_controller == nullptr) return;
    m_controller->closeForm();
    // The thread must have ended before the task is destroyed.
    m_controller->wait();
    delete m_controller;
    m_controller = nullptr;
}

static RTC::RTObject_impl* ParluneTestCreate(RTC::Manager* manager) {
    return RTC::Create<ParluneTest>(manager);
}

static void ParluneTestDelete(RTC::RTObject_impl* rtc) { delete rtc; }

extern "C" {

void ParluneTestInit(RTC::Manager* manager) {
    StringOut::setWarningSink(&logWindowWarning);
    coil::Properties profile(parlunetest_spec, 2147483647);
    manager->registerFactory(profile, ParluneTestCreate, ParluneTestDelete);
}
}
