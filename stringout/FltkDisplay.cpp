#include "FltkDisplay.h"

#include "GuiWarning.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <atomic>
#include <string>

namespace StringOut {

namespace {

std::atomic<bool> g_lost{false};
bool g_warnedNoDisplay = false;  // guarded by the FLTK lock
bool g_warnedLost = false;       // guarded by the FLTK lock
bool g_measured = false;         // guarded by the FLTK lock
double g_scaleX = 1.0;           // guarded by the FLTK lock
double g_scaleY = 1.0;

// The connection the window code opened, and the handlers that were in place
// before: X error handlers are process-wide, and a host process may talk to
// the X server over connections of its own.
std::atomic<Display*> g_display{nullptr};
std::atomic<XErrorHandler> g_hostErrorHandler{nullptr};
std::atomic<XIOErrorHandler> g_hostIOErrorHandler{nullptr};

// A failed request on our connection (for instance on a window another
// client destroyed) is not fatal for a window that is closing anyway; FLTK's
// own handler would only print it. Others' errors go to their handler.
int onXError(Display* d, XErrorEvent* e) {
    if (d == g_display.load()) return 0;
    const XErrorHandler host = g_hostErrorHandler.load();
    return host != nullptr ? host(d, e) : 0;
}

// Our connection broke (server gone, client killed). Returning from both
// handlers, instead of Xlib's default exit(1), keeps the process alive; the
// window loop sees lost() and stops using the display. Another connection's
// break is its owner's business.
int onIOError(Display* d) {
    if (d != g_display.load()) {
        const XIOErrorHandler host = g_hostIOErrorHandler.load();
        return host != nullptr ? host(d) : 0;
    }
    g_lost.store(true);
    return 0;
}

void onIOErrorExit(Display*, void*) { g_lost.store(true); }

// Puts our handlers in front of whatever the process had; opening the display
// for FLTK may install FLTK's own, so this runs once more after that.
void installHandlers() {
    const XErrorHandler previous = XSetErrorHandler(onXError);
    if (previous != onXError) g_hostErrorHandler.store(previous);
    const XIOErrorHandler previousIO = XSetIOErrorHandler(onIOError);
    if (previousIO != onIOError) g_hostIOErrorHandler.store(previousIO);
}

void measureFontCell() {
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    const double average = fl_width(kAlphabet) / 52.0;
    const double height = fl_height();
    g_scaleX = average > 0 ? average / 6.0 : 1.0;
    g_scaleY = height > 0 ? height / 12.0 : 1.0;
    g_measured = true;
}

}  // namespace

bool FltkDisplay::open() {
    if (g_lost.load()) {
        if (!g_warnedLost) {
            g_warnedLost = true;
            warn(
                "StringInputForm: the connection to the X display was lost; no input window "
                "is shown from now on");
        }
        return false;
    }
    if (fl_display != nullptr) {  // ours, or opened by a host that uses FLTK itself
        if (!g_measured) measureFontCell();
        return true;
    }
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        if (!g_warnedNoDisplay) {
            g_warnedNoDisplay = true;
            const std::string name = XDisplayName(nullptr);
            const std::string which = name.empty() ? "(DISPLAY is not set)" : "\"" + name + "\"";
            const std::string message = "StringInputForm: cannot open X display " + which +
                                        "; the input window is not shown and nothing is submitted";
            warn(message.c_str());
        }
        return false;
    }
    g_display.store(d);
    installHandlers();
    XSetIOErrorExitHandler(d, onIOErrorExit, nullptr);
    fl_open_display(d);
    // Whatever FLTK installed there must not become the host's handler.
    XSetErrorHandler(onXError);
    XSetIOErrorHandler(onIOError);
    measureFontCell();
    return true;
}

bool FltkDisplay::lost() { return g_lost.load(); }

double FltkDisplay::scaleX() { return g_scaleX; }

double FltkDisplay::scaleY() { return g_scaleY; }

}  // namespace StringOut
