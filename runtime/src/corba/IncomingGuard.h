// Closes incoming connections that have not delivered a whole request within
// a limit of being accepted: a peer that connects and says nothing, or sends
// its first request a byte at a time. The ORB's own idle scan does not cover
// them: a connection's idle count starts only once it has served a request.
// Once a second it looks through the process's sockets for connections to
// one of its listeners, hears of requests through the ORB's interceptor and
// shuts an overdue connection's socket down; the ORB then closes it as one
// the peer closed. (The ORB's accept interceptor is no help: it runs only
// once a connection has sent something.)
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace RTC {
namespace corba {

class IncomingGuard {
  public:
    // Registers the interceptors (once per process) and starts the watching
    // thread; call after ORB_init, before the POA manager is activated.
    static void start(std::chrono::milliseconds limit);
    // Ends the watching thread; connections accepted meanwhile stay open.
    static void stop();

    // "host:port" of a socket's own end (peer false) or its peer's end, as
    // the ORB writes them after "giop:tcp:"; empty for other sockets.
    static std::string socketAddress(int fd, bool peer);

  private:
    static IncomingGuard& instance();
    void served(const std::string& peer);
    void run();
    // One look at the sockets: shuts down the overdue ones; how many.
    int scan(std::chrono::steady_clock::time_point now);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    // Incoming connections by their peer's "host:port": when first seen,
    // and those that have sent a whole request.
    std::map<std::string, std::chrono::steady_clock::time_point> m_seen;
    std::set<std::string> m_served;
    std::set<std::string> m_fresh;  // served since the last look
    std::chrono::milliseconds m_limit{5000};
    bool m_running = false;
    bool m_stop = false;
    std::thread m_thread;

    friend struct IncomingGuardHooks;
};

}  // namespace corba
}  // namespace RTC
