// The operator's input window: a one-line text field and a "Submit(&S)"
// button. Pressing the button makes the field's text the pending string, a
// single-entry mailbox under the window's mutex; GetString() hands it over,
// converted to the narrow encoding of the user's locale.
//
// The window runs on a thread of its own (startGUI); stopGUI and GetString
// are called from another thread. A StringInputForm is shared: its window
// thread builds, shows and disposes of the toolkit window, while the mutex
// and the mailbox live as long as anybody holds the object, so a fetch that
// has found the window is never left with a destroyed lock, whatever closes
// the window.
#pragma once

#include "NarrowConverter.h"

#include <memory>
#include <mutex>
#include <string>

class Fl_Double_Window;
class Fl_Input;
class Fl_Widget;

namespace StringOut {

class SubmitButton;

class StringInputForm {
  public:
    // Builds the window, not yet shown. Window thread, FltkLock held, display
    // open. The only failure is running out of memory (std::bad_alloc, which
    // startGUI reports as a warning); the window and the widgets built so far
    // are freed then.
    StringInputForm();
    // Frees the mailbox. The toolkit window must have been disposed of (or
    // this must run on the window thread with FltkLock held).
    ~StringInputForm();
    StringInputForm(const StringInputForm&) = delete;
    StringInputForm& operator=(const StringInputForm&) = delete;

    // The fetch, any thread: when a press is pending, writes its text into
    // strbuf (size bytes; cut at a character boundary to fit, always zero
    // terminated), empties the mailbox and returns the byte count including
    // the terminator. Otherwise, and for a null buffer or size <= 0, returns
    // 0 and leaves strbuf alone.
    int getString(char* strbuf, int size);

    // Window thread, FltkLock held.
    void show();           // shows it, focus on the button, no close/min/max controls
    bool isShown() const;  // false once the window has been hidden or disposed of
    void Dispose();        // destroys the toolkit window; the mailbox stays usable

    // Any thread: no later fetch delivers anything. Used when the window
    // leaves the list of open windows, before it is destroyed.
    void markClosed();

  private:
    void InitializeComponent();
    void button1_Click(Fl_Widget* sender, void* e);
    void MarshalString(const std::string& s, char* strBuf, int size);
    static void onButton1(Fl_Widget* sender, void* self);
    static void onWindowEvent(Fl_Widget* sender, void* self);

    std::mutex mutex;       // guards buttonPushed, textBuf and closed
    SubmitButton* button1;  // owned by window
    Fl_Input* textBox1;     // owned by window
    bool buttonPushed;
    std::string textBuf;  // UTF-8, the field's text at the last press
    bool closed;
    std::unique_ptr<Fl_Double_Window> window;
    NarrowConverter converter;  // used under mutex only
};

}  // namespace StringOut

// The window's entry points, called by the input window controller.

// Announces that startGUI() is about to be called on a thread that has not
// got there yet, so that a stopGUI() coming in between is kept for that
// window instead of being lost (the window would then stay open).
void prepareGUI();

// Creates an input window and runs its event loop on the calling thread;
// returns once the window has closed, whatever closed it, or at once when no
// window can be shown (no display, a stop already requested, another input
// window open). Never throws.
void startGUI();

// Asks the input window to close: it leaves the list of open windows at once
// (later GetString calls return 0, a pending text is dropped) and is closed
// on its own thread. Also stops a window that is still being started. Does
// nothing when no input window is open or starting. Any thread.
void stopGUI();

// Copies the pending string of the open input window, if any, into string
// (bufferSize bytes). Returns the bytes written including the terminator,
// or 0 (no window, nothing pending, null buffer, bufferSize <= 0), leaving
// the buffer untouched. Takes one uncontended lock and allocates nothing
// when there is nothing to deliver.
int GetString(char* string, int bufferSize);
