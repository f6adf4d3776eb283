// The one manager of a speech test process, made on first use with logging
// and naming off, with the speech module's factory registered; and waiting
// for its contexts.
#pragma once

#include <rtm/Manager.h>
#include <rtm/PeriodicExecutionContext.h>

#include <cstdint>

RTC::Manager* speechManager();

// Waits (up to 10 s) until `ec` has run n more cycles; a test failure when it
// stopped running.
void runCycles(RTC::PeriodicExecutionContext* ec, std::uint64_t n);
