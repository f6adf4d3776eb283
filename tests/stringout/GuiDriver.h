// Drives the input window from outside as an operator would: real key and
// mouse events through xdotool on the test's X server, and a barrier that
// waits until the window thread has handled every event sent so far.
#pragma once

#include <string>
#include <vector>

#include "support/Process.h"

namespace guitest {

// Runs an X tool (found on PATH) to its end with a UTF-8 locale of its own,
// whatever the test's locale is, so that xdotool reads its arguments as UTF-8.
testsupport::RunResult runInUtf8(const std::vector<std::string>& argv);

// Runs xdotool with the given arguments; fails the current test on a
// non-zero exit status.
std::string xdotool(const std::vector<std::string>& args);

// Waits (up to 20 s) for a viewable window titled "StringInputForm";
// returns its X window id, or "" when none appeared. Both fail the current
// test when xdotool itself fails, instead of reading that as "no window".
std::string waitForWindow();

// True while a viewable window titled "StringInputForm" exists.
bool windowVisible();

// Gives the window the X keyboard focus.
void focus(const std::string& window);

// Presses keys ("Tab", "alt+s", "Return", ...) one after the other.
void keys(const std::vector<std::string>& names);

// Gives every non-ASCII character of the text a key of its own on the
// test's X server (once), so typing it needs no remapping.
void bindCharacters(const std::string& utf8);

// Types text (UTF-8) into whatever has the focus.
void type(const std::string& text);

// Clicks the left mouse button at (x, y) inside the window.
void click(const std::string& window, int x, int y);

// The window's client size.
void windowSize(const std::string& window, int* width, int* height);

// Sends WM_DELETE_WINDOW to the window, as a window manager's close command does.
void sendDeleteWindow(const std::string& window);

}  // namespace guitest
