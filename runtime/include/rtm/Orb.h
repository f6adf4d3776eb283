// The process's ORB. The manager creates it from its configuration; code that
// needs it earlier (data encoding in a program without a manager) gets one
// with default options.
#pragma once

#include <omniORB4/CORBA.h>

#include <atomic>

namespace RTC {

namespace detail {
extern std::atomic<bool> g_orbReady;
void initDefaultOrb();
}  // namespace detail

// Makes sure an ORB exists; cheap after the first call.
inline void ensureOrb() {
    if (!detail::g_orbReady.load(std::memory_order_acquire)) detail::initDefaultOrb();
}

// Creates the ORB with the given ORB options unless one exists already.
CORBA::ORB_ptr initOrb(int argc, char** argv);
// The ORB (created with defaults when needed); not to be released.
CORBA::ORB_ptr orb();

}  // namespace RTC
