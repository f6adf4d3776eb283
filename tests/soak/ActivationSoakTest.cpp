// ParluneTest activated and deactivated again and again under a private X
// server, as an operator's tool would: each activation opens the window, each
// deactivation closes it. Threads and descriptors must stay where they were
// after the first cycle; resident memory is reported per cycle. After the
// last cycle the window must still publish what is typed into it.
#include <rtm/idl/BasicDataTypeSkel.h>

#include <rtm/InPort.h>
#include <rtm/Manager.h>
#include <rtm/OutPortBase.h>
#include <rtm/PeriodicExecutionContext.h>

#include "../stringout/GuiDriver.h"
#include "ParluneTest.h"
#include "rtm/LocalConnection.h"
#include "support/ProcessUsage.h"
#include "support/Soak.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include <string>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testsupport::kSoakDescriptorMargin;
using testsupport::kSoakThreadMargin;
using testsupport::ProcessUsage;
using testsupport::secondsSince;
using testsupport::usageOf;

RTC::Manager* manager() {
    static RTC::Manager* m = [] {
        static char prog[] = "soak_activation", o[] = "-o", log[] = "logger.enable:NO", o2[] = "-o",
                    naming[] = "naming.enable:NO";
        char* argv[] = {prog, o, log, o2, naming, nullptr};
        RTC::Manager* mgr = RTC::Manager::init(5, argv);
        ParluneTestInit(mgr);
        return mgr;
    }();
    return m;
}

// One activation and deactivation, each waited for with a deadline.
void cycle(RTC::PeriodicExecutionContext& ec) {
    ASSERT_EQ(RTC::RTC_OK, ec.activate_component());
    ASSERT_FALSE(guitest::waitForWindow().empty()) << "no window after activation";
    ASSERT_EQ(RTC::RTC_OK, ec.deactivate_component());
    ASSERT_TRUE(testsupport::waitUntil([] { return !guitest::windowVisible(); }, seconds(10),
                                       milliseconds(20)))
        << "the window stayed after deactivation";
}

TEST(ActivationSoak, ThousandCyclesLeaveThreadsAndDescriptorsFlatAndTheWindowWorking) {
    RTC::RTObject_impl* comp = manager()->createComponent("ParluneTest");
    ASSERT_NE(nullptr, comp);
    RTC::PeriodicExecutionContext& ec = *comp->getOwnedExecutionContext();
    // At least two cycles: growth is measured from the first.
    const int wanted = std::max(2, testsupport::envCount("PARLUNE_SOAK_CYCLES", 1000));
    const auto start = std::chrono::steady_clock::now();

    cycle(ec);
    ASSERT_FALSE(HasFatalFailure());
    const ProcessUsage first = usageOf();
    ASSERT_TRUE(first.ok());
    ProcessUsage peak = first;
    ProcessUsage warm = first;  // after the first tenth, when caches have filled
    ProcessUsage last = first;
    const int warm_cycle = std::max(2, wanted / 10);
    for (int i = 2; i <= wanted; ++i) {
        cycle(ec);
        ASSERT_FALSE(HasFatalFailure()) << "cycle " << i;
        last = usageOf();
        peak.threads = std::max(peak.threads, last.threads);
        peak.descriptors = std::max(peak.descriptors, last.descriptors);
        if (i == warm_cycle) warm = last;
        if (i % 100 == 0 || i == wanted) {
            std::printf("cycle %d (%.0f s): threads %d, descriptors %d, RSS %ld KiB\n", i,
                        secondsSince(start), last.threads, last.descriptors, last.residentKiB);
            std::fflush(stdout);
        }
    }
    EXPECT_LE(peak.threads, first.threads + kSoakThreadMargin)
        << "threads after cycle 1: " << first.threads << ", at most " << peak.threads;
    EXPECT_LE(peak.descriptors, first.descriptors + kSoakDescriptorMargin)
        << "descriptors after cycle 1: " << first.descriptors << ", at most " << peak.descriptors;
    const double per_cycle = double(last.residentKiB - first.residentKiB) / (wanted - 1);
    const double per_cycle_warm =
        wanted > warm_cycle ? double(last.residentKiB - warm.residentKiB) / (wanted - warm_cycle)
                            : 0.0;
    std::printf(
        "%d cycles in %.0f s (%.0f ms each): threads %d -> %d (peak %d), descriptors %d -> %d "
        "(peak %d)\nRSS %ld KiB after cycle 1, %ld KiB after cycle %d, %ld KiB after cycle %d: "
        "%.2f KiB per cycle overall, %.2f KiB per cycle after cycle %d\n",
        wanted, secondsSince(start), 1000.0 * secondsSince(start) / wanted, first.threads,
        last.threads, peak.threads, first.descriptors, last.descriptors, peak.descriptors,
        first.residentKiB, warm.residentKiB, warm_cycle, last.residentKiB, wanted, per_cycle,
        per_cycle_warm, warm_cycle);
    RecordProperty("rss_growth_kib_per_cycle", std::to_string(per_cycle_warm));

    // The component still does its work after all those cycles.
    RTC::TimedString value;
    RTC::InPort<RTC::TimedString> in("in", value);
    auto* out = dynamic_cast<RTC::OutPortBase*>(comp->findPort("out"));
    ASSERT_NE(nullptr, out);
    ASSERT_EQ(RTC::RTC_OK, RTC::connectLocal(*out, in));
    ASSERT_EQ(RTC::RTC_OK, ec.activate_component());
    const std::string window = guitest::waitForWindow();
    ASSERT_FALSE(window.empty());
    guitest::focus(window);
    guitest::keys({"Tab"});
    guitest::type("still here");
    guitest::keys({"alt+s"});
    ASSERT_TRUE(testsupport::waitUntil([&] { return in.isNew(); }, seconds(10), milliseconds(5)))
        << "nothing published after the last cycle";
    ASSERT_TRUE(in.read());
    EXPECT_STREQ("still here", static_cast<const char*>(value.data));
    EXPECT_EQ(RTC::RTC_OK, ec.deactivate_component());
    manager()->deleteComponent(comp);
}

}  // namespace
