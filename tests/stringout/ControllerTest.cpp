// The controller as the component uses it: new on activation, fetchString
// every cycle, closeForm, wait and delete on deactivation.
#include "CStringInputFormController.h"
#include "Fetch.h"
#include "GuiDriver.h"
#include "GuiSettle.h"
#include "ProcessResources.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

namespace guitest {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Deactivation: close, wait for the thread, delete.
void release(CStringInputFormController* c) {
    c->closeForm();
    EXPECT_EQ(c->wait(), 0);
    delete c;
}

int fetchFrom(CStringInputFormController* c, std::string* text = nullptr) {
    char buf[256];
    std::memset(buf, 0x7f, sizeof(buf));
    const int n = c->fetchString(buf, 256);
    if (text != nullptr) *text = n > 0 ? std::string(buf) : "";
    return n;
}

bool waitUntilShown() {
    return testsupport::waitUntil([] { return toolkitWindowShown(); }, seconds(20),
                                  milliseconds(2));
}

TEST(Controller, FirstCyclesBeforeTheWindowIsUpFetchNothing) {
    CStringInputFormController* c = new CStringInputFormController();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(fetchFrom(c), 0);
    release(c);
    EXPECT_FALSE(windowVisible());
}

TEST(Controller, DeactivationRightAfterActivationLeavesNoWindow) {
    for (int i = 0; i < 20; ++i) {
        CStringInputFormController* c = new CStringInputFormController();
        release(c);  // would hang in wait() if the window opened after the close
    }
    EXPECT_FALSE(windowVisible());
}

TEST(Controller, SubmissionIsFetchedOnceAndDeactivationClosesTheWindow) {
    CStringInputFormController* c = new CStringInputFormController();
    const std::string id = waitForWindow();
    ASSERT_FALSE(id.empty());
    focus(id);
    keys({"Tab"});
    type("through the controller");
    keys({"alt+s"});
    settle();
    std::string text;
    EXPECT_EQ(fetchFrom(c, &text), 23);
    EXPECT_EQ(text, "through the controller");
    EXPECT_EQ(fetchFrom(c), 0);
    keys({"alt+s"});  // again: the field keeps its text
    settle();
    EXPECT_EQ(fetchFrom(c, &text), 23);
    release(c);
    EXPECT_FALSE(windowVisible());
}

TEST(Controller, WindowClosedByTheWindowSystemEndsTheThreadEarly) {
    CStringInputFormController* c = new CStringInputFormController();
    const std::string id = waitForWindow();
    ASSERT_FALSE(id.empty());
    focus(id);
    keys({"Tab"});
    type("lost");
    keys({"alt+s"});
    settle();
    sendDeleteWindow(id);
    // The thread ends by itself; fetches give nothing from now on.
    EXPECT_EQ(c->wait(), 0);
    EXPECT_EQ(fetchFrom(c), 0);
    EXPECT_EQ(fetchFrom(c), 0);
    release(c);  // closeForm finds nothing to close
}

TEST(Controller, NewActivationGetsAFreshWindowAndNothingFromTheOldOne) {
    CStringInputFormController* first = new CStringInputFormController();
    std::string id = waitForWindow();
    ASSERT_FALSE(id.empty());
    focus(id);
    keys({"Tab"});
    type("old window");
    keys({"alt+s"});
    settle();
    release(first);
    CStringInputFormController* second = new CStringInputFormController();
    id = waitForWindow();
    ASSERT_FALSE(id.empty());
    focus(id);
    settle();
    EXPECT_EQ(fetchFrom(second), 0);
    keys({"space"});
    settle();
    std::string text = "x";
    EXPECT_EQ(fetchFrom(second, &text), 1);  // the new field is empty
    EXPECT_EQ(text, "");
    release(second);
}

TEST(Controller, DeletedWithoutCloseFormItStillEndsItsThreadAndWindow) {
    CStringInputFormController* c = new CStringInputFormController();
    ASSERT_FALSE(waitForWindow().empty());
    delete c;  // no closeForm, no wait
    EXPECT_FALSE(windowVisible());
    EXPECT_EQ(fetch().result, 0);
}

TEST(Controller, TwoHundredCyclesLeaveNoThreadsDescriptorsOrMemoryBehind) {
    auto cycle = [](int i) {
        CStringInputFormController* c = new CStringInputFormController();
        // Half of the cycles close the window once it is up, the others
        // while it may still be coming up.
        if (i % 2 == 0) {
            EXPECT_TRUE(waitUntilShown());
        }
        EXPECT_EQ(fetchFrom(c), 0);
        release(c);
    };
    for (int i = 0; i < 10; ++i) cycle(i);  // warm-up: display, fonts, caches
    const ProcessResources before = ProcessResources::now();
    for (int i = 0; i < 200; ++i) cycle(i);
    const ProcessResources after = ProcessResources::now();
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.descriptors, before.descriptors);
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)
    // Sanitizers keep their own growing records; judge memory only without them.
    EXPECT_LT(after.residentKiB - before.residentKiB, 1024)
        << "resident memory grew from " << before.residentKiB << " KiB to " << after.residentKiB
        << " KiB";
#endif
    RecordProperty("rss_before_kib", static_cast<int>(before.residentKiB));
    RecordProperty("rss_after_kib", static_cast<int>(after.residentKiB));
    EXPECT_FALSE(windowVisible());
}

}  // namespace
}  // namespace guitest
