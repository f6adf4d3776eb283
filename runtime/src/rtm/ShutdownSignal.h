// The process's shutdown request: SIGINT, SIGTERM and Manager::terminate()
// all write to one pipe, which the manager's run loop waits on.
#pragma once

namespace RTC {

class ShutdownSignal {
  public:
    // Creates the pipe (once) and installs the SIGINT and SIGTERM handlers.
    static void install();
    // Asks for shutdown; safe from any thread.
    static void request();
    // Blocks until a request arrives, then drains the pipe.
    static void wait();
};

}  // namespace RTC
