// The X connection breaks under the window (its client is killed, as a
// window manager's "kill" or xkill does): the process lives on, the window
// thread ends, and no window is shown any more. Runs in a process of its own,
// since the connection stays lost for the rest of the process.
#include "Fetch.h"
#include "GuiDriver.h"
#include "GuiSettle.h"
#include "WarningLog.h"
#include "WindowThread.h"

#include <gtest/gtest.h>

#include <chrono>

namespace guitest {
namespace {

using std::chrono::seconds;

size_t countContaining(const std::vector<std::string>& lines, const std::string& part) {
    size_t n = 0;
    for (const auto& l : lines) n += l.find(part) != std::string::npos;
    return n;
}

TEST(DisplayLost, KilledConnectionEndsTheWindowAndLaterWindowsStayAway) {
    WarningLog log;
    {
        WindowThread t;
        const std::string id = waitForWindow();
        ASSERT_FALSE(id.empty());
        focus(id);
        keys({"Tab"});
        type("unfetched");
        keys({"alt+s"});
        settle();
        xdotool({"windowkill", id});
        EXPECT_TRUE(t.returnsWithin(seconds(20)));
        Fetched f = fetch();
        EXPECT_EQ(f.result, 0);
        EXPECT_TRUE(f.untouched);
        stopGUI();
    }
    for (int i = 0; i < 3; ++i) {
        WindowThread t;
        EXPECT_TRUE(t.returnsWithin(seconds(20)));
        EXPECT_EQ(fetch().result, 0);
    }
    EXPECT_FALSE(windowVisible());
    EXPECT_EQ(countContaining(log.messages(), "lost"), 1u);
}

}  // namespace
}  // namespace guitest
