// ParluneTest on the embedded runtime where there is no display at all: it
// is created, activated and deactivated, and publishes nothing.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/InPort.h>
#include <rtm/Manager.h>
#include <rtm/OutPortBase.h>
#include <rtm/PeriodicExecutionContext.h>

#include "ParluneTest.h"
#include "rtm/LocalConnection.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace {

using std::chrono::milliseconds;

RTC::Manager* manager() {
    static RTC::Manager* m = [] {
        static char prog[] = "stringout_component_no_display_tests", o[] = "-o",
                    log[] = "logger.enable:NO", o2[] = "-o", naming[] = "naming.enable:NO";
        char* argv[] = {prog, o, log, o2, naming, nullptr};
        RTC::Manager* mgr = RTC::Manager::init(5, argv);
        ParluneTestInit(mgr);
        return mgr;
    }();
    return m;
}

TEST(ComponentNoDisplay, RunsAndPublishesNothing) {
    ASSERT_EQ(std::getenv("DISPLAY"), nullptr) << "run this test without DISPLAY";
    RTC::RTObject_impl* comp = manager()->createComponent("ParluneTest");
    ASSERT_NE(comp, nullptr);
    RTC::TimedString value;
    RTC::InPort<RTC::TimedString> in("in", value);
    ASSERT_EQ(RTC::connectLocal(*dynamic_cast<RTC::OutPortBase*>(comp->findPort("out")), in),
              RTC::RTC_OK);
    RTC::PeriodicExecutionContext& ec = *comp->getOwnedExecutionContext();
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(ec.activate_component(), RTC::RTC_OK);
        const std::uint64_t target = ec.cycles() + 3;
        ASSERT_TRUE(testsupport::waitUntil([&] { return ec.cycles() >= target; },
                                           std::chrono::seconds(10), milliseconds(5)));
        EXPECT_EQ(ec.get_component_state(), RTC::ACTIVE_STATE);
        EXPECT_EQ(ec.deactivate_component(), RTC::RTC_OK);
    }
    EXPECT_FALSE(in.isNew());
    manager()->deleteComponent(comp);
}

}  // namespace
