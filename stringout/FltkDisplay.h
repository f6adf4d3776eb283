// The X display that FLTK draws on. FLTK left to itself ends the process when
// there is no display or when the connection breaks; a component process must
// survive both, so the window code opens the display itself and keeps X errors
// from ending the process.
#pragma once

namespace StringOut {

class FltkDisplay {
  public:
    // Opens the display named by $DISPLAY for FLTK on first use. True while a
    // usable display is open; false (said once through the warning sink)
    // when there is none or the connection has broken. Call with FltkLock held.
    static bool open();

    // True once the connection to the X server has broken; FLTK must not be
    // used for windows after that. Any thread.
    static bool lost();

    // The scale of the window's design units: the toolkit font's average
    // character cell against a 6 x 12 pixel cell, per axis. Call with
    // FltkLock held after open().
    static double scaleX();
    static double scaleY();
};

}  // namespace StringOut
