#include "GuiDriver.h"

// gtest before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "support/Wait.h"

namespace guitest {

testsupport::RunResult runInUtf8(const std::vector<std::string>& argv) {
    testsupport::Launch launch;
    launch.unset = {"LC_*", "LANG", "LOCPATH"};
    launch.env = {"LC_ALL=C.UTF-8"};
    return testsupport::run(argv, launch);
}

std::string xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    const testsupport::RunResult r = runInUtf8(argv);
    EXPECT_EQ(r.status, 0) << "xdotool " << args.front() << " failed: " << r.err;
    return r.out;
}

namespace {

// The id of the first viewable window titled "StringInputForm" into *id
// ("" when there is none); false, with a test failure, when xdotool fails.
bool searchWindow(std::string* id) {
    id->clear();
    testsupport::RunResult r;
    // A window destroyed while xdotool walks the tree can end one search
    // with an X error; a failure that stays is the tool's or the display's.
    for (int attempt = 0; attempt < 3; ++attempt) {
        r = runInUtf8({"xdotool", "search", "--onlyvisible", "--name", "^StringInputForm$"});
        // No match is status 1 with nothing on either stream.
        const bool noMatch = r.status == 1 && r.out.empty() && r.err.empty();
        if (r.status == 0 || noMatch) {
            std::istringstream lines(r.out);
            std::getline(lines, *id);
            return true;
        }
    }
    ADD_FAILURE() << "xdotool search failed (status " << r.status << ", signal " << r.signal
                  << "): " << r.err;
    return false;
}

}  // namespace

std::string waitForWindow() {
    std::string id;
    // A failed search ends the wait: it has already failed the test.
    testsupport::waitUntil([&] { return !searchWindow(&id) || !id.empty(); },
                           std::chrono::seconds(20), std::chrono::milliseconds(20));
    return id;
}

bool windowVisible() {
    std::string id;
    return searchWindow(&id) && !id.empty();
}

void focus(const std::string& window) { xdotool({"windowfocus", "--sync", window}); }

void keys(const std::vector<std::string>& names) {
    std::vector<std::string> args{"key", "--delay", "5"};
    args.insert(args.end(), names.begin(), names.end());
    xdotool(args);
}

namespace {

// Code points of UTF-8 text (the tests' own, well-formed text).
std::vector<unsigned long> codePoints(const std::string& utf8) {
    std::vector<unsigned long> out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        unsigned long cp = n == 1 ? c : c & (0xFF >> (n + 1));
        for (int k = 1; k < n && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
        out.push_back(cp);
        i += static_cast<std::size_t>(n);
    }
    return out;
}

}  // namespace

void bindCharacters(const std::string& utf8) {
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    int minCode = 0;
    int maxCode = 0;
    XDisplayKeycodes(d, &minCode, &maxCode);
    int perCode = 0;
    const int count = maxCode - minCode + 1;
    KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(minCode), count, &perCode);
    ASSERT_NE(map, nullptr);
    for (unsigned long cp : codePoints(utf8)) {
        if (cp < 0x80) continue;
        const KeySym sym = (cp >= 0xA0 && cp <= 0xFF) ? cp : 0x1000000 + cp;
        int freeCode = -1;
        bool bound = false;
        for (int k = 0; k < count && !bound; ++k) {
            bool empty = true;
            for (int j = 0; j < perCode; ++j) {
                bound = bound || map[k * perCode + j] == sym;
                empty = empty && map[k * perCode + j] == NoSymbol;
            }
            if (empty && freeCode < 0) freeCode = k;
        }
        if (bound) continue;
        ASSERT_GE(freeCode, 0) << "no free key code left";
        map[freeCode * perCode] = sym;
        XChangeKeyboardMapping(d, minCode + freeCode, perCode, &map[freeCode * perCode], 1);
    }
    XSync(d, False);
    XFree(map);
    XCloseDisplay(d);
}

void type(const std::string& text) {
    // Characters without a key get one first: xdotool's own remapping for
    // each character races with the client's keymap lookups and loses some.
    bindCharacters(text);
    xdotool({"type", "--delay", "2", "--", text});
}

void click(const std::string& window, int x, int y) {
    xdotool({"mousemove", "--sync", "--window", window, std::to_string(x), std::to_string(y)});
    xdotool({"click", "1"});
}

void windowSize(const std::string& window, int* width, int* height) {
    std::string out = xdotool({"getwindowgeometry", "--shell", window});
    *width = 0;
    *height = 0;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("WIDTH=", 0) == 0) *width = std::atoi(line.c_str() + 6);
        if (line.rfind("HEIGHT=", 0) == 0) *height = std::atoi(line.c_str() + 7);
    }
}

void sendDeleteWindow(const std::string& window) {
    Display* d = XOpenDisplay(nullptr);
    ASSERT_NE(d, nullptr);
    XEvent ev;
    std::memset(&ev, 0, sizeof(ev));
    ev.xclient.type = ClientMessage;
    ev.xclient.window = std::strtoul(window.c_str(), nullptr, 10);
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, ev.xclient.window, False, NoEventMask, &ev);
    XSync(d, False);
    XCloseDisplay(d);
}

}  // namespace guitest
