#include "SubmitButton.h"

#include <FL/Fl.H>

namespace StringOut {

SubmitButton::SubmitButton(int x, int y, int w, int h, const char* label)
    : Fl_Button(x, y, w, h, label) {}

int SubmitButton::handle(int event) {
    const int key = Fl::event_key();
    if (event == FL_KEYBOARD && Fl::focus() == this && (key == FL_Enter || key == FL_KP_Enter) &&
        !(Fl::event_state() & (FL_SHIFT | FL_CTRL | FL_ALT | FL_META))) {
        Fl_Widget_Tracker alive(this);
        simulate_key_action();
        if (alive.deleted()) return 1;
        if (when() & FL_WHEN_RELEASE) do_callback();
        return 1;
    }
    // The mnemonic presses the button but leaves the focus where it is, so
    // the operator can go on typing in the field after Alt+S.
    if (event == FL_SHORTCUT && (shortcut() ? Fl::test_shortcut(shortcut()) : test_shortcut())) {
        Fl_Widget_Tracker alive(this);
        simulate_key_action();
        if (alive.deleted()) return 1;
        if (when() & FL_WHEN_RELEASE) do_callback();
        return 1;
    }
    return Fl_Button::handle(event);
}

}  // namespace StringOut
