// The window's push button. FLTK's button answers Space and its label's
// mnemonic; this one also answers Enter (and keypad Enter) while it has the
// keyboard focus, as a dialog button does. Enter typed elsewhere is not its.
// Its mnemonic presses it without taking the focus from the field.
#pragma once

#include <FL/Fl_Button.H>

namespace StringOut {

class SubmitButton : public Fl_Button {
  public:
    SubmitButton(int x, int y, int w, int h, const char* label);
    int handle(int event) override;
};

}  // namespace StringOut
