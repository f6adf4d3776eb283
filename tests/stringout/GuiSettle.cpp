#include "GuiSettle.h"

#include "FltkLock.h"

// gtest before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <chrono>
#include <thread>

namespace guitest {

void settle() {
    // A round trip on the window's own connection puts every event the
    // server generated for it before now into Xlib's queue. The window
    // thread drains that queue under the FLTK lock, so an empty queue seen
    // under the lock means all of them have been handled.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        int queued = 0;
        {
            StringOut::FltkLock lock;
            // No window, no thread that would drain the queue.
            if (fl_display == nullptr || Fl::first_window() == nullptr) return;
            XSync(fl_display, False);
            queued = XQLength(fl_display);
        }
        if (queued == 0) return;
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the window thread did not handle its events";
            return;
        }
        StringOut::FltkLock::wake();  // the thread may sleep on an already drained socket
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool toolkitWindowShown() {
    StringOut::FltkLock lock;
    Fl_Window* w = Fl::first_window();
    return w != nullptr && w->shown();
}

}  // namespace guitest
