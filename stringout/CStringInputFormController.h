// Runs the operator's input window on a thread of its own, so that the
// component's execution context never runs a window. Constructing it starts
// the thread (the window appears shortly after); fetchString polls for a
// submitted string, closeForm asks the window to close. The owner calls
// wait() after closeForm() and before deleting it; the destructor does both
// again (no effect then), so that a controller is never destroyed while its
// thread still runs.
#pragma once

#include <coil/Task.h>

class CStringInputFormController : public coil::Task {
  public:
    // Starts the window thread; returns without waiting for the window.
    CStringInputFormController();
    ~CStringInputFormController() override;

    // The window thread: shows the window until it closes, then returns 0.
    int svc() override;

    // Asks the window to close; also when it is still coming up. No effect
    // when it has already closed.
    virtual void closeForm();
    // Copies a submitted string into buffer (size bytes, zero-terminated,
    // cut at a character boundary if too long) and returns its byte count
    // including the terminator; 0 when nothing was submitted since the last
    // call or no window is open.
    virtual int fetchString(char* buffer, int size);
};
