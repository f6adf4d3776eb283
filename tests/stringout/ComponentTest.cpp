// ParluneTest on the embedded runtime: created by its factory, its port
// "out" connected to an input port of the test, driven by its periodic
// execution context while the operator types into the real window.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/InPort.h>
#include <rtm/Manager.h>
#include <rtm/OutPortBase.h>
#include <rtm/PeriodicExecutionContext.h>

#include "GuiDriver.h"
#include "ParluneTest.h"
#include "rtm/LocalConnection.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <ctime>

namespace {

using std::chrono::milliseconds;

RTC::Manager* manager() {
    static RTC::Manager* m = [] {
        static char prog[] = "stringout_component_tests", o[] = "-o", log[] = "logger.enable:NO",
                    o2[] = "-o", naming[] = "naming.enable:NO";
        char* argv[] = {prog, o, log, o2, naming, nullptr};
        RTC::Manager* mgr = RTC::Manager::init(5, argv);
        ParluneTestInit(mgr);
        return mgr;
    }();
    return m;
}

// One ParluneTest whose "out" feeds the test's own input port.
class Component : public ::testing::Test {
  protected:
    void SetUp() override {
        m_comp = manager()->createComponent("ParluneTest");
        ASSERT_NE(m_comp, nullptr);
        auto* out = dynamic_cast<RTC::OutPortBase*>(m_comp->findPort("out"));
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(RTC::connectLocal(*out, m_in), RTC::RTC_OK);
    }
    void TearDown() override {
        if (m_comp != nullptr) manager()->deleteComponent(m_comp);
    }
    RTC::PeriodicExecutionContext& ec() { return *m_comp->getOwnedExecutionContext(); }

    // Waits (up to 10 s) until the context has run n more cycles.
    void runCycles(std::uint64_t n) {
        const std::uint64_t target = ec().cycles() + n;
        ASSERT_TRUE(testsupport::waitUntil([&] { return ec().cycles() >= target; },
                                           std::chrono::seconds(10), milliseconds(5)))
            << "the execution context stopped running";
    }
    // Waits (up to 10 s) for a sample on the test's input port.
    bool waitForSample() {
        return testsupport::waitUntil([&] { return m_in.isNew(); }, std::chrono::seconds(10),
                                      milliseconds(5));
    }
    std::string activateAndFocusWindow() {
        EXPECT_EQ(ec().activate_component(), RTC::RTC_OK);
        const std::string id = guitest::waitForWindow();
        if (!id.empty()) guitest::focus(id);
        return id;
    }

    RTC::RTObject_impl* m_comp = nullptr;
    RTC::TimedString m_value;
    RTC::InPort<RTC::TimedString> m_in{"in", m_value};
};

TEST_F(Component, ProfileAndRate) {
    bool found = false;
    for (const coil::Properties& p : manager()->getFactoryProfiles()) {
        if (p.getProperty("type_name") != "ParluneTest") continue;
        found = true;
        EXPECT_EQ(p.getProperty("implementation_id"), "ParluneTest");
        EXPECT_EQ(p.getProperty("description"), "String Out Component");
        EXPECT_EQ(p.getProperty("version"), "1.0.0");
        EXPECT_EQ(p.getProperty("vendor"), "orvane");
        EXPECT_EQ(p.getProperty("category"), "Test");
        EXPECT_EQ(p.getProperty("activity_type"), "PERIODIC");
        EXPECT_EQ(p.getProperty("kind"), "DataFlowComponent");
        EXPECT_EQ(p.getProperty("max_instance"), "1");
        EXPECT_EQ(p.getProperty("language"), "C++");
        EXPECT_EQ(p.getProperty("lang_type"), "compile");
        EXPECT_EQ(p.getProperty("exec_cxt.periodic.rate"), "10.0");
    }
    EXPECT_TRUE(found);
    EXPECT_DOUBLE_EQ(ec().get_rate(), 10.0);
    EXPECT_EQ(manager()->createComponent("ParluneTest"), nullptr);  // max_instance 1
}

TEST_F(Component, SubmittedStringIsPublishedOnOutWithItsTime) {
    const std::string id = activateAndFocusWindow();
    ASSERT_FALSE(id.empty());
    guitest::keys({"Tab"});
    guitest::type("hello robot");
    const std::time_t before = std::time(nullptr);
    guitest::keys({"alt+s"});
    ASSERT_TRUE(waitForSample());
    ASSERT_TRUE(m_in.read());
    EXPECT_STREQ(static_cast<const char*>(m_value.data), "hello robot");
    EXPECT_GE(static_cast<std::time_t>(m_value.tm.sec), before - 1);
    EXPECT_LE(static_cast<std::time_t>(m_value.tm.sec), std::time(nullptr) + 1);
    EXPECT_LT(m_value.tm.nsec, 1000000000u);
    // Published once: later cycles send nothing more.
    runCycles(3);
    EXPECT_FALSE(m_in.isNew());
    EXPECT_EQ(ec().deactivate_component(), RTC::RTC_OK);
    EXPECT_FALSE(guitest::windowVisible());
}

TEST_F(Component, EmptyTextIsPublishedAsAnEmptyString) {
    ASSERT_FALSE(activateAndFocusWindow().empty());
    guitest::keys({"space"});
    ASSERT_TRUE(waitForSample());
    ASSERT_TRUE(m_in.read());
    EXPECT_STREQ(static_cast<const char*>(m_value.data), "");
}

TEST_F(Component, CyclesWithoutSubmissionPublishNothing) {
    ASSERT_FALSE(activateAndFocusWindow().empty());
    runCycles(5);
    EXPECT_FALSE(m_in.isNew());
}

TEST_F(Component, WindowClosedByTheWindowSystemLeavesTheComponentActiveAndSilent) {
    const std::string id = activateAndFocusWindow();
    ASSERT_FALSE(id.empty());
    guitest::sendDeleteWindow(id);
    EXPECT_TRUE(testsupport::waitUntil([] { return !guitest::windowVisible(); },
                                       std::chrono::seconds(10), milliseconds(5)));
    runCycles(5);
    EXPECT_EQ(ec().get_component_state(), RTC::ACTIVE_STATE);
    EXPECT_FALSE(m_in.isNew());
    EXPECT_EQ(ec().deactivate_component(), RTC::RTC_OK);
    EXPECT_EQ(ec().get_component_state(), RTC::INACTIVE_STATE);
}

TEST_F(Component, ReactivationBringsUpAFreshWindow) {
    // The first window takes a text and keeps it in its field after Submit.
    ASSERT_FALSE(activateAndFocusWindow().empty());
    guitest::keys({"Tab"});
    guitest::type("first");
    guitest::keys({"alt+s"});
    ASSERT_TRUE(waitForSample());
    ASSERT_TRUE(m_in.read());
    ASSERT_STREQ(static_cast<const char*>(m_value.data), "first");
    EXPECT_EQ(ec().deactivate_component(), RTC::RTC_OK);
    EXPECT_FALSE(guitest::windowVisible());

    // The next one starts empty, with the focus on Submit, and sends
    // nothing of the first until the operator presses it.
    ASSERT_FALSE(activateAndFocusWindow().empty());
    runCycles(3);
    EXPECT_FALSE(m_in.isNew()) << "something of the first window was sent again";
    guitest::keys({"space"});
    ASSERT_TRUE(waitForSample());
    ASSERT_TRUE(m_in.read());
    EXPECT_STREQ(static_cast<const char*>(m_value.data), "");
    guitest::keys({"Tab"});
    guitest::type("second");
    guitest::keys({"alt+s"});
    ASSERT_TRUE(waitForSample());
    ASSERT_TRUE(m_in.read());
    EXPECT_STREQ(static_cast<const char*>(m_value.data), "second");
}

}  // namespace
