// Test fixture: an input window open on its own thread, found on the X
// server and holding the X keyboard focus.
#pragma once

#include "Fetch.h"
#include "GuiDriver.h"
#include "GuiSettle.h"
#include "WindowThread.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace guitest {

class OpenWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        m_thread = std::make_unique<WindowThread>();
        m_id = waitForWindow();
        ASSERT_FALSE(m_id.empty()) << "the input window did not appear";
        focus(m_id);
    }
    void TearDown() override { m_thread.reset(); }

    // Presses keys, then waits until the window has handled them.
    void press(const std::vector<std::string>& names) {
        keys(names);
        settle();
    }
    void typeText(const std::string& text) {
        type(text);
        settle();
    }
    // Puts text into the field (replacing what is there) and submits it
    // with the mnemonic, which leaves the focus in the field; Tab then
    // takes it back to the button.
    void submit(const std::string& text) {
        press({"Tab"});  // from the button to the field
        press({"ctrl+a", "BackSpace"});
        if (!text.empty()) typeText(text);
        press({"alt+s", "Tab"});
    }

    std::unique_ptr<WindowThread> m_thread;
    std::string m_id;
};

}  // namespace guitest
