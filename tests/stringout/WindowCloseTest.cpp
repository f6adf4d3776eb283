// Every way the window closes (or does not open), and what is left after it.
#include "OpenWindow.h"
#include "WarningLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

namespace guitest {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

using Close = OpenWindow;

TEST_F(Close, StopClosesTheWindowAndDropsAnUnfetchedText) {
    submit("never delivered");
    stopGUI();
    // Off the list at once: nothing is delivered any more.
    Fetched f = fetch();
    EXPECT_EQ(f.result, 0);
    EXPECT_TRUE(f.untouched);
    EXPECT_TRUE(m_thread->returnsWithin(seconds(20)));
    EXPECT_FALSE(windowVisible());
    EXPECT_EQ(fetch().result, 0);
    stopGUI();  // no window: nothing happens
}

TEST_F(Close, NextWindowStartsEmptyAndIsNotClosedByTheOldStop) {
    submit("old");
    m_thread.reset();  // stopGUI and join
    WindowThread next;
    const std::string id = waitForWindow();
    ASSERT_FALSE(id.empty());
    focus(id);
    settle();
    EXPECT_EQ(fetch().result, 0);
    EXPECT_FALSE(next.returned());
    press({"space"});  // a new window: its field starts empty
    Fetched f = fetch();
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.text, "");
}

TEST_F(Close, WindowManagerCloseEndsTheWindowAndItsMailbox) {
    submit("pending at close");
    sendDeleteWindow(m_id);
    EXPECT_TRUE(m_thread->returnsWithin(seconds(20)));
    EXPECT_FALSE(windowVisible());
    Fetched f = fetch();
    EXPECT_EQ(f.result, 0);
    EXPECT_TRUE(f.untouched);
    stopGUI();  // finds nothing to close
}

TEST_F(Close, DestroyedXWindowEndsTheWindow) {
    submit("pending at destroy");
    xdotool({"windowclose", m_id});
    EXPECT_TRUE(m_thread->returnsWithin(seconds(20)));
    EXPECT_FALSE(windowVisible());
    EXPECT_EQ(fetch().result, 0);
}

TEST_F(Close, SecondStartIsRefusedWhileAWindowIsOpen) {
    WarningLog log;
    startGUI();  // returns at once on this thread
    ASSERT_EQ(log.messages().size(), 1u);
    EXPECT_NE(log.messages()[0].find("another input window"), std::string::npos);
    // The open window is unaffected.
    EXPECT_FALSE(m_thread->returned());
    submit("first window");
    EXPECT_EQ(fetch().text, "first window");
}

TEST(CloseEarly, StopBeforeStartGuiIsKeptForThatWindow) {
    prepareGUI();
    stopGUI();
    startGUI();  // must return without showing anything
    EXPECT_FALSE(windowVisible());
    EXPECT_EQ(fetch().result, 0);
}

TEST(CloseEarly, StopWithNothingStartingIsNotKeptForALaterWindow) {
    stopGUI();
    WindowThread t;
    ASSERT_FALSE(waitForWindow().empty());
    settle();
    EXPECT_FALSE(t.returned());
}

TEST(CloseEarly, StopAtAnyMomentOfStartingEndsTheWindowThread) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delay(0, 40);
    for (int i = 0; i < 30; ++i) {
        WindowThread t;
        std::this_thread::sleep_for(milliseconds(delay(random)));
        stopGUI();
        ASSERT_TRUE(t.returnsWithin(seconds(20))) << "round " << i;
        EXPECT_EQ(fetch().result, 0);
    }
    EXPECT_FALSE(windowVisible());
}

}  // namespace
}  // namespace guitest
