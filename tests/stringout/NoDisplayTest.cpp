// No X display at all (DISPLAY unset): startGUI returns, nothing is ever
// fetched, the process lives, and the condition is reported once.
#include "CStringInputFormController.h"
#include "Fetch.h"
#include "WarningLog.h"
#include "WindowThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace guitest {
namespace {

using std::chrono::seconds;

TEST(NoDisplay, StartReturnsFetchGivesZeroAndItIsSaidOnce) {
    ASSERT_EQ(std::getenv("DISPLAY"), nullptr) << "run this test without DISPLAY";
    WarningLog log;
    for (int i = 0; i < 3; ++i) {
        WindowThread t;
        EXPECT_TRUE(t.returnsWithin(seconds(20)));
        Fetched f = fetch();
        EXPECT_EQ(f.result, 0);
        EXPECT_TRUE(f.untouched);
        stopGUI();
    }
    startGUI();  // also on this thread
    ASSERT_EQ(log.messages().size(), 1u);
    EXPECT_NE(log.messages()[0].find("cannot open X display"), std::string::npos);
}

TEST(NoDisplay, ControllerFetchesNothingAndEnds) {
    for (int i = 0; i < 5; ++i) {
        CStringInputFormController* c = new CStringInputFormController();
        char buf[256];
        for (int k = 0; k < 3; ++k) EXPECT_EQ(c->fetchString(buf, 256), 0);
        c->closeForm();
        EXPECT_EQ(c->wait(), 0);
        delete c;
    }
}

}  // namespace
}  // namespace guitest
