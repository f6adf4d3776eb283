// How the window answers the keyboard and the mouse: what submits and what
// does not, where the focus starts and how Tab moves it.
#include "OpenWindow.h"

#include <gtest/gtest.h>

namespace guitest {
namespace {

using Keyboard = OpenWindow;

TEST_F(Keyboard, FocusStartsOnTheButton) {
    // Typing goes nowhere, Space presses the button with the empty field.
    typeText("xyz");
    press({"space"});
    Fetched f = fetch();
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.text, "");
}

TEST_F(Keyboard, TabGoesFromTheButtonToTheFieldAndBack) {
    press({"Tab"});
    typeText("abc");
    press({"Tab"});  // back on the button
    press({"space"});
    EXPECT_EQ(fetch().text, "abc");
    press({"shift+Tab", "End"});  // the field again (Tab selects all of it)
    typeText("d");
    press({"shift+Tab", "space"});
    EXPECT_EQ(fetch().text, "abcd");
}

TEST_F(Keyboard, AltSPressesTheButtonFromTheField) {
    press({"Tab"});
    typeText("mnemonic");
    press({"alt+s"});
    EXPECT_EQ(fetch().text, "mnemonic");
    // The field keeps the focus: typing goes on where it was.
    typeText("!");
    press({"alt+s"});
    EXPECT_EQ(fetch().text, "mnemonic!");
}

TEST_F(Keyboard, EnterInTheFieldSubmitsNothing) {
    press({"Tab"});
    typeText("no enter");
    press({"Return"});
    press({"KP_Enter"});
    Fetched f = fetch();
    EXPECT_EQ(f.result, 0);
    EXPECT_TRUE(f.untouched);
    // The field still has the focus and its text.
    typeText("!");
    press({"alt+s"});
    EXPECT_EQ(fetch().text, "no enter!");
}

TEST_F(Keyboard, SpaceAndEnterOnTheButtonSubmit) {
    submit("keys");
    EXPECT_EQ(fetch().text, "keys");
    press({"space"});
    EXPECT_EQ(fetch().text, "keys");
    press({"Return"});
    EXPECT_EQ(fetch().text, "keys");
    press({"KP_Enter"});
    EXPECT_EQ(fetch().text, "keys");
}

TEST_F(Keyboard, ModifiedEnterOnTheButtonSubmitsNothing) {
    press({"ctrl+Return", "shift+Return"});
    EXPECT_EQ(fetch().result, 0);
}

TEST_F(Keyboard, EscapeNeitherClosesNorSubmits) {
    press({"Escape"});
    press({"Tab", "Escape"});
    EXPECT_EQ(fetch().result, 0);
    EXPECT_TRUE(windowVisible());
    typeText("still here");
    press({"alt+s"});
    EXPECT_EQ(fetch().text, "still here");
}

TEST_F(Keyboard, MouseClickOnTheButtonSubmits) {
    press({"Tab"});
    typeText("clicked");
    int w = 0;
    int h = 0;
    windowSize(m_id, &w, &h);
    ASSERT_GT(w, 0);
    // The button's centre: (197 + 75 / 2, 10 + 23 / 2) of the 284 x 50 layout.
    click(m_id, static_cast<int>(w * 234.5 / 284), static_cast<int>(h * 21.5 / 50));
    settle();
    EXPECT_EQ(fetch().text, "clicked");
}

TEST_F(Keyboard, MouseClickOnTheFieldSubmitsNothing) {
    int w = 0;
    int h = 0;
    windowSize(m_id, &w, &h);
    click(m_id, static_cast<int>(w * 100.0 / 284), static_cast<int>(h * 21.5 / 50));
    settle();
    EXPECT_EQ(fetch().result, 0);
    typeText("typed after click");  // the click gave the field the focus
    press({"alt+s"});
    EXPECT_EQ(fetch().text, "typed after click");
}

}  // namespace
}  // namespace guitest
