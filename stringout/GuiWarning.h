// Where the window side reports conditions an operator should know about
// (no display, a window that could not be built). The window code does not
// depend on the component framework; the component module routes these
// messages into the framework's logger. Without a sink they are dropped.
#pragma once

namespace StringOut {

using WarningSink = void (*)(const char* message);

// Installs the process-wide sink (nullptr: drop messages); returns the old one.
WarningSink setWarningSink(WarningSink sink);

// Passes message to the sink, if any.
void warn(const char* message);

}  // namespace StringOut
