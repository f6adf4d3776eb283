#pragma once

#include <csignal>

namespace rtctl {

// Holds SIGINT, SIGTERM and SIGHUP back while it lives, so that a command
// that has changed a remote port can undo that before the program ends.
// Construct it before the ORB starts its threads: they inherit the mask.
class TerminationSignals {
  public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // Takes one pending signal, if any; true when one was pending.
    bool takePending();

  private:
    sigset_t m_set;
    sigset_t m_previous;
};

}  // namespace rtctl
