// A host process that talks to the X server itself, with its own error
// handler, loads the window code: errors on the host's connection still
// reach the host's handler; errors on the window's own connection do not
// end the process and do not bother the host. A process of its own, since
// X error handlers are process-wide.
#include <gtest/gtest.h>

#include <vector>

#include "FltkDisplay.h"
#include "FltkLock.h"

// Xlib's macros (None, Bool, ...) come after everything else.
#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace {

struct Seen {
    Display* display;
    unsigned char code;
    unsigned char request;
};
std::vector<Seen> g_seen;  // only the test's thread makes X requests here

int hostHandler(Display* d, XErrorEvent* e) {
    g_seen.push_back(Seen{d, e->error_code, e->request_code});
    return 0;
}

// A window id the server never gave out.
constexpr Window kNoSuchWindow = 0x1;

TEST(HostXErrors, TheHostsHandlerStillGetsTheErrorsOfItsOwnConnection) {
    XSetErrorHandler(hostHandler);
    Display* host = XOpenDisplay(nullptr);
    ASSERT_NE(nullptr, host) << "no X display";

    // Before the window code: the host's handler is in place.
    XMapWindow(host, kNoSuchWindow);
    XSync(host, False);
    ASSERT_EQ(1u, g_seen.size());

    {
        StringOut::FltkLock lock;
        ASSERT_TRUE(StringOut::FltkDisplay::open());
    }

    // The host's own connection: its handler sees the error, with its display.
    XMapWindow(host, kNoSuchWindow);
    XSync(host, False);
    ASSERT_EQ(2u, g_seen.size()) << "the host's error went to the window code's handler";
    EXPECT_EQ(host, g_seen.back().display);
    EXPECT_EQ(BadWindow, g_seen.back().code);
    EXPECT_EQ(X_MapWindow, g_seen.back().request);

    // The window code's connection: handled there, the process lives on.
    {
        StringOut::FltkLock lock;
        ASSERT_NE(nullptr, fl_display);
        ASSERT_NE(host, fl_display);
        XUnmapWindow(fl_display, kNoSuchWindow);
        XSync(fl_display, False);
    }
    EXPECT_EQ(2u, g_seen.size()) << "an error of the window's connection reached the host";
    EXPECT_FALSE(StringOut::FltkDisplay::lost());

    // A second open keeps the same chain: still exactly one call per error.
    {
        StringOut::FltkLock lock;
        ASSERT_TRUE(StringOut::FltkDisplay::open());
    }
    XMapWindow(host, kNoSuchWindow);
    XSync(host, False);
    EXPECT_EQ(3u, g_seen.size());
    XCloseDisplay(host);
}

}  // namespace
