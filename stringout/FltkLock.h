// Holds FLTK's process-wide lock for a scope. Every FLTK call of the window
// code is made under it; Fl::wait() gives it up while it waits for events.
// The first use sets up FLTK's thread support (its lock and wake-up pipe),
// which FLTK itself does not do in a thread-safe way.
#pragma once

namespace StringOut {

class FltkLock {
  public:
    FltkLock();
    ~FltkLock();
    FltkLock(const FltkLock&) = delete;
    FltkLock& operator=(const FltkLock&) = delete;

    // Makes a thread that waits in Fl::wait() return. Any thread, no lock
    // needed; does nothing before FLTK's thread support has been set up
    // (then no thread can be waiting yet).
    static void wake();
};

}  // namespace StringOut
