// Waits for the window thread of this process: links the window code and
// FLTK, so only for tests that run the window in their own process.
#pragma once

namespace guitest {

// Returns once the window thread has handled every X event the server
// generated for this process before the call (or no window is shown).
void settle();

// Whether the toolkit has a window shown in this process.
bool toolkitWindowShown();

}  // namespace guitest
